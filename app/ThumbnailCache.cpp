#include "app/ThumbnailCache.h"

#include "platform/win/Handles.h"
#include "platform/win/Text.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

namespace moirelle::app {
namespace {

constexpr char kMagic[4] = {'M', 'T', 'H', 'B'};
constexpr uint32_t kVersion = 1;
constexpr const wchar_t* kEntryPattern = L"\\*.thumb";

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Put64(std::vector<uint8_t>& out, uint64_t v) {
    Put32(out, static_cast<uint32_t>(v));
    Put32(out, static_cast<uint32_t>(v >> 32));
}

class Reader {
  public:
    explicit Reader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    // A little-endian number.
    template <class T> bool Get(T& v) {
        auto s = Take(sizeof(T));
        if (s.size() != sizeof(T)) return false;
        T value{};
        for (size_t i = 0; i < sizeof(T); ++i)
            value |= static_cast<T>(s[i]) << (8 * i);
        v = value;
        return true;
    }
    std::span<const uint8_t> Take(size_t n) {
        if (bytes_.size() - at_ < n) return {};
        auto s = bytes_.subspan(at_, n);
        at_ += n;
        return s;
    }
    size_t Left() const { return bytes_.size() - at_; }

  private:
    std::span<const uint8_t> bytes_;
    size_t at_ = 0;
};

// Whether a thumbnail of this size is one an entry may hold.
bool SizeFits(uint32_t w, uint32_t h) {
    return w > 0 && h > 0 && w <= kThumbnailMaxSide && h <= kThumbnailMaxSide;
}

bool ReadWhole(const std::wstring& path, std::vector<uint8_t>& bytes) {
    win::UniqueFile f(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!f || !GetFileSizeEx(f.get(), &size) || size.QuadPart >= (1 << 20)) return false;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    return bytes.empty() ||
           (ReadFile(f.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
            read == bytes.size());
}

// A write cut short leaves an entry that does not read back: it is made again.
void WriteWhole(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    win::UniqueFile f(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (f) WriteFile(f.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

} // namespace

std::vector<uint8_t> EncodeThumbnail(std::string_view path, FileStamp stamp, const Thumbnail& t) {
    std::vector<uint8_t> out(std::begin(kMagic), std::end(kMagic));
    Put32(out, kVersion);
    Put64(out, stamp.size);
    Put64(out, stamp.time);
    Put32(out, static_cast<uint32_t>(path.size()));
    out.insert(out.end(), path.begin(), path.end());
    Put32(out, static_cast<uint32_t>(t.width));
    Put32(out, static_cast<uint32_t>(t.height));
    for (uint32_t p : t.pixels)
        Put32(out, p);
    return out;
}

std::optional<Thumbnail> DecodeThumbnail(std::span<const uint8_t> bytes, std::string_view path,
                                         FileStamp stamp) {
    Reader in(bytes);
    auto magic = in.Take(sizeof(kMagic));
    if (magic.size() != sizeof(kMagic) || std::memcmp(magic.data(), kMagic, sizeof(kMagic)) != 0)
        return std::nullopt;
    uint32_t version = 0, length = 0, w = 0, h = 0;
    FileStamp made;
    if (!in.Get(version) || version != kVersion || !in.Get(made.size) || !in.Get(made.time) ||
        made != stamp || !in.Get(length) || length != path.size())
        return std::nullopt;
    auto name = in.Take(length);
    if (name.size() != length || !std::equal(name.begin(), name.end(), path.begin()))
        return std::nullopt;
    if (!in.Get(w) || !in.Get(h) || !SizeFits(w, h) || in.Left() != size_t{w} * h * 4)
        return std::nullopt;
    Thumbnail t{static_cast<int32_t>(w), static_cast<int32_t>(h), {}};
    t.pixels.resize(size_t{w} * h);
    for (uint32_t& p : t.pixels)
        in.Get(p);
    return t;
}

std::string ThumbnailFileName(std::string_view path) {
    // FNV-1a (64 bits) over the UTF-16 units, upper-cased as the file system does.
    std::wstring wide = win::Widen(path);
    if (!wide.empty()) CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
    uint64_t h = 14695981039346656037ull;
    for (wchar_t c : wide) {
        h ^= static_cast<uint16_t>(c);
        h *= 1099511628211ull;
    }
    static const char* digits = "0123456789abcdef";
    std::string name(16, '0');
    for (int i = 15; i >= 0; --i, h >>= 4)
        name[static_cast<size_t>(i)] = digits[h & 15];
    return name + ".thumb";
}

std::optional<FileStamp> StampOf(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(win::Widen(path).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    return FileStamp{static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow,
                     static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32 |
                         data.ftLastWriteTime.dwLowDateTime};
}

std::string ThumbnailCache::EntryPath(std::string_view picture) const {
    return folder_ + "\\" + ThumbnailFileName(picture);
}

std::optional<Thumbnail> ThumbnailCache::Get(const std::string& path, const MakeThumbnail& make) {
    auto stamp = StampOf(path);
    if (!stamp) return std::nullopt;
    const std::wstring entry = win::Widen(EntryPath(path));
    std::vector<uint8_t> bytes;
    if (ReadWhole(entry, bytes))
        if (auto cached = DecodeThumbnail(bytes, path, *stamp)) return cached;
    auto made = make(path);
    if (!made) return std::nullopt;
    const auto w = static_cast<uint32_t>(made->width), h = static_cast<uint32_t>(made->height);
    if (!SizeFits(w, h) || made->pixels.size() != size_t{w} * h) return std::nullopt;
    CreateDirectoryW(win::Widen(folder_).c_str(), nullptr);
    WriteWhole(entry, EncodeThumbnail(path, *stamp, *made));
    return made;
}

void ThumbnailCache::KeepOnly(const std::vector<std::string>& paths) const {
    std::vector<std::wstring> kept;
    for (const std::string& p : paths)
        kept.push_back(win::Widen(ThumbnailFileName(p)));
    const std::wstring folder = win::Widen(folder_);
    WIN32_FIND_DATAW found{};
    std::vector<std::wstring> stale;
    {
        win::UniqueFindHandle search(FindFirstFileW((folder + kEntryPattern).c_str(), &found));
        if (!search) return;
        do {
            std::wstring name = found.cFileName;
            if (std::find(kept.begin(), kept.end(), name) == kept.end()) stale.push_back(name);
        } while (FindNextFileW(search.get(), &found));
    }
    for (const std::wstring& name : stale)
        DeleteFileW((folder + L"\\" + name).c_str());
}

} // namespace moirelle::app
