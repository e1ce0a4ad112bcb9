#include "app/QXAutoRun.h"

#include <QDialog>
#include <QEvent>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <atomic>

#include "app/CMainFrame.h"
#include "app/QXQtPrompt.h"
#include "core/QXLog.h"
#include "core/ui/CRunningDlg.h"
#include "doc/QXAppSettings.h"
#include "doc/QXSettingReader.h"
#include "folder/SearchEmptyFolderFlow.h"
#include "folder/SearchEmptyFolderJob.h"
#include "folder/ui/CSearchEmptyFolderProgressDlg.h"
#include "folder/ui/CSearchEmptyFolderRemoveDlg.h"
#include "tool/ui/CFileDeleteDlg.h"
#include "tovy/TovStream.h"
#include "tovy/TovUtf8.h"
#include "view/ui/CQuenrixView.h"

namespace quenrix {

namespace {

std::atomic<int> g_closedDialogs{0};

std::wstring wide(const std::string& native) {
    return tovy::fromUtf8(native);
}

std::wstring wide(const QString& text) {
    const std::u32string units = text.toStdU32String();
    return std::wstring(units.begin(), units.end());
}

size_t tickedCount(const QXFileList& files) {
    return std::count_if(files.begin(), files.end(), [](const QXFileInfoPtr& file) {
        return file && file->hasFlag(QXFileInfo::kCheck);
    });
}

}  // namespace

std::vector<std::string> QXAutoRun::missingTargets(const std::string& documentPath,
                                                   const std::vector<std::string>& targets) {
    std::vector<std::string> missing;
    if (documentPath.empty()) return missing;
    tovy::TovInputFileStream input;
    if (!input.open(documentPath)) return missing;
    QXSettingReader reader;
    // A file read to its end at the open is read to its end again; what it holds is
    // what the open saw.
    if (!reader.read(input)) return missing;
    for (const std::wstring& path : reader.targetPaths) {
        const std::string native = tovy::toUtf8(path);
        if (std::find(targets.begin(), targets.end(), native) == targets.end()) {
            missing.push_back(native);
        }
    }
    return missing;
}

int QXAutoRun::run() {
    QXQtPrompt::resetErrorBoxes();
    QXUnattendedGuard::resetClosedDialogs();

    bool ok = checkTargets() && search();
    if (ok) {
        // The action and the empty-folder removal each run even when the other failed,
        // as the switches ask; either failure fails the run.
        const bool acted = runAction();
        const bool removed = removeEmptyFolders();
        ok = acted && removed;
    } else {
        QXLog::Write(L"AutoRun : 処理を行わずに終了します。");
    }
    if (QXQtPrompt::errorBoxes() > 0 || QXUnattendedGuard::closedDialogs() > 0) ok = false;
    QXLog::Write(L"終了します");
    return ok ? kSucceeded : kFailed;
}

bool QXAutoRun::checkTargets() {
    CQuenrixDoc& doc = m_frame.document();
    std::vector<std::string> present;
    for (const QXTargetPtr& target : doc.targets) present.push_back(target->path);
    const std::vector<std::string> missing = missingTargets(doc.settingsFilePath(), present);
    for (const std::string& path : missing) {
        QXLog::Write(L"AutoRun : 対象のフォルダが見つかりません: %s", wide(path).c_str());
    }
    return missing.empty();
}

bool QXAutoRun::search() {
    CQuenrixView* form = m_frame.mainForm();
    if (!form) return false;
    if (!form->onSearch()) {
        QXLog::Write(L"AutoRun : 検索が最後まで行われませんでした。");
        return false;
    }
    const std::vector<std::string>& unlisted = form->unlistedFolders();
    for (const std::string& path : unlisted) {
        QXLog::Write(L"AutoRun : フォルダを読めませんでした: %s", wide(path).c_str());
    }
    return unlisted.empty();
}

bool QXAutoRun::runAction() {
    const int32_t mode = m_settings.cmdAutoDel;
    if (mode == 0) return true;
    CQuenrixView* form = m_frame.mainForm();
    if (!form || !form->RunDelete(mode)) {
        QXLog::Write(L"AutoRun : 処理を開始できませんでした (mode=%d)", mode);
        return false;
    }
    // Records whose action succeeded have left the result list; a ticked one that is
    // still there failed or was skipped.
    const size_t left = tickedCount(m_frame.document().results);
    if (left == 0) return true;
    QXLog::Write(L"AutoRun : %d 個のファイルを処理できませんでした。", static_cast<int>(left));
    return false;
}

bool QXAutoRun::removeEmptyFolders() {
    if (m_settings.cmdRemoveEmptyFolder == 0) return true;
    std::vector<std::string> targets;
    for (const QXTargetPtr& target : m_frame.document().targets) targets.push_back(target->path);
    Quenrix::SearchEmptyFolderJob job = Quenrix::SearchEmptyFolderJob::make(targets, m_settings);

    bool searched = false;
    if (QXQtPrompt::logOnly()) {
        // Without a display the workers are waited for directly; every line goes to the log.
        searched = Quenrix::runSearchEmptyFolderUnattended(job);
    } else {
        CSearchEmptyFolderProgressDlg progress(job, m_frame.prompt(), /*unattended=*/true,
                                               m_frame.mainForm());
        searched = progress.exec() == QDialog::Accepted;
        if (searched && job.found.empty()) {
            QXLog::Write(L"空フォルダが見つかりませんでした。");
        } else if (searched) {
            for (auto& entry : job.found) entry.selected = true;
            CSearchEmptyFolderRemoveDlg removal(job, m_frame.prompt(), /*unattended=*/true,
                                                m_frame.mainForm());
            removal.exec();
        }
    }
    if (!searched) {
        QXLog::Write(L"AutoRun : 空フォルダの検索に失敗しました。");
        return false;
    }
    const auto left = std::count_if(job.found.begin(), job.found.end(), [](const auto& entry) {
        return entry.selected && entry.result != Quenrix::SearchEmptyFolderEntry::kRemoved;
    });
    if (left == 0) return true;
    QXLog::Write(L"AutoRun : %d 個の空フォルダを削除できませんでした。", static_cast<int>(left));
    return false;
}

// ---- the display-less safety net ----

int QXUnattendedGuard::closedDialogs() {
    return g_closedDialogs.load();
}

void QXUnattendedGuard::resetClosedDialogs() {
    g_closedDialogs.store(0);
}

bool QXUnattendedGuard::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Show) return false;
    auto* dialog = qobject_cast<QDialog*>(watched);
    if (!dialog || !dialog->isWindow()) return false;
    // The progress dialogs close themselves once their worker has ended.
    if (qobject_cast<CRunningDlg*>(dialog) || qobject_cast<CFileDeleteDlg*>(dialog) ||
        qobject_cast<CSearchEmptyFolderProgressDlg*>(dialog) ||
        qobject_cast<CSearchEmptyFolderRemoveDlg*>(dialog)) {
        return false;
    }
    if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
        QXQtPrompt::logBox(wide(box->text()), wide(box->windowTitle()));
    } else {
        const std::wstring name = wide(QString::fromLatin1(dialog->metaObject()->className()));
        QXLog::Write(L"AutoRun : ダイアログを閉じました: %s [%s]", name.c_str(),
                     wide(dialog->windowTitle()).c_str());
    }
    g_closedDialogs.fetch_add(1);
    // Closed once its own event loop runs, as a click on its close box would.
    QPointer<QDialog> guarded(dialog);
    QTimer::singleShot(0, dialog, [guarded] {
        if (guarded) guarded->reject();
    });
    return false;
}

}  // namespace quenrix
