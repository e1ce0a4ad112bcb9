// Feeds arbitrary bytes to the rule-preset reader (TovConfReader with
// QXRulePresetReceiver), which creates and reads a rule of every kind named in the
// input. The reader must neither crash nor hang, and saving what it read must be
// stable: the bytes written for the presets read back into presets that write the same
// bytes again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/QXLog.h"
#include "doc/QXRulePreset.h"
#include "tovy/TovConfReader.h"

namespace {

quenrix::QXRulePresetList readPresets(std::string_view bytes) {
    quenrix::QXRulePresetList list;
    quenrix::QXRulePresetReceiver receiver(list);
    tovy::TovConfReader reader(&receiver);
    if (!reader.readText(bytes)) std::abort();  // text in memory always reads
    return list;
}

bool writable(const quenrix::QXRulePresetList& list) {
    for (const auto& preset : list)
        if (quenrix::QXRulePresets::lineBreakIn(*preset)) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Rules that cannot be read are logged: keep the lines in memory, write no file.
    quenrix::QXLog::setFilePath({});
    quenrix::QXLog::setEnabled(true);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const quenrix::QXRulePresetList first = readPresets(input);
    if (writable(first)) {
        const std::string saved = quenrix::QXRulePresets::fileBytes(first);
        const quenrix::QXRulePresetList second = readPresets(saved);
        if (second.size() != first.size()) std::abort();
        if (quenrix::QXRulePresets::fileBytes(second) != saved) std::abort();
    }
    quenrix::QXLog::clearQueue();
    return 0;
}
