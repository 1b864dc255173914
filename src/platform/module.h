// Loading a dynamic module (a decoder plug-in) and looking up its exports.
#pragma once

#include <memory>
#include <string>

namespace kestrand {

class DynamicModule {
public:
    // Loads the module at an absolute path, never looked up elsewhere; the
    // modules it needs in turn are looked for in its own folder and in the
    // system's folders (Windows), or by the system's usual rules (POSIX), not
    // in the current folder. The result holds nothing when the path is not
    // absolute or the load fails.
    static DynamicModule load(const std::wstring& path);

    DynamicModule() = default;
    DynamicModule(DynamicModule&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
    DynamicModule& operator=(DynamicModule&& other) noexcept;
    DynamicModule(const DynamicModule&) = delete;
    DynamicModule& operator=(const DynamicModule&) = delete;
    ~DynamicModule();  // unloads the module

    bool loaded() const { return handle_ != nullptr; }
    // The address of an export, or null when the module does not have it.
    void* symbol(const char* name) const;

private:
    void* handle_ = nullptr;
};

}  // namespace kestrand
