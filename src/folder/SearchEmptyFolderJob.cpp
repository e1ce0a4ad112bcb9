#include "folder/SearchEmptyFolderJob.h"

#include <algorithm>
#include <exception>

#include "doc/QXAppSettings.h"
#include "platform/Text.h"
#include "rule/QXFilenameWildcardRule.h"
#include "tovy/TovUtf8.h"

namespace Quenrix {

SearchEmptyFolderJob SearchEmptyFolderJob::make(const std::vector<std::string>& targets,
                                                const quenrix::QXAppSettings& settings) {
    SearchEmptyFolderJob job;
    job.targets = targets;
    job.recurse = true;
    job.patterns = settings.patternMatch;
    job.ignoreFiles = settings.ignoreFile;
    return job;
}

void SearchEmptyFolderJob::storeLists(quenrix::QXAppSettings& settings) const {
    settings.patternMatch = patterns;
    settings.ignoreFile = ignoreFiles;
}

void SearchEmptyFolderJob::sortFound(bool ascending) {
    std::vector<std::pair<std::wstring, SearchEmptyFolderEntry>> keyed;
    keyed.reserve(found.size());
    for (auto& entry : found) {
        keyed.emplace_back(platform::toLower(tovy::fromUtf8(entry.path)), std::move(entry));
    }
    std::stable_sort(keyed.begin(), keyed.end(), [ascending](const auto& a, const auto& b) {
        return ascending ? a.first < b.first : b.first < a.first;
    });
    found.clear();
    for (auto& [key, entry] : keyed) found.push_back(std::move(entry));
}

std::wstring wildcardToExpression(std::wstring_view pattern) {
    // The same translation as the file-name wildcard rule's.
    return quenrix::QXFilenameWildcardRule::wildcardToExpression(pattern);
}

bool SearchEmptyFolderPatterns::compile(const std::vector<std::wstring>& patterns,
                                        std::wstring* bad, std::wstring* why) {
    m_expressions.clear();
    // no_mod_m: "^" and "$" hold at the ends of the text only, even when a name holds a
    // line feed.
    const auto flags = boost::regex_constants::perl | boost::regex_constants::icase |
                       boost::regex_constants::no_mod_m;
    for (const std::wstring& pattern : patterns) {
        try {
            m_expressions.emplace_back(wildcardToExpression(pattern), flags);
        } catch (const std::exception& e) {
            m_expressions.clear();
            if (bad) *bad = pattern;
            if (why) *why = tovy::fromUtf8(e.what());
            return false;
        }
    }
    return true;
}

bool SearchEmptyFolderPatterns::matchesAny(const std::wstring& text) const {
    for (const boost::wregex& expression : m_expressions) {
        try {
            if (boost::regex_match(text, expression)) return true;
        } catch (const std::exception&) {
            // Not knowing the answer must never make a folder look removable.
        }
    }
    return false;
}

bool checkPatterns(const std::vector<std::wstring>& patterns, std::wstring* bad,
                   std::wstring* why) {
    SearchEmptyFolderPatterns compiled;
    return compiled.compile(patterns, bad, why);
}

}  // namespace Quenrix
