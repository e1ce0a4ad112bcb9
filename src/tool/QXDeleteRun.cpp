#include "tool/QXDeleteRun.h"

#include <algorithm>
#include <new>

#include "core/QXLog.h"
#include "core/QXPrompt.h"
#include "core/QXSearch.h"
#include "doc/CQuenrixDoc.h"
#include "doc/QXAppSettings.h"
#include "tool/QXActionModes.h"
#include "tool/QXDeleteCopyThread.h"
#include "tool/QXDeleteSecureThread.h"
#include "tool/QXDeleteThread.h"
#include "tovy/TovUtf8.h"

namespace quenrix {

namespace {

template <class T, class... Args>
std::unique_ptr<QXDeleteThreadInterface> make(Args&&... args) {
    return std::unique_ptr<QXDeleteThreadInterface>(new (std::nothrow)
                                                        T(std::forward<Args>(args)...));
}

}  // namespace

std::unique_ptr<QXDeleteThreadInterface> createDeleteThread(int32_t mode, QXProgressSink& sink,
                                                            bool autoDel,
                                                            const std::string& destination,
                                                            std::vector<QXTargetPtr> targets) {
    switch (mode) {
        case kModeDelete:
            return make<QXDeleteThread>(sink, autoDel);
        case kModeRecycle:
            return make<QXDeleteRecycleThread>(sink, autoDel);
        case kModeFill00:
            return make<QXDeleteSecure00Thread>(sink, autoDel);
        case kModeFillFF:
            return make<QXDeleteSecureFFThread>(sink, autoDel);
        case kModeFillRandom:
            return make<QXDeleteSecureRandomThread>(sink, autoDel);
        case kModeDoDShort:
            return make<QXDeleteSecureDoD5220_22_M_Short>(sink, autoDel);
        case kModeDoD:
            return make<QXDeleteSecureDoD5220_22_M>(sink, autoDel);
        case kModeCopy:
            return make<QXDeleteCopyThread>(sink, autoDel, destination);
        case kModeMove:
            return make<QXDeleteMoveThread>(sink, autoDel, destination);
        case kModeCopyKeepTree:
            return make<QXDeleteCopyToKeepTreeThread>(sink, autoDel, destination,
                                                      std::move(targets));
        case kModeMoveKeepTree:
            return make<QXDeleteMoveToKeepTreeThread>(sink, autoDel, destination,
                                                      std::move(targets));
        default:
            return nullptr;
    }
}

size_t QXDeleteRun::removeDone(QXFileList& files) {
    const size_t before = files.size();
    std::erase_if(
        files, [](const QXFileInfoPtr& file) { return file && file->hasFlag(QXFileInfo::kDone); });
    return before - files.size();
}

bool QXDeleteRun::RunDelete(int32_t mode) {
    const bool autoDel = QXAppSettings::instance().cmdAutoDel != 0;
    const QXActionMode* entry = actionMode(mode);

    std::string destination;
    if (entry && entry->question && !autoDel) {
        wchar_t text[512];
        swprintf(text, sizeof text / sizeof text[0],
                 L"チェックされたファイルを「%ls」してもよろしいですか？", entry->question);
        if (m_prompt.messageBox(text, L"INFORMATION", QXIcon::Information, QXButtons::YesNo) !=
            QXAnswer::Yes) {
            return false;
        }
    } else if (needsDestination(mode)) {
        if (!m_host.chooseDestination(destination) || destination.empty()) return false;
    } else if (mode == kModeEmptyFolders) {
        return m_host.runEmptyFolders();
    }

    QXLog::Write(L"処理を開始します");
    // The rows show the records' own check bits, so the ticks are in the records already.

    if (!entry) {
        QXLog::Write(L"処理モードが指定されていません");
        QXLog::Write(L"RunDelete : Could not create thread. illegal delete algorithm (mode=%d)",
                     mode);
        return false;
    }
    if (needsDestination(mode)) {
        QXLog::Write(entry->logLine, tovy::fromUtf8(destination).c_str());
    } else {
        QXLog::Write(L"%s", entry->logLine);
    }
    std::unique_ptr<QXDeleteThreadInterface> worker =
        createDeleteThread(mode, m_sink, autoDel, destination, m_doc.targets);
    if (!worker) {
        QXLog::Write(L"メモリが足りません");
        QXLog::Write(L"RunDelete : Could not create thread. Out of memory.");
        return false;
    }
    worker->setRecords(m_doc.results);

    const bool ran = m_host.runProgress(*worker, mode);

    removeDone(m_state.allFiles);
    removeDone(m_doc.results);
    m_host.resultsChanged();
    QXLog::Write(L"処理完了");
    return ran;
}

}  // namespace quenrix
