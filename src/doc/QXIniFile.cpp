#include "doc/QXIniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cwctype>

#include "tovy/TovStream.h"
#include "tovy/TovUtf8.h"

namespace quenrix {

namespace {

// A settings file larger than this is not ours to rewrite.
constexpr size_t kMaxFileBytes = size_t(64) << 20;
// The system reads a number through a 30-character buffer.
constexpr size_t kIntBufferChars = 29;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == '\x1a';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

// One pair of equal quotes around a value of two or more characters goes.
std::string_view unquote(std::string_view s) {
    if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front()) {
        return s.substr(1, s.size() - 2);
    }
    return s;
}

std::string_view readBack(std::string_view raw) {
    return unquote(trim(raw));
}

bool hasLineBreakOrZero(std::string_view s) {
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

bool isWritableName(std::string_view name) {
    return !name.empty() && !hasLineBreakOrZero(name) && trim(name) == name;
}

}  // namespace

std::string QXIniFile::fold(std::string_view name) {
    std::wstring wide = tovy::fromUtf8(std::string(name));
    for (wchar_t& c : wide) {
        if (!tovy::isEscapedByte(c)) c = wchar_t(std::towlower(wint_t(c)));
    }
    return tovy::toUtf8(wide);
}

void QXIniFile::parse(std::string_view bytes) {
    m_sections.clear();
    m_sectionIndex.clear();
    m_sections.emplace_back();  // the lines before the first section line

    m_byteOrderMark = bytes.substr(0, 3) == "\xEF\xBB\xBF";
    if (m_byteOrderMark) bytes.remove_prefix(3);
    if (bytes.empty()) return;
    // A final LF ends the last line; it does not start another.
    if (bytes.back() == '\n') bytes.remove_suffix(1);

    size_t start = 0;
    for (;;) {
        size_t end = bytes.find('\n', start);
        std::string_view raw = bytes.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        // The CR of a CR LF line end is kept in the text and ignored as a blank.
        std::string_view body = trim(raw);
        Line line;
        line.text = std::string(raw);
        if (!body.empty() && body.front() == '[' && body.find(']') != std::string_view::npos) {
            size_t close = body.rfind(']');
            Section section;
            section.name = std::string(body.substr(1, close - 1));
            section.lines.push_back(std::move(line));
            m_sectionIndex.try_emplace(fold(trim(section.name)), m_sections.size());
            m_sections.push_back(std::move(section));
        } else {
            Section& section = m_sections.back();
            if (!body.empty()) {
                size_t eq = body.find('=');
                line.isKey = true;
                line.key = std::string(trim(body.substr(0, eq)));
                if (eq != std::string_view::npos)
                    line.value = std::string(trim(body.substr(eq + 1)));
                section.keys.try_emplace(fold(line.key), section.lines.size());
            }
            section.lines.push_back(std::move(line));
        }
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
}

bool QXIniFile::load(const std::string& path) {
    parse({});
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return errno == ENOENT;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && size_t(st.st_size) <= kMaxFileBytes;
    std::string bytes;
    char buffer[65536];
    while (ok) {
        ssize_t n = ::read(fd, buffer, sizeof(buffer));
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
        } else if (n == 0) {
            break;
        } else {
            bytes.append(buffer, size_t(n));
            if (bytes.size() > kMaxFileBytes) ok = false;
        }
    }
    ::close(fd);
    if (!ok) return false;
    parse(bytes);
    return true;
}

bool QXIniFile::store(const std::string& path) const {
    return tovy::writeFileAtomically(path, serialize());
}

std::string QXIniFile::serialize() const {
    std::string out = m_byteOrderMark ? "\xEF\xBB\xBF" : "";
    for (const Section& section : m_sections) {
        for (const Line& line : section.lines) {
            out += line.text;
            out += '\n';
        }
    }
    return out;
}

const QXIniFile::Line* QXIniFile::find(std::string_view section, std::string_view key) const {
    auto s = m_sectionIndex.find(fold(trim(section)));
    if (s == m_sectionIndex.end()) return nullptr;
    const Section& sec = m_sections[s->second];
    auto k = sec.keys.find(fold(trim(key)));
    if (k == sec.keys.end()) return nullptr;
    return &sec.lines[k->second];
}

bool QXIniFile::hasKey(std::string_view section, std::string_view key) const {
    return find(section, key) != nullptr;
}

std::string QXIniFile::getString(std::string_view section, std::string_view key,
                                 std::string_view def) const {
    const Line* line = find(section, key);
    std::string_view value = line ? std::string_view(line->value) : def;
    // The value is handed on as a C string.
    value = value.substr(0, value.find('\0'));
    if (line) value = unquote(value);
    if (value.size() <= kMaxValueChars) return std::string(value);
    std::wstring wide = tovy::fromUtf8(value);
    if (wide.size() > kMaxValueChars) wide.resize(kMaxValueChars);
    return tovy::toUtf8(wide);
}

int32_t QXIniFile::getInt(std::string_view section, std::string_view key, int32_t def) const {
    if (!hasKey(section, key)) return def;
    std::string text = getString(section, key);
    if (text.empty()) return def;
    std::wstring wide = tovy::fromUtf8(text);
    if (wide.size() > kIntBufferChars) text = tovy::toUtf8(wide.substr(0, kIntBufferChars));
    return parseInt(text);
}

int32_t QXIniFile::parseInt(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && static_cast<unsigned char>(text[i]) <= ' ') ++i;
    bool minus = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        minus = text[i] == '-';
        ++i;
    }
    unsigned base = 10;
    if (i + 1 < text.size() && text[i] == '0') {
        switch (text[i + 1]) {
            case 'b':
                base = 2;
                break;
            case 'o':
                base = 8;
                break;
            case 'x':
                base = 16;
                break;
            default:
                break;
        }
        if (base != 10) i += 2;
    }
    uint32_t total = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        unsigned digit;
        if (c >= '0' && c <= '9') {
            digit = unsigned(c - '0');
        } else if (c >= 'a' && c <= 'z') {
            digit = unsigned(c - 'a') + 10;
        } else if (c >= 'A' && c <= 'Z') {
            digit = unsigned(c - 'A') + 10;
        } else {
            break;
        }
        if (digit >= base) break;
        total = total * base + digit;  // wraps, as the system's conversion does
    }
    if (minus) total = 0u - total;
    return static_cast<int32_t>(total);
}

bool QXIniFile::isStorable(std::string_view value) {
    return !hasLineBreakOrZero(value);
}

QXIniFile::Section& QXIniFile::sectionForWrite(std::string_view name) {
    auto s = m_sectionIndex.find(fold(name));
    if (s != m_sectionIndex.end()) return m_sections[s->second];
    // A blank line keeps the new section apart from the one before.
    const Section& last = m_sections.back();
    if (!last.lines.empty() && !trim(last.lines.back().text).empty()) {
        m_sections.back().lines.push_back(Line{});
    }
    Section section;
    section.name = std::string(name);
    Line header;
    header.text = "[" + section.name + "]";
    section.lines.push_back(std::move(header));
    m_sectionIndex.emplace(fold(name), m_sections.size());
    m_sections.push_back(std::move(section));
    return m_sections.back();
}

bool QXIniFile::setString(std::string_view section, std::string_view key, std::string_view value) {
    if (!isStorable(value) || !isWritableName(section) || !isWritableName(key)) return false;
    // A key must not read as a section line or hold the separator.
    if (key.front() == '[' || key.find('=') != std::string_view::npos) return false;
    // A section name comes back whole whatever it holds: the reader takes everything up
    // to the last bracket of the line, which is the one written after the name.

    std::string stored(value);
    if (readBack(value) != value) stored = "\"" + stored + "\"";

    Section& sec = sectionForWrite(section);
    auto k = sec.keys.find(fold(key));
    if (k != sec.keys.end()) {
        Line& line = sec.lines[k->second];
        line.text = line.key + "=" + stored;
        line.value = std::string(trim(stored));
        return true;
    }
    Line line;
    line.isKey = true;
    line.key = std::string(key);
    line.text = line.key + "=" + stored;
    line.value = std::string(trim(stored));
    // After the section's last non-blank line, so blank lines stay between sections.
    size_t at = sec.lines.size();
    while (at > 1 && trim(sec.lines[at - 1].text).empty()) --at;
    sec.lines.insert(sec.lines.begin() + std::ptrdiff_t(at), std::move(line));
    // Only blank lines followed the insertion point, so no indexed line moved.
    sec.keys.emplace(fold(key), at);
    return true;
}

bool QXIniFile::setInt(std::string_view section, std::string_view key, int32_t value) {
    return setString(section, key, std::to_string(value));
}

}  // namespace quenrix
