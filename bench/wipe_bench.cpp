// Secure-wipe benchmark: mode 7 (DoD 5220.22-M: seven passes, two of them read back,
// then rename and delete) on a large file, next to `shred -n 7 -u` on an equal file in the
// same run.
//
//   quenrix_bench_wipe [FOLDER [MIB [RUNS]]]
//     FOLDER  where the files are made (default /var/tmp/quenrix-bench-wipe); it should be
//             on a real disk, not tmpfs, or the syncs cost nothing
//     MIB     size of each file in MiB (default 256)
//     RUNS    timed rounds (default 3); each round wipes one file of ours and one of shred's,
//             the order alternating
//
// The files hold the same pseudo-random bytes and are synced before the timing, so both
// sides start from clean pages of the same content. The folder is made when missing and
// left empty (it is removed when this program made it).

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/QXFileInfo.h"
#include "core/QXLog.h"
#include "tool/QXSecureWipe.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using quenrix::QXFileInfo;
using quenrix::QXLog;
using quenrix::QXSecureWipe;

constexpr const char* kDefaultFolder = "/var/tmp/quenrix-bench-wipe";
constexpr size_t kDefaultMib = 256;
constexpr int kDefaultRuns = 3;
constexpr double kTarget = 1.5;

struct Timing {
    double wall = 0;  // seconds
    double cpu = 0;   // user + system seconds
};

double seconds(const timeval& t) {
    return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

class BenchHost : public QXSecureWipe::Host {
public:
    bool cancelRequested() const override { return false; }
    void raiseError() override { ++errors; }
    int errors = 0;
};

// Makes `path` holding `content`, synced.
bool makeFile(const std::string& path, const std::vector<uint8_t>& content) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < content.size()) {
        ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n <= 0) {
            ::close(fd);
            return false;
        }
        done += size_t(n);
    }
    bool ok = ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

bool runOurs(const std::string& path, Timing& t) {
    auto record = QXFileInfo::fromPath(path);
    if (!record) return false;
    BenchHost host;
    QXSecureWipe wipe(QXSecureWipe::kModeDoD, host);
    rusage u0{}, u1{};
    getrusage(RUSAGE_SELF, &u0);
    auto start = Clock::now();
    bool ok = wipe.ProcessFile(*record);
    t.wall = std::chrono::duration<double>(Clock::now() - start).count();
    getrusage(RUSAGE_SELF, &u1);
    t.cpu =
        seconds(u1.ru_utime) - seconds(u0.ru_utime) + seconds(u1.ru_stime) - seconds(u0.ru_stime);
    return ok && host.errors == 0 && ::access(path.c_str(), F_OK) != 0;
}

bool runShred(const std::string& path, Timing& t) {
    const char* argv[] = {"shred", "-n", "7", "-u", path.c_str(), nullptr};
    pid_t pid;
    auto start = Clock::now();
    if (posix_spawnp(&pid, "shred", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
        return false;
    }
    int status = 0;
    rusage u{};
    if (wait4(pid, &status, 0, &u) != pid) return false;
    t.wall = std::chrono::duration<double>(Clock::now() - start).count();
    t.cpu = seconds(u.ru_utime) + seconds(u.ru_stime);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 && ::access(path.c_str(), F_OK) != 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : kDefaultFolder;
    const size_t mib = argc > 2 ? size_t(std::strtoull(argv[2], nullptr, 10)) : kDefaultMib;
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : kDefaultRuns;
#ifndef NDEBUG
    std::printf("NOTE: a debug build; its figures mean nothing (use bench/run_wipe.sh)\n");
#endif
    QXLog::setEnabled(false);

    bool madeFolder = ::mkdir(folder.c_str(), 0755) == 0;
    struct stat st;
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        std::fprintf(stderr, "cannot use the folder %s\n", folder.c_str());
        return 2;
    }

    std::vector<uint8_t> content(mib << 20);
    uint64_t x = 0x9E3779B97F4A7C15u;
    for (size_t i = 0; i < content.size(); i += 8) {
        x ^= x << 13, x ^= x >> 7, x ^= x << 17;
        std::memcpy(content.data() + i, &x, std::min<size_t>(8, content.size() - i));
    }

    std::printf("mode 7 on %zu MiB in %s, %d rounds\n", mib, folder.c_str(), runs);
    std::vector<double> oursWall, oursCpu, shredWall, shredCpu;
    bool failed = false;
    for (int round = 0; round < runs && !failed; ++round) {
        const std::string ours = folder + "/ours.bin";
        const std::string theirs = folder + "/shred.bin";
        if (!makeFile(ours, content) || !makeFile(theirs, content)) {
            std::fprintf(stderr, "cannot make the files in %s\n", folder.c_str());
            failed = true;
            break;
        }
        Timing a, b;
        bool okA, okB;
        if (round % 2 == 0) {
            okA = runOurs(ours, a);
            okB = runShred(theirs, b);
        } else {
            okB = runShred(theirs, b);
            okA = runOurs(ours, a);
        }
        if (!okA || !okB) {
            std::fprintf(stderr, "%s failed\n", !okA ? "our wipe" : "shred");
            ::unlink(ours.c_str());
            ::unlink(theirs.c_str());
            failed = true;
            break;
        }
        std::printf("round %d: ours %.2f s (CPU %.2f s), shred %.2f s (CPU %.2f s)\n", round + 1,
                    a.wall, a.cpu, b.wall, b.cpu);
        oursWall.push_back(a.wall);
        oursCpu.push_back(a.cpu);
        shredWall.push_back(b.wall);
        shredCpu.push_back(b.cpu);
    }
    if (madeFolder) ::rmdir(folder.c_str());
    if (failed) return 1;

    const double ratio = median(oursWall) / median(shredWall);
    std::printf("\n%-6s %10s %10s %10s %10s\n", "side", "median s", "min s", "max s", "CPU s");
    std::printf("%-6s %10.2f %10.2f %10.2f %10.2f\n", "ours", median(oursWall),
                *std::min_element(oursWall.begin(), oursWall.end()),
                *std::max_element(oursWall.begin(), oursWall.end()), median(oursCpu));
    std::printf("%-6s %10.2f %10.2f %10.2f %10.2f\n", "shred", median(shredWall),
                *std::min_element(shredWall.begin(), shredWall.end()),
                *std::max_element(shredWall.begin(), shredWall.end()), median(shredCpu));
    std::printf("\nours/shred %.2f (target at most %.1f): %s\n", ratio, kTarget,
                ratio <= kTarget ? "met" : "MISSED");
    return 0;
}
