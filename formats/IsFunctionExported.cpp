#include "formats/modParsers.h"
#include "platform/DynamicLibrary.h"

namespace moirelle::modParsers {

bool IsFunctionExported(const std::string& library, const std::string& function) {
    platform::DynamicLibrary lib;
    return lib.Load(library) && lib.Symbol(function.c_str()) != nullptr;
}

} // namespace moirelle::modParsers
