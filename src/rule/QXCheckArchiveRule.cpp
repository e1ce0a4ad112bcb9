#include "rule/QXCheckArchiveRule.h"

#include "core/QXLog.h"
#include "rule/QXRuleRegistry.h"
#include "tovy/TovUtf8.h"
#include "tovy/support_archive/Manager.h"

namespace quenrix {

using tovy::support_archive::Archiver;
using tovy::support_archive::IndividualInfo;
using tovy::support_archive::kArcOk;
using tovy::support_archive::kAttrDirectory;
using tovy::support_archive::Manager;

QXCheckArchiveRule::QXCheckArchiveRule(Manager* manager)
    : QXRule(ruleKind(ruletype::kCheckArchive)->priority), m_manager(manager) {}

int32_t QXCheckArchiveRule::typeId() const {
    return ruletype::kCheckArchive;
}

std::wstring QXCheckArchiveRule::kindName() const {
    return ruleKind(typeId())->kindName;
}

std::wstring QXCheckArchiveRule::description() const {
    return std::wstring();
}

bool QXCheckArchiveRule::edit(void*) {
    return true;
}

std::shared_ptr<QXRule> QXCheckArchiveRule::clone() const {
    auto copy = std::make_shared<QXCheckArchiveRule>(m_manager);
    copyBaseTo(*copy);
    return copy;
}

Manager& QXCheckArchiveRule::manager() const {
    return m_manager ? *m_manager : tovy::support_archive::archiveHost();
}

bool QXCheckArchiveRule::apply(const QXFileList& files, QXRuleHost& host) {
    return applyEach(files, host, [this](QXFileInfo& file) { return check(file); });
}

bool QXCheckArchiveRule::check(const QXFileInfo& file) {
    const std::wstring path = file.fullPath();
    QXLog::Write(L"%s", path.c_str());
    m_members.clear();

    Manager& host = manager();
    const int index = host.FindArchiver(path);
    if (index < 0) {
        QXLog::Write(kNoArchiverLine);
        return true;
    }
    const platform::FileStat* expected = file.stat().ino != 0 ? &file.stat() : nullptr;
    if (!host.OpenArchiver(index, path, expected)) {
        QXLog::Write(kCannotOpenLine);
        return true;
    }

    Archiver& entry = *host.archiver(index);
    auto findFirst = entry.findFirst();
    auto findNext = entry.findNext();
    auto getAttribute = entry.getAttribute();
    // Zeroed once: a module fills only what it knows, and the name is always ended.
    auto info = std::make_unique<IndividualInfo>();
    int result = findFirst ? findFirst(entry.archive, "*", info.get()) : -1;
    while (result == kArcOk) {
        const int attributes = getAttribute ? getAttribute(entry.archive) : 0;
        if (attributes == -1 || (attributes & kAttrDirectory) == 0) {
            info->fileName[sizeof(info->fileName) - 1] = '\0';
            // Member names keep their "/" separators, like every path here; one trailing
            // separator is dropped.
            std::wstring name = tovy::fromUtf8(info->fileName);
            if (!name.empty() && name.back() == L'/') name.pop_back();
            m_members.push_back(std::move(name));
        }
        result = findNext ? findNext(entry.archive, info.get()) : -1;
    }
    host.CloseArchiver(index);
    return !m_members.empty();
}

}  // namespace quenrix
