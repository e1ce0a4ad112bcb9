// A Windows-style private profile file ("name.ini") held in memory: section lines
// "[name]" and lines "key=value". Reading follows the Windows profile functions: section
// and key names compare without regard to case, the first matching section and the
// first matching key in it win, a missing key gives the caller's default, values are
// trimmed of surrounding blanks and one pair of matching quotes around the whole value
// is removed, and integers read the way the system converts them (leading blanks, a
// sign, a 0x/0o/0b prefix, digits up to the first other character, wrapping on
// overflow).
//
// Writing changes the one line of the key (or adds it at the end of its section, or a new
// section at the end of the file) and keeps every other line as it was, so keys this
// program does not know survive a save. A value is written so that it reads back
// exactly (quoted when blanks or quotes at its ends would otherwise be lost); a value
// holding CR, LF or a zero byte is refused, so no value can add a line or a key.
//
// Text is UTF-8 through the lossless codec: any bytes survive a load and a store. Parsing
// accepts arbitrary bytes. Not thread-safe: one owner at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quenrix {

class QXIniFile {
public:
    // Longest value handed back, in characters (the size of the Windows read buffer
    // less its terminator).
    static constexpr size_t kMaxValueChars = 4095;

    // Empty: only the (empty) part before the first section, as parse() leaves it.
    QXIniFile() { m_sections.emplace_back(); }
    explicit QXIniFile(std::string_view bytes) { parse(bytes); }

    // Replaces the contents with the lines of bytes (LF, CR LF). A leading UTF-8
    // byte-order mark is not part of the first line; serialize() writes it back, so
    // that a first line beginning with those bytes too keeps its meaning.
    void parse(std::string_view bytes);

    // Reads the file at path. A missing file gives an empty profile and true; false when
    // the file exists but cannot be read (the contents are then empty, and such a
    // profile must not be stored over the file).
    bool load(const std::string& path);
    // Replaces the file at path atomically with serialize(); false on failure (the old
    // file then stays as it was).
    bool store(const std::string& path) const;
    // The file's bytes: every line followed by LF.
    std::string serialize() const;

    bool hasKey(std::string_view section, std::string_view key) const;
    // The value, cut at kMaxValueChars characters; def when the key is missing.
    std::string getString(std::string_view section, std::string_view key,
                          std::string_view def = {}) const;
    // The value as a number; def when the key is missing or its value is empty.
    int32_t getInt(std::string_view section, std::string_view key, int32_t def) const;

    // Sets the value; false (and nothing changes) when it holds CR, LF or a zero byte,
    // or when the section or key name cannot be written as one.
    bool setString(std::string_view section, std::string_view key, std::string_view value);
    // Writes the number in signed decimal.
    bool setInt(std::string_view section, std::string_view key, int32_t value);

    // The conversion getInt applies to a stored value.
    static int32_t parseInt(std::string_view text);
    // True when value can be stored (no CR, LF or zero byte).
    static bool isStorable(std::string_view value);

private:
    struct Line {
        std::string text;   // the line as it stands in the file
        std::string key;    // key lines: the name as written
        std::string value;  // key lines: the value as read (trimmed, unquoted)
        bool isKey = false;
    };
    struct Section {
        std::string name;  // empty for the lines before the first section line
        std::vector<Line> lines;
        std::unordered_map<std::string, size_t> keys;  // folded name -> first line
    };

    const Line* find(std::string_view section, std::string_view key) const;
    Section& sectionForWrite(std::string_view section);
    void addLine(Section& section, std::string text);
    static std::string fold(std::string_view name);

    bool m_byteOrderMark = false;  // the parsed bytes began with one
    std::vector<Section> m_sections;
    std::unordered_map<std::string, size_t> m_sectionIndex;  // folded name -> first section
};

}  // namespace quenrix
