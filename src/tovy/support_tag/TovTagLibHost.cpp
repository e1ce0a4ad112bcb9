#include "tovy/support_tag/TovTagLibHost.h"

#include <dlfcn.h>
#include <sys/stat.h>

namespace tovy::support_tag {

TovTagLibHost& TovTagLibHost::instance() {
    static TovTagLibHost host;
    return host;
}

bool TovTagLibHost::load(const std::string& folder) {
    unload();
    std::string path = folder;
    if (!path.empty() && path.back() != '/') path += '/';
    path += kTagModuleName;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) return false;
    auto create = reinterpret_cast<CreateInstanceFn>(::dlsym(handle, "CreateInstance"));
    auto destroy = reinterpret_cast<DeleteInstanceFn>(::dlsym(handle, "DeleteInstance"));
    if (!create || !destroy) {
        ::dlclose(handle);
        return false;
    }
    std::lock_guard<std::mutex> lock(m_lock);
    m_handle = handle;
    m_create = create;
    m_delete = destroy;
    return true;
}

void TovTagLibHost::unload() {
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_handle) return;
    ::dlclose(m_handle);
    m_handle = nullptr;
    m_create = nullptr;
    m_delete = nullptr;
}

bool TovTagLibHost::loaded() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_handle != nullptr;
}

ITagLib* TovTagLibHost::createInstance() {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_create ? m_create() : nullptr;
}

void TovTagLibHost::deleteInstance(ITagLib* reader) {
    if (!reader) return;
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_delete) m_delete(reader);
}

std::wstring TovTagLibHost::take(ITagText* text) {
    if (!text) return std::wstring();
    std::wstring copy;
    const wchar_t* data = text->text();
    const int32_t length = text->length();
    if (data && length > 0) copy.assign(data, size_t(length));
    text->release();
    return copy;
}

}  // namespace tovy::support_tag
