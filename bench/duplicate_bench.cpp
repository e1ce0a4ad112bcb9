// Duplicate-search benchmark: makes a tree of duplicate groups and near-duplicates, runs a
// search with one xxHash duplicate rule over it, and turns the reports of other duplicate
// finders into one canonical form, so bench/run_duplicates.sh can compare them.
//
//   quenrix_bench_duplicates make TREE
//     makes TREE (about 50,000 files, about 2 GB) unless a tree of this layout is there;
//     the true duplicate groups go to TREE.expected, in the canonical form
//   quenrix_bench_duplicates search TREE [--cache DIR] [--out FILE]
//     one search (enumeration and the rule) in this process; the groups go to FILE (or
//     stdout) in the fdupes form below, the figures to stderr
//   quenrix_bench_duplicates canon fdupes|rdfind IN OUT
//     rewrites a report: fdupes form (groups of lines, a blank line after each; fdupes,
//     jdupes and rmlint's fdupes output) or rdfind's results.txt
//
// The canonical form: one line per group, its paths sorted and joined by tabs, the lines
// sorted. The made tree holds no empty file, hard link, symbolic link or hidden file
// besides its mark, and no name with a tab or a line break.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/QXFileInfo.h"
#include "core/QXHandleThread.h"
#include "core/QXLog.h"
#include "core/QXProgressSink.h"
#include "core/QXTarget.h"
#include "digest/QXCacheServer.h"
#include "platform/ProtectedFolders.h"
#include "rule/QXCheckDuplicateRule.h"

namespace {

using Clock = std::chrono::steady_clock;
using Groups = std::vector<std::vector<std::string>>;

constexpr const char* kMarkName = ".quenrix-bench-duplicates";
constexpr int kLayoutVersion = 1;
constexpr size_t kFiles = 50000;
constexpr size_t kTopFolders = 16;
constexpr size_t kMidFolders = 8;   // below each top folder
constexpr size_t kLeafFolders = 4;  // below each middle folder
constexpr size_t kPrefixBytes = 4096;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// ---- the canonical form ---------------------------------------------------------------

std::string canonical(Groups groups) {
    std::vector<std::string> lines;
    for (auto& g : groups) {
        if (g.size() < 2) continue;
        std::sort(g.begin(), g.end());
        std::string line;
        for (const auto& p : g) {
            if (!line.empty()) line += '\t';
            line += p;
        }
        lines.push_back(std::move(line));
    }
    std::sort(lines.begin(), lines.end());
    size_t bytes = 0;
    for (const auto& l : lines) bytes += l.size() + 1;
    std::string out;
    out.reserve(bytes);
    for (const auto& l : lines) {
        out += l;
        out += '\n';
    }
    return out;
}

bool writeText(const std::string& path, const std::string& text) {
    if (path.empty() || path == "-") {
        return std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return bool(out);
}

// fdupes form: each group's paths one a line, a blank line after the group.
Groups readFdupes(std::istream& in) {
    Groups groups(1);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty()) {
            if (!groups.back().empty()) groups.emplace_back();
        } else {
            groups.back().push_back(line);
        }
    }
    return groups;
}

// rdfind's results.txt: "# ..." comments, then
// "DUPTYPE id depth size device inode priority name", where the first file of a group has
// a positive id and the others carry its negation; the name is the rest of the line.
Groups readRdfind(std::istream& in) {
    std::map<long long, std::vector<std::string>> byId;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        size_t pos = 0;
        std::string fields[7];
        bool ok = true;
        for (auto& f : fields) {
            const size_t end = line.find(' ', pos);
            if (end == std::string::npos) {
                ok = false;
                break;
            }
            f = line.substr(pos, end - pos);
            pos = end + 1;
        }
        if (!ok || fields[0].rfind("DUPTYPE_", 0) != 0) continue;
        const long long id = std::llabs(std::atoll(fields[1].c_str()));
        byId[id].push_back(line.substr(pos));
    }
    Groups groups;
    for (auto& [id, paths] : byId) groups.push_back(std::move(paths));
    return groups;
}

int canonMode(const std::string& format, const std::string& inPath, const std::string& outPath) {
    std::ifstream in(inPath, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", inPath.c_str());
        return 1;
    }
    Groups groups;
    if (format == "fdupes") {
        groups = readFdupes(in);
    } else if (format == "rdfind") {
        groups = readRdfind(in);
    } else {
        std::fprintf(stderr, "unknown format %s\n", format.c_str());
        return 2;
    }
    return writeText(outPath, canonical(std::move(groups))) ? 0 : 1;
}

// ---- the tree -------------------------------------------------------------------------

// A fixed-seed generator, so every made tree is the same.
struct SplitMix {
    uint64_t state;
    uint64_t next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint64_t below(uint64_t n) { return next() % n; }
    double unit() { return double(next() >> 11) / double(1ull << 53); }
};

// The eight bytes at block `k` of the stream `seed`: any block is made without the ones
// before it, so two contents can share a stretch by sharing its seed.
uint64_t streamWord(uint64_t seed, uint64_t k) {
    SplitMix m{seed ^ (k * 0xD1B54A32D192ED03ull)};
    return m.next();
}

// One distinct content. Its first kPrefixBytes come from prefixSeed, the rest from
// bodySeed; a non-zero tweak is added to the last byte.
struct Content {
    uint64_t size = 0;
    uint64_t prefixSeed = 0;
    uint64_t bodySeed = 0;
    uint8_t tweak = 0;
    int copies = 1;
};

struct Plan {
    std::vector<Content> contents;
    size_t files = 0;
    uint64_t bytes = 0;
};

// Mostly a few KiB to a few hundred KiB (log-uniform from 1 KiB to 160 KiB), a third of
// them rounded to whole 4 KiB blocks, as many real files are, so sizes meet often.
uint64_t smallSize(SplitMix& rng) {
    const double lo = 1024, hi = 160 * 1024;
    uint64_t size = uint64_t(lo * std::pow(hi / lo, rng.unit()));
    if (rng.below(3) == 0) size = std::max<uint64_t>(4096, size & ~uint64_t(4095));
    return size;
}

Plan makePlan() {
    Plan plan;
    SplitMix rng{20261210};
    uint64_t nextSeed = 1;
    auto fresh = [&] { return (nextSeed++) * 0x9E3779B97F4A7C15ull ^ 0x5DEECE66Dull; };
    auto add = [&](uint64_t size, uint64_t prefixSeed, uint64_t bodySeed, uint8_t tweak,
                   int copies) {
        copies = int(std::min<size_t>(size_t(copies), kFiles - plan.files));
        if (copies <= 0) return;
        plan.contents.push_back({size, prefixSeed, bodySeed, tweak, copies});
        plan.files += size_t(copies);
        plan.bytes += size * uint64_t(copies);
    };
    auto single = [&](uint64_t size) {
        const uint64_t s = fresh();
        add(size, s, s, 0, 1);
    };
    // Members of a family are copied now and then.
    auto familyCopies = [&] { return rng.below(6) == 0 ? int(2 + rng.below(2)) : 1; };
    constexpr uint64_t MiB = 1024 * 1024;

    // The large files: duplicates, a same-size pair differing only in the last byte, a
    // same-size pair sharing the first 4 KiB, and large files of their own.
    {
        const uint64_t a = fresh(), b = fresh(), c = fresh();
        add(48 * MiB, a, a, 0, 2);
        add(24 * MiB, b, b, 0, 3);
        add(32 * MiB, c, c, 0, 1);
        add(32 * MiB, c, c, 1, 1);
        const uint64_t p = fresh();
        add(40 * MiB, p, fresh(), 0, 1);
        add(40 * MiB, p, fresh(), 0, 1);
        for (uint64_t mb : {16, 20, 28, 36, 64}) single(mb * MiB + rng.below(MiB));
    }

    while (plan.files < kFiles) {
        const uint64_t kind = rng.below(100);
        const uint64_t size = smallSize(rng);
        if (kind < 15) {
            // A duplicate group of 2 to 5 copies.
            const uint64_t s = fresh();
            add(size, s, s, 0, int(2 + rng.below(4)));
        } else if (kind < 25) {
            // 3 to 8 different contents of one size.
            for (uint64_t n = 3 + rng.below(6); n > 0; --n) {
                const uint64_t s = fresh();
                add(size, s, s, 0, familyCopies());
            }
        } else if (kind < 32) {
            // 2 to 6 contents of one size with the same first 4 KiB.
            const uint64_t longer = std::max<uint64_t>(size, kPrefixBytes + 1 + rng.below(65536));
            const uint64_t p = fresh();
            for (uint64_t n = 2 + rng.below(5); n > 0; --n)
                add(longer, p, fresh(), 0, familyCopies());
        } else if (kind < 37) {
            // 2 to 4 contents differing only in the last byte.
            const uint64_t s = fresh();
            const uint64_t n = 2 + rng.below(3);
            for (uint64_t t = 0; t < n; ++t) add(size, s, s, uint8_t(t), familyCopies());
        } else {
            single(size);
        }
    }
    return plan;
}

std::string markText(const Plan& plan) {
    return "layout=" + std::to_string(kLayoutVersion) + " files=" + std::to_string(plan.files) +
           " bytes=" + std::to_string(plan.bytes) + "\n";
}

std::optional<std::string> readMark(const std::string& tree) {
    std::ifstream in(tree + "/" + kMarkName);
    if (!in) return std::nullopt;
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool writeContent(const std::string& path, const Content& c, std::vector<char>& buffer) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = true;
    uint64_t done = 0;
    while (ok && done < c.size) {
        const uint64_t chunk = std::min<uint64_t>(buffer.size(), c.size - done);
        // Blocks are 8 bytes and the prefix ends on a block boundary.
        for (uint64_t off = 0; off < chunk; off += 8) {
            const uint64_t at = done + off;
            const uint64_t word = streamWord(at < kPrefixBytes ? c.prefixSeed : c.bodySeed, at / 8);
            std::memcpy(buffer.data() + off, &word, size_t(std::min<uint64_t>(8, chunk - off)));
        }
        if (done + chunk == c.size) buffer[chunk - 1] = char(uint8_t(buffer[chunk - 1]) + c.tweak);
        for (uint64_t put = 0; put < chunk;) {
            const ssize_t n = ::write(fd, buffer.data() + put, size_t(chunk - put));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                ok = false;
                break;
            }
            put += uint64_t(n);
        }
        done += chunk;
    }
    return ::close(fd) == 0 && ok;
}

std::string fileName(SplitMix& rng, size_t index) {
    static const char* const kPrefix[] = {"IMG_",    "DSC",   "report_",     "invoice-",
                                          "notes_",  "scan",  "track",       "draft_",
                                          "backup-", "data_", "Screenshot ", "letter_"};
    static const char* const kExt[] = {".jpg", ".pdf", ".txt", ".mp3", ".docx",
                                       ".png", ".csv", ".log", ".zip", ".json"};
    char name[64];
    std::snprintf(name, sizeof name, "%s%05zu%s", kPrefix[rng.below(12)], index,
                  kExt[rng.below(10)]);
    return name;
}

// Makes the tree under TREE.making and renames it into place at the end, so an
// interrupted run leaves no half tree under the given name.
bool makeTree(const std::string& tree, const Plan& plan) {
    const std::string work = tree + ".making";
    std::error_code ec;
    std::filesystem::remove_all(work, ec);
    SplitMix rng{4242};
    std::vector<std::string> leaves;
    static const char* const kTop[] = {"Projects", "Photos",  "Documents", "Archive",
                                       "Music",    "Backups", "Reports",   "Clients"};
    static const char* const kLeaf[] = {"batch", "album", "session", "export"};
    for (size_t t = 0; t < kTopFolders; ++t) {
        for (size_t m = 0; m < kMidFolders; ++m) {
            for (size_t l = 0; l < kLeafFolders; ++l) {
                char rel[128];
                std::snprintf(rel, sizeof rel, "%s_%02zu/%d-%02zu/%s_%02zu", kTop[t % 8], t,
                              2017 + int(m), m, kLeaf[l], l);
                leaves.push_back(work + "/" + rel);
                std::filesystem::create_directories(leaves.back(), ec);
                if (ec) {
                    std::fprintf(stderr, "cannot make %s: %s\n", leaves.back().c_str(),
                                 ec.message().c_str());
                    return false;
                }
            }
        }
    }
    std::vector<char> buffer(1 << 20);
    Groups expected;
    size_t index = 0;
    for (const Content& c : plan.contents) {
        // Each copy in another folder.
        std::vector<size_t> used;
        std::vector<std::string> paths;
        for (int k = 0; k < c.copies; ++k) {
            size_t leaf;
            do {
                leaf = rng.below(leaves.size());
            } while (std::find(used.begin(), used.end(), leaf) != used.end());
            used.push_back(leaf);
            const std::string path = leaves[leaf] + "/" + fileName(rng, index++);
            if (!writeContent(path, c, buffer)) {
                std::fprintf(stderr, "cannot write %s: %s\n", path.c_str(), std::strerror(errno));
                return false;
            }
            paths.push_back(tree + path.substr(work.size()));
        }
        if (paths.size() >= 2) expected.push_back(std::move(paths));
    }
    {
        std::ofstream mark(work + "/" + kMarkName);
        mark << markText(plan);
        if (!mark) return false;
    }
    if (!writeText(tree + ".expected", canonical(std::move(expected)))) return false;
    std::filesystem::remove_all(tree, ec);
    std::filesystem::rename(work, tree, ec);
    if (ec) {
        std::fprintf(stderr, "cannot rename %s: %s\n", work.c_str(), ec.message().c_str());
        return false;
    }
    return true;
}

int makeMode(const std::string& tree) {
    const Plan plan = makePlan();
    struct stat st;
    if (::stat(tree.c_str(), &st) == 0) {
        const auto mark = readMark(tree);
        if (!mark) {
            std::fprintf(stderr, "%s exists and was not made by this benchmark; left alone\n",
                         tree.c_str());
            return 1;
        }
        if (*mark == markText(plan) && ::access((tree + ".expected").c_str(), R_OK) == 0) {
            std::printf("tree: %s is there (%zu files, %.2f GB)\n", tree.c_str(), plan.files,
                        double(plan.bytes) / 1e9);
            return 0;
        }
    }
    size_t groups = 0, inGroups = 0;
    for (const auto& c : plan.contents) {
        if (c.copies >= 2) {
            ++groups;
            inGroups += size_t(c.copies);
        }
    }
    std::printf("tree: making %s: %zu files, %.2f GB, %zu duplicate groups of %zu files...\n",
                tree.c_str(), plan.files, double(plan.bytes) / 1e9, groups, inGroups);
    std::fflush(stdout);
    const auto start = Clock::now();
    if (!makeTree(tree, plan)) {
        std::fprintf(stderr, "could not make the tree\n");
        return 1;
    }
    std::printf("tree: made in %.1f s\n", msSince(start) / 1000);
    return 0;
}

// ---- the search -----------------------------------------------------------------------

double cpuSeconds(const rusage& u) {
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Bytes this process has read so far (from files or the page cache alike).
uint64_t bytesRead() {
    std::ifstream in("/proc/self/io");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("rchar:", 0) == 0) return std::strtoull(line.c_str() + 6, nullptr, 10);
    }
    return 0;
}

int searchMode(const std::string& tree, const std::string& cacheDir, const std::string& outPath) {
    using namespace quenrix;
    QXLog::setEnabled(false);
    QXCacheServer store;
    if (!cacheDir.empty() && !store.open(cacheDir)) {
        std::fprintf(stderr, "cannot open the cache in %s\n", cacheDir.c_str());
        return 1;
    }
    auto rule = std::make_shared<QXCheckDuplicateRule>();
    rule->setAlgorithm(QXCheckDuplicateRule::kXxHash);
    rule->setTarget(QXCheckDuplicateRule::kDuplicates);

    QXSearchParams params;
    params.targets = {QXTarget::fromPath(tree)};
    if (!params.targets[0]) {
        std::fprintf(stderr, "not a folder: %s\n", tree.c_str());
        return 1;
    }
    params.includeSubfolders = true;
    params.rules = {rule};
    params.cache = cacheDir.empty() ? nullptr : &store;

    QXNullProgressSink sink;
    rusage u0{}, u1{}, u2{};
    getrusage(RUSAGE_SELF, &u0);
    const auto start = Clock::now();
    QXHandleThread worker(std::move(params), sink, nullptr);
    worker.setProtectedFolders(platform::ProtectedFolders::system());
    // The search as the program runs it (the cache rows are read during the listing),
    // timed in two parts.
    double enumMs = 0;
    uint64_t readBefore = 0;
    Clock::time_point rulesStart;
    if (!worker.search([&] {
            enumMs = msSince(start);
            getrusage(RUSAGE_SELF, &u1);
            readBefore = bytesRead();
            rulesStart = Clock::now();
        })) {
        std::fprintf(stderr, "the enumeration failed\n");
        return 1;
    }
    const double rulesMs = msSince(rulesStart);
    getrusage(RUSAGE_SELF, &u2);
    const double readMB = double(bytesRead() - readBefore) / 1e6;

    // The groups as the peers report them (one path a line, a blank line after each
    // group); they are brought into the canonical form outside the timed run, as theirs.
    std::vector<std::pair<int32_t, const QXFileInfo*>> inGroup;
    for (const auto& f : worker.fileList()) {
        if (f->hasFlag(QXFileInfo::kInGroup)) inGroup.emplace_back(f->groupNumber, f.get());
    }
    std::stable_sort(inGroup.begin(), inGroup.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    size_t groupCount = 0;
    {
        std::FILE* out =
            outPath.empty() || outPath == "-" ? stdout : std::fopen(outPath.c_str(), "w");
        if (!out) {
            std::fprintf(stderr, "cannot write %s\n", outPath.c_str());
            return 1;
        }
        for (size_t i = 0; i < inGroup.size(); ++i) {
            if (i == 0 || inGroup[i].first != inGroup[i - 1].first) {
                if (i > 0) std::fputc('\n', out);
                ++groupCount;
            }
            const std::string& path = inGroup[i].second->nativePath();
            std::fwrite(path.data(), 1, path.size(), out);
            std::fputc('\n', out);
        }
        if (!inGroup.empty()) std::fputc('\n', out);
        if ((out != stdout && std::fclose(out) != 0) || (out == stdout && std::fflush(out) != 0)) {
            std::fprintf(stderr, "cannot write %s\n", outPath.c_str());
            return 1;
        }
    }
    const size_t inGroups = inGroup.size();
    std::fprintf(stderr,
                 "quenrix: %zu records, %zu groups of %zu files, %zu matches; "
                 "enumeration %.0f ms (CPU %.0f ms), rule %.0f ms (CPU %.0f ms, read %.0f MB), "
                 "peak RSS %ld KiB%s\n",
                 worker.fileList().size(), groupCount, inGroups, worker.matchList().size(), enumMs,
                 (cpuSeconds(u1) - cpuSeconds(u0)) * 1000, rulesMs,
                 (cpuSeconds(u2) - cpuSeconds(u1)) * 1000, readMB, u2.ru_maxrss,
                 cacheDir.empty() ? "" : ", cache on");
    // The process ends here without taking the records down one by one, as the other
    // finders do; the cache is closed first, so every row it took reaches the file.
    if (!cacheDir.empty()) store.close();
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(0);
}

std::string trimmed(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

int usage(const char* self) {
    std::fprintf(stderr,
                 "usage: %s make TREE\n"
                 "       %s search TREE [--cache DIR] [--out FILE]\n"
                 "       %s canon fdupes|rdfind IN OUT\n",
                 self, self, self);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage(argv[0]);
    const std::string mode = argv[1];
#ifndef NDEBUG
    if (mode != "canon") {
        std::fprintf(stderr,
                     "NOTE: not a release build; its figures say nothing of the program's "
                     "speed (use bench/run_duplicates.sh)\n");
    }
#endif
    if (mode == "canon") {
        if (argc != 5) return usage(argv[0]);
        return canonMode(argv[2], argv[3], argv[4]);
    }
    const std::string tree = trimmed(argv[2]);
    if (tree.empty() || tree[0] != '/') {
        std::fprintf(stderr, "TREE must be an absolute path\n");
        return 2;
    }
    if (mode == "make") {
        if (argc != 3) return usage(argv[0]);
        return makeMode(tree);
    }
    if (mode == "search") {
        std::string cacheDir, outPath;
        for (int i = 3; i < argc; ++i) {
            const std::string arg = argv[i];
            if (arg == "--cache" && i + 1 < argc) {
                cacheDir = argv[++i];
            } else if (arg == "--out" && i + 1 < argc) {
                outPath = argv[++i];
            } else {
                return usage(argv[0]);
            }
        }
        return searchMode(tree, cacheDir, outPath);
    }
    return usage(argv[0]);
}
