// Feeds arbitrary bytes to the document reader (QXSettingReader) through a memory
// stream, and treats what it collected the way opening a document does (the rules'
// groups rebuilt, their texts and lines made). The reader must neither crash nor hang,
// and a memory stream never fails, so once the header was accepted the read must get to
// the end.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/QXLog.h"
#include "doc/QXSettingReader.h"
#include "rule/QXRule.h"
#include "tovy/TovStream.h"
#include "tovy/TovUtf8.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Dropped rules are logged: keep the lines in memory, write no file.
    quenrix::QXLog::setFilePath({});
    quenrix::QXLog::setEnabled(true);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tovy::TovInputMemoryStream input(std::string(reinterpret_cast<const char*>(data), size));
    quenrix::QXSettingReader reader;
    const bool ok = reader.read(input);
    if (!ok && reader.headerAccepted()) std::abort();
    if (ok) {
        for (const std::wstring& path : reader.targetPaths) (void)tovy::toUtf8(path);
        quenrix::rebuildGroups(reader.rules);
        std::wstring lines;
        for (const quenrix::QXRulePtr& rule : reader.rules) {
            (void)rule->description();
            rule->writeLines(lines);
            quenrix::QXRulePairs pairs;
            rule->writePairs(pairs);
        }
    }
    quenrix::QXLog::clearQueue();
    return 0;
}
