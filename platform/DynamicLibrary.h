#pragma once
// A shared library (DLL or shared object) loaded by name at run time.

#include <string>

namespace moirelle::platform {

class DynamicLibrary {
  public:
    DynamicLibrary() = default;
    explicit DynamicLibrary(const std::string& name) { Load(name); }
    ~DynamicLibrary() { Unload(); }
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;
    DynamicLibrary(DynamicLibrary&& other) noexcept : handle_(other.handle_) {
        other.handle_ = nullptr;
    }
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept {
        if (this != &other) {
            Unload();
            handle_ = other.handle_;
            other.handle_ = nullptr;
        }
        return *this;
    }

    // Loads the library (UTF-8 name or path), freeing any library held before.
    bool Load(const std::string& name);
    // Frees the library; true when one was held and the system freed it.
    bool Unload();
    bool IsLoaded() const { return handle_ != nullptr; }
    // Address of an export, or null.
    void* Symbol(const char* name) const;
    template <class F> F Function(const char* name) const {
        return reinterpret_cast<F>(Symbol(name));
    }

  private:
    void* handle_ = nullptr;
};

// The calling thread's last system error code (GetLastError on Windows, errno elsewhere).
unsigned long LastSystemError();
void ClearLastSystemError();

} // namespace moirelle::platform
