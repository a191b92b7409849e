#include "gdiplus/GdiplusStreams.h"

#include "platform/win/Handles.h"

#include <algorithm>
#include <cstring>

namespace moirelle::gdip {
namespace {

// Locks a memory block for the scope.
class GlobalLock {
  public:
    explicit GlobalLock(HGLOBAL block) : block_(block), p_(::GlobalLock(block)) {}
    ~GlobalLock() {
        if (p_) GlobalUnlock(block_);
    }
    GlobalLock(const GlobalLock&) = delete;
    GlobalLock& operator=(const GlobalLock&) = delete;
    uint8_t* get() const { return static_cast<uint8_t*>(p_); }

  private:
    HGLOBAL block_;
    void* p_;
};

} // namespace

win::ComPtr<IStream> ArrayToStream(std::span<const uint8_t> bytes, size_t firstIndex) {
    win::ComPtr<IStream> stream;
    if (firstIndex >= bytes.size()) {
        if (CreateStreamOnHGlobal(nullptr, TRUE, stream.ReleaseAndGetAddressOf()) != S_OK)
            return nullptr;
        return stream;
    }
    const size_t size = bytes.size() - firstIndex;
    win::UniqueGlobal block(GlobalAlloc(GMEM_MOVEABLE, size));
    if (!block) return nullptr;
    {
        GlobalLock lock(block.get());
        if (!lock.get()) return nullptr;
        std::memcpy(lock.get(), bytes.data() + firstIndex, size);
    }
    if (CreateStreamOnHGlobal(block.get(), TRUE, stream.ReleaseAndGetAddressOf()) != S_OK)
        return nullptr;
    block.release(); // the stream frees it now
    return stream;
}

bool StreamToArray(IStream* stream, std::vector<uint8_t>& out) {
    out.clear();
    if (!stream) return false;
    HGLOBAL block = nullptr;
    if (GetHGlobalFromStream(stream, &block) != S_OK || !block) return false;
    STATSTG stat{};
    if (stream->Stat(&stat, STATFLAG_NONAME) != S_OK) return false;
    const size_t size = static_cast<size_t>(
        std::min<ULONGLONG>(stat.cbSize.QuadPart, static_cast<ULONGLONG>(GlobalSize(block))));
    if (size == 0) return false;
    GlobalLock lock(block);
    if (!lock.get()) return false;
    out.assign(lock.get(), lock.get() + size);
    return true;
}

} // namespace moirelle::gdip
