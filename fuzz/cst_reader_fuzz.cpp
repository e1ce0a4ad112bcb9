// Feeds arbitrary bytes to TovCstReader, once with the escaping tokenizer and once with
// the plain one, through a receiver that records every call. The reader must neither
// crash nor hang, and what it reports must be consistent: every endSection() names an
// open section and comes after its beginSection().
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tovy/TovCstReader.h"

namespace {

class RecordingReceiver : public tovy::TovCstReader {
public:
    explicit RecordingReceiver(bool plain) : m_plain(plain) {}

    std::vector<std::wstring> calls;
    std::vector<std::wstring> open;

protected:
    bool beginSection(const std::wstring& name, const std::wstring& argument) override {
        calls.push_back(L"begin " + name + L" " + argument);
        // Refuse some sections so that skipping is exercised too.
        bool accept = name.size() % 3 != 1;
        if (accept) open.push_back(name);
        return accept;
    }
    void endSection(const std::wstring& name) override {
        if (open.empty() || open.back() != name) std::abort();
        open.pop_back();
        calls.push_back(L"end " + name);
    }
    void receiveText(const std::wstring& key, const std::vector<std::wstring>& values) override {
        std::wstring line = L"key " + key;
        for (const auto& v : values) line += L"|" + v;
        calls.push_back(line);
    }
    std::wstring readToken(tovy::ITovInputTextStream& stream) override {
        return m_plain ? readPlainToken(stream) : readEscapedToken(stream);
    }

private:
    bool m_plain;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (bool plain : {false, true}) {
        tovy::TovInputMemoryStream in(std::string(reinterpret_cast<const char*>(data), size));
        RecordingReceiver receiver(plain);
        bool ok = receiver.read(in);
        // A memory stream never fails, so a read that got past the header ends at the end.
        if (size >= 16 && !ok &&
            (receiver.header().encoding == 0 || receiver.header().encoding == 3))
            std::abort();
        if (size < 16 && (ok || !receiver.calls.empty())) std::abort();
    }
    return 0;
}
