#pragma once
// Calls an export of a library by name with up to five pointer-sized arguments, for
// libraries that are only known at run time.

#include "platform/DynamicLibrary.h"

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

namespace moirelle {

// The errors raised by cCDECL, with their numbers.
class CdeclError : public std::runtime_error {
  public:
    CdeclError(uint32_t number, const std::string& text)
        : std::runtime_error(text), number_(number) {}
    uint32_t Number() const { return number_; }

  private:
    uint32_t number_;
};

inline constexpr uint32_t cdeclErrDllNotLoaded = 0x80040000u;  // "DLL not loaded"
inline constexpr uint32_t cdeclErrNoFunction = 0x80040001u;    // "Failed to locate function: "
inline constexpr uint32_t cdeclErrTooManyParams = 0x80040002u; // "Too many parameters"

class cCDECL {
  public:
    static constexpr size_t maxParameters = 5;

    bool DllLoad(const std::string& sName);
    bool DllUnload();
    // Calls the export with the given arguments (missing ones pass as 0). Raises
    // CdeclError when no library is loaded, the export is missing, or more than five
    // arguments are given.
    intptr_t CallFunc(const std::string& sFunction, std::span<const intptr_t> ParmLongs);
    // The thread's last system error as it stood right after the last call.
    unsigned long LastError() const { return lastError_; }

  private:
    platform::DynamicLibrary library_;
    std::string lastName_;
    void* lastAddress_ = nullptr;
    unsigned long lastError_ = 0;
};

} // namespace moirelle
