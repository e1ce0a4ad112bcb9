#include "tool/QXSecureWipe.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "core/QXFileInfo.h"
#include "core/QXLog.h"
#include "platform/ErrorText.h"
#include "support/TempDir.h"
#include "tovy/TovUtf8.h"

namespace quenrix {
namespace {

using test::pathExists;
using test::readFile;
using test::TempDir;
namespace fs = std::filesystem;

constexpr int64_t kNow = 1765400000;  // the fixed clock of WatchedWipe

class FakeHost : public QXSecureWipe::Host {
public:
    bool cancelRequested() const override { return cancel; }
    void raiseError() override { ++errors; }
    bool cancel = false;
    int errors = 0;
};

// A wipe with a fixed clock that notes each step and the file's bytes right after it.
class WatchedWipe : public QXSecureWipe {
public:
    struct Step {
        std::string name;
        std::string content;  // after the step
        uint32_t seed = 0;    // of a random pass
    };
    using QXSecureWipe::QXSecureWipe;

    std::vector<Step> steps;
    // Runs after every random pass, before its bytes are noted.
    std::function<void(const std::string& path)> afterRandomPass;

protected:
    bool FillPass(const std::string& path, uint8_t value) override {
        bool ok = QXSecureWipe::FillPass(path, value);
        char name[16];
        std::snprintf(name, sizeof name, "fill %02x", value);
        steps.push_back({name, readFile(path)});
        return ok;
    }
    bool RandomPass(const std::string& path, uint32_t* seed) override {
        uint32_t used = 0;
        bool ok = QXSecureWipe::RandomPass(path, &used);
        if (seed) *seed = used;
        if (afterRandomPass) afterRandomPass(path);
        steps.push_back({"random", readFile(path), used});
        return ok;
    }
    bool VerifyRandomPass(const std::string& path, uint32_t seed) override {
        steps.push_back({"verify", {}, seed});
        return QXSecureWipe::VerifyRandomPass(path, seed);
    }
    bool RenameAndDelete(const std::string& path) override {
        steps.push_back({"rename", readFile(path)});
        return QXSecureWipe::RenameAndDelete(path);
    }
    int64_t currentSeconds() const override { return kNow; }
};

std::string randomBytes(uint32_t seed, size_t size) {
    QXWipeRandom random;
    random.seed(seed);
    std::string out(size, '\0');
    random.fill(reinterpret_cast<uint8_t*>(out.data()), size);
    return out;
}

// Bytes that no pass writes, so a pass that missed a part shows.
std::string original(size_t size) {
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i) s[i] = char('a' + i % 26);
    return s;
}

std::vector<std::wstring> takeLog() {
    return QXLog::takeQueued();
}

bool logHas(const std::vector<std::wstring>& lines, const std::wstring& text) {
    for (const auto& l : lines) {
        if (l.find(text) != std::wstring::npos) return true;
    }
    return false;
}

std::string joinedLog(const std::vector<std::wstring>& lines) {
    std::wstring all;
    for (const auto& l : lines) all += l + L"\n";
    return tovy::toUtf8(all);
}

std::wstring errorLine(int err, int step) {
    return platform::errorText(err) + L" (tool\\QXToolDeleteThread," + std::to_wstring(step) + L")";
}

// Every entry of a folder: "name" -> its bytes, or "-> target" for a link.
std::map<std::string, std::string> snapshot(const std::string& folder) {
    std::map<std::string, std::string> out;
    for (const auto& e : fs::directory_iterator(folder)) {
        std::string name = e.path().filename().string();
        if (e.is_symlink()) {
            out[name] = "-> " + fs::read_symlink(e.path()).string();
        } else {
            out[name] = readFile(e.path().string());
        }
    }
    return out;
}

// The names and sizes of a snapshot, for a failure message.
std::string describe(const std::map<std::string, std::string>& entries) {
    std::string out;
    for (const auto& [name, content] : entries) {
        out += name + " (" + std::to_string(content.size()) + " bytes) ";
    }
    return out;
}

// --- the passes of each mode, on the sizes that matter ---

struct ModeCase {
    int32_t mode;
    std::vector<std::string> steps;  // before "rename"
};

void PrintTo(const ModeCase& c, std::ostream* os) {
    *os << "mode " << c.mode;
}

const std::vector<std::string> kShort = {"fill 00", "fill ff", "random", "verify"};

std::vector<std::string> dodSteps() {
    std::vector<std::string> s = {"fill f6"};
    s.insert(s.end(), kShort.begin(), kShort.end());
    s.insert(s.end(), kShort.begin(), kShort.end());
    return s;
}

const ModeCase kModes[] = {
    {3, {"fill 00"}}, {4, {"fill ff"}}, {5, {"random"}}, {6, kShort}, {7, dodSteps()},
};

// Empty; one full block and a remainder, whole blocks only (in the old 4 KiB blocks), and
// several of our blocks with a remainder.
const size_t kSizes[] = {0, 5000, 8192, 2 * QXSecureWipe::kBlockSize + 904};

class SecureWipeModeTest : public testing::TestWithParam<std::tuple<ModeCase, size_t>> {};

TEST_P(SecureWipeModeTest, OverwritesEveryPassThenRemovesTheFile) {
    const auto& [mc, size] = GetParam();
    TempDir dir;
    std::string path = dir.createFile("victim.dat", original(size));
    auto record = QXFileInfo::fromPath(path);
    ASSERT_TRUE(record);
    FakeHost host;
    WatchedWipe wipe(mc.mode, host);
    QXLog::clearQueue();

    EXPECT_TRUE(wipe.ProcessFile(*record)) << joinedLog(takeLog());

    std::vector<std::string> names;
    for (const auto& s : wipe.steps) names.push_back(s.name);
    std::vector<std::string> expected = mc.steps;
    expected.push_back("rename");
    EXPECT_EQ(names, expected);

    for (const auto& s : wipe.steps) {
        if (s.name == "verify") {
            EXPECT_EQ(s.seed, uint32_t(kNow));
            continue;
        }
        ASSERT_EQ(s.content.size(), size) << s.name;
        if (s.name == "random") {
            EXPECT_EQ(s.seed, uint32_t(kNow));
            EXPECT_TRUE(s.content == randomBytes(s.seed, size)) << "random pass differs";
            EXPECT_EQ(s.content.find('\xFF'), std::string::npos) << "0xFF in a random pass";
        } else if (s.name != "rename") {
            unsigned value = 0;
            std::sscanf(s.name.c_str(), "fill %x", &value);
            EXPECT_TRUE(s.content == std::string(size, char(value))) << s.name;
        }
    }
    // The verifications changed nothing: the file was renamed holding the last pass.
    const WatchedWipe::Step* lastPass = nullptr;
    for (const auto& s : wipe.steps) {
        if (s.name != "verify" && s.name != "rename") lastPass = &s;
    }
    ASSERT_TRUE(lastPass);
    EXPECT_TRUE(wipe.steps.back().content == lastPass->content);

    EXPECT_FALSE(pathExists(path));
    auto left = snapshot(dir.path());
    EXPECT_TRUE(left.empty()) << "left in the folder: " << describe(left);
    EXPECT_EQ(host.errors, 0);
}

INSTANTIATE_TEST_SUITE_P(ModesAndSizes, SecureWipeModeTest,
                         testing::Combine(testing::ValuesIn(kModes), testing::ValuesIn(kSizes)),
                         [](const testing::TestParamInfo<SecureWipeModeTest::ParamType>& info) {
                             return "mode" + std::to_string(std::get<0>(info.param).mode) +
                                    "_size" + std::to_string(std::get<1>(info.param));
                         });

// --- files that must not be overwritten ---

struct RefusalCase {
    const char* name;
    // Runs before the record is taken (what the search saw) ...
    std::function<void(const TempDir& dir, const std::string& path)> beforeSearch;
    // ... and after it (what happened meanwhile).
    std::function<void(const TempDir& dir, const std::string& path)> afterSearch;
    bool errorRaised;
    std::wstring logText;  // a line holding this is logged
};

std::wstring changedLine(const std::string& path) {
    return L"DeleteSecureThread : The file has changed since the search and is left alone: " +
           tovy::fromUtf8(path);
}

TEST(SecureWipeTest, RefusedFilesAreLeftUntouched) {
    auto none = [](const TempDir&, const std::string&) {};
    const RefusalCase cases[] = {
        {"read-only", [](const TempDir&, const std::string& p) { ::chmod(p.c_str(), 0444); }, none,
         true, errorLine(EACCES, 2)},
        {"made read-only after the search", none,
         [](const TempDir&, const std::string& p) { ::chmod(p.c_str(), 0444); }, true,
         errorLine(EACCES, 2)},
        {"two hard links",
         [](const TempDir& d, const std::string& p) { ::link(p.c_str(), (d / "other").c_str()); },
         none, true, errorLine(EMLINK, 3)},
        {"hard link made after the search", none,
         [](const TempDir& d, const std::string& p) { ::link(p.c_str(), (d / "other").c_str()); },
         true, errorLine(EMLINK, 3)},
        {"a symbolic link",
         [](const TempDir& d, const std::string& p) {
             ::rename(p.c_str(), (d / "real").c_str());
             ::symlink("real", p.c_str());
         },
         none, true, errorLine(ELOOP, 1)},
        {"replaced by a link to itself", none,
         [](const TempDir& d, const std::string& p) {
             ::rename(p.c_str(), (d / "real").c_str());
             ::symlink("real", p.c_str());
         },
         false, L"DeleteSecureThread : The file has changed"},
        {"grown after the search", none,
         [](const TempDir& d, const std::string& p) { d.createFile("victim.dat", original(5001)); },
         false, L"DeleteSecureThread : The file has changed"},
        {"replaced by a file of the same size and time", none,
         [](const TempDir& d, const std::string& p) {
             struct stat st;
             ::stat(p.c_str(), &st);
             std::string other = d.createFile("new", original(5000), st.st_mtim.tv_sec);
             struct timespec ts[2] = {st.st_atim, st.st_mtim};
             ::utimensat(AT_FDCWD, other.c_str(), ts, 0);
             ::rename(other.c_str(), p.c_str());
         },
         false, L"DeleteSecureThread : The file has changed"},
        {"gone", none, [](const TempDir&, const std::string& p) { ::unlink(p.c_str()); }, false,
         L"DeleteSecureThread : The file has changed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        std::string path = dir.createFile("victim.dat", original(5000));
        c.beforeSearch(dir, path);
        auto record = QXFileInfo::fromPath(path);
        ASSERT_TRUE(record);
        c.afterSearch(dir, path);
        auto before = snapshot(dir.path());
        FakeHost host;
        WatchedWipe wipe(QXSecureWipe::kModeDoD, host);
        QXLog::clearQueue();

        EXPECT_FALSE(wipe.ProcessFile(*record));

        auto log = takeLog();
        EXPECT_TRUE(logHas(log, c.logText)) << joinedLog(log);
        EXPECT_EQ(host.errors, c.errorRaised ? 1 : 0);
        EXPECT_TRUE(wipe.steps.empty()) << "a pass ran: " << wipe.steps.front().name;
        auto after = snapshot(dir.path());
        EXPECT_TRUE(after == before) << "the folder changed; now: " << describe(after);
    }
}

TEST(SecureWipeTest, ChangedFileLineNamesTheFile) {
    TempDir dir;
    std::string path = dir.createFile("名前.txt", "old");
    auto record = QXFileInfo::fromPath(path);
    dir.createFile("名前.txt", "changed");
    FakeHost host;
    QXSecureWipe wipe(QXSecureWipe::kModeFill00, host);
    QXLog::clearQueue();
    EXPECT_FALSE(wipe.ProcessFile(*record));
    auto log = takeLog();
    EXPECT_TRUE(logHas(log, changedLine(path))) << joinedLog(log);
    EXPECT_EQ(readFile(path), "changed");
}

// --- failures part-way ---

TEST(SecureWipeTest, VerificationDifferenceKeepsTheFileWithoutRaisingTheError) {
    TempDir dir;
    std::string path = dir.createFile("victim.dat", original(5000));
    auto record = QXFileInfo::fromPath(path);
    FakeHost host;
    WatchedWipe wipe(QXSecureWipe::kModeDoDShort, host);
    wipe.afterRandomPass = [](const std::string& p) {
        FILE* f = std::fopen(p.c_str(), "r+b");
        std::fseek(f, 4321, SEEK_SET);
        int c = std::fgetc(f);
        std::fseek(f, 4321, SEEK_SET);
        std::fputc(c ^ 1, f);
        std::fclose(f);
    };
    QXLog::clearQueue();

    EXPECT_FALSE(wipe.ProcessFile(*record));

    auto log = takeLog();
    EXPECT_TRUE(logHas(log, L"DeleteSecureThread : Failed to verifyRand.")) << joinedLog(log);
    EXPECT_EQ(host.errors, 0);
    EXPECT_EQ(wipe.steps.back().name, "verify");
    ASSERT_TRUE(pathExists(path));
    std::string expected = randomBytes(uint32_t(kNow), 5000);
    expected[4321] ^= 1;
    EXPECT_TRUE(readFile(path) == expected);
}

TEST(SecureWipeTest, TakenTemporaryNameFailsTheMoveAndReplacesNothing) {
    TempDir dir;
    std::string path = dir.createFile("victim.dat", original(5000));
    char name[16];
    std::snprintf(name, sizeof name, "___%04X.TMP", unsigned(((kNow % 4294967294) + 1) & 0xFFFF));
    std::string taken = dir.createFile(name, "someone else's");
    auto record = QXFileInfo::fromPath(path);
    FakeHost host;
    WatchedWipe wipe(QXSecureWipe::kModeFill00, host);
    QXLog::clearQueue();

    EXPECT_FALSE(wipe.ProcessFile(*record));

    auto log = takeLog();
    EXPECT_TRUE(logHas(log, errorLine(EEXIST, 40))) << joinedLog(log);
    EXPECT_EQ(host.errors, 1);
    EXPECT_EQ(readFile(taken), "someone else's");
    EXPECT_TRUE(readFile(path) == std::string(5000, '\0'));
}

TEST(SecureWipeTest, CancelStopsBetweenBlocks) {
    TempDir dir;
    const size_t size = QXSecureWipe::kBlockSize + 10;
    std::string path = dir.createFile("victim.dat", original(size));
    auto record = QXFileInfo::fromPath(path);
    FakeHost host;
    host.cancel = true;
    WatchedWipe wipe(QXSecureWipe::kModeDoD, host);
    QXLog::clearQueue();

    EXPECT_FALSE(wipe.ProcessFile(*record));

    auto log = takeLog();
    EXPECT_TRUE(logHas(log, L"DeleteSecureThread : Cancelled")) << joinedLog(log);
    EXPECT_EQ(host.errors, 0);
    std::string expected = original(size);
    expected.replace(0, QXSecureWipe::kBlockSize, QXSecureWipe::kBlockSize, '\xF6');
    EXPECT_TRUE(readFile(path) == expected);
}

// --- the generator ---

TEST(WipeRandomTest, SequenceDependsOnTheSeedOnlyNotOnThePieces) {
    const size_t size = 100000;
    std::string whole = randomBytes(7, size);
    EXPECT_EQ(whole, randomBytes(7, size));
    EXPECT_NE(whole, randomBytes(8, size));

    const size_t pieces[] = {1, 903, 4096, 65536};
    for (size_t piece : pieces) {
        QXWipeRandom random;
        random.seed(7);
        std::string parts(size, '\0');
        for (size_t at = 0; at < size; at += piece) {
            random.fill(reinterpret_cast<uint8_t*>(parts.data()) + at, std::min(piece, size - at));
        }
        EXPECT_TRUE(parts == whole) << "pieces of " << piece;
    }

    // Re-seeding starts over.
    QXWipeRandom random;
    random.seed(7);
    uint8_t skip[10];
    random.fill(skip, sizeof skip);
    random.seed(7);
    std::string again(size, '\0');
    random.fill(reinterpret_cast<uint8_t*>(again.data()), size);
    EXPECT_TRUE(again == whole);
}

TEST(WipeRandomTest, BytesCoverZeroTo254Evenly) {
    const size_t perValue = 2000;
    std::string bytes = randomBytes(12345, 255 * perValue);
    size_t counts[256] = {};
    for (unsigned char c : bytes) ++counts[c];
    EXPECT_EQ(counts[255], 0u);
    for (int v = 0; v < 255; ++v) {
        // About nine standard deviations of slack around 2000: only a broken reduction fails.
        EXPECT_GT(counts[v], perValue * 8 / 10) << v;
        EXPECT_LT(counts[v], perValue * 12 / 10) << v;
    }
}

}  // namespace
}  // namespace quenrix
