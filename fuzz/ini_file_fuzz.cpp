// Feeds arbitrary bytes to the profile parser (QXIniFile) and the settings read from it
// (QXAppSettings::loadFrom). Neither may crash or hang, and the profile must keep its
// promises: a value set reads back exactly, and once the settings read from a profile
// were stored, parsing the result and storing again changes nothing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "doc/QXAppSettings.h"
#include "doc/QXIniFile.h"

namespace {

std::string storedSettings(const quenrix::QXIniFile& source) {
    quenrix::QXAppSettings settings;
    settings.loadFrom(source);
    quenrix::QXIniFile target = source;
    settings.saveTo(target);
    return target.serialize();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    quenrix::QXIniFile ini(input);
    // The first store may change what a reread gives: an empty-folder list entry with a
    // lone CR is read but cannot be written, and a count of zero keeps the defaults.
    // From then on nothing may change.
    const std::string once = storedSettings(ini);
    const std::string twice = storedSettings(quenrix::QXIniFile(once));
    if (storedSettings(quenrix::QXIniFile(twice)) != twice) std::abort();

    // The input's first line names a section and a key ("section|key"); the rest is a
    // value set under them, which must read back as set.
    const size_t lineEnd = input.find('\n');
    if (lineEnd != std::string_view::npos) {
        const std::string_view names = input.substr(0, lineEnd);
        const size_t bar = names.find('|');
        const std::string_view section = names.substr(0, bar);
        const std::string_view key =
            bar == std::string_view::npos ? std::string_view("Key") : names.substr(bar + 1);
        const std::string_view value = input.substr(lineEnd + 1);
        quenrix::QXIniFile edited(input);
        if (edited.setString(section, key, value)) {
            if (!quenrix::QXIniFile::isStorable(value)) std::abort();
            const quenrix::QXIniFile reread(edited.serialize());
            if (value.size() <= quenrix::QXIniFile::kMaxValueChars &&
                reread.getString(section, key, "\x01") != value)
                std::abort();
            (void)reread.getInt(section, key, 7);
        }
        (void)quenrix::QXIniFile::parseInt(value);
    }
    return 0;
}
