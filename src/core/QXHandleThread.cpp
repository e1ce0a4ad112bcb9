#include "core/QXHandleThread.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <new>
#include <system_error>
#include <thread>

#include "core/QXFolderPrefetch.h"
#include "core/QXLog.h"
#include "core/QXProgressSink.h"
#include "core/QXPrompt.h"
#include "digest/QXCacheServer.h"
#include "platform/ErrorText.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "tovy/TovUtf8.h"

namespace quenrix {

namespace {

const wchar_t kSourceName[] = L"tool\\QXToolHandleThread";
constexpr int kStepWalk = 266;
constexpr int kStepShellList = 448;
// The shell delivers items in batches; cancel is looked at after each.
constexpr size_t kBatch = 256;
// The file line is a view for the user; more than ~30 updates a second only cost time.
constexpr auto kFileLineInterval = std::chrono::milliseconds(30);

std::wstring percentText(int percent) {
    return std::to_wstring(percent) + L" %";
}

}  // namespace

QXHandleThread::QXHandleThread(QXSearchParams params, QXProgressSink& sink, QXPrompt* prompt)
    : m_params(std::move(params)), m_sink(sink), m_prompt(prompt) {
    m_files = std::move(m_params.files);
}

QXHandleThread::~QXHandleThread() = default;

void QXHandleThread::setProtectedFolders(platform::ProtectedFolders folders) {
    m_protected = std::move(folders);
    m_protectedSet = true;
}

uint32_t QXHandleThread::run() {
    if (!m_protectedSet) {
        m_protected = platform::ProtectedFolders::system();
        m_protectedSet = true;
    }
    QXLog::Write(L"検索を開始します");
    search();
    if (cancelled()) QXLog::Write(L"中断しました。");
    m_sink.finished();
    QXLog::Write(L"検索を終了します");
    return 0;
}

bool QXHandleThread::search(const std::function<void()>& listed) {
    for (auto& pattern : m_params.ignoreList) pattern = platform::toLower(pattern);
    // Values computed during the search reach the cache in a few transactions. The rows
    // the rules will look up are read on a thread of their own while the files are
    // listed: the walk waits on the file system and the reading on the database.
    if (m_params.cache) m_params.cache->beginBatch();
    std::thread preloading;
    if (m_params.cache && m_files.empty()) {  // a list given beforehand is not walked
        try {
            preloading = std::thread([this] { preloadCache(); });
        } catch (const std::system_error&) {
            // The rules then read the rows themselves.
        }
    }
    const bool ok = buildFileList();
    if (preloading.joinable()) preloading.join();
    if (ok && listed) listed();
    if (ok && !cancelled()) runRules();
    if (m_params.cache) m_params.cache->endBatch();
    if (ok && !cancelled()) collect();
    return ok;
}

bool QXHandleThread::buildFileList() {
    if (m_files.empty()) {
        m_targetIndex = 0;
        m_sink.setStatusLine(L"ファイルリストを構築しています");
        QXLog::Write(L"ファイルリストを構築します...");
        // Folders are read ahead on a second thread while the walk makes the records.
        if (m_params.includeSubfolders) {
            try {
                m_prefetch = std::make_unique<QXFolderPrefetch>();
            } catch (const std::bad_alloc&) {
            }
        }
        struct PrefetchEnd {
            std::unique_ptr<QXFolderPrefetch>& prefetch;
            ~PrefetchEnd() { prefetch.reset(); }
        } prefetchEnd{m_prefetch};
        for (const auto& target : m_params.targets) {
            std::wstring path = tovy::fromUtf8(target->path);
            QXLog::Write(L"%s", path.c_str());
            if (!enumerateTarget(*target)) {
                QXLog::Write(L"ファイルの列挙に失敗しました。");
                return false;
            }
            QXLog::Write(L"%s", path.c_str());
            ++m_targetIndex;
            if (cancelled()) return false;
        }
    }

    const bool isAnd = m_params.ruleOperator == kAnd;
    // The similar-image marks go too: left from an earlier search they would put records
    // of no group into "group 0" of the result list's ticking.
    const uint32_t clear = QXFileInfo::kCheck | QXFileInfo::kDone | QXFileInfo::kInGroup |
                           QXFileInfo::kNewestInGroup | QXFileInfo::kDecided |
                           QXFileInfo::kMatched | QXFileInfo::kSimilarWork1 |
                           QXFileInfo::kSimilarWork2;
    for (const auto& file : m_files) {
        file->clearFlags(clear);
        if (isAnd) file->addFlags(QXFileInfo::kMatched);
        file->groupNumber = 0;
    }
    for (const auto& rule : m_params.rules) {
        if (rule->group()) {
            rule->group()->membersSeen = 0;
            rule->group()->memberCount = 0;
        }
    }
    for (const auto& rule : m_params.rules) {
        if (rule->group()) ++rule->group()->memberCount;
    }
    QXLog::Write(L"ファイルリストを作成しました。");
    return true;
}

void QXHandleThread::preloadCache() {
    // Runs beside the walk: it reads the rules and targets, never the file list.
    std::vector<std::string> tags;
    for (const auto& rule : m_params.rules) {
        if (!rule->enabled()) continue;
        for (std::string& tag : rule->cacheTags())
            if (std::find(tags.begin(), tags.end(), tag) == tags.end())
                tags.push_back(std::move(tag));
    }
    if (tags.empty() || m_params.targets.empty()) return;
    // The folder all the targets lie in: the paths of their files start with it.
    std::string common;
    bool first = true;
    for (const auto& target : m_params.targets) {
        std::string path = target->itemIdList.path();
        struct stat st;
        if (::stat(path.c_str(), &st) != 0) return;
        if (S_ISDIR(st.st_mode)) {
            if (path.empty() || path.back() != '/') path += '/';
        } else {
            path.erase(path.rfind('/') + 1);
        }
        if (first) {
            common = std::move(path);
            first = false;
            continue;
        }
        size_t i = 0;
        while (i < common.size() && i < path.size() && common[i] == path[i]) ++i;
        common.erase(i);
    }
    const size_t slash = common.rfind('/');
    if (slash == std::string::npos) return;
    common.erase(slash + 1);
    try {
        m_params.cache->preload(tags, common);
    } catch (const std::bad_alloc&) {
    }
}

bool QXHandleThread::markVisited(const platform::FileStat& folderStat) {
    return m_visited.insert(FolderId{folderStat.dev, folderStat.ino}).second;
}

bool QXHandleThread::ignored(const std::string& folder) const {
    if (m_params.ignoreList.empty()) return false;
    const std::wstring lower = platform::toLower(tovy::fromUtf8(folder));
    for (const auto& pattern : m_params.ignoreList) {
        if (platform::pathMatchSpec(lower, pattern)) return true;
    }
    return false;
}

bool QXHandleThread::enumerateTarget(const QXTarget& target) {
    const std::string name = target.itemIdList.path();
    m_sink.setRuleLine(tovy::fromUtf8(name));

    platform::DirReader reader(name, /*followLink=*/true);
    if (!reader.ok()) {
        m_unlisted.push_back(name);
        QXLog::Write(L"file[%s] line[%d] HRESULT[%08X]", kSourceName, kStepShellList,
                     platform::hresultFromErrno(reader.error()));
        return false;
    }
    // The target takes part in the visited set (through a link the user named, as the
    // listing reads it), so a repeated or overlapping target yields no second record.
    struct stat self;
    if (::stat(name.c_str(), &self) == 0 &&
        !markVisited(platform::FileStat{.dev = self.st_dev, .ino = self.st_ino})) {
        return true;
    }

    std::string entryName;
    platform::FileStat st;
    size_t inBatch = 0;
    while (reader.next(entryName, st)) {
        if (!m_params.includeHidden && entryName[0] == '.') continue;  // the shell hides them
        if (st.isSymlink()) continue;                                  // never followed
        std::string full = platform::joinPath(name, entryName);
        if (!st.isDirectory()) {
            if (m_params.includeSystem || !(st.attributes & platform::FILE_ATTRIBUTE_SYSTEM)) {
                addRecord(std::move(full), st, nullptr);
            }
        } else if (m_params.includeSubfolders && !ignored(full)) {
            walk(full, st);
        }
        if (++inBatch == kBatch) {
            inBatch = 0;
            if (cancelled()) return false;
        }
    }
    if (cancelled()) return false;
    return true;
}

void QXHandleThread::shortenIndent() {
    if (m_logIndent.size() > 1) m_logIndent.resize(m_logIndent.size() - 2);
}

void QXHandleThread::showFileLine(const std::string& path) {
    auto now = std::chrono::steady_clock::now();
    if (now - m_lastFileLine < kFileLineInterval) return;
    m_lastFileLine = now;
    m_sink.setFileLine(tovy::fromUtf8(path));
}

bool QXHandleThread::walk(const std::string& folder, const platform::FileStat& folderStat) {
    if (!markVisited(folderStat)) {  // reached again through a bind mount
        if (m_prefetch) m_prefetch->forget(folder);
        return false;
    }

    const bool logging = QXLog::enabled();
    std::wstring wideFolder;
    if (logging) {
        wideFolder = tovy::fromUtf8(folder);
        QXLog::Write(L"ENUM: %s'%s'", m_logIndent.c_str(), wideFolder.c_str());
        m_logIndent += L"  ";
    }
    if (m_protected.contains(folderStat.dev, folderStat.ino)) {
        QXLog::Write(L"Safe.");
        shortenIndent();
        if (m_prefetch) m_prefetch->forget(folder);
        return false;
    }
    showFileLine(folder);

    QXFolderListing listing;
    try {
        listing = m_prefetch ? m_prefetch->take(folder) : QXFolderListing::read(folder);
    } catch (const std::bad_alloc&) {
        listing = QXFolderListing{};
        listing.error = ENOMEM;
    }
    if (!listing.ok) {
        m_unlisted.push_back(folder);
        std::wstring text = platform::errorText(listing.error);
        QXLog::Write(L"%s (%s,%d)", text.c_str(), kSourceName, kStepWalk);
        shortenIndent();
        return false;
    }
    auto hiddenOut = [&](const platform::FileStat& st) {
        return !m_params.includeHidden && (st.attributes & platform::FILE_ATTRIBUTE_HIDDEN);
    };
    auto entered = [&](const platform::FileStat& st) {
        return !st.isSymlink() && (st.attributes & platform::FILE_ATTRIBUTE_DIRECTORY) &&
               m_params.includeSubfolders && !hiddenOut(st);
    };
    // The folders this one leads to are read ahead while the walk is busy elsewhere.
    if (m_prefetch) {
        for (const auto& [name, st] : listing.entries) {
            if (entered(st) && !m_protected.contains(st.dev, st.ino) &&
                !m_visited.count(FolderId{st.dev, st.ino}))
                m_prefetch->hint(platform::joinPath(folder, name));
        }
    }
    for (const auto& [name, st] : listing.entries) {
        const uint32_t a = st.attributes;
        if (st.isSymlink()) continue;  // never followed, never a record
        if (!(a & platform::FILE_ATTRIBUTE_DIRECTORY)) {
            if (!hiddenOut(st) &&
                !(!m_params.includeSystem && (a & platform::FILE_ATTRIBUTE_SYSTEM))) {
                addRecord(platform::joinPath(folder, name), st, &folder);
            }
        } else if (entered(st)) {
            // Dot-folders are hidden, and the files inside them are not dot-named: when
            // hidden files are excluded such folders are not entered at all.
            walk(platform::joinPath(folder, name), st);
        }
        if (cancelled()) break;
    }
    if (logging) {
        shortenIndent();
        QXLog::Write(L"ENUM:*%s'%s'", m_logIndent.c_str(), wideFolder.c_str());
    }
    return true;
}

QXFileInfoPtr QXHandleThread::newRecord(std::string path, const platform::FileStat& st) {
    try {
        return QXFileInfo::fromEnumeration(std::move(path), st, m_targetIndex);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void QXHandleThread::addRecord(std::string path, const platform::FileStat& st,
                               const std::string* walkFolder) {
    QXFileInfoPtr record = newRecord(std::move(path), st);
    if (record) {
        try {
            m_files.push_back(std::move(record));
            return;
        } catch (const std::bad_alloc&) {
        }
    }
    if (walkFolder && QXLog::enabled() && m_prompt) {
        std::wstring text = L"Quenrix Error : QXHandleThread.EnumFiles(" +
                            tovy::fromUtf8(*walkFolder) + L") : Out of memory.";
        m_prompt->messageBox(text, L"", QXIcon::Error);
    }
    QXLog::Write(L"QXHandleThread : EnumFiles : Out of memory.");
}

void QXHandleThread::showFile(const QXFileInfo& file) {
    showFileLine(file.nativePath());
}

void QXHandleThread::report(int percent) {
    const int overall = percent * m_progressShare / 100 + m_progressBase;
    m_sink.setOverall(overall, percentText(overall));
    m_sink.setTask(percent, percentText(percent));
}

void QXHandleThread::runRules() {
    m_sink.setStatusLine(L"ルールを適用しています");
    m_sink.setOverall(0, L"     ");
    m_sink.setTask(0, L"     ");
    const size_t n = m_params.rules.size();
    m_progressBase = 0;
    m_progressShare = n ? int32_t(100 / n) : 0;
    resetGroupNumbers();
    for (size_t i = 0; i < n; ++i) {
        QXRule& rule = *m_params.rules[i];
        m_sink.setRuleLine(rule.description());
        m_sink.setTask(0, L"\u3000\u3000\u3000\u3000");
        rule.apply(m_files, *this);
        if (cancelled()) break;
        combine(i + 1);
        m_progressBase = int32_t(100 * (i + 1) / n);
    }
    QXLog::Write(L"ルールを適用しました");
}

void QXHandleThread::combine(size_t ruleCount) {
    const bool isAnd = m_params.ruleOperator == kAnd;
    const QXRuleList& rules = m_params.rules;
    for (size_t k = 0; k < m_files.size(); ++k) {
        QXFileInfo& file = *m_files[k];
        for (size_t j = 0; j < ruleCount; ++j) {
            if (QXRuleGroup* g = rules[j]->group().get()) {
                g->membersSeen = 0;
                g->value = g->type == QXRuleGroup::kAnd;
            }
        }
        if (file.hasFlag(QXFileInfo::kDecided)) continue;
        for (size_t j = 0; j < ruleCount && !file.hasFlag(QXFileInfo::kDecided); ++j) {
            const QXRule& rule = *rules[j];
            bool value = rule.verdict(k);
            if (QXRuleGroup* g = rule.group().get()) {
                ++g->membersSeen;
                if ((g->type == QXRuleGroup::kAnd && g->value) ||
                    (g->type != QXRuleGroup::kAnd && !g->value)) {
                    g->value = value;
                }
                if (g->membersSeen < g->memberCount) continue;
                value = g->value;
            }
            if (isAnd && !value) {
                file.clearFlags(QXFileInfo::kMatched);
                file.addFlags(QXFileInfo::kDecided);
            } else if (!isAnd && value) {
                file.addFlags(QXFileInfo::kMatched | QXFileInfo::kDecided);
            }
        }
    }
}

void QXHandleThread::collect() {
    for (const auto& file : m_files) {
        if (file->hasFlag(QXFileInfo::kMatched)) {
            file->clearFlags(QXFileInfo::kMatched);
            m_matches.push_back(file);
        }
    }
}

}  // namespace quenrix
