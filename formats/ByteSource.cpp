#include "formats/ByteSource.h"

#include <cstring>
#include <limits>

namespace moirelle {

bool MemoryByteSource::Size(uint64_t& size) {
    size = bytes_.size();
    return true;
}

bool MemoryByteSource::ReadAt(uint64_t position, void* buffer, size_t count) {
    if (position > bytes_.size() || count > bytes_.size() - position) return false;
    if (count != 0) std::memcpy(buffer, bytes_.data() + position, count);
    return true;
}

StdFileByteSource::StdFileByteSource(const std::string& path)
    : file_(std::fopen(path.c_str(), "rb")) {}

StdFileByteSource::~StdFileByteSource() {
    if (file_) std::fclose(file_);
}

namespace {

bool SeekTo(std::FILE* file, uint64_t position) {
#ifdef _WIN32
    if (position > static_cast<uint64_t>(std::numeric_limits<long long>::max())) return false;
    return _fseeki64(file, static_cast<long long>(position), SEEK_SET) == 0;
#else
    if (position > static_cast<uint64_t>(std::numeric_limits<off_t>::max())) return false;
    return fseeko(file, static_cast<off_t>(position), SEEK_SET) == 0;
#endif
}

} // namespace

bool StdFileByteSource::Size(uint64_t& size) {
    if (!file_) return false;
#ifdef _WIN32
    if (_fseeki64(file_, 0, SEEK_END) != 0) return false;
    const long long end = _ftelli64(file_);
#else
    if (fseeko(file_, 0, SEEK_END) != 0) return false;
    const off_t end = ftello(file_);
#endif
    if (end < 0) return false;
    size = static_cast<uint64_t>(end);
    return true;
}

bool StdFileByteSource::ReadAt(uint64_t position, void* buffer, size_t count) {
    if (!file_ || !SeekTo(file_, position)) return false;
    return std::fread(buffer, 1, count, file_) == count;
}

} // namespace moirelle
