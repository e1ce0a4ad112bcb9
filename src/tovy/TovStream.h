// Byte streams over files and memory, and the line reader that decodes text files.
//
// Every stream object belongs to one thread at a time and may not be copied. Failure is
// reported through results and state(), never by exceptions. Files are read with read(2)
// and written with write(2); nothing here maps a file into memory.
//
// State values are those of the standard stream bits: 0 good, kStateEof when the end of
// the data has been reached, kStateFail and kStateBad for errors (kStateBad also when no
// underlying file or stream is attached).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tovy/TovSync.h"

namespace tovy {

constexpr int kStateGood = 0;
constexpr int kStateEof = 1;
constexpr int kStateFail = 2;
constexpr int kStateBad = 4;

class ITovIOState {
public:
    virtual ~ITovIOState() = default;
    virtual int state() const = 0;
};

class ITovInputStream : public ITovIOState {
public:
    // Bytes not yet read.
    virtual uint64_t remaining() const = 0;
    // Reads up to count bytes; returns how many were read (0 at the end or on error).
    virtual size_t read(void* buffer, size_t count) = 0;
};

class ITovOutputStream : public ITovIOState {
public:
    // Returns count when the bytes were accepted, 0 on failure.
    virtual size_t write(const void* bytes, size_t count) = 0;
    virtual void flush() = 0;
    virtual bool isOpen() const = 0;
    virtual void close() = 0;
};

class ITovSeekable {
public:
    virtual ~ITovSeekable() = default;
    // origin: 0 from the beginning, 1 from the current position, 2 from the end.
    virtual int64_t seek(int64_t offset, int origin) = 0;
    virtual int64_t tell() = 0;
};

class ITovInputTextStream : public ITovIOState {
public:
    // Reads one line without its terminator (LF, CR or CR LF) and decodes it; returns
    // the length of the decoded text.
    virtual size_t readLine(std::wstring& out) = 0;
    // The stream is not owned. Attaching nothing leaves the state kStateBad.
    virtual void attach(ITovInputStream* stream) = 0;
    virtual bool isAttached() const = 0;
    virtual void detach() = 0;
    // The next byte, or -1 at the end of the data or on error.
    virtual int readByte() = 0;
    // The next byte without consuming it, or -1.
    virtual int peekByte() = 0;
};

// Common base of the concrete streams.
class TovIOStream : public TovTrait, private TovIsNoncopyable {};

// Reads a file's bytes unchanged. The state turns to kStateEof as soon as the read that
// delivers the last byte of the file returns.
class TovInputFileStream : public TovIOStream, public ITovInputStream {
public:
    TovInputFileStream() = default;
    explicit TovInputFileStream(const std::string& path) { open(path); }
    ~TovInputFileStream() override;

    bool open(const std::string& path);
    void close();
    bool isOpen() const { return m_fd >= 0; }

    int state() const override { return m_state; }
    uint64_t remaining() const override { return m_remaining; }
    size_t read(void* buffer, size_t count) override;

private:
    int m_fd = -1;
    int m_state = kStateBad;
    uint64_t m_remaining = 0;
};

// Writes bytes unchanged to a file, truncating an existing one. Output is buffered;
// flush() or close() hands it to the system. Prefer writeFileAtomically() for files a
// crash must not leave half written.
class TovOutputFileStream : public TovIOStream, public ITovOutputStream, public ITovSeekable {
public:
    TovOutputFileStream() = default;
    explicit TovOutputFileStream(const std::string& path) { open(path); }
    ~TovOutputFileStream() override;

    bool open(const std::string& path);

    int state() const override { return m_state; }
    size_t write(const void* bytes, size_t count) override;
    void flush() override;
    bool isOpen() const override { return m_fd >= 0; }
    void close() override;
    int64_t seek(int64_t offset, int origin) override;
    int64_t tell() override;

private:
    int m_fd = -1;
    int m_state = kStateBad;
    std::string m_buffer;
};

// Collects written bytes in memory, for documents that are then stored with
// writeFileAtomically().
class TovOutputStringStream : public TovIOStream, public ITovOutputStream {
public:
    int state() const override { return kStateGood; }
    size_t write(const void* bytes, size_t count) override;
    void flush() override {}
    bool isOpen() const override { return true; }
    void close() override {}

    const std::string& bytes() const { return m_bytes; }
    std::string takeBytes() { return std::move(m_bytes); }

private:
    std::string m_bytes;
};

// Reads bytes from memory (tests, and callers that already hold a file's contents).
class TovInputMemoryStream : public TovIOStream, public ITovInputStream {
public:
    explicit TovInputMemoryStream(std::string bytes) : m_bytes(std::move(bytes)) {}

    int state() const override { return m_state; }
    uint64_t remaining() const override { return m_bytes.size() - m_pos; }
    size_t read(void* buffer, size_t count) override;

private:
    std::string m_bytes;
    size_t m_pos = 0;
    int m_state = kStateGood;
};

// An unbuffered file opened for reading (existing files only) or writing (always created
// afresh, truncating). The state is kStateGood while bytes remain between the current
// position and the end, kStateEof otherwise.
class TovFile : public TovTrait,
                private TovIsNoncopyable,
                public ITovInputStream,
                public ITovOutputStream,
                public ITovSeekable {
public:
    TovFile() = default;
    ~TovFile() override;

    bool openRead(const std::string& path);
    bool openWrite(const std::string& path);

    int state() const override;
    uint64_t remaining() const override;
    size_t read(void* buffer, size_t count) override;
    size_t write(const void* bytes, size_t count) override;
    void flush() override {}
    bool isOpen() const override { return m_fd >= 0; }
    void close() override;
    // -1 when no file is open; 0 for an unknown origin.
    int64_t seek(int64_t offset, int origin) override;
    int64_t tell() override;
    // Bytes moved by the last read or write.
    size_t lastTransfer() const { return m_lastTransfer; }

private:
    int m_fd = -1;
    size_t m_lastTransfer = 0;
};

// Line reader over an attached input stream, one byte per call. Subclasses decide how a
// line's bytes become text.
class TovInputTextStream : public ITovInputTextStream, public TovIOStream {
public:
    TovInputTextStream() = default;
    explicit TovInputTextStream(ITovInputStream* stream) { attach(stream); }

    // A byte read ahead by peekByte() keeps the stream good until it is consumed.
    int state() const override;
    size_t readLine(std::wstring& out) override;
    void attach(ITovInputStream* stream) override;
    bool isAttached() const override { return m_stream != nullptr; }
    void detach() override;
    int readByte() override;
    int peekByte() override;

protected:
    virtual std::wstring decode(std::string_view bytes) = 0;

private:
    ITovInputStream* m_stream = nullptr;
    int m_state = kStateBad;
    int m_pushed = -1;
};

// Lines in Shift_JIS (code page 932). A byte that does not decode becomes U+DC80 + byte,
// as in the lossless UTF-8 codec, so nothing is lost silently. Decoding stops at a zero
// character.
class TovInputSjisTextStream : public TovInputTextStream {
public:
    TovInputSjisTextStream() = default;
    explicit TovInputSjisTextStream(ITovInputStream* stream) : TovInputTextStream(stream) {}
    ~TovInputSjisTextStream() override;

protected:
    std::wstring decode(std::string_view bytes) override;

private:
    // The iconv descriptor, opened with the first line that needs it.
    void* m_converter = nullptr;
};

// Lines in UTF-8, decoded by the lossless codec of TovUtf8.h.
class TovInputUtf8TextStream : public TovInputTextStream {
public:
    TovInputUtf8TextStream() = default;
    explicit TovInputUtf8TextStream(ITovInputStream* stream) : TovInputTextStream(stream) {}

protected:
    std::wstring decode(std::string_view bytes) override;
};

// Decodes Shift_JIS (code page 932) bytes; undecodable bytes become U+DC80 + byte.
// Stops at the first zero character.
std::wstring fromSjis(std::string_view bytes);

// Encodes text as Shift_JIS (code page 932) so that fromSjis gives exactly the text
// back. False when some character has no such form: one outside the code page, one the
// code page folds onto another (U+00A5 would read back as a backslash, U+301C as
// U+FF5E), a unit standing for an undecodable byte, or a zero character; then out is
// unspecified and *badAt, when given, is the index of the first such character.
// Thread-safe.
bool toSjis(std::wstring_view text, std::string& out, size_t* badAt = nullptr);

// Replaces the file at path with bytes so that a crash or a full disk leaves either the
// old file or the complete new one: a temporary file in the same folder (created
// exclusively), write, fsync, rename over path, fsync the folder. On any failure the
// temporary file is removed, the old file is left as it was, and false is returned.
// A new file gets mode 0644 (less the umask); an existing file keeps its mode.
bool writeFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace tovy
