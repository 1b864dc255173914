// Loading a dynamic module (a decoder plug-in) and looking up its exports.
#pragma once

#include <memory>
#include <string>

namespace kestrand {

class DynamicModule {
public:
    // Loads the module at the path; the result holds nothing when that fails.
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
