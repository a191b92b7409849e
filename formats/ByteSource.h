#pragma once
// A readable sequence of bytes with a known size, read at chosen positions. The PNG
// reader's file path walks a file chunk by chunk through it: the Windows image object
// implements it over an open file handle, the portable code over memory and std::FILE.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

namespace moirelle {

class IByteSource {
  public:
    virtual ~IByteSource() = default;
    // Total size in bytes; false when it cannot be told.
    virtual bool Size(uint64_t& size) = 0;
    // Reads exactly `count` bytes starting at `position`; false when fewer are there.
    virtual bool ReadAt(uint64_t position, void* buffer, size_t count) = 0;
};

// Bytes in memory (not copied; they must outlive the source).
class MemoryByteSource final : public IByteSource {
  public:
    explicit MemoryByteSource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    bool Size(uint64_t& size) override;
    bool ReadAt(uint64_t position, void* buffer, size_t count) override;

  private:
    std::span<const uint8_t> bytes_;
};

// A file opened for reading through the C library; closed with the object.
class StdFileByteSource final : public IByteSource {
  public:
    explicit StdFileByteSource(const std::string& path);
    ~StdFileByteSource() override;
    StdFileByteSource(const StdFileByteSource&) = delete;
    StdFileByteSource& operator=(const StdFileByteSource&) = delete;

    bool IsOpen() const { return file_ != nullptr; }
    bool Size(uint64_t& size) override;
    bool ReadAt(uint64_t position, void* buffer, size_t count) override;

  private:
    std::FILE* file_ = nullptr;
};

} // namespace moirelle
