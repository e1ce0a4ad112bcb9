#include "tovy/TovCstReader.h"

namespace tovy {
namespace {

uint8_t codeChar(unsigned char c) {
    bool ok = c == ' ' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
              (c >= '0' && c <= '9') || c == '-' || c == '_';
    return ok ? c : 0;
}

uint32_t code(const unsigned char* p) {
    return uint32_t(codeChar(p[0])) | uint32_t(codeChar(p[1])) << 8 |
           uint32_t(codeChar(p[2])) << 16 | uint32_t(codeChar(p[3])) << 24;
}

// Two bytes as a decimal number, without checking that they are digits.
uint16_t twoDigits(const unsigned char* p) {
    return uint16_t(10 * (p[0] - 48) + (p[1] - 48));
}

bool isPunctuation(int c) {
    return c == '{' || c == '}' || c == '=' || c == ';' || c == ',';
}

}  // namespace

TovCstHeader parseCstHeader(const unsigned char (&bytes)[16]) {
    TovCstHeader h;
    h.type = code(bytes);
    h.majorVersion = twoDigits(bytes + 4);
    h.minorVersion = twoDigits(bytes + 6);
    h.format = code(bytes + 8);
    h.encoding = twoDigits(bytes + 12);
    return h;
}

bool TovCstReader::read(ITovInputStream& input) {
    unsigned char raw[16];
    size_t got = 0;
    while (got < sizeof(raw)) {
        size_t n = input.read(raw + got, sizeof(raw) - got);
        if (n == 0) break;
        got += n;
    }
    if (got < sizeof(raw)) return false;

    m_header = parseCstHeader(raw);
    if (!checkHeader(m_header)) return false;

    TovInputSjisTextStream sjis;
    TovInputUtf8TextStream utf8;
    ITovInputTextStream* text = nullptr;
    if (m_header.encoding == kCstEncodingAnsi)
        text = &sjis;
    else if (m_header.encoding == kCstEncodingUtf8)
        text = &utf8;
    else
        return false;
    text->attach(&input);

    m_sections.clear();
    m_line.clear();
    m_pos = 0;
    m_lineOpen = false;
    m_pushed = -1;
    m_end = false;
    m_state = State::Item;
    m_name.clear();
    m_argument.clear();
    m_key.clear();
    m_values.clear();
    m_nesting = 0;

    // The line end that follows the header is an empty line for the tokenizer.
    while (!m_end) {
        m_kind = TokenKind::Unknown;
        std::wstring token = readToken(*text);
        if (m_end && token.empty()) break;
        feed(token);
    }
    text->detach();
    return (input.state() & kStateEof) != 0;
}

int TovCstReader::nextChar(ITovInputTextStream& stream) {
    if (m_pushed >= 0) {
        int c = m_pushed;
        m_pushed = -1;
        return c;
    }
    if (m_pos < m_line.size()) return int(m_line[m_pos++]);
    if (m_lineOpen) {
        m_lineOpen = false;
        return '\n';
    }
    for (;;) {
        // Any state other than good (end of data or an error) ends the body.
        if (stream.state() != kStateGood) {
            m_end = true;
            return -1;
        }
        stream.readLine(m_line);
        if (m_line.empty()) continue;
        m_pos = 0;
        m_lineOpen = true;
        return int(m_line[m_pos++]);
    }
}

std::wstring TovCstReader::readEscapedToken(ITovInputTextStream& stream) {
    return readTokenWith(stream, true);
}

std::wstring TovCstReader::readPlainToken(ITovInputTextStream& stream) {
    return readTokenWith(stream, false);
}

std::wstring TovCstReader::readTokenWith(ITovInputTextStream& stream, bool escapes) {
    m_kind = TokenKind::Word;
    std::wstring token;
    bool comment = false;
    bool quotes = false;
    bool escaped = false;
    for (;;) {
        int c = nextChar(stream);
        if (c < 0) return token;
        if (c == '\n') {
            if (comment) {
                token.clear();
                comment = false;
            } else if (!token.empty()) {
                return token;
            }
            continue;
        }
        if (comment) continue;
        if (quotes) {
            if (escaped) {
                token.push_back(wchar_t(c));
                escaped = false;
            } else if (c == '"') {
                return token;
            } else if (escapes && c == '\\') {
                escaped = true;
            } else {
                token.push_back(wchar_t(c));
            }
            continue;
        }
        if (escaped) {
            escaped = false;
            if (c == '"' || c == '\\') {
                token.push_back(wchar_t(c));
                continue;
            }
            // Any other character keeps its usual meaning below.
        } else if (c == '"') {
            quotes = true;
            continue;
        } else if (escapes && c == '\\') {
            escaped = true;
            continue;
        }
        if (c == ' ' || c == '\t') {
            if (!token.empty()) return token;
            continue;
        }
        if (isPunctuation(c)) {
            if (token.empty()) {
                m_kind = TokenKind::Punctuation;
                return std::wstring(1, wchar_t(c));
            }
            m_pushed = c;
            return token;
        }
        token.push_back(wchar_t(c));
        if (token == L"//") {
            token.clear();
            comment = true;
        }
    }
}

bool TovCstReader::is(const std::wstring& token, wchar_t punctuation) const {
    if (m_kind == TokenKind::Word) return false;
    return token.size() == 1 && token[0] == punctuation;
}

void TovCstReader::closeSection() {
    // A "}" with no open section is ignored.
    if (m_sections.empty()) return;
    std::wstring name = std::move(m_sections.back());
    m_sections.pop_back();
    endSection(name);
}

void TovCstReader::feed(const std::wstring& token) {
    switch (m_state) {
        case State::Item:
            if (is(token, L'}')) {
                closeSection();
            } else {
                m_name = token;
                m_argument.clear();
                m_state = State::Named;
            }
            break;
        case State::Named:
            if (is(token, L'{')) {
                m_sections.push_back(m_name);
                if (!beginSection(m_name, m_argument)) {
                    m_sections.pop_back();
                    m_nesting = 0;
                    m_state = State::Skipping;
                } else {
                    m_key.clear();
                    m_values.clear();
                    m_state = State::Item;
                }
            } else if (is(token, L'}')) {
                m_name.clear();
                closeSection();
                m_state = State::Item;
            } else if (is(token, L'=')) {
                m_key = m_name;
                m_values.clear();
                m_state = State::Values;
            } else {
                m_argument = token;
            }
            break;
        case State::Values:
            if (is(token, L';')) {
                receiveText(m_key, m_values);
                m_key.clear();
                m_values.clear();
                m_state = State::Item;
            } else if (is(token, L'}')) {
                if (!m_key.empty() && !m_values.empty()) receiveText(m_key, m_values);
                m_key.clear();
                m_values.clear();
                closeSection();
                m_state = State::Item;
            } else if (!is(token, L',')) {
                m_values.push_back(token);
            }
            break;
        case State::Skipping:
            if (is(token, L'{')) {
                ++m_nesting;
            } else if (is(token, L'}')) {
                if (m_nesting == 0)
                    m_state = State::Item;
                else
                    --m_nesting;
            }
            break;
    }
}

}  // namespace tovy
