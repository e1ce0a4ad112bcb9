#include "tovy/TovCstWriter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TempDir.h"
#include "tovy/TovCstReader.h"
#include "tovy/TovUtf8.h"

namespace tovy {
namespace {

class Collector : public TovCstReader {
public:
    std::vector<std::string> calls;

protected:
    bool beginSection(const std::wstring& name, const std::wstring& argument) override {
        calls.push_back("begin " + toUtf8(name) + "|" + toUtf8(argument));
        return true;
    }
    void endSection(const std::wstring& name) override { calls.push_back("end " + toUtf8(name)); }
    void receiveText(const std::wstring& key, const std::vector<std::wstring>& values) override {
        std::string line = "key " + toUtf8(key) + " =";
        for (size_t i = 0; i < values.size(); ++i) line += (i ? "|" : " ") + toUtf8(values[i]);
        calls.push_back(line);
    }
};

TEST(CstWriter, WritesTheFixedLayout) {
    TovOutputStringStream out;
    {
        TovCstWriter w(&out);
        EXPECT_TRUE(w.writeHeader());
        EXPECT_TRUE(w.beginSection("Search"));
        EXPECT_TRUE(w.writeValue("Path", "\"/tmp\""));
        EXPECT_TRUE(w.writeValue("Empty", ""));
        EXPECT_TRUE(w.beginSection("Rules"));
        EXPECT_TRUE(w.beginSection("Rule", "filename"));
        EXPECT_EQ(w.depth(), 3u);
        EXPECT_TRUE(w.writeValue("Name", "\"*.tmp\""));
        EXPECT_TRUE(w.endSection());
        EXPECT_TRUE(w.endSection());
        EXPECT_TRUE(w.writeLineEnd());
        EXPECT_TRUE(w.endSection());
        EXPECT_TRUE(w.endSection());  // not below 0
        EXPECT_EQ(w.depth(), 0u);
    }
    EXPECT_EQ(out.bytes(),
              "qnrx0101txt 03  \r\n"
              "\r\n"
              "Search {\r\n"
              "\tPath = \"/tmp\";\r\n"
              "\tEmpty = ;\r\n"
              "\r\n"
              "\tRules {\r\n"
              "\r\n"
              "\t\tRule \"filename\" {\r\n"
              "\t\t\tName = \"*.tmp\";\r\n"
              "\t\t}\r\n"
              "\t}\r\n"
              "\r\n"
              "}\r\n"
              "}\r\n");
}

TEST(CstWriter, EmptyNameAndKeyWriteNothingButCountDepth) {
    TovOutputStringStream out;
    TovCstWriter w(&out);
    EXPECT_TRUE(w.beginSection(""));
    EXPECT_EQ(w.depth(), 1u);
    EXPECT_TRUE(w.writeValue("", "x"));
    EXPECT_EQ(out.bytes(), "");
    EXPECT_TRUE(w.endSection());
    EXPECT_EQ(out.bytes(), "}\r\n");
}

TEST(CstWriter, RefusesLineBreaksAndMissingStream) {
    TovOutputStringStream out;
    TovCstWriter w(&out);
    EXPECT_FALSE(w.writeValue("Path", cstValue("a\nb")));
    EXPECT_FALSE(w.writeValue("Path", cstValue("a\rb")));
    EXPECT_FALSE(w.writeValue("Pa\nth", "x"));
    EXPECT_FALSE(w.beginSection("Rule", "a\r\nb"));
    EXPECT_EQ(w.depth(), 0u);
    EXPECT_EQ(out.bytes(), "");
    EXPECT_TRUE(hasLineBreak("\n"));
    EXPECT_FALSE(hasLineBreak("a\tb"));

    TovCstWriter none(nullptr);
    EXPECT_FALSE(none.writeHeader());
    EXPECT_FALSE(none.beginSection("A"));
    EXPECT_FALSE(none.writeValue("k", "v"));
    EXPECT_FALSE(none.endSection());
}

TEST(CstWriter, ValuesRoundTripThroughTheEscapingTokenizer) {
    const char* values[] = {
        "",
        "plain",
        "with space",
        "C:\\temp\\",
        "say \"hi\"",
        "\"",
        "\\\"",
        "{=;,}",
        "}",
        ";",
        ",",
        "// not a comment",
        "trailing backslash \\",
        "\xE5\x86\x99\xE7\x9C\x9F",
        "\x8E\xCA bytes",
        "tab\there",
    };
    TovOutputStringStream out;
    {
        TovCstWriter w(&out);
        w.writeHeader();
        w.beginSection("Values", "my rule");
        for (const char* v : values) EXPECT_TRUE(w.writeValue("v", cstValue(v))) << v;
        w.endSection();
    }
    Collector c;
    TovInputMemoryStream in(out.bytes());
    ASSERT_TRUE(c.read(in));
    ASSERT_EQ(c.calls.size(), std::size(values) + 2);
    EXPECT_EQ(c.calls.front(), "begin Values|my rule");
    for (size_t i = 0; i < std::size(values); ++i)
        EXPECT_EQ(c.calls[i + 1], std::string("key v = ") + values[i]) << values[i];
    EXPECT_EQ(c.calls.back(), "end Values");
}

TEST(CstWriter, ReplacesAFileAtomically) {
    quenrix::test::TempDir dir;
    std::string path = dir.createFile("doc.cst", "old contents");
    TovOutputStringStream out;
    {
        TovCstWriter w(&out);
        w.writeHeader();
        w.beginSection("Search");
        w.writeValue("Path", cstValue("/home"));
        w.endSection();
    }
    ASSERT_TRUE(writeFileAtomically(path, out.bytes()));
    EXPECT_EQ(quenrix::test::readFile(path), out.bytes());

    TovInputFileStream in;
    ASSERT_TRUE(in.open(path));
    Collector c;
    EXPECT_TRUE(c.read(in));
    EXPECT_EQ(c.calls,
              (std::vector<std::string>{"begin Search|", "key Path = /home", "end Search"}));
}

TEST(CstWriter, WritesThroughTheFileStream) {
    quenrix::test::TempDir dir;
    std::string path = dir / "out.cst";
    {
        TovOutputFileStream out(path);
        ASSERT_TRUE(out.isOpen());
        {
            TovCstWriter w(&out);
            w.writeHeader();
            w.writeValue("k", "v");
        }
        out.close();
        EXPECT_EQ(out.state(), kStateGood);
    }
    EXPECT_EQ(quenrix::test::readFile(path), "qnrx0101txt 03  \r\nk = v;\r\n");
}

}  // namespace
}  // namespace tovy
