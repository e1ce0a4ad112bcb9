// Path texts: POSIX paths held as wide text (through the lossless codec) or bytes, with
// the Windows path helpers the program relies on reproduced for "/" separators.
// Thread-safe: pure functions.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Joins a folder and a name with one "/" (none added when folder already ends with one;
// an empty folder gives the name alone).
std::wstring joinPath(std::wstring_view folder, std::wstring_view name);
std::string joinPath(std::string_view folder, std::string_view name);

// Removes trailing "/" characters, keeping a lone "/".
std::wstring stripTrailingSlashes(std::wstring_view path);
std::string stripTrailingSlashes(std::string_view path);

// The folder part ("/a/b" for "/a/b/c" and "/a/b/c/"; "/" for "/a" and "/"; empty when
// there is no "/").
std::wstring parentPath(std::wstring_view path);
// The last component, trailing slashes ignored ("c" for "/a/b/c" and "/a/b/c/"; empty for
// "/").
std::wstring fileNamePart(std::wstring_view path);

// An absolute path with "." and empty components removed and ".." resolved textually
// (no file-system access); empty when `path` is not absolute.
std::string normalisePath(std::string_view path);

// PathMatchSpecW: `patterns` holds ";"-separated patterns with "*" and "?"; leading spaces of
// each pattern are ignored; "*.*" matches every name; without regard to case.
bool pathMatchSpec(std::wstring_view path, std::wstring_view patterns);

// PathFindExtensionW: the position of the extension's "." (the last "." after the last
// "/" and the last space), or path.size() when there is none.
size_t findExtension(std::wstring_view path);
// The extension with its ".", or empty.
std::wstring extensionOf(std::wstring_view path);
// PathRemoveExtensionW.
std::wstring removeExtension(std::wstring_view path);

}  // namespace platform
