// One run of the empty-folder job: the folders to search, the two pattern lists, and the
// folders found with the user's choice and the removal's result. Made by the caller for
// one run of the flow and shared by its dialogs and the two workers, one at a time: the
// search worker fills the found list, the result dialog reorders it and sets the
// selected flags, the removal worker reorders it again and stores the results. Not
// thread-safe; whoever runs a worker leaves the job alone until the worker has ended.
//
// The pattern lists hold wildcard patterns: "*" any text, "?" one character, "."
// itself; every other character keeps its regular-expression meaning. A text matches
// a pattern when the whole text matches, without regard to case.
#pragma once

#include <boost/regex.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ProtectedFolders.h"

namespace quenrix {
class QXAppSettings;
}

namespace Quenrix {

struct SearchEmptyFolderEntry {
    enum Result : int32_t { kNotTried = 0, kRemoved = 1, kFailed = 2 };

    std::string path;  // native bytes, as the search reached the folder
    uint64_t dev = 0;  // the folder the search examined; removal refuses any other
    uint64_t ino = 0;
    bool selected = true;
    Result result = kNotTried;
};

struct SearchEmptyFolderJob {
    std::vector<std::string> targets;  // native paths, in the document's order
    bool recurse = true;
    std::vector<std::wstring> patterns;     // folder paths relative to their target
    std::vector<std::wstring> ignoreFiles;  // names of files a folder may still hold
    std::vector<SearchEmptyFolderEntry> found;
    // The folders never entered nor removed; when unset, those of this machine and user.
    std::optional<platform::ProtectedFolders> protectedFolders;

    // A job over `targets` with copies of the two lists of the settings.
    static SearchEmptyFolderJob make(const std::vector<std::string>& targets,
                                     const quenrix::QXAppSettings& settings);
    // Stores the two lists into the settings.
    void storeLists(quenrix::QXAppSettings& settings) const;
    // Sorts the found list by path without regard to case.
    void sortFound(bool ascending);
};

// The regular expression a wildcard pattern stands for ("^...$").
std::wstring wildcardToExpression(std::wstring_view pattern);

// A compiled pattern list. Matching is read-only and may run on any thread.
class SearchEmptyFolderPatterns {
public:
    // Compiles every pattern. false at the first that is not a valid expression, with
    // that pattern and the engine's explanation in *bad and *why.
    bool compile(const std::vector<std::wstring>& patterns, std::wstring* bad = nullptr,
                 std::wstring* why = nullptr);
    bool empty() const { return m_expressions.empty(); }
    // True when the whole text matches at least one pattern. An expression the engine
    // gives up on (too complex for the text) counts as no match.
    bool matchesAny(const std::wstring& text) const;

private:
    std::vector<boost::wregex> m_expressions;
};

// Checks that every pattern of the list compiles; names the first that does not.
bool checkPatterns(const std::vector<std::wstring>& patterns, std::wstring* bad,
                   std::wstring* why = nullptr);

}  // namespace Quenrix
