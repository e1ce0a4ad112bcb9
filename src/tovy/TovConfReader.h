// Reader of line-oriented "key=value" text files (the rule presets). The whole file is
// read into memory and cut into lines at every CR or LF; empty lines and lines whose
// first byte is ";" are skipped; each other line is split at its first "=" into a key and
// a value (a line without "=" has an empty value), and spaces, not tabs, are trimmed from
// both ends of each. Every pair goes to the receiver, which answers whether reading goes
// on. The files are UTF-8 through the lossless codec (TovUtf8.h), so any byte survives
// into the wide pairs and back.
//
// A reader is used by one thread at a time; it keeps nothing after read() returns.
#pragma once

#include <string>
#include <string_view>

namespace tovy {

// Receives the pairs in their 8-bit form (the bytes as they stand in the file).
class TovConfReadReceiver {
public:
    virtual ~TovConfReadReceiver() = default;
    // false stops the reading.
    virtual bool onPair(std::string_view key, std::string_view value) { return true; }
};

// Receives the pairs decoded to wide text.
class TovConfReadReceiverEx : public TovConfReadReceiver {
public:
    using TovConfReadReceiver::onPair;
    // false stops the reading.
    virtual bool onPair(const std::wstring& key, const std::wstring& value) { return true; }
};

class TovConfReader {
public:
    // Pairs go to receiver's 8-bit operation.
    explicit TovConfReader(TovConfReadReceiver* receiver) : m_receiver(receiver) {}
    // Pairs go to receiver's wide operation.
    explicit TovConfReader(TovConfReadReceiverEx* receiver)
        : m_receiver(receiver), m_wide(receiver) {}
    TovConfReader(const TovConfReader&) = delete;
    TovConfReader& operator=(const TovConfReader&) = delete;

    // Reads the file at path (native bytes). false when it cannot be opened or read;
    // the receiver has then seen nothing.
    bool readFile(const std::string& path);
    // Reads text already in memory. Always true.
    bool readText(std::string_view text);

private:
    TovConfReadReceiver* m_receiver;
    TovConfReadReceiverEx* m_wide = nullptr;  // set in the wide mode
};

}  // namespace tovy
