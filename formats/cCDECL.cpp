#include "formats/cCDECL.h"

#include <algorithm>
#include <array>

namespace moirelle {

bool cCDECL::DllLoad(const std::string& sName) {
    lastName_.clear();
    lastAddress_ = nullptr;
    return library_.Load(sName);
}

bool cCDECL::DllUnload() {
    lastName_.clear();
    lastAddress_ = nullptr;
    return library_.Unload();
}

intptr_t cCDECL::CallFunc(const std::string& sFunction, std::span<const intptr_t> ParmLongs) {
    if (!library_.IsLoaded()) throw CdeclError(cdeclErrDllNotLoaded, "DLL not loaded");
    if (ParmLongs.size() > maxParameters)
        throw CdeclError(cdeclErrTooManyParams, "Too many parameters");
    if (!lastAddress_ || sFunction != lastName_) {
        void* address = library_.Symbol(sFunction.c_str());
        if (!address)
            throw CdeclError(cdeclErrNoFunction, "Failed to locate function: " + sFunction);
        lastAddress_ = address;
        lastName_ = sFunction;
    }
    std::array<intptr_t, maxParameters> args{};
    std::copy(ParmLongs.begin(), ParmLongs.end(), args.begin());
    // Every x86-64 convention passes these in registers and lets the caller clean up,
    // so a function taking fewer arguments ignores the rest.
    using Fn = intptr_t (*)(intptr_t, intptr_t, intptr_t, intptr_t, intptr_t);
    const auto fn = reinterpret_cast<Fn>(lastAddress_);
    platform::ClearLastSystemError();
    const intptr_t result = fn(args[0], args[1], args[2], args[3], args[4]);
    lastError_ = platform::LastSystemError();
    return result;
}

} // namespace moirelle
