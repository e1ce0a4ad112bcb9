#include "tovy/TovStream.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <dirent.h>

#include <string>
#include <vector>

#include "support/TempDir.h"
#include "tovy/TovUtf8.h"

namespace tovy {
namespace {

using quenrix::test::TempDir;

std::vector<std::string> listFolder(const std::string& path) {
    std::vector<std::string> names;
    if (DIR* d = opendir(path.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != "..") names.push_back(n);
        }
        closedir(d);
    }
    return names;
}

TEST(InputFileStream, EmptyFileTurnsToEndOnFirstRead) {
    TempDir dir;
    TovInputFileStream in;
    ASSERT_TRUE(in.open(dir.createFile("empty")));
    EXPECT_EQ(in.state(), kStateGood);
    EXPECT_EQ(in.remaining(), 0u);
    char buf[4];
    EXPECT_EQ(in.read(buf, sizeof(buf)), 0u);
    EXPECT_EQ(in.state(), kStateEof);
}

TEST(InputFileStream, EndIsReportedWithTheLastByte) {
    TempDir dir;
    TovInputFileStream in;
    ASSERT_TRUE(in.open(dir.createFile("f", "abcdef")));
    EXPECT_EQ(in.remaining(), 6u);
    char buf[8] = {};
    EXPECT_EQ(in.read(buf, 4), 4u);
    EXPECT_EQ(in.state(), kStateGood);
    EXPECT_EQ(in.remaining(), 2u);
    EXPECT_EQ(in.read(buf, 2), 2u);
    EXPECT_EQ(std::string(buf, 2), "ef");
    EXPECT_EQ(in.state(), kStateEof);
    EXPECT_EQ(in.remaining(), 0u);

    TovInputFileStream missing;
    EXPECT_FALSE(missing.open(dir / "nothing"));
    EXPECT_EQ(missing.state(), kStateBad);
    EXPECT_EQ(missing.read(buf, 1), 0u);
    EXPECT_FALSE(missing.open(dir.path()));  // a folder is not a file
}

TEST(TextStream, LineEndsAndTheLastLine) {
    struct {
        const char* name;
        std::string bytes;
        std::vector<std::string> lines;
    } cases[] = {
        {"crlf", "a\r\nb\r\n", {"a", "b"}},
        {"lf", "a\nb\n", {"a", "b"}},
        {"cr", "a\rb\r", {"a", "b"}},
        {"mixed with empty lines", "a\r\n\nb\r\rc", {"a", "", "b", "", "c"}},
        {"no terminator", "last", {"last"}},
        {"cr at the very end", "a\r", {"a"}},
        {"lf cr is two ends", "a\n\rb", {"a", "", "b"}},
        {"invalid utf-8 kept", "\x8E\xCA\n", {"\x8E\xCA"}},
    };
    for (const auto& c : cases) {
        TovInputMemoryStream in(c.bytes);
        TovInputUtf8TextStream text(&in);
        std::vector<std::string> lines;
        for (int guard = 0; text.state() == kStateGood && guard < 100; ++guard) {
            std::wstring line;
            text.readLine(line);
            lines.push_back(toUtf8(line));
        }
        EXPECT_EQ(lines, c.lines) << c.name;
        EXPECT_EQ(text.state(), kStateEof) << c.name;
        EXPECT_EQ(text.readByte(), -1) << c.name;
    }
}

TEST(TextStream, PeekKeepsTheByteAndDetachForgetsTheStream) {
    TovInputMemoryStream in("xy");
    TovInputUtf8TextStream text;
    EXPECT_FALSE(text.isAttached());
    EXPECT_EQ(text.state(), kStateBad);
    EXPECT_EQ(text.readByte(), -1);
    text.attach(&in);
    EXPECT_TRUE(text.isAttached());
    EXPECT_EQ(text.peekByte(), 'x');
    EXPECT_EQ(text.peekByte(), 'x');
    EXPECT_EQ(text.readByte(), 'x');
    EXPECT_EQ(text.peekByte(), 'y');
    // The last byte has been taken from the stream but not yet from us.
    EXPECT_EQ(in.state(), kStateEof);
    EXPECT_EQ(text.state(), kStateGood);
    EXPECT_EQ(text.readByte(), 'y');
    EXPECT_EQ(text.state(), kStateEof);
    EXPECT_EQ(text.peekByte(), -1);
    text.detach();
    EXPECT_FALSE(text.isAttached());
    EXPECT_EQ(text.state(), kStateBad);
    text.attach(nullptr);
    EXPECT_EQ(text.state(), kStateBad);
}

TEST(TextStream, ShiftJisLines) {
    struct {
        const char* name;
        std::string sjis;
        std::wstring text;
    } cases[] = {
        {"ascii", "abc", L"abc"},
        {"kanji", "\x8E\xCA\x90\x5E", L"\u5199\u771F"},
        {"trail byte 5C", "\x95\x5C", L"\u8868"},
        {"half-width katakana", "\xB1", L"\uFF71"},
        {"lone lead byte at the end", "a\x81", std::wstring(L"a") + wchar_t(0xDC81)},
        {"invalid byte", "\xA0z", std::wstring(1, wchar_t(0xDCA0)) + L"z"},
        {"lead byte before a space", "\x81 x", std::wstring(1, wchar_t(0xDC81)) + L" x"},
        {"zero ends the text", std::string("ab\0cd", 5), L"ab"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fromSjis(c.sjis), c.text) << c.name;
        TovInputMemoryStream in(c.sjis + "\r\n");
        TovInputSjisTextStream text(&in);
        std::wstring line;
        EXPECT_EQ(text.readLine(line), c.text.size()) << c.name;
        EXPECT_EQ(line, c.text) << c.name;
    }
}

TEST(ShiftJis, StrictEncodingReadsBackAsItself) {
    const std::wstring escaped(1, wchar_t(0xDC82));
    struct {
        const char* name;
        std::wstring text;
        bool ok;
        std::string sjis;  // when ok
        size_t badAt;      // when not
    } cases[] = {
        {"empty", L"", true, "", 0},
        {"ascii with backslash and tilde", L"a\\b~c", true, "a\\b~c", 0},
        {"kanji with trail byte 5C", L"\u8868\u5199\u771F", true, "\x95\x5C\x8E\xCA\x90\x5E", 0},
        {"hiragana and half-width katakana", L"\u3042\uFF71", true, "\x82\xA0\xB1", 0},
        {"full-width tilde", L"\uFF5E", true, "\x81\x60", 0},
        {"NEC circled digit", L"\u2460", true, "\x87\x40", 0},
        {"yen sign folds onto the backslash", L"ab\u00A5", false, "", 2},
        {"wave dash folds onto the full-width tilde", L"\u3042\u301C", false, "", 1},
        {"minus sign folds onto the full-width hyphen", L"\u2212", false, "", 0},
        {"broken bar is outside the code page", L"x\u00A6", false, "", 1},
        {"emoji", L"\u3042\U0001F600", false, "", 1},
        {"unit of an undecodable byte", L"a" + escaped, false, "", 1},
        {"zero character", std::wstring(L"a\0\u3042", 3), false, "", 1},
    };
    for (const auto& c : cases) {
        std::string out;
        size_t badAt = 99;
        EXPECT_EQ(toSjis(c.text, out, &badAt), c.ok) << c.name;
        if (c.ok) {
            EXPECT_EQ(out, c.sjis) << c.name;
            EXPECT_EQ(fromSjis(out), c.text) << c.name;
        } else {
            EXPECT_EQ(badAt, c.badAt) << c.name;
        }
    }
}

TEST(OutputFileStream, WritesSeeksAndTruncates) {
    TempDir dir;
    std::string path = dir.createFile("out", "previous longer contents");
    TovOutputFileStream out;
    EXPECT_FALSE(out.isOpen());
    EXPECT_EQ(out.write("x", 1), 0u);
    ASSERT_TRUE(out.open(path));
    EXPECT_EQ(out.write("hello world", 11), 11u);
    EXPECT_EQ(out.tell(), 11);
    EXPECT_EQ(out.seek(0, 0), 0);
    EXPECT_EQ(out.write("J", 1), 1u);
    EXPECT_EQ(out.seek(0, 2), 11);
    out.flush();
    EXPECT_EQ(quenrix::test::readFile(path), "Jello world");
    out.close();
    EXPECT_FALSE(out.isOpen());
    EXPECT_EQ(out.state(), kStateGood);

    TovOutputFileStream bad;
    EXPECT_FALSE(bad.open(dir / "no/such/folder/file"));
    EXPECT_EQ(bad.state(), kStateBad);
}

TEST(File, ReadWriteSeekAndState) {
    TempDir dir;
    std::string path = dir / "f.bin";
    TovFile f;
    char buf[8] = {};
    EXPECT_EQ(f.read(buf, 1), 0u);
    EXPECT_EQ(f.write("x", 1), 0u);
    EXPECT_EQ(f.seek(0, 0), -1);
    EXPECT_FALSE(f.openRead(path));  // existing files only
    ASSERT_TRUE(f.openWrite(path));
    EXPECT_EQ(f.write("abcdef", 6), 6u);
    EXPECT_EQ(f.lastTransfer(), 6u);
    EXPECT_EQ(f.seek(0, 7), 0);  // unknown origin
    f.close();

    ASSERT_TRUE(f.openRead(path));
    EXPECT_EQ(f.state(), kStateGood);
    EXPECT_EQ(f.remaining(), 6u);
    EXPECT_EQ(f.seek(2, 0), 2);
    EXPECT_EQ(f.remaining(), 4u);
    EXPECT_EQ(f.tell(), 2);  // remaining() keeps the position
    EXPECT_EQ(f.read(buf, 8), 4u);
    EXPECT_EQ(std::string(buf, 4), "cdef");
    EXPECT_EQ(f.state(), kStateEof);
    EXPECT_EQ(f.seek(-1, 2), 5);
    EXPECT_EQ(f.seek(-2, 1), 3);
}

TEST(AtomicWrite, ReplacesOrCreatesAndLeavesNoTemporaryFile) {
    TempDir dir;
    std::string path = dir.createFile("settings.ini", "old");
    chmod(path.c_str(), 0600);
    ASSERT_TRUE(writeFileAtomically(path, "new contents"));
    EXPECT_EQ(quenrix::test::readFile(path), "new contents");
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);  // the old file's mode is kept

    std::string fresh = dir / "fresh.cst";
    ASSERT_TRUE(writeFileAtomically(fresh, ""));
    EXPECT_TRUE(quenrix::test::pathExists(fresh));
    EXPECT_EQ(quenrix::test::readFile(fresh), "");
    EXPECT_EQ(listFolder(dir.path()).size(), 2u);
}

TEST(AtomicWrite, FailureLeavesTheOldFile) {
    TempDir dir;
    // A folder where the file should be: the rename fails, nothing is left behind.
    std::string folder = dir.createDir("taken");
    dir.createFile("taken/inside", "x");
    EXPECT_FALSE(writeFileAtomically(folder, "data"));
    EXPECT_EQ(listFolder(dir.path()), std::vector<std::string>{"taken"});

    // A missing folder.
    EXPECT_FALSE(writeFileAtomically(dir / "missing/file", "data"));
    EXPECT_FALSE(writeFileAtomically("", "data"));

    // A folder that cannot be written to.
    if (geteuid() != 0) {
        std::string locked = dir.createDir("locked");
        std::string file = dir.createFile("locked/doc", "old");
        chmod(locked.c_str(), 0500);
        EXPECT_FALSE(writeFileAtomically(file, "new"));
        EXPECT_EQ(quenrix::test::readFile(file), "old");
        EXPECT_EQ(listFolder(locked), std::vector<std::string>{"doc"});
        chmod(locked.c_str(), 0700);
    }
}

}  // namespace
}  // namespace tovy
