#pragma once
// Thumbnails of skin pictures, made once and kept in a folder beside the settings: one small
// file per picture, named by a hash of the picture's path, holding the path, the picture
// file's size and last-write time, and the thumbnail's pixels. An entry whose picture file
// changed size or time, or whose bytes do not read back, is made again.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace moirelle::app {

// Opaque pixels, 0x00RRGGBB, rows top-down.
struct Thumbnail {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;
    friend bool operator==(const Thumbnail&, const Thumbnail&) = default;
};

// What tells a picture file's version: its size in bytes and its last-write time.
struct FileStamp {
    uint64_t size = 0;
    uint64_t time = 0;
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// The largest thumbnail side a cache entry holds.
inline constexpr int32_t kThumbnailMaxSide = 256;

// The bytes of a cache entry, and the thumbnail back from them when they are whole and were
// made from this path at this stamp.
std::vector<uint8_t> EncodeThumbnail(std::string_view path, FileStamp stamp, const Thumbnail& t);
std::optional<Thumbnail> DecodeThumbnail(std::span<const uint8_t> bytes, std::string_view path,
                                         FileStamp stamp);
// The entry's file name for a path: 16 hex digits of a hash of the path, case-folded as
// the file system compares names, and ".thumb".
std::string ThumbnailFileName(std::string_view path);

// The size and time of a file (UTF-8 path); nothing when it is not there.
std::optional<FileStamp> StampOf(const std::string& path);

using MakeThumbnail = std::function<std::optional<Thumbnail>(const std::string& path)>;

class ThumbnailCache {
  public:
    // The folder (UTF-8) is made when the first entry is written.
    explicit ThumbnailCache(std::string folder) : folder_(std::move(folder)) {}

    // The picture's thumbnail: the cached one when it is still the file's, else one made by
    // `make` and written to the cache. Nothing when the file is missing or `make` fails.
    std::optional<Thumbnail> Get(const std::string& path, const MakeThumbnail& make);
    // Deletes the entries of every picture but these, so that the cache stays small.
    void KeepOnly(const std::vector<std::string>& paths) const;

    const std::string& Folder() const { return folder_; }

  private:
    std::string EntryPath(std::string_view picture) const;

    std::string folder_;
};

} // namespace moirelle::app
