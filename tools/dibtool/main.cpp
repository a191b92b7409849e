// dibtool: loads a picture through the library's loading dispatch and reports on it.
//
//   dibtool info [--no-zlib] [--no-gdiplus] FILE
//   dibtool convert [--no-zlib] [--no-gdiplus] IN OUT.bmp|OUT.png
//   dibtool render [--no-zlib] [--no-gdiplus] IN OUT.bmp --size WxH [--bg RRGGBB|checker]
//           [--at X,Y] [--dest WxH] [--opacity N] [--gray K] [--light N] [--mirror 0-3]
//           [--angle D] [--center] [--quality nearest|bilinear]
//           [--shadow DEPTH,RRGGBB,OPACITY,DX,DY]
//
// With GDI+ (unless --no-gdiplus) every format it decodes loads too, JPEG and TIFF for
// instance, and PNG output is written through it; bitmap output needs no GDI+.
// render makes a host image of the given size filled with the background, draws IN into
// it (after its drop shadow, when asked for) and writes the host as a bitmap.
//
// Exit status: 0 an image loaded (and was written), 1 the file was read but gave no
// image or could not be drawn, 2 a usage error, an unreadable file or an output that
// cannot be written.
#include "dib/win/c32bppDIB.h"
#include "formats/ZlibAccess.h"
#include "gdiplus/cGDIPlus.h"
#include "platform/win/Handles.h"
#include "platform/win/Text.h"

#include <shellapi.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using moirelle::c32bppDIB;

constexpr int kLoaded = 0;
constexpr int kNoImage = 1;
constexpr int kUsage = 2;

struct Options {
    std::wstring command;
    bool noZlib = false;
    bool noGdiplus = false;
    bool center = false;
    std::vector<std::wstring> paths;
    std::map<std::wstring, std::wstring> values; // --name VALUE options of render
};

// The options of render that take a value.
bool TakesValue(const std::wstring& name) {
    for (const wchar_t* known : {L"--size", L"--bg", L"--at", L"--dest", L"--opacity", L"--gray",
                                 L"--light", L"--mirror", L"--angle", L"--quality", L"--shadow"})
        if (name == known) return true;
    return false;
}

std::string U8(const std::wstring& s) {
    return moirelle::win::Narrow(s);
}

int Usage(const char* problem) {
    std::fprintf(
        stderr,
        "dibtool: %s\n"
        "usage: dibtool info [--no-zlib] [--no-gdiplus] FILE\n"
        "       dibtool convert [--no-zlib] [--no-gdiplus] IN OUT.bmp|OUT.png\n"
        "       dibtool render [--no-zlib] [--no-gdiplus] IN OUT.bmp --size WxH\n"
        "               [--bg RRGGBB|checker] [--at X,Y] [--dest WxH] [--opacity N]\n"
        "               [--gray K] [--light N] [--mirror 0-3] [--angle D] [--center]\n"
        "               [--quality nearest|bilinear] [--shadow DEPTH,RRGGBB,OPACITY,DX,DY]\n",
        problem);
    return kUsage;
}

bool ParseArguments(const std::vector<std::wstring>& args, Options& options) {
    if (args.size() < 2) return false;
    options.command = args[1];
    for (size_t i = 2; i < args.size(); ++i) {
        if (args[i] == L"--no-zlib")
            options.noZlib = true;
        else if (args[i] == L"--no-gdiplus")
            options.noGdiplus = true;
        else if (args[i] == L"--center")
            options.center = true;
        else if (TakesValue(args[i])) {
            if (i + 1 >= args.size()) return false;
            options.values[args[i]] = args[i + 1];
            ++i;
        } else if (args[i].rfind(L"--", 0) == 0)
            return false;
        else
            options.paths.push_back(args[i]);
    }
    return true;
}

bool IsReadable(const std::wstring& path) {
    const moirelle::win::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                                     nullptr));
    return static_cast<bool>(file);
}

// Loads `path` into `dib` with the options applied; returns an exit status.
int Load(const Options& options, const std::wstring& path, c32bppDIB& dib) {
    if (options.noZlib) moirelle::SetZlibLibraryNames({"", ""});
    if (options.noGdiplus) dib.isGDIplusEnabled(false);
    if (!IsReadable(path)) {
        std::fprintf(stderr, "dibtool: cannot read %s\n", U8(path).c_str());
        return kUsage;
    }
    if (!dib.LoadPicture_File(path, 0, 0, true)) {
        std::fprintf(stderr, "dibtool: no image could be read from %s\n", U8(path).c_str());
        return kNoImage;
    }
    return kLoaded;
}

int Info(const Options& options) {
    if (options.paths.size() != 1 || !options.values.empty() || options.center)
        return Usage("info takes one FILE");
    c32bppDIB dib;
    const int status = Load(options, options.paths[0], dib);
    if (status != kLoaded) return status;
    std::printf("width: %d\n", dib.Width());
    std::printf("height: %d\n", dib.Height());
    std::printf("type: %d (%s)\n", dib.ImageType(), moirelle::ImageTypeName(dib.ImageType()));
    std::printf("alpha: %s\n", dib.Alpha() ? "true" : "false");
    std::printf("zlib: %s\n", dib.isZlibEnabled() ? "true" : "false");
    std::printf("gdiplus: %s\n", dib.isGDIplusEnabled() ? "true" : "false");
    std::vector<std::array<int32_t, 4>> sizes;
    if (dib.SourceIconSizes(sizes) > 0) {
        std::printf("icon sizes:");
        for (const auto& s : sizes)
            std::printf(" %dx%dx%d", s[0], s[1], s[2]);
        std::printf("\n");
    }
    return kLoaded;
}

bool EndsWith(const std::wstring& path, const wchar_t* extension) {
    const std::wstring wanted(extension);
    if (path.size() < wanted.size()) return false;
    std::wstring ext = path.substr(path.size() - wanted.size());
    for (wchar_t& c : ext)
        c = static_cast<wchar_t>(std::towlower(c));
    return ext == wanted;
}

// Writes the image as a bitmap file; returns an exit status.
int WriteBitmap(const c32bppDIB& dib, const std::wstring& path) {
    std::vector<uint8_t> bytes;
    if (!dib.SaveToStream(bytes)) {
        std::fprintf(stderr, "dibtool: the image could not be turned into a bitmap\n");
        return kNoImage;
    }
    const moirelle::win::UniqueFile file(CreateFileW(
        path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!file ||
        !WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
        std::fprintf(stderr, "dibtool: cannot write %s\n", U8(path).c_str());
        return kUsage;
    }
    return kLoaded;
}

bool OnlyPathOptions(const Options& options) {
    return options.values.empty() && !options.center;
}

int Convert(const Options& options) {
    if (options.paths.size() != 2 || !OnlyPathOptions(options))
        return Usage("convert takes IN and OUT");
    const std::wstring& out = options.paths[1];
    const bool toPng = EndsWith(out, L".png");
    if (!toPng && !EndsWith(out, L".bmp")) return Usage("OUT must end in .bmp or .png");
    c32bppDIB dib;
    const int status = Load(options, options.paths[0], dib);
    if (status != kLoaded) return status;
    if (toPng) {
        if (!dib.isGDIplusEnabled()) {
            std::fprintf(stderr, "dibtool: PNG output needs GDI+\n");
            return kUsage;
        }
        std::vector<uint8_t> unused;
        if (!moirelle::cGDIPlus().SaveToPNG(out, unused, dib, dib.gdiToken())) {
            std::fprintf(stderr, "dibtool: cannot write %s\n", U8(out).c_str());
            return kUsage;
        }
        return kLoaded;
    }
    return WriteBitmap(dib, out);
}

// Exactly `count` whole numbers separated by `separator`, each within [low, high].
bool ParseNumbers(const std::wstring& text, wchar_t separator, size_t count, int32_t low,
                  int32_t high, std::vector<int32_t>& out) {
    out.clear();
    size_t start = 0;
    for (;;) {
        const size_t end = std::min(text.find(separator, start), text.size());
        const std::wstring part = text.substr(start, end - start);
        if (part.empty()) return false;
        wchar_t* stop = nullptr;
        errno = 0;
        const long value = std::wcstol(part.c_str(), &stop, 10);
        if (*stop != L'\0' || errno != 0 || value < low || value > high) return false;
        out.push_back(static_cast<int32_t>(value));
        if (end == text.size()) break;
        start = end + 1;
    }
    return out.size() == count;
}

// RRGGBB as the library's colour value (red in the low byte).
bool ParseColour(const std::wstring& text, uint32_t& colour) {
    if (text.size() != 6) return false;
    for (wchar_t c : text)
        if (!std::iswxdigit(c)) return false;
    const uint32_t rgb = static_cast<uint32_t>(std::wcstoul(text.c_str(), nullptr, 16));
    colour = ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | (rgb >> 16);
    return true;
}

bool ParseAngle(const std::wstring& text, float& angle) {
    wchar_t* stop = nullptr;
    angle = std::wcstof(text.c_str(), &stop);
    return !text.empty() && *stop == L'\0' && angle > -1e6f && angle < 1e6f;
}

struct RenderOptions {
    int32_t width = 0, height = 0; // host size
    bool checker = false;
    uint32_t background = 0xFFFFFF;
    int32_t x = 0, y = 0;
    int32_t destWidth = 0, destHeight = 0; // 0: the picture's size
    int32_t opacity = 100;
    int32_t gray = -1;
    int32_t light = 0;
    int32_t mirror = 0;
    float angle = 0;
    bool center = false;
    int32_t quality = -1; // -1: the image's default, 0 nearest, 1 bilinear
    bool shadow = false;
    int32_t shadowDepth = 0, shadowOpacity = 0, shadowX = 0, shadowY = 0;
    uint32_t shadowColour = 0;
};

constexpr int32_t kMaxSide = 16384;

// Reads render's options; null when they are fine, else the problem.
const char* ParseRenderOptions(const Options& options, RenderOptions& r) {
    std::vector<int32_t> n;
    auto value = [&](const wchar_t* name) -> const std::wstring* {
        const auto it = options.values.find(name);
        return it == options.values.end() ? nullptr : &it->second;
    };
    const std::wstring* v = value(L"--size");
    if (!v) return "render needs --size WxH";
    if (!ParseNumbers(*v, L'x', 2, 1, kMaxSide, n)) return "--size wants WxH (1 to 16384)";
    r.width = n[0], r.height = n[1];
    if ((v = value(L"--bg"))) {
        if (*v == L"checker")
            r.checker = true;
        else if (!ParseColour(*v, r.background))
            return "--bg wants RRGGBB or checker";
    }
    if ((v = value(L"--at"))) {
        if (!ParseNumbers(*v, L',', 2, -1000000, 1000000, n)) return "--at wants X,Y";
        r.x = n[0], r.y = n[1];
    }
    if ((v = value(L"--dest"))) {
        if (!ParseNumbers(*v, L'x', 2, 1, kMaxSide, n)) return "--dest wants WxH (1 to 16384)";
        r.destWidth = n[0], r.destHeight = n[1];
    }
    if ((v = value(L"--opacity"))) {
        if (!ParseNumbers(*v, L',', 1, 0, 100, n)) return "--opacity wants 0 to 100";
        r.opacity = n[0];
    }
    if ((v = value(L"--gray"))) {
        if (!ParseNumbers(*v, L',', 1, -1, 7, n)) return "--gray wants -1 to 7";
        r.gray = n[0];
    }
    if ((v = value(L"--light"))) {
        if (!ParseNumbers(*v, L',', 1, -100, 100, n)) return "--light wants -100 to 100";
        r.light = n[0];
    }
    if ((v = value(L"--mirror"))) {
        if (!ParseNumbers(*v, L',', 1, 0, 3, n)) return "--mirror wants 0 to 3";
        r.mirror = n[0];
    }
    if ((v = value(L"--angle")) && !ParseAngle(*v, r.angle)) return "--angle wants degrees";
    if ((v = value(L"--quality"))) {
        if (*v == L"nearest")
            r.quality = 0;
        else if (*v == L"bilinear")
            r.quality = 1;
        else
            return "--quality wants nearest or bilinear";
    }
    if ((v = value(L"--shadow"))) {
        // DEPTH,RRGGBB,OPACITY,DX,DY
        const size_t c1 = v->find(L',');
        const size_t c2 = c1 == std::wstring::npos ? c1 : v->find(L',', c1 + 1);
        std::vector<int32_t> rest;
        if (c2 == std::wstring::npos || !ParseNumbers(v->substr(0, c1), L',', 1, 0, 10, n) ||
            !ParseColour(v->substr(c1 + 1, c2 - c1 - 1), r.shadowColour) ||
            !ParseNumbers(v->substr(c2 + 1), L',', 3, -1000000, 1000000, rest) || rest[0] < 0 ||
            rest[0] > 100)
            return "--shadow wants DEPTH (0-10),RRGGBB,OPACITY (0-100),DX,DY";
        r.shadow = true;
        r.shadowDepth = n[0];
        r.shadowOpacity = rest[0], r.shadowX = rest[1], r.shadowY = rest[2];
    }
    r.center = options.center;
    return nullptr;
}

int Render(const Options& options) {
    if (options.paths.size() != 2) return Usage("render takes IN and OUT");
    if (!EndsWith(options.paths[1], L".bmp")) return Usage("OUT must end in .bmp");
    RenderOptions r;
    if (const char* problem = ParseRenderOptions(options, r)) return Usage(problem);

    c32bppDIB picture;
    const int status = Load(options, options.paths[0], picture);
    if (status != kLoaded) return status;
    if (r.quality >= 0) picture.HighQualityInterpolation(r.quality == 1);

    c32bppDIB host;
    if (options.noGdiplus) host.isGDIplusEnabled(false);
    const bool filled = host.InitializeDIB(r.width, r.height) &&
                        (r.checker ? host.CreateCheckerBoard()
                                   : host.CreateCheckerBoard(1, r.background, r.background));
    if (!filled) {
        std::fprintf(stderr, "dibtool: no %dx%d image could be made\n", r.width, r.height);
        return kNoImage;
    }

    if (r.shadow) {
        // As RenderDropShadow_JIT draws it: the shadow image at its natural size at the
        // drawing position, here moved by the offsets.
        const std::unique_ptr<c32bppDIB> shadow =
            picture.CreateDropShadow(r.shadowDepth, r.shadowColour);
        if (!shadow || !shadow->Render(nullptr, r.x + r.shadowX, r.y + r.shadowY, 0, 0, 0, 0, 0, 0,
                                       r.shadowOpacity, true, false, &host, -1, 0, 0, r.center)) {
            std::fprintf(stderr, "dibtool: the drop shadow could not be drawn\n");
            return kNoImage;
        }
    }

    int32_t w = r.destWidth, h = r.destHeight;
    if ((r.mirror & 1) != 0) w = -(w != 0 ? w : picture.Width());
    if ((r.mirror & 2) != 0) h = -(h != 0 ? h : picture.Height());
    if (!picture.Render(nullptr, r.x, r.y, w, h, 0, 0, 0, 0, r.opacity, true, false, &host, r.gray,
                        static_cast<float>(r.light), r.angle, r.center)) {
        std::fprintf(stderr, "dibtool: the picture could not be drawn\n");
        return kNoImage;
    }
    return WriteBitmap(host, options.paths[1]);
}

} // namespace

int main() {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> args;
    for (int i = 0; argv && i < count; ++i)
        args.emplace_back(argv[i]);
    if (argv) LocalFree(argv);

    Options options;
    if (!ParseArguments(args, options)) return Usage("unknown or missing arguments");
    if (options.command == L"info") return Info(options);
    if (options.command == L"convert") return Convert(options);
    if (options.command == L"render") return Render(options);
    return Usage("unknown command");
}
