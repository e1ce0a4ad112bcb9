// 実行: the start of an action run as the main form does it on the user-interface
// thread. The confirmation of the delete modes, the destination of the copy and move
// modes, the worker made for the mode over a copy of the result list, the modal run, and
// afterwards the records whose action succeeded taken out of the result list and the
// all-files list (the input of 再検索). The form supplies the folder chooser, the
// progress dialog, the empty-folder flow and the list refresh through QXDeleteRunHost;
// questions go through QXPrompt. User-interface thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/QXFileInfo.h"
#include "core/QXTarget.h"
#include "tool/QXDeleteThreadInterface.h"

namespace quenrix {

class CQuenrixDoc;
class QXPrompt;
struct QXSearchState;

class QXDeleteRunHost {
public:
    virtual ~QXDeleteRunHost() = default;
    // The destination of modes 8 to 11 (native bytes); false when the user cancelled.
    virtual bool chooseDestination(std::string& folder) = 0;
    // Runs the progress dialog modally: it starts the worker, lets Cancel call
    // worker.cancel(), and returns after the worker thread has ended. False when the
    // worker could not be started.
    virtual bool runProgress(QXDeleteThreadInterface& worker, int32_t mode) = 0;
    // Mode 12, the empty-folder flow; true when it ran to its end.
    virtual bool runEmptyFolders() = 0;
    // The result list changed: show it again without scrolling, recount the ticks,
    // update the status line and the extension list.
    virtual void resultsChanged() = 0;
};

// Makes the worker of modes 1 to 11; null outside them or without memory. `destination`
// is for modes 8 to 11, `targets` for 10 and 11.
std::unique_ptr<QXDeleteThreadInterface> createDeleteThread(int32_t mode, QXProgressSink& sink,
                                                            bool autoDel,
                                                            const std::string& destination,
                                                            std::vector<QXTargetPtr> targets);

class QXDeleteRun {
public:
    QXDeleteRun(CQuenrixDoc& doc, QXSearchState& state, QXDeleteRunHost& host, QXPrompt& prompt,
                QXProgressSink& sink)
        : m_doc(doc), m_state(state), m_host(host), m_prompt(prompt), m_sink(sink) {}

    // Runs the action `mode` (1 to 12) on the ticked records. True when an action ran
    // to its end, cancelled or not; false when it did not start (the question or the
    // folder chooser was declined, an unknown mode, no worker).
    bool RunDelete(int32_t mode);

    // Takes every record with the done bit out of `files`, the others keeping their
    // order. Returns how many went.
    static size_t removeDone(QXFileList& files);

private:
    CQuenrixDoc& m_doc;
    QXSearchState& m_state;
    QXDeleteRunHost& m_host;
    QXPrompt& m_prompt;
    QXProgressSink& m_sink;
};

}  // namespace quenrix
