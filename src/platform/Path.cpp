#include "platform/Path.h"

#include <vector>

#include "platform/Text.h"

namespace platform {

namespace {

template <typename Char>
std::basic_string<Char> joinPathT(std::basic_string_view<Char> folder,
                                  std::basic_string_view<Char> name) {
    std::basic_string<Char> out;
    out.reserve(folder.size() + 1 + name.size());
    out.append(folder);
    if (!folder.empty() && folder.back() != Char('/')) out.push_back(Char('/'));
    out.append(name);
    return out;
}

template <typename Char>
std::basic_string_view<Char> stripTrailingSlashesT(std::basic_string_view<Char> path) {
    size_t end = path.find_last_not_of(Char('/'));
    if (end == std::basic_string_view<Char>::npos) return path.substr(0, path.empty() ? 0 : 1);
    return path.substr(0, end + 1);
}

// One pattern (up to its ";" or the end) against the whole text: "*" any run, "?" any
// one character, otherwise equal without regard to case. Greedy with one back-track
// point, which is exact for these two wildcards and linear in practice.
bool matchPattern(std::wstring_view text, std::wstring_view pattern) {
    size_t t = 0, p = 0;
    size_t starP = std::wstring_view::npos, starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == L'*') {
            starP = p++;
            starT = t;
        } else if (p < pattern.size() &&
                   (pattern[p] == L'?' || toLower(pattern[p]) == toLower(text[t]))) {
            ++p;
            ++t;
        } else if (starP != std::wstring_view::npos) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == L'*') ++p;
    return p == pattern.size();
}

}  // namespace

std::wstring joinPath(std::wstring_view folder, std::wstring_view name) {
    return joinPathT(folder, name);
}

std::string joinPath(std::string_view folder, std::string_view name) {
    return joinPathT(folder, name);
}

std::wstring stripTrailingSlashes(std::wstring_view path) {
    return std::wstring(stripTrailingSlashesT(path));
}

std::string stripTrailingSlashes(std::string_view path) {
    return std::string(stripTrailingSlashesT(path));
}

std::wstring parentPath(std::wstring_view path) {
    std::wstring_view p = stripTrailingSlashesT(path);
    size_t slash = p.rfind(L'/');
    if (slash == std::wstring_view::npos) return {};
    return std::wstring(stripTrailingSlashesT(p.substr(0, slash + 1)));
}

std::wstring fileNamePart(std::wstring_view path) {
    std::wstring_view p = stripTrailingSlashesT(path);
    size_t slash = p.rfind(L'/');
    return std::wstring(slash == std::wstring_view::npos ? p : p.substr(slash + 1));
}

std::string normalisePath(std::string_view path) {
    if (path.empty() || path.front() != '/') return {};
    std::vector<std::string_view> parts;
    size_t pos = 0;
    while (pos < path.size()) {
        size_t slash = path.find('/', pos);
        if (slash == std::string_view::npos) slash = path.size();
        std::string_view part = path.substr(pos, slash - pos);
        pos = slash + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    if (parts.empty()) return "/";
    std::string out;
    out.reserve(path.size());
    for (std::string_view part : parts) {
        out.push_back('/');
        out.append(part);
    }
    return out;
}

bool pathMatchSpec(std::wstring_view path, std::wstring_view patterns) {
    size_t pos = 0;
    while (pos < patterns.size()) {
        while (pos < patterns.size() && patterns[pos] == L' ') ++pos;
        size_t end = patterns.find(L';', pos);
        if (end == std::wstring_view::npos) end = patterns.size();
        std::wstring_view pattern = patterns.substr(pos, end - pos);
        // "*.*" stands for every name, also one without a dot.
        if (pattern == L"*.*" || matchPattern(path, pattern)) return true;
        pos = end + 1;
    }
    return false;
}

size_t findExtension(std::wstring_view path) {
    size_t dot = path.size();
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] == L'/' || path[i] == L' ') {
            dot = path.size();
        } else if (path[i] == L'.') {
            dot = i;
        }
    }
    return dot;
}

std::wstring extensionOf(std::wstring_view path) {
    return std::wstring(path.substr(findExtension(path)));
}

std::wstring removeExtension(std::wstring_view path) {
    return std::wstring(path.substr(0, findExtension(path)));
}

}  // namespace platform
