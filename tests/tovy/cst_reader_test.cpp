#include "tovy/TovCstReader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TempDir.h"
#include "tovy/TovUtf8.h"

namespace tovy {
namespace {

const std::string kUtf8Header = "qnrx0101txt 03  \r\n";
const std::string kAnsiHeader = "qnrx0101txt 00  \r\n";

// Records every call as one line of UTF-8 text: "begin name|arg", "end name",
// "key k = v1|v2". Sections whose name is in `refuse` are refused.
class Recorder : public TovCstReader {
public:
    std::vector<std::string> calls;
    std::vector<std::string> refuse;
    bool plain = false;
    bool acceptHeader = true;
    int headerChecks = 0;

protected:
    bool checkHeader(const TovCstHeader&) override {
        ++headerChecks;
        return acceptHeader;
    }
    bool beginSection(const std::wstring& name, const std::wstring& argument) override {
        calls.push_back("begin " + toUtf8(name) + "|" + toUtf8(argument));
        for (const auto& r : refuse)
            if (r == toUtf8(name)) return false;
        return true;
    }
    void endSection(const std::wstring& name) override { calls.push_back("end " + toUtf8(name)); }
    void receiveText(const std::wstring& key, const std::vector<std::wstring>& values) override {
        std::string line = "key " + toUtf8(key) + " =";
        for (size_t i = 0; i < values.size(); ++i) line += (i ? "|" : " ") + toUtf8(values[i]);
        calls.push_back(line);
    }
    std::wstring readToken(ITovInputTextStream& stream) override {
        return plain ? readPlainToken(stream) : readEscapedToken(stream);
    }
};

std::string joinCalls(const std::vector<std::string>& calls) {
    std::string out;
    for (const auto& c : calls) out += c + "\n";
    return out;
}

TEST(CstReader, FormatEdgeCases) {
    struct Case {
        const char* name;
        std::string bytes;  // the whole file
        std::vector<std::string> calls;
        bool plain = false;
        std::vector<std::string> refuse = {};
    } cases[] = {
        // Tokens and statements.
        {"header only", kUtf8Header, {}},
        {"header without line end", "qnrx0101txt 03  ", {}},
        {"one value", kUtf8Header + "Path = x;\r\n", {"key Path = x"}},
        {"punctuation splits words", kUtf8Header + "Path=x;", {"key Path = x"}},
        {"values in order", kUtf8Header + "k = a, b, c;", {"key k = a|b|c"}},
        {"missing comma changes nothing", kUtf8Header + "k = a b c;", {"key k = a|b|c"}},
        {"stray commas vanish", kUtf8Header + "k = ,a,,b,;", {"key k = a|b"}},
        {"quoted and bare", kUtf8Header + "a = \"x y\", z;", {"key a = x y|z"}},
        {"same without quotes", kUtf8Header + "a = x y, z;", {"key a = x|y|z"}},
        {"quoted punctuation is a value",
         kUtf8Header + "S { k = \"}\", \",\", \";\"; }",
         {"begin S|", "key k = }|,|;", "end S"}},
        {"quoted brace opens nothing", kUtf8Header + "a \"{\" b = c;", {"key a = c"}},
        {"empty quoted value", kUtf8Header + "Path = \"\";", {"key Path = "}},
        {"no values", kUtf8Header + "Path = ;", {"key Path ="}},
        {"quote in mid word", kUtf8Header + "k = ab\"c d\";", {"key k = abc d"}},
        {"punctuation in quotes", kUtf8Header + "k = \"{=;,}\";", {"key k = {=;,}"}},
        {"tabs separate", kUtf8Header + "\tk\t=\tv\t;", {"key k = v"}},
        {"statement over lines", kUtf8Header + "k =\r\n a,\n b\r;", {"key k = a|b"}},
        {"unterminated statement", kUtf8Header + "k = v", {}},
        {"word at the very end", kUtf8Header + "S { k = v }", {"begin S|", "key k = v", "end S"}},
        {"data ends inside quotes", kUtf8Header + "k = \"abc", {}},
        {"empty lines and CR only", kUtf8Header + "\r\n\r\n\rk = v;\r\r", {"key k = v"}},
        // Sections.
        {"section", kUtf8Header + "Rules {\r\n}\r\n", {"begin Rules|", "end Rules"}},
        {"section argument quoted",
         kUtf8Header + "Rule \"filename\" {}",
         {"begin Rule|filename", "end Rule"}},
        {"last argument counts", kUtf8Header + "Rule x y {}", {"begin Rule|y", "end Rule"}},
        {"nested sections",
         kUtf8Header + "A { B { k = 1; } m = 2; }",
         {"begin A|", "begin B|", "key k = 1", "end B", "key m = 2", "end A"}},
        {"value list ends at brace",
         kUtf8Header + "S { x = 1 } y = 2;",
         {"begin S|", "key x = 1", "end S", "key y = 2"}},
        {"brace after key without values", kUtf8Header + "S { x = }", {"begin S|", "end S"}},
        {"brace after a name", kUtf8Header + "S { x }", {"begin S|", "end S"}},
        {"stray closing brace", kUtf8Header + "} } k = v;", {"key k = v"}},
        {"section left open", kUtf8Header + "S { k = v;", {"begin S|", "key k = v"}},
        // Comments.
        {"comment line", kUtf8Header + "// Path = x;\r\nk = v;", {"key k = v"}},
        {"comment after statement",
         kUtf8Header + "k = v; // x = y;\r\nm = n;",
         {"key k = v", "key m = n"}},
        {"slashes inside a word", kUtf8Header + "a//b = 1;", {"key a//b = 1"}},
        {"slashes in quotes", kUtf8Header + "k = \"//x\";", {"key k = //x"}},
        {"comment at the end", kUtf8Header + "k = v;\n//", {"key k = v"}},
        // Escapes, UTF-8 documents.
        {"escaped backslashes in quotes",
         kUtf8Header + "P = \"C:\\\\temp\";",
         {"key P = C:\\temp"}},
        {"backslash dropped outside quotes", kUtf8Header + "P = C:\\temp;", {"key P = C:temp"}},
        {"escaped quote in quotes", kUtf8Header + "P = \"a \\\"b\\\"\";", {"key P = a \"b\""}},
        {"escaped quote outside quotes", kUtf8Header + "P = a\\\"b;", {"key P = a\"b"}},
        {"escaped space still separates", kUtf8Header + "P = a\\ b;", {"key P = a|b"}},
        {"escaped brace in quotes", kUtf8Header + "P = \"\\}\";", {"key P = }"}},
        {"utf-8 text",
         kUtf8Header + "Name = \"\xE5\x86\x99\xE7\x9C\x9F\";",
         {"key Name = \xE5\x86\x99\xE7\x9C\x9F"}},
        {"invalid utf-8 survives", kUtf8Header + "Name = \"\x8E\xCA\";", {"key Name = \x8E\xCA"}},
        // The plain tokenizer, Shift_JIS documents.
        {"plain keeps backslashes", kAnsiHeader + "P = \"C:\\temp\";", {"key P = C:\\temp"}, true},
        {"plain quote ends at quote", kAnsiHeader + "P = \"a\\\" ;", {"key P = a\\"}, true},
        {"shift_jis decoded",
         kAnsiHeader + "N = \"\x8E\xCA\x90\x5E\";",
         {"key N = \xE5\x86\x99\xE7\x9C\x9F"},
         true},
        {"shift_jis trail byte is a backslash",
         kAnsiHeader + "N = \"\x95\x5C\";",
         {"key N = \xE8\xA1\xA8"},
         true},
        // Skipped sections.
        {"refused section skipped",
         kUtf8Header + "A { B { k = 1; } } m = 2;",
         {"begin A|", "key m = 2"},
         false,
         {"A"}},
        {"refused nested section",
         kUtf8Header + "A { B { C { x = 1; } } k = 1; } m = 2;",
         {"begin A|", "begin B|", "key k = 1", "end A", "key m = 2"},
         false,
         {"B"}},
        {"refused section with comment brace",
         kUtf8Header + "A {\n// }\nk = 1; } m = 2;",
         {"begin A|", "key m = 2"},
         false,
         {"A"}},
        {"refused section with quoted brace",
         kUtf8Header + "A { k = \"}\"; } m = 2;",
         {"begin A|", "key m = 2"},
         false,
         {"A"}},
    };
    for (const auto& c : cases) {
        Recorder r;
        r.plain = c.plain;
        r.refuse = c.refuse;
        TovInputMemoryStream in(c.bytes);
        EXPECT_TRUE(r.read(in)) << c.name;
        EXPECT_EQ(joinCalls(r.calls), joinCalls(c.calls)) << c.name;
    }
}

TEST(CstReader, RefusesBadHeadersWithoutCallingTheReceiver) {
    struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"fifteen bytes", "qnrx0101txt 03 "},
        {"encoding 01", "qnrx0101txt 01  \r\nk = v;"},
        {"encoding 99", "qnrx0101txt 99  \r\nk = v;"},
        {"non-digits as encoding", "qnrx0101txt xx  \r\nk = v;"},
    };
    for (const auto& c : cases) {
        Recorder r;
        TovInputMemoryStream in(c.bytes);
        EXPECT_FALSE(r.read(in)) << c.name;
        EXPECT_TRUE(r.calls.empty()) << c.name;
    }

    Recorder rejecting;
    rejecting.acceptHeader = false;
    TovInputMemoryStream in(kUtf8Header + "k = v;");
    EXPECT_FALSE(rejecting.read(in));
    EXPECT_EQ(rejecting.headerChecks, 1);
    EXPECT_TRUE(rejecting.calls.empty());
}

TEST(CstReader, ParsesHeaderFields) {
    const unsigned char raw[16] = {'q', 'n', 'r', 'x', '0', '1', '0', '2',
                                   't', 'x', 't', ' ', '0', '3', ' ', ' '};
    TovCstHeader h = parseCstHeader(raw);
    EXPECT_EQ(h.type, cstCode("qnrx"));
    EXPECT_EQ(h.type & 0xFF, uint32_t('q'));
    EXPECT_EQ(h.majorVersion, 1);
    EXPECT_EQ(h.minorVersion, 2);
    EXPECT_EQ(h.format, cstCode("txt "));
    EXPECT_EQ(h.encoding, 3);

    // Characters outside the code alphabet become 0; numbers are not checked for digits.
    const unsigned char odd[16] = {'a',  '!', '-', '_', '1', 'A', '0', '0',
                                   0xFF, 'Z', '9', '.', '0', '0', 'x', 'y'};
    TovCstHeader o = parseCstHeader(odd);
    EXPECT_EQ(o.type, uint32_t('a') | uint32_t('-') << 16 | uint32_t('_') << 24);
    EXPECT_EQ(o.majorVersion, 10 * 1 + ('A' - 48));
    EXPECT_EQ(o.format, uint32_t('Z') << 8 | uint32_t('9') << 16);
    EXPECT_EQ(o.encoding, 0);
}

TEST(CstReader, ReadsAFileThroughTheFileStream) {
    quenrix::test::TempDir dir;
    std::string path =
        dir.createFile("doc.cst", kUtf8Header + "\r\nSearch {\r\n\tPath = \"/tmp\";\r\n}\r\n");
    TovInputFileStream in;
    ASSERT_TRUE(in.open(path));
    Recorder r;
    EXPECT_TRUE(r.read(in));
    EXPECT_EQ(joinCalls(r.calls), "begin Search|\nkey Path = /tmp\nend Search\n");
    EXPECT_EQ(in.state(), kStateEof);
}

TEST(CstReader, SurvivesArbitraryBytes) {
    // A cheap deterministic sweep; fuzz/cst_reader_fuzz.cpp does the thorough job.
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return uint8_t(seed >> 16);
    };
    const char alphabet[] = "{}=;,\"\\/ \t\r\nab\x81\x5C\xE3";
    for (int round = 0; round < 500; ++round) {
        for (const std::string& header : {kUtf8Header, kAnsiHeader}) {
            std::string bytes = header;
            int length = next() % 64;
            for (int i = 0; i < length; ++i) {
                uint8_t b = next();
                bytes.push_back(b < 200 ? alphabet[b % (sizeof(alphabet) - 1)] : char(b));
            }
            Recorder r;
            r.plain = header == kAnsiHeader;
            TovInputMemoryStream in(bytes);
            EXPECT_TRUE(r.read(in));
        }
    }
}

}  // namespace
}  // namespace tovy
