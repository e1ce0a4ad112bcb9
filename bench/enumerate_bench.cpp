// Enumeration benchmark: how long the search worker takes to build its file list of a
// large tree, next to `find` listing the same tree with size and time in the same run,
// and how many bytes each record costs.
//
//   quenrix_bench_enumerate [TREE [FILES [RUNS]]]
//     TREE   folder to enumerate (default /tmp/quenrix-bench-tree); made when missing
//     FILES  number of files when the tree is made (default 200000)
//     RUNS   timed runs of each kind (default 5)
//
//   quenrix_bench_enumerate --memory off|on TREE
//     one enumeration in this process, printing its resident-memory figures (the normal
//     mode runs itself this way, so earlier runs leave nothing in the peak)
//
// A tree this program made carries a hidden mark file at its root; such a tree is made
// again when it holds another number of files. A folder without the mark is used as it is
// and never changed.

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/QXFileInfo.h"
#include "core/QXHandleThread.h"
#include "core/QXLog.h"
#include "core/QXProgressSink.h"
#include "core/QXTarget.h"
#include "platform/ProtectedFolders.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using quenrix::QXFileInfo;
using quenrix::QXHandleThread;
using quenrix::QXLog;
using quenrix::QXNullProgressSink;
using quenrix::QXSearchParams;
using quenrix::QXTarget;

constexpr const char* kDefaultTree = "/tmp/quenrix-bench-tree";
constexpr size_t kDefaultFiles = 200000;
constexpr int kDefaultRuns = 5;
constexpr const char* kMarkName = ".quenrix-bench-tree";
constexpr int kLayoutVersion = 1;
constexpr size_t kFilesPerLeaf = 80;
constexpr size_t kTopFolders = 10;
constexpr size_t kMidFolders = 10;  // below each top folder
constexpr double kSpeedTarget = 1.5;
constexpr double kBytesTarget = 400.0;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// ---- the tree -------------------------------------------------------------------------

// A fixed-seed generator, so every made tree has the same names and sizes.
struct SplitMix {
    uint64_t state;
    uint64_t next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    size_t below(size_t n) { return size_t(next() % n); }
};

std::string markText(size_t files) {
    return "layout=" + std::to_string(kLayoutVersion) + " files=" + std::to_string(files) + "\n";
}

std::optional<std::string> readMark(const std::string& tree) {
    std::ifstream in(tree + "/" + kMarkName);
    if (!in) return std::nullopt;
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string folderName(SplitMix& rng, size_t index, int level) {
    static const char* const kTop[] = {"Projects",  "Photos",  "Documents", "Archive", "Music",
                                       "Downloads", "Backups", "Reports",   "Clients", "Shared"};
    static const char* const kMid[] = {"2019", "2020", "2021", "2022", "2023",
                                       "2024", "misc", "old",  "work", "home"};
    static const char* const kLeaf[] = {"batch", "album", "session", "export",
                                        "scan",  "trip",  "draft",   "import"};
    char name[64];
    if (level == 0) {
        std::snprintf(name, sizeof name, "%s_%02zu", kTop[index % 10], index);
    } else if (level == 1) {
        std::snprintf(name, sizeof name, "%s-%s-%02zu", kMid[index % 10],
                      rng.below(2) ? "set" : "part", index);
    } else {
        std::snprintf(name, sizeof name, "%s_%03zu_%04zu", kLeaf[rng.below(8)], index,
                      size_t(rng.below(10000)));
    }
    return name;
}

std::string fileName(SplitMix& rng, size_t index) {
    static const char* const kPrefix[] = {"IMG_",    "DSC",   "report_",     "invoice-",
                                          "notes_",  "scan",  "track",       "draft_",
                                          "backup-", "data_", "Screenshot ", "letter_"};
    static const char* const kExt[] = {".jpg", ".pdf", ".txt", ".mp3", ".docx",
                                       ".png", ".csv", ".log", ".zip", ".json"};
    char name[64];
    std::snprintf(name, sizeof name, "%s%0*zu%s", kPrefix[rng.below(12)], int(3 + rng.below(5)),
                  index + 1000 * rng.below(10), kExt[rng.below(10)]);
    return name;
}

bool writeFile(const std::string& path, size_t bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    static const std::string kFill(8192, 'q');
    bool ok = true;
    if (bytes) ok = ::write(fd, kFill.data(), bytes) == ssize_t(bytes);
    return ::close(fd) == 0 && ok;
}

bool makeFolder(const std::string& path) {
    return ::mkdir(path.c_str(), 0755) == 0;
}

// Makes the tree in a sibling folder and renames it into place at the end, so an
// interrupted run leaves no half tree under the given name. Returns the folder count.
std::optional<size_t> makeTree(const std::string& tree, size_t files) {
    const std::string work = tree + ".making";
    std::error_code ec;
    std::filesystem::remove_all(work, ec);
    if (!makeFolder(work)) {
        std::fprintf(stderr, "cannot make %s: %s\n", work.c_str(), std::strerror(errno));
        return std::nullopt;
    }
    SplitMix rng{20261210};
    const size_t leaves = (files + kFilesPerLeaf - 1) / kFilesPerLeaf;
    const size_t leavesPerMid =
        std::max<size_t>(1, (leaves + kTopFolders * kMidFolders - 1) / (kTopFolders * kMidFolders));
    size_t folders = 0;
    size_t made = 0;
    std::string top, mid;
    size_t lastTop = SIZE_MAX, lastMid = SIZE_MAX;
    for (size_t leaf = 0; leaf < leaves; ++leaf) {
        const size_t t = leaf / (leavesPerMid * kMidFolders);
        const size_t m = (leaf / leavesPerMid) % kMidFolders;
        if (t != lastTop) {
            top = work + "/" + folderName(rng, t, 0);
            if (!makeFolder(top)) return std::nullopt;
            ++folders;
            lastTop = t;
            lastMid = SIZE_MAX;
        }
        if (m != lastMid) {
            mid = top + "/" + folderName(rng, m, 1);
            if (!makeFolder(mid)) return std::nullopt;
            ++folders;
            lastMid = m;
        }
        const std::string folder = mid + "/" + folderName(rng, leaf % leavesPerMid, 2);
        if (!makeFolder(folder)) return std::nullopt;
        ++folders;
        const size_t here = std::min(kFilesPerLeaf, files - made);
        for (size_t i = 0; i < here; ++i) {
            // About one file in five has content (1 byte to 6 KiB); the rest are empty.
            const size_t bytes = rng.below(5) == 0 ? 1 + rng.below(6144) : 0;
            const std::string path = folder + "/" + fileName(rng, i);
            if (!writeFile(path, bytes)) {
                std::fprintf(stderr, "cannot write %s: %s\n", path.c_str(), std::strerror(errno));
                return std::nullopt;
            }
        }
        made += here;
    }
    {
        std::ofstream mark(work + "/" + kMarkName);
        mark << markText(files);
        if (!mark) return std::nullopt;
    }
    std::filesystem::remove_all(tree, ec);
    std::filesystem::rename(work, tree, ec);
    if (ec) {
        std::fprintf(stderr, "cannot rename %s: %s\n", work.c_str(), ec.message().c_str());
        return std::nullopt;
    }
    return folders;
}

// ---- our enumeration ------------------------------------------------------------------

struct OurRun {
    double enumerateMs = 0;
    double freeMs = 0;
    size_t records = 0;
};

// One enumeration as a search makes it: the target, the protected folders of this machine,
// the worker, its file list. Freeing the records is timed on its own.
OurRun runOurs(const std::string& tree) {
    OurRun result;
    QXNullProgressSink sink;
    const auto start = Clock::now();
    auto worker = std::make_unique<QXHandleThread>(
        [&] {
            QXSearchParams params;
            params.targets = {QXTarget::fromPath(tree)};
            params.includeSubfolders = true;
            return params;
        }(),
        sink, nullptr);
    worker->setProtectedFolders(platform::ProtectedFolders::system());
    const bool ok = worker->buildFileList();
    result.enumerateMs = msSince(start);
    result.records = ok ? worker->fileList().size() : 0;
    const auto freeStart = Clock::now();
    worker.reset();
    result.freeMs = msSince(freeStart);
    return result;
}

struct LogSetting {
    bool enabled;
    std::string file;  // empty: no file
};

void applyLog(const LogSetting& log) {
    QXLog::setEnabled(log.enabled);
    QXLog::setFilePath(log.file);
    if (!log.file.empty()) {
        // A fresh file for each run; appending does not depend on its size, this only
        // keeps /tmp from filling over many runs.
        const int fd = ::open(log.file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd >= 0) ::close(fd);
    }
}

// The log window takes the queued lines as they come; between runs they are dropped.
void afterLoggedRun() {
    QXLog::clearQueue();
}

struct LogCount {
    size_t lines = 0;
    size_t folders = 0;  // closing "ENUM:*" lines: folders walked below the target
    size_t bytes = 0;
};

LogCount countLog(const std::string& file) {
    LogCount count;
    std::ifstream in(file, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        ++count.lines;
        count.bytes += line.size() + 1;
        if (line.find("> ENUM:*") != std::string::npos) ++count.folders;
    }
    return count;
}

// ---- find -----------------------------------------------------------------------------

std::string shellQuote(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

// Runs the command through /bin/sh and returns the wall time of the whole child, from
// the spawn to its exit; negative when it failed.
double runShell(const std::string& command) {
    const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
    const auto start = Clock::now();
    pid_t pid;
    if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
        return -1;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    const double ms = msSince(start);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return ms;
}

std::string findCommand(const std::string& tree) {
    return "find " + shellQuote(tree) + " -printf '%s %T@ %p\\n' > /dev/null";
}

// sh and find started on the root alone: what find's time holds besides the walk.
std::string findStartCommand(const std::string& tree) {
    return "find " + shellQuote(tree) + " -maxdepth 0 -printf '%s %T@ %p\\n' > /dev/null";
}

// ---- memory ---------------------------------------------------------------------------

struct ProcStatus {
    long rssKiB = -1;
    long hwmKiB = -1;
};

ProcStatus readStatus() {
    ProcStatus s;
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("VmRSS:", 0) == 0) s.rssKiB = std::atol(line.c_str() + 6);
        if (line.rfind("VmHWM:", 0) == 0) s.hwmKiB = std::atol(line.c_str() + 6);
    }
    return s;
}

// The heap block glibc's malloc hands out for a request: 8 bytes of header, 16-byte
// steps, 32 bytes at least.
size_t mallocChunk(size_t request) {
    return std::max<size_t>(32, (request + 8 + 15) & ~size_t(15));
}

// make_shared puts the record in the control block, after the block's vtable pointer and
// its two 32-bit counts.
constexpr size_t kControlBlock = 16;

int memoryMode(const std::string& setting, const std::string& tree) {
    const bool logged = setting == "on";
    const std::string logFile = "/tmp/quenrix-bench-enumerate-memory.log";
    applyLog(logged ? LogSetting{true, logFile} : LogSetting{false, ""});

    QXNullProgressSink sink;
    QXSearchParams params;
    params.targets = {QXTarget::fromPath(tree)};
    params.includeSubfolders = true;
    if (!params.targets[0]) {
        std::fprintf(stderr, "not a folder: %s\n", tree.c_str());
        return 1;
    }
    QXHandleThread worker(std::move(params), sink, nullptr);
    worker.setProtectedFolders(platform::ProtectedFolders::system());

    // Peak and current resident size start level here ("5" resets the peak on Linux 4.0
    // and later; a fresh process has hardly any peak above its current size anyway).
    if (FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", f);
        std::fclose(f);
    }
    const ProcStatus before = readStatus();
    const bool ok = worker.buildFileList();
    const ProcStatus after = readStatus();
    if (!ok) return 1;

    const auto& files = worker.fileList();
    size_t pathHeap = 0;
    for (const auto& f : files) {
        const size_t cap = f->nativePath().capacity();
        if (cap > 15) pathHeap += mallocChunk(cap + 1);  // beyond the string's inline buffer
    }
    const size_t n = files.size();
    std::printf(
        "records=%zu rss_before_kib=%ld hwm_before_kib=%ld rss_after_kib=%ld "
        "hwm_after_kib=%ld path_heap_bytes=%zu list_capacity=%zu\n",
        n, before.rssKiB, before.hwmKiB, after.rssKiB, after.hwmKiB, pathHeap, files.capacity());
    if (logged) ::unlink(logFile.c_str());
    return 0;
}

struct MemoryResult {
    bool ok = false;
    size_t records = 0;
    long rssBefore = 0, hwmBefore = 0, rssAfter = 0, hwmAfter = 0;
    size_t pathHeap = 0, listCapacity = 0;
};

// Runs this program's --memory mode in a new process and reads its line.
MemoryResult measureMemory(const std::string& self, const std::string& setting,
                           const std::string& tree) {
    MemoryResult r;
    int fds[2];
    if (::pipe(fds) != 0) return r;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    const char* argv[] = {self.c_str(), "--memory", setting.c_str(), tree.c_str(), nullptr};
    pid_t pid;
    const int spawned =
        posix_spawn(&pid, self.c_str(), &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (spawned != 0) {
        ::close(fds[0]);
        return r;
    }
    std::string out;
    char buf[512];
    for (ssize_t got; (got = ::read(fds[0], buf, sizeof buf)) != 0;) {
        if (got < 0) {
            if (errno == EINTR) continue;
            break;
        }
        out.append(buf, size_t(got));
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return r;
    r.ok = std::sscanf(out.c_str(),
                       "records=%zu rss_before_kib=%ld hwm_before_kib=%ld rss_after_kib=%ld "
                       "hwm_after_kib=%ld path_heap_bytes=%zu list_capacity=%zu",
                       &r.records, &r.rssBefore, &r.hwmBefore, &r.rssAfter, &r.hwmAfter,
                       &r.pathHeap, &r.listCapacity) == 7;
    return r;
}

// ---- report ---------------------------------------------------------------------------

struct Series {
    const char* label;
    std::vector<double> ms;
};

void printRow(const Series& s, double findMedian) {
    const double med = median(s.ms);
    const auto [lo, hi] = std::minmax_element(s.ms.begin(), s.ms.end());
    std::printf("  %-30s %10.1f %10.1f %10.1f", s.label, med, *lo, *hi);
    if (findMedian > 0) std::printf(" %11.2f", med / findMedian);
    std::printf("\n");
}

std::string selfPath() {
    std::error_code ec;
    auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : p.string();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "--memory") == 0) {
        if (argc != 4 || (std::strcmp(argv[2], "off") != 0 && std::strcmp(argv[2], "on") != 0)) {
            std::fprintf(stderr, "usage: %s --memory off|on TREE\n", argv[0]);
            return 2;
        }
        return memoryMode(argv[2], argv[3]);
    }
    if (argc > 4 || (argc >= 2 && argv[1][0] == '-')) {
        std::fprintf(stderr, "usage: %s [TREE [FILES [RUNS]]]\n", argv[0]);
        return 2;
    }
    std::string tree = argc >= 2 ? argv[1] : kDefaultTree;
    while (tree.size() > 1 && tree.back() == '/') tree.pop_back();
    const size_t files = argc >= 3 ? std::strtoull(argv[2], nullptr, 10) : kDefaultFiles;
    const int runs = argc >= 4 ? std::atoi(argv[3]) : kDefaultRuns;
    if (tree.empty() || tree[0] != '/' || files == 0 || runs <= 0) {
        std::fprintf(stderr, "TREE must be an absolute path, FILES and RUNS above 0\n");
        return 2;
    }

    std::printf("Quenrix enumeration benchmark\n");
    std::printf("machine: %u cores\n", std::thread::hardware_concurrency());
#ifndef NDEBUG
    std::printf(
        "NOTE: not a release build; the figures below say nothing of the program's\n"
        "speed or memory (use bench/run_enumerate.sh)\n");
#endif

    // The tree.
    struct stat st;
    const bool exists = ::stat(tree.c_str(), &st) == 0;
    const std::optional<std::string> mark = exists ? readMark(tree) : std::nullopt;
    if (exists && !S_ISDIR(st.st_mode)) {
        std::fprintf(stderr, "%s is not a folder\n", tree.c_str());
        return 1;
    }
    if (!exists || (mark && *mark != markText(files))) {
        std::printf("tree: making %s with %zu files...\n", tree.c_str(), files);
        std::fflush(stdout);
        const auto start = Clock::now();
        const auto folders = makeTree(tree, files);
        if (!folders) {
            std::fprintf(stderr, "could not make the tree\n");
            return 1;
        }
        std::printf("tree: made %zu files in %zu folders in %.1f s\n", files, *folders,
                    msSince(start) / 1000);
    } else if (mark) {
        std::string text = *mark;
        while (!text.empty() && text.back() == '\n') text.pop_back();
        std::printf("tree: %s (made earlier by this benchmark, %s)\n", tree.c_str(), text.c_str());
    } else {
        std::printf("tree: %s (an existing folder, used as it is; FILES does not apply)\n",
                    tree.c_str());
    }
    if (!QXTarget::fromPath(tree)) {
        std::fprintf(stderr, "not a usable target: %s\n", tree.c_str());
        return 1;
    }

    const std::string logFile = "/tmp/quenrix-bench-enumerate.log";
    const LogSetting logOff{false, ""};
    const LogSetting logOn{true, logFile};
    const std::string find = findCommand(tree);
    const std::string findStart = findStartCommand(tree);

    // One untimed pass of each warms the page and inode caches and the heap.
    applyLog(logOff);
    const OurRun warmOff = runOurs(tree);
    applyLog(logOn);
    const OurRun warmOn = runOurs(tree);
    const LogCount logCount = countLog(logFile);
    afterLoggedRun();
    if (runShell(find) < 0 || runShell(findStart) < 0) {
        std::fprintf(stderr, "find failed: %s\n", find.c_str());
        return 1;
    }
    if (warmOff.records == 0 || warmOff.records != warmOn.records) {
        std::fprintf(stderr, "the enumeration failed (%zu and %zu records)\n", warmOff.records,
                     warmOn.records);
        return 1;
    }
    std::printf("records: %zu (files below the target; folders make no record)\n", warmOff.records);
    std::printf("log on: %zu lines, %zu bytes per run; %zu folders walked\n", logCount.lines,
                logCount.bytes, logCount.folders);
    std::printf("runs: %d timed of each kind, alternating, after one untimed pass of each\n\n",
                runs);
    std::fflush(stdout);

    Series oursOff{"ours, log off", {}};
    Series oursOn{"ours, log on (file in /tmp)", {}};
    Series findRuns{"find -printf (sh + find)", {}};
    Series startRuns{"  of which sh + find start-up", {}};
    std::vector<double> freeMs;
    for (int i = 0; i < runs; ++i) {
        applyLog(logOff);
        const OurRun off = runOurs(tree);
        oursOff.ms.push_back(off.enumerateMs);
        freeMs.push_back(off.freeMs);

        applyLog(logOn);
        const OurRun on = runOurs(tree);
        afterLoggedRun();
        oursOn.ms.push_back(on.enumerateMs);
        freeMs.push_back(on.freeMs);

        const double f = runShell(find);
        const double s = runShell(findStart);
        if (f < 0 || s < 0 || off.records != warmOff.records || on.records != warmOff.records) {
            std::fprintf(stderr, "run %d failed\n", i + 1);
            return 1;
        }
        findRuns.ms.push_back(f);
        startRuns.ms.push_back(s);
    }
    applyLog(logOff);
    ::unlink(logFile.c_str());

    const double findMedian = median(findRuns.ms);
    std::printf("  %-30s %10s %10s %10s %11s\n", "", "median ms", "min ms", "max ms", "ours/find");
    printRow(oursOff, findMedian);
    printRow(oursOn, findMedian);
    printRow(findRuns, 0);
    printRow(startRuns, 0);
    const double offRatio = median(oursOff.ms) / findMedian;
    const double onRatio = median(oursOn.ms) / findMedian;
    std::printf("\n  freeing the records afterwards (not in the times above): median %.1f ms\n",
                median(freeMs));
    std::printf("  per record: ours %.2f us (log off), %.2f us (log on); find %.2f us\n",
                1000 * median(oursOff.ms) / double(warmOff.records),
                1000 * median(oursOn.ms) / double(warmOff.records),
                1000 * findMedian / double(warmOff.records));
    std::printf(
        "  find's time is the whole child process, its start included (about %.1f ms,\n"
        "  the start-up row); ours runs inside this process and has no such cost.\n",
        median(startRuns.ms));
    std::printf("  target ours <= %.1f x find: log off %s (%.2f), log on %s (%.2f)\n\n",
                kSpeedTarget, offRatio <= kSpeedTarget ? "met" : "MISSED", offRatio,
                onRatio <= kSpeedTarget ? "met" : "MISSED", onRatio);

    // Memory, each in a fresh process.
    const std::string self = selfPath();
    std::printf("memory (one enumeration in a fresh process):\n");
    std::printf(
        "  sizeof(QXFileInfo) = %zu bytes; shared_ptr control block ~%zu bytes more\n"
        "  (make_shared: vtable pointer and two counts in the record's own block),\n"
        "  so one heap block of %zu bytes per record, plus the path when it is longer\n"
        "  than %d bytes and one %zu-byte list slot\n",
        sizeof(QXFileInfo), kControlBlock, mallocChunk(kControlBlock + sizeof(QXFileInfo)), 15,
        sizeof(quenrix::QXFileInfoPtr));
    for (const char* setting : {"off", "on"}) {
        const MemoryResult m = measureMemory(self, setting, tree);
        if (!m.ok || m.records == 0) {
            std::fprintf(stderr, "the memory run (log %s) failed\n", setting);
            return 1;
        }
        const double bytes = double(m.hwmAfter - m.rssBefore) * 1024 / double(m.records);
        const double estimate =
            double(mallocChunk(kControlBlock + sizeof(QXFileInfo))) +
            double(m.pathHeap) / double(m.records) +
            double(sizeof(quenrix::QXFileInfoPtr) * m.listCapacity) / double(m.records);
        std::printf(
            "  log %-3s: RSS %ld KiB before, peak %ld KiB after (RSS %ld KiB), %zu records"
            "\n           -> %.0f bytes per record (heap estimate %.0f: block %zu + path "
            "%.0f + list %.0f)\n",
            setting, m.rssBefore, m.hwmAfter, m.rssAfter, m.records, bytes, estimate,
            mallocChunk(kControlBlock + sizeof(QXFileInfo)), double(m.pathHeap) / double(m.records),
            double(sizeof(quenrix::QXFileInfoPtr) * m.listCapacity) / double(m.records));
        std::printf("           target < %.0f bytes per record: %s\n", kBytesTarget,
                    bytes < kBytesTarget ? "met" : "MISSED");
    }
    std::printf("  (log on also holds the window's queue of log lines, a cost per folder)\n");
    return 0;
}
