// The secure wipe of action modes 3 to 7: a file is overwritten in place, pass after pass,
// with a constant byte or with pseudo-random bytes; the random passes of the DoD modes are
// read back and compared; finally the file is moved to a meaningless name "___XXXX.TMP" in
// its own folder and deleted there.
//
// Mode  passes
//   3   0x00
//   4   0xFF
//   5   random
//   6   short sequence: 0x00, 0xFF, random, verify that random pass
//   7   0xF6, short sequence, short sequence
//
// Each pass is written in large blocks and synced to the disk once at its end, so it has
// reached the disk before the next pass starts.
//
// What is never overwritten: a file that is no longer the one the search recorded (device,
// inode, size, last-write time), a symbolic link or anything else that is not a regular
// file (opened with O_NOFOLLOW | O_NONBLOCK, and the descriptor checked again), a read-only
// file (no owner write bit, refused even for root), and a file with more than one hard link
// (its data would be destroyed under its other names too).
//
// One QXSecureWipe belongs to one action worker (the worker of a secure mode implements
// Host and calls ProcessFile from its own ProcessFile; the run loop writes the per-file
// lines) and is used on that worker's thread only. It owns its blocks and its generator,
// so a random pass and its verification draw from a sequence nobody else touches.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "core/QXFileInfo.h"
#include "platform/FileStat.h"

namespace quenrix {

// The wipe's pseudo-random bytes: a sequence fully determined by a 32-bit seed, each byte
// a 32-bit value modulo 255 (so 0 to 254, never 0xFF). The sequence does not depend on how
// it is taken in pieces, which is what lets a pass be verified block by block. Value i is a
// counter-based hash of i and the seed, cheap enough to keep up with the disk.
// Not thread-safe; each wipe owns one.
class QXWipeRandom {
public:
    // Restarts the sequence for `seed`.
    void seed(uint32_t seed);
    // Writes the next `count` bytes of the sequence to `out`.
    void fill(uint8_t* out, size_t count);

private:
    void rekey();

    uint32_t m_seed = 0;
    uint32_t m_key = 0;
    uint64_t m_index = 0;
};

class QXSecureWipe {
public:
    // The action worker that runs the wipe: its cancel request and its error flag.
    class Host {
    public:
        virtual ~Host() = default;
        // The user's cancel request, looked at between blocks and between passes. A wipe
        // cancelled part-way leaves the file under its name, partly overwritten.
        virtual bool cancelRequested() const = 0;
        // Raises the worker's error flag; called after an error line has been logged.
        virtual void raiseError() = 0;
    };

    static constexpr int32_t kModeFill00 = 3;
    static constexpr int32_t kModeFillFF = 4;
    static constexpr int32_t kModeRandom = 5;
    static constexpr int32_t kModeDoDShort = 6;
    static constexpr int32_t kModeDoD = 7;

    // Bytes per write and per read-back comparison.
    static constexpr size_t kBlockSize = size_t(1) << 20;

    // The source name of the action worker's error lines "%s (%s,%d)".
    static constexpr const wchar_t* kLogSource = L"tool\\QXToolDeleteThread";

    // REQUIRES: mode is 3 to 7. The blocks are allocated here; when they cannot be had,
    // "DeleteSecureThread : out of memory." is logged and every ProcessFile then fails
    // without touching a file (ok() is false).
    QXSecureWipe(int32_t mode, Host& host);
    virtual ~QXSecureWipe();
    QXSecureWipe(const QXSecureWipe&) = delete;
    QXSecureWipe& operator=(const QXSecureWipe&) = delete;

    int32_t mode() const { return m_mode; }
    bool ok() const { return m_block != nullptr; }

    // Runs the mode's passes on the record's file, then renames and deletes it. True
    // exactly when every step succeeded and the file is gone. A failed step leaves the
    // file with whatever the finished passes wrote; a refused file is left untouched.
    bool ProcessFile(const QXFileInfo& record);

protected:
    // The steps, each on the file of the record being processed (its device and inode
    // are checked on every open). Virtual so that tests can watch the file between steps.
    virtual bool FillPass(const std::string& path, uint8_t value);
    // Seeds the generator with the current time in seconds and hands the seed out when
    // `seed` is not null.
    virtual bool RandomPass(const std::string& path, uint32_t* seed);
    // A difference logs "DeleteSecureThread : Failed to verifyRand." and fails without
    // raising the error flag.
    virtual bool VerifyRandomPass(const std::string& path, uint32_t seed);
    // Moves the file to "___XXXX.TMP" in its folder (never replacing anything; XXXX from
    // the current time) and deletes it under that name.
    virtual bool RenameAndDelete(const std::string& path);
    // 0x00, 0xFF, random, verify.
    bool ShortSequence(const std::string& path);

    // The calendar time in seconds (seed and temporary name); tests fix it.
    virtual int64_t currentSeconds() const;

private:
    enum class Source { Constant, Random };

    bool refuse(const platform::FileStat& st);
    int openChecked(const std::string& path, int flags, int step, uint64_t* size);
    bool writePass(const std::string& path, Source source, int step);
    bool cancelled();
    void errorLine(int err, int step);

    int32_t m_mode;
    Host& m_host;
    std::unique_ptr<uint8_t[]> m_block;
    std::unique_ptr<uint8_t[]> m_expected;  // the generator's bytes during a verification
    QXWipeRandom m_random;
    // The file being processed.
    uint64_t m_dev = 0;
    uint64_t m_ino = 0;
};

}  // namespace quenrix
