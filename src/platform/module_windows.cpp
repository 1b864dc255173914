#include <windows.h>

#include "platform/files.h"
#include "platform/module.h"

namespace kestrand {

DynamicModule DynamicModule::load(const std::wstring& path) {
    DynamicModule module;
    if (!isAbsolutePath(path)) return module;
    // The module by its full path; what it imports from its own folder and
    // the system folders only, never from the current folder or the search
    // path. Systems without these flags (Windows 7 before its loader update)
    // refuse them; there the module's folder is searched first as well.
    HMODULE handle =
        ::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    if (handle == nullptr && ::GetLastError() == ERROR_INVALID_PARAMETER) {
        handle = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    module.handle_ = reinterpret_cast<void*>(handle);
    return module;
}

DynamicModule& DynamicModule::operator=(DynamicModule&& other) noexcept {
    if (this != &other) {
        if (handle_ != nullptr) ::FreeLibrary(reinterpret_cast<HMODULE>(handle_));
        handle_ = other.handle_;
        other.handle_ = nullptr;
    }
    return *this;
}

DynamicModule::~DynamicModule() {
    if (handle_ != nullptr) ::FreeLibrary(reinterpret_cast<HMODULE>(handle_));
}

void* DynamicModule::symbol(const char* name) const {
    if (handle_ == nullptr) return nullptr;
    return reinterpret_cast<void*>(::GetProcAddress(reinterpret_cast<HMODULE>(handle_), name));
}

}  // namespace kestrand
