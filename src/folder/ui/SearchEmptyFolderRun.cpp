#include "folder/ui/SearchEmptyFolderRun.h"

#include "core/QXLog.h"
#include "core/QXPrompt.h"
#include "doc/QXAppSettings.h"
#include "folder/SearchEmptyFolderJob.h"
#include "folder/ui/CSearchEmptyFolderDlg.h"
#include "folder/ui/CSearchEmptyFolderProgressDlg.h"
#include "folder/ui/CSearchEmptyFolderRemoveDlg.h"
#include "folder/ui/CSearchEmptyFolderResultDlg.h"

namespace quenrix {

bool runEmptyFolderJob(QWidget* parent, const std::vector<std::string>& targets, QXPrompt& prompt,
                       QXAppSettings& settings) {
    auto job = Quenrix::SearchEmptyFolderJob::make(targets, settings);

    if (settings.cmdRemoveEmptyFolder != 0) {
        CSearchEmptyFolderProgressDlg progress(job, prompt, /*unattended=*/true, parent);
        if (progress.exec() != QDialog::Accepted) return false;
        if (job.found.empty()) {
            QXLog::Write(L"空フォルダが見つかりませんでした。");
            return true;
        }
        for (auto& entry : job.found) entry.selected = true;
        CSearchEmptyFolderRemoveDlg removal(job, prompt, /*unattended=*/true, parent);
        removal.exec();
        return true;
    }

    {
        CSearchEmptyFolderDlg options(job.patterns, job.ignoreFiles, prompt, parent);
        if (options.exec() != QDialog::Accepted) return false;
        job.patterns = options.patterns();
        job.ignoreFiles = options.ignoreFiles();
        job.storeLists(settings);
        if (options.saveOnly()) return true;
    }
    {
        CSearchEmptyFolderProgressDlg progress(job, prompt, /*unattended=*/false, parent);
        if (progress.exec() != QDialog::Accepted) return false;
    }
    if (job.found.empty()) {
        prompt.messageBox(L"空フォルダが見つかりませんでした。", L"", QXIcon::Information);
        return true;
    }
    {
        CSearchEmptyFolderResultDlg result(job, prompt, parent);
        if (result.exec() != QDialog::Accepted) return false;
    }
    CSearchEmptyFolderRemoveDlg removal(job, prompt, /*unattended=*/false, parent);
    removal.exec();
    job.storeLists(settings);
    return true;
}

bool runEmptyFolderJob(QWidget* parent, const std::vector<std::string>& targets, QXPrompt& prompt) {
    return runEmptyFolderJob(parent, targets, prompt, QXAppSettings::instance());
}

}  // namespace quenrix
