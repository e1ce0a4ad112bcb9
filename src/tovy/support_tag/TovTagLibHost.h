// The host of the tag module: loads libtagutils.so at start-up, hands out readers and
// unloads it at shutdown. Without the module (missing file, or an export missing) the
// host stays unloaded and gives no readers.
//
// One process-wide instance. Thread-safe: load and unload take a lock; readers are made
// and destroyed under it too, and used without it by whoever holds them.
#pragma once

#include <mutex>
#include <string>

#include "tovy/support_tag/ITagLib.h"

namespace tovy::support_tag {

class TovTagLibHost {
public:
    static TovTagLibHost& instance();

    // Loads kTagModuleName from `folder` (a previously loaded module is unloaded first);
    // false when the file is missing, cannot be loaded or lacks an export.
    bool load(const std::string& folder);
    // Unloads the module. Every reader must have been deleted.
    void unload();
    bool loaded() const;

    // A new reader; null when the module is not loaded or made none.
    ITagLib* createInstance();
    // Destroys a reader made by createInstance.
    void deleteInstance(ITagLib* reader);

    // Copies a text from the module and releases it; empty for null.
    static std::wstring take(ITagText* text);

private:
    TovTagLibHost() = default;

    mutable std::mutex m_lock;
    void* m_handle = nullptr;
    CreateInstanceFn m_create = nullptr;
    DeleteInstanceFn m_delete = nullptr;
};

}  // namespace tovy::support_tag
