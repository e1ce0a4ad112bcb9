#include "platform/Path.h"

#include <gtest/gtest.h>

#include "tovy/TovUtf8.h"

namespace platform {
namespace {

TEST(PathMatchSpec, MatchesWildcardsAlternativesAndCase) {
    struct {
        const wchar_t* path;
        const wchar_t* patterns;
        bool match;
    } cases[] = {
        {L"photo.jpg", L"*.jpg", true},
        {L"photo.jpeg", L"*.jpg", false},
        {L"PHOTO.JPG", L"*.jpg", true},
        {L"photo.jpg", L"*.JPG", true},
        {L"\u00C4rger.txt", L"\u00E4*", true},  // case folding beyond ASCII
        {L"photo.jpg", L"*.png;*.jpg", true},
        {L"photo.gif", L"*.png;*.jpg", false},
        {L"photo.jpg", L"*.png;   *.jpg", true},  // leading spaces of a pattern skipped
        {L"photo.jpg", L"*.jpg ", false},         // trailing spaces are part of it
        {L"photo.jpg", L"*.png;", false},
        {L"a1.txt", L"a?.txt", true},
        {L"a.txt", L"a?.txt", false},
        {L"a12.txt", L"a?.txt", false},
        {L"readme", L"*.*", true},  // also a name without a dot
        {L"readme", L"*.txt;*.*", true},
        {L"readme", L"*", true},
        {L"", L"*", true},
        {L"", L"", false},
        {L"/home/u/pics/a.jpg", L"*/pics/*", true},  // "*" runs over "/"
        {L"/home/u/pics/a.jpg", L"a.jpg", false},    // the whole text must match
        {L"aaaaaaaaaaaaaaaaaaaaaaaaaaaab", L"*a*a*a*a*a*a*a*c", false},
        {L"abcabd", L"*abd", true},
        {L"x.tar.gz", L"*.tar.*", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(pathMatchSpec(c.path, c.patterns), c.match)
            << tovy::toUtf8(c.path) << " ~ " << tovy::toUtf8(c.patterns);
    }
}

TEST(PathExtension, FollowsTheWindowsRules) {
    struct {
        const wchar_t* path;
        const wchar_t* extension;
        const wchar_t* removed;
    } cases[] = {
        {L"photo.jpg", L".jpg", L"photo"},
        {L"/a/b/photo.jpg", L".jpg", L"/a/b/photo"},
        {L"archive.tar.gz", L".gz", L"archive.tar"},
        {L"a.b/c", L"", L"a.b/c"},      // the dot is in a folder name
        {L"a b.c d", L"", L"a b.c d"},  // a space after the dot ends it
        {L"a b.cd", L".cd", L"a b"},
        {L".profile", L".profile", L""},  // as Windows: the whole name
        {L"/home/u/.bashrc", L".bashrc", L"/home/u/"},
        {L"name.", L".", L"name"},  // trailing dot
        {L"noext", L"", L"noext"},
        {L"", L"", L""},
    };
    for (const auto& c : cases) {
        std::wstring_view path = c.path;
        EXPECT_EQ(extensionOf(path), c.extension) << tovy::toUtf8(c.path);
        EXPECT_EQ(removeExtension(path), c.removed) << tovy::toUtf8(c.path);
        EXPECT_EQ(findExtension(path), path.size() - std::wstring_view(c.extension).size())
            << tovy::toUtf8(c.path);
    }
}

TEST(PathText, JoinsStripsAndSplits) {
    EXPECT_EQ(joinPath(L"/a", L"b"), L"/a/b");
    EXPECT_EQ(joinPath(L"/a/", L"b"), L"/a/b");
    EXPECT_EQ(joinPath(L"/", L"b"), L"/b");
    EXPECT_EQ(joinPath(L"", L"b"), L"b");
    EXPECT_EQ(joinPath(std::string_view("/a"), std::string_view("\x8E\xCA")), "/a/\x8E\xCA");

    EXPECT_EQ(stripTrailingSlashes(L"/a/b//"), L"/a/b");
    EXPECT_EQ(stripTrailingSlashes(L"///"), L"/");
    EXPECT_EQ(stripTrailingSlashes(std::string_view("/")), "/");
    EXPECT_EQ(stripTrailingSlashes(std::string_view("")), "");

    struct {
        const wchar_t* path;
        const wchar_t* parent;
        const wchar_t* name;
    } cases[] = {
        {L"/a/b/c", L"/a/b", L"c"}, {L"/a/b/c/", L"/a/b", L"c"}, {L"/a", L"/", L"a"},
        {L"/", L"/", L""},          {L"c", L"", L"c"},           {L"/a//b", L"/a", L"b"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parentPath(c.path), c.parent) << tovy::toUtf8(c.path);
        EXPECT_EQ(fileNamePart(c.path), c.name) << tovy::toUtf8(c.path);
    }
}

TEST(PathText, NormalisesTextually) {
    struct {
        const char* path;
        const char* normal;
    } cases[] = {
        {"/", "/"},        {"/a/b", "/a/b"}, {"/a//b/", "/a/b"},       {"/a/./b", "/a/b"},
        {"/a/../b", "/b"}, {"/../..", "/"},  {"/a/b/../../c/.", "/c"}, {"/a/..b", "/a/..b"},
        {"a/b", ""},       {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(normalisePath(c.path), c.normal) << c.path;
}

}  // namespace
}  // namespace platform
