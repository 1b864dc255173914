#include <windows.h>

#include "platform/module.h"

namespace kestrand {

DynamicModule DynamicModule::load(const std::wstring& path) {
    DynamicModule module;
    module.handle_ = reinterpret_cast<void*>(::LoadLibraryW(path.c_str()));
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
