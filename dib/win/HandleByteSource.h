#pragma once
// An open Windows file, read at chosen positions, for the readers' file paths.

#include "formats/ByteSource.h"

#include <windows.h>

namespace moirelle {

// Does not own the handle.
class HandleByteSource final : public IByteSource {
  public:
    explicit HandleByteSource(HANDLE file) : file_(file) {}
    bool Size(uint64_t& size) override;
    bool ReadAt(uint64_t position, void* buffer, size_t count) override;

  private:
    HANDLE file_;
};

} // namespace moirelle
