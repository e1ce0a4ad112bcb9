// Result-list sort benchmark: sorting a large result list by a column (file name, path,
// size, last-write time) next to sorting plain wide strings of the same texts, in one run.
//
//   quenrix_bench_sort [Google Benchmark flags] [RECORDS]
//     RECORDS  records in the list (default 1000000)
//
// Every benchmark sorts a fresh copy of the same shuffled list once per repetition; the
// copy and its release are outside the timing. The repetitions of all benchmarks are
// interleaved in random order (Google Benchmark's random interleaving, on by default
// here). The records are made in memory (no file is touched): paths of three folder
// levels below a home folder, names of 8 to 41 characters, about one in twenty with
// Japanese characters, all of one group (a plain search), so the whole list is one run
// of the sort.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/QXFileInfo.h"
#include "platform/Text.h"
#include "view/QXColumns.h"

namespace {

using quenrix::QXFileInfo;
using quenrix::QXFileList;

constexpr size_t kDefaultRecords = 1000000;
constexpr int kRepetitions = 5;
constexpr double kTarget = 2.0;

size_t g_records = kDefaultRecords;

struct Data {
    QXFileList files;
    std::vector<std::wstring> names;
    std::vector<std::wstring> paths;
};

std::string makeName(std::mt19937_64& rng) {
    static const char* const kStems[] = {"IMG_",    "DSC",         "report_", "Invoice-",
                                         "notes ",  "backup_",     "Scan",    "track",
                                         "Summary", "screenshot-", "draft_",  "photo"};
    static const char* const kJapanese[] = {"写真", "会議メモ", "請求書", "旅行"};
    static const char* const kExtensions[] = {".jpg", ".JPG", ".pdf",  ".docx", ".txt",
                                              ".mp3", ".png", ".xlsx", ".mp4",  ".zip"};
    std::string name;
    if (rng() % 20 == 0) {
        name = kJapanese[rng() % std::size(kJapanese)];
    } else {
        name = kStems[rng() % std::size(kStems)];
    }
    const int digits = 1 + int(rng() % 6);
    for (int i = 0; i < digits; ++i) name.push_back(char('0' + rng() % 10));
    if (rng() % 4 == 0) {
        const int letters = int(rng() % 20);
        for (int i = 0; i < letters; ++i) {
            const char c = char('a' + rng() % 26);
            name.push_back(rng() % 5 == 0 ? char(c - 32) : c);
        }
    }
    name += kExtensions[rng() % std::size(kExtensions)];
    return name;
}

const Data& data() {
    static const Data* made = [] {
        auto* d = new Data;
        std::mt19937_64 rng(20261211);
        std::vector<std::string> folders;
        static const char* const kTops[] = {"Pictures", "Documents", "Music",   "Downloads",
                                            "Videos",   "Projects",  "Desktop", "Archive"};
        for (const char* top : kTops) {
            for (int mid = 0; mid < 12; ++mid) {
                for (int leaf = 0; leaf < 28; ++leaf) {
                    folders.push_back("/home/someone/" + std::string(top) + "/" +
                                      std::to_string(2000 + mid) + "/folder_" +
                                      std::to_string(leaf));
                }
            }
        }
        d->files.reserve(g_records);
        for (size_t i = 0; i < g_records; ++i) {
            platform::FileStat st;
            st.size = rng() % 4 == 0 ? rng() % 4096 : rng() % (uint64_t(1) << (10 + rng() % 24));
            st.writeNs = 1'300'000'000'000'000'000LL + int64_t(rng() % 400'000'000'000'000'000ULL);
            st.createNs = st.writeNs;
            st.accessNs = st.writeNs;
            const std::string& folder = folders[rng() % folders.size()];
            d->files.push_back(std::make_shared<QXFileInfo>(folder + "/" + makeName(rng), st));
        }
        d->names.reserve(g_records);
        d->paths.reserve(g_records);
        for (const auto& f : d->files) {
            d->names.push_back(f->fileName());
            d->paths.push_back(f->fullPath());
        }
        return d;
    }();
    return *made;
}

void sortPlain(benchmark::State& state, const std::vector<std::wstring>& source) {
    for (auto _ : state) {
        state.PauseTiming();
        auto texts = std::make_unique<std::vector<std::wstring>>(source);
        state.ResumeTiming();
        std::sort(texts->begin(), texts->end());
        benchmark::DoNotOptimize(texts->data());
        state.PauseTiming();
        texts.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(int64_t(state.iterations() * source.size()));
}

void sortColumn(benchmark::State& state, int32_t type) {
    const QXFileList& source = data().files;
    for (auto _ : state) {
        state.PauseTiming();
        auto files = std::make_unique<QXFileList>(source);
        state.ResumeTiming();
        quenrix::sortResults(*files, type, true);
        benchmark::DoNotOptimize(files->data());
        state.PauseTiming();
        files.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(int64_t(state.iterations() * source.size()));
}

void BM_PlainNames(benchmark::State& state) {
    sortPlain(state, data().names);
}
void BM_PlainPaths(benchmark::State& state) {
    sortPlain(state, data().paths);
}
void BM_SortByFileName(benchmark::State& state) {
    sortColumn(state, quenrix::kColFileName);
}
void BM_SortByPath(benchmark::State& state) {
    sortColumn(state, quenrix::kColPath);
}
void BM_SortBySize(benchmark::State& state) {
    sortColumn(state, quenrix::kColFileSize);
}
void BM_SortByUpdateTime(benchmark::State& state) {
    sortColumn(state, quenrix::kColUpdateTime);
}

#define QUENRIX_SORT_BENCHMARK(fn)      \
    BENCHMARK(fn)                       \
        ->Unit(benchmark::kMillisecond) \
        ->Iterations(1)                 \
        ->Repetitions(kRepetitions)     \
        ->ReportAggregatesOnly(true)    \
        ->UseRealTime()

QUENRIX_SORT_BENCHMARK(BM_PlainNames);
QUENRIX_SORT_BENCHMARK(BM_PlainPaths);
QUENRIX_SORT_BENCHMARK(BM_SortByFileName);
QUENRIX_SORT_BENCHMARK(BM_SortByPath);
QUENRIX_SORT_BENCHMARK(BM_SortBySize);
QUENRIX_SORT_BENCHMARK(BM_SortByUpdateTime);

// The console output, keeping each benchmark's median for the ratios at the end.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                medians[run.run_name.function_name] = {run.GetAdjustedRealTime(),
                                                       run.GetAdjustedCPUTime()};
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    struct Median {
        double real;  // milliseconds
        double cpu;
    };
    std::map<std::string, Median> medians;
};

}  // namespace

int main(int argc, char** argv) {
    platform::initLocale();
    // The repetitions of the benchmarks take turns unless told otherwise, so a change in
    // the machine's load during the run falls on every side alike.
    std::vector<char*> args(argv, argv + argc);
    static char interleave[] = "--benchmark_enable_random_interleaving=true";
    bool interleaveGiven = false;
    for (int i = 1; i < argc; ++i) {
        interleaveGiven = interleaveGiven || std::string(argv[i]).starts_with(
                                                 "--benchmark_enable_random_interleaving");
    }
    if (!interleaveGiven) args.insert(args.begin() + 1, interleave);
    argc = int(args.size());
    args.push_back(nullptr);
    argv = args.data();
    benchmark::Initialize(&argc, argv);
    if (argc > 2 || (argc == 2 && std::atoll(argv[1]) <= 0)) {
        std::fprintf(stderr, "usage: %s [benchmark flags] [RECORDS]\n", argv[0]);
        return 2;
    }
    if (argc == 2) g_records = size_t(std::atoll(argv[1]));
#ifndef NDEBUG
    std::printf("NOTE: a debug build; its figures mean nothing.\n");
#endif
    std::printf("Making %zu records...\n", g_records);
    std::fflush(stdout);
    data();

    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    static const struct {
        const char* column;
        const char* baseline;
    } ratios[] = {
        {"BM_SortByFileName", "BM_PlainNames"},
        {"BM_SortByPath", "BM_PlainPaths"},
        {"BM_SortBySize", "BM_PlainNames"},
        {"BM_SortByUpdateTime", "BM_PlainNames"},
    };
    std::printf(
        "\nMedians of %d runs, %zu records; target: each column sort at most %.1fx the "
        "plain wide-string sort of its baseline (wall time; CPU time beside it)\n",
        kRepetitions, g_records, kTarget);
    std::printf("%-17s %8s %8s   %-11s %8s %8s   %5s %5s\n", "column sort", "wall ms", "cpu ms",
                "baseline", "wall ms", "cpu ms", "wall", "cpu");
    for (const auto& r : ratios) {
        auto column = reporter.medians.find(r.column);
        auto baseline = reporter.medians.find(r.baseline);
        if (column == reporter.medians.end() || baseline == reporter.medians.end()) continue;
        const MedianReporter::Median& c = column->second;
        const MedianReporter::Median& b = baseline->second;
        const double ratio = c.real / b.real;
        std::printf("%-17s %8.1f %8.1f   %-11s %8.1f %8.1f   %5.2f %5.2f  %s\n", r.column + 3,
                    c.real, c.cpu, r.baseline + 3, b.real, b.cpu, ratio, c.cpu / b.cpu,
                    ratio <= kTarget ? "met" : "MISSED");
    }
    return 0;
}
