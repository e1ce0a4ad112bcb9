#include "tovy/TovConfReader.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "tovy/TovUtf8.h"

namespace tovy {

namespace {

std::string_view trimSpaces(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

// A decoded value keeps every byte: fromUtf8 stops at a zero byte, so the text is
// decoded in pieces around them.
std::wstring decode(std::string_view bytes) {
    std::wstring out;
    size_t start = 0;
    while (start <= bytes.size()) {
        size_t zero = bytes.find('\0', start);
        if (zero == std::string_view::npos) zero = bytes.size();
        out += fromUtf8(bytes.substr(start, zero - start));
        if (zero == bytes.size()) break;
        out.push_back(L'\0');
        start = zero + 1;
    }
    return out;
}

}  // namespace

bool TovConfReader::readFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    std::string text;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof(buffer));
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        text.append(buffer, size_t(n));
    }
    ::close(fd);
    return readText(text);
}

bool TovConfReader::readText(std::string_view text) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (line.empty() || line.front() == ';') continue;
        const size_t eq = line.find('=');
        std::string_view key = trimSpaces(line.substr(0, eq));
        std::string_view value =
            eq == std::string_view::npos ? std::string_view() : trimSpaces(line.substr(eq + 1));
        const bool goOn =
            m_wide ? m_wide->onPair(decode(key), decode(value)) : m_receiver->onPair(key, value);
        if (!goOn) break;
    }
    return true;
}

}  // namespace tovy
