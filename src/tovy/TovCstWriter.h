// Writer of structured text ("cst") files with the fixed layout: the 16-byte header
// "qnrx0101txt 03  ", then sections and statements indented by one tab per open section,
// " = " between key and value, ";" after the value, CR LF line ends.
//
// The writer is given text that is already encoded (UTF-8 for an encoding 03 header) and
// prepared: it writes the bytes as they are and neither quotes nor escapes a value; use
// cstValue() to make one text safe for the escaping tokenizer. The only check it makes
// is that nothing it writes holds a raw CR or LF: such a call writes nothing and returns
// false, so the caller can report the value. Without an output stream every call does
// nothing and returns false.
//
// Typical use, replacing the file atomically:
//     TovOutputStringStream out;
//     { TovCstWriter w(&out); w.writeHeader(); w.beginSection("Rules"); ...; }
//     writeFileAtomically(path, out.bytes());
//
// Owns nothing; the stream must outlive the writer. Destroying the writer flushes the
// stream; closing it is the caller's business. Not thread-safe: one thread at a time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tovy/TovStream.h"

namespace tovy {

class TovCstWriter : private TovIsNoncopyable {
public:
    explicit TovCstWriter(ITovOutputStream* stream) : m_stream(stream) {}
    ~TovCstWriter();

    // The 16 header bytes, then a line end.
    bool writeHeader();
    // An empty line, the indentation, the name, then ` "argument"` when an argument is
    // given, then " {" and a line end. With an empty name nothing is written, but the
    // depth still goes up by one, as for every call.
    bool beginSection(std::string_view name, std::string_view argument = {});
    // Depth down by one (not below 0), then the indentation, "}" and a line end.
    bool endSection();
    // The indentation, key, " = ", value, ";" and a line end. Nothing with an empty key.
    bool writeValue(std::string_view key, std::string_view value);
    // An empty line.
    bool writeLineEnd();

    uint64_t depth() const { return m_depth; }

private:
    bool put(std::string_view bytes);
    bool indent();

    ITovOutputStream* m_stream;
    uint64_t m_depth = 0;
    std::string m_lineEnd = "\r\n";
};

// True when the text holds a CR or LF, which no line of a cst file may hold.
bool hasLineBreak(std::string_view text);

// One value prepared for the escaping tokenizer: backslashes doubled, each double quote
// preceded by a backslash, then enclosed in double quotes. Reading it back gives the
// text unchanged.
std::string cstValue(std::string_view text);

}  // namespace tovy
