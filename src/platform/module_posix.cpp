#include <dlfcn.h>

#include "platform/files.h"
#include "platform/module.h"
#include "platform/text.h"

namespace kestrand {

DynamicModule DynamicModule::load(const std::wstring& path) {
    DynamicModule module;
    // A path with a "/" is opened as it stands, without any search.
    if (!isAbsolutePath(path)) return module;
    module.handle_ = ::dlopen(narrow(path).c_str(), RTLD_NOW | RTLD_LOCAL);
    return module;
}

DynamicModule& DynamicModule::operator=(DynamicModule&& other) noexcept {
    if (this != &other) {
        if (handle_ != nullptr) ::dlclose(handle_);
        handle_ = other.handle_;
        other.handle_ = nullptr;
    }
    return *this;
}

DynamicModule::~DynamicModule() {
    if (handle_ != nullptr) ::dlclose(handle_);
}

void* DynamicModule::symbol(const char* name) const {
    if (handle_ == nullptr) return nullptr;
    return ::dlsym(handle_, name);
}

}  // namespace kestrand
