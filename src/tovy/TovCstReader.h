// Reader of the program's structured text ("cst") files: a 16-byte header, then named
// sections in braces holding statements "key = value, value;".
//
// TovCstReader knows nothing of a document's vocabulary. A receiver derives from it and
// implements beginSection(), endSection() and receiveText(); read() tokenizes the file
// and drives them. One reader object serves one read() call. Not thread-safe: one thread
// at a time. Any byte sequence is read without crashing or looping; syntax the reader
// does not expect is absorbed (extra words become section arguments, stray commas
// vanish).
//
// Tokens: space, tab and line ends separate tokens; { } = ; , are tokens by themselves;
// a double quote starts quoted text, which may begin in the middle of a word; an
// unquoted "//" starts a comment that runs to the end of the line. The default
// (escaping) tokenizer also knows backslash escapes: in quotes a backslash makes the
// next character literal; outside quotes \" and \\ give the character, and a backslash
// before anything else is dropped. readPlainToken() is the tokenizer without escapes,
// for old documents in encoding 00.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tovy/TovStream.h"

namespace tovy {

// The header as held in memory. Code characters: the first in the lowest byte; a byte
// that is not a space, letter, digit, "-" or "_" is stored as 0.
struct TovCstHeader {
    uint32_t type = 0;
    uint16_t majorVersion = 0;
    uint16_t minorVersion = 0;
    uint32_t format = 0;
    uint16_t encoding = 0;
};

// Header encodings.
constexpr uint16_t kCstEncodingAnsi = 0;  // old documents: Shift_JIS (code page 932)
constexpr uint16_t kCstEncodingUtf8 = 3;

// Builds a four-character code the way the header stores it ("qnrx").
constexpr uint32_t cstCode(const char (&c)[5]) {
    return uint32_t(uint8_t(c[0])) | uint32_t(uint8_t(c[1])) << 8 | uint32_t(uint8_t(c[2])) << 16 |
           uint32_t(uint8_t(c[3])) << 24;
}

// Parses the 16 header bytes.
TovCstHeader parseCstHeader(const unsigned char (&bytes)[16]);

class TovCstReader : private TovIsNoncopyable {
public:
    TovCstReader() = default;
    virtual ~TovCstReader() = default;

    // Reads the whole stream (not owned). Returns false, without calling any receiver
    // operation, when the header is shorter than 16 bytes, rejected by checkHeader() or
    // names an encoding other than 00 and 03. Otherwise returns true when the data was
    // read to its end (false after a read error). Sections still open at the end get no
    // endSection(), and a statement without its ";" is not delivered.
    bool read(ITovInputStream& input);

    const TovCstHeader& header() const { return m_header; }

protected:
    // Accepts every header by default.
    virtual bool checkHeader(const TovCstHeader& header) { return true; }
    // "name {" or "name argument {". Returning false skips the section's whole content,
    // nested sections included; no endSection() follows for it.
    virtual bool beginSection(const std::wstring& name, const std::wstring& argument) = 0;
    // Called with the name of the section being closed.
    virtual void endSection(const std::wstring& name) = 0;
    // "key = v1, v2;" -- the values in order, possibly none.
    virtual void receiveText(const std::wstring& key, const std::vector<std::wstring>& values) = 0;
    // Returns the next token; empty when the data has ended. The default is
    // readEscapedToken(). A token made by readEscapedToken() or readPlainToken() from
    // quoted text is always a value, even when it reads "}" or ";"; for a token made
    // any other way the punctuation is recognised by its text.
    virtual std::wstring readToken(ITovInputTextStream& stream) { return readEscapedToken(stream); }

    std::wstring readEscapedToken(ITovInputTextStream& stream);
    std::wstring readPlainToken(ITovInputTextStream& stream);

private:
    enum class State { Item, Named, Values, Skipping };
    enum class TokenKind { Unknown, Word, Punctuation };

    // The next character of the body, L'\n' after every line, -1 at the end.
    int nextChar(ITovInputTextStream& stream);
    std::wstring readTokenWith(ITovInputTextStream& stream, bool escapes);
    void feed(const std::wstring& token);
    bool is(const std::wstring& token, wchar_t punctuation) const;
    void closeSection();

    TovCstHeader m_header;
    std::vector<std::wstring> m_sections;
    std::wstring m_line;
    size_t m_pos = 0;
    bool m_lineOpen = false;
    int m_pushed = -1;
    bool m_end = false;
    TokenKind m_kind = TokenKind::Unknown;

    State m_state = State::Item;
    std::wstring m_name;
    std::wstring m_argument;
    std::wstring m_key;
    std::vector<std::wstring> m_values;
    uint64_t m_nesting = 0;
};

}  // namespace tovy
