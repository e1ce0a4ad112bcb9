#include "tovy/support_archive/Manager.h"

#include <dlfcn.h>

#include "platform/SpecialFolders.h"
#include "platform/Text.h"
#include "tovy/TovUtf8.h"

namespace tovy::support_archive {

namespace {

const char* const kSuffixes[kFnCount] = {
    "GetVersion",
    "",
    "CheckArchive",
    "GetRunning",
    "GetBackGroundMode",
    "SetBackGroundMode",
    "GetCursorMode",
    "SetCursorMode",
    "GetCursorInterval",
    "SetCursorInterval",
    "SetUnicodeMode",
    "OpenArchive",
    "CloseArchive",
    "FindFirst",
    "FindNext",
    "Extract",
    "GetArcFileName",
    "GetArcFileSize",
    "GetArcOriginalSize",
    "GetArcCompressedSize",
    "GetArcRatio",
    "GetArcDate",
    "GetArcTime",
    "GetArcOSType",
    "IsSFXFile",
    "GetFileName",
    "GetOriginalSize",
    "GetCompressedSize",
    "GetRatio",
    "GetDate",
    "GetTime",
    "GetWriteTime",
    "GetCreateTime",
    "GetAccessTime",
    "GetCRC",
    "GetAttribute",
    "GetOSType",
    "GetMethod",
};

// The extension of the path's last component (after its last "."); empty without one.
std::wstring extensionOf(const std::wstring& path) {
    const size_t slash = path.rfind(L'/');
    const size_t start = slash == std::wstring::npos ? 0 : slash + 1;
    const size_t dot = path.rfind(L'.');
    if (dot == std::wstring::npos || dot < start) return std::wstring();
    return path.substr(dot + 1);
}

std::wstring textOrEmpty(const wchar_t* text) {
    return text ? std::wstring(text) : std::wstring();
}

}  // namespace

const std::array<ArchiverRow, 9> kArchiverTable = {{
    {1, "UNLHA32.so", "Unlha", L"lzh", L"e", L"x", L"-n1", L""},
    {2, "UNZIP32.so", "UnZip", L"zip", L"-x -j", L"-x", L"--i", L""},
    {3, "CAB32.so", "Cab", L"cab", L"-x -j", L"-x", L"-i", L""},
    {4, "TAR32.so", "Tar", L"tar;bz2;gz", L"-x --use-directory=0", L"-x", L"--display-dialog=0",
     L""},
    {5, "UNRAR32.so", "Unrar", L"rar", L"-e", L"-x", L"-q", L""},
    {6, "7-zip32.so", "SevenZip", L"7z", L"e", L"x", L"-hide", L"-o"},
    {7, "UnGCA32.so", "UnGCA", L"gca", L"ex -xx0", L"e", L"-sx0", L""},
    {8, "Yz1.so", "Yz1", L"yz1", L"x -x0 -z1", L"x -z1", L"", L""},
    {9, "ZIP32J.so", "Zip", nullptr, nullptr, nullptr, nullptr, nullptr},
}};

const char* functionSuffix(ArcFunction f) {
    return f >= 0 && f < kFnCount ? kSuffixes[f] : "";
}

Archiver::~Archiver() {
    close();
    if (module) ::dlclose(module);
}

void Archiver::close() {
    if (!archive) return;
    if (CloseArchiveFn fn = closeArchive()) fn(archive);
    archive = nullptr;
}

bool Archiver::handlesExtension(const std::wstring& extension) const {
    if (extension.empty()) return false;
    const std::wstring wanted = platform::toLower(extension);
    size_t start = 0;
    while (start <= extensions.size()) {
        size_t end = extensions.find(L';', start);
        if (end == std::wstring::npos) end = extensions.size();
        if (end > start && platform::toLower(extensions.substr(start, end - start)) == wanted) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

Manager::~Manager() {
    UnloadArchivers();
}

size_t Manager::LoadArchivers(const std::string& folder) {
    UnloadArchivers();
    const std::string dir = folder.empty() ? platform::executableFolder() : folder;
    for (const ArchiverRow& row : kArchiverTable) {
        const std::string path = dir + "/" + row.moduleName;
        void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module) continue;
        auto entry = std::make_unique<Archiver>();
        entry->module = module;
        entry->type = row.type;
        entry->moduleName = row.moduleName;
        entry->extensions = textOrEmpty(row.extensions);
        entry->switchNoFolders = textOrEmpty(row.switchNoFolders);
        entry->switchFolders = textOrEmpty(row.switchFolders);
        entry->switchQuiet = textOrEmpty(row.switchQuiet);
        entry->switchOutput = textOrEmpty(row.switchOutput);
        for (int f = 0; f < kFnCount; ++f) {
            const std::string name = std::string(row.prefix) + kSuffixes[f];
            entry->functions[f] = ::dlsym(module, name.c_str());
        }
        // A module that cannot open an archive is of no use to anyone.
        if (!entry->openArchive()) continue;
        m_archivers.push_back(std::move(entry));
    }
    return m_archivers.size();
}

void Manager::UnloadArchivers() {
    m_archivers.clear();
}

Archiver* Manager::archiver(int index) const {
    if (index < 0 || size_t(index) >= m_archivers.size()) return nullptr;
    return m_archivers[size_t(index)].get();
}

int Manager::FindArchiver(const std::wstring& path) const {
    const std::wstring extension = extensionOf(path);
    if (extension.empty()) return -1;
    if (platform::equalsNoCase(extension, L"exe")) {
        // A self-extracting archive: the first module that accepts it in both modes.
        const std::string native = toUtf8(path);
        for (size_t i = 0; i < m_archivers.size(); ++i) {
            CheckArchiveFn check = m_archivers[i]->checkArchive();
            if (check && check(native.c_str(), kCheckRapid) != 0 &&
                check(native.c_str(), kCheckBasic) != 0) {
                return int(i);
            }
        }
        return -1;
    }
    for (size_t i = 0; i < m_archivers.size(); ++i) {
        if (m_archivers[i]->handlesExtension(extension)) return int(i);
    }
    return -1;
}

bool Manager::OpenArchiver(int index, const std::wstring& path,
                           const platform::FileStat* expected) {
    Archiver* entry = archiver(index);
    if (!entry || entry->archive) return false;
    const std::string native = toUtf8(path);
    auto sameFile = [&]() {
        platform::FileStat now;
        return platform::statPath(native, now) && now.isRegular() && now.dev == expected->dev &&
               now.ino == expected->ino;
    };
    if (expected && !sameFile()) return false;
    HARC archive = entry->openArchive()(nullptr, native.c_str(), kOpenMode);
    if (!archive) return false;
    entry->archive = archive;
    // The module opened the path by name: make sure it still was the caller's file.
    if (expected && !sameFile()) {
        entry->close();
        return false;
    }
    return true;
}

void Manager::CloseArchiver(int index) {
    if (Archiver* entry = archiver(index)) entry->close();
}

Manager& archiveHost() {
    static Manager manager;
    return manager;
}

}  // namespace tovy::support_archive
