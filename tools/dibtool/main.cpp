// dibtool: loads a picture through the library's loading dispatch and reports on it.
//
//   dibtool info [--no-zlib] [--no-gdiplus] FILE
//   dibtool convert [--no-zlib] [--no-gdiplus] IN OUT.bmp
//
// Exit status: 0 an image loaded (and was written), 1 the file was read but gave no
// image, 2 a usage error, an unreadable file or an output that cannot be written.
#include "dib/win/c32bppDIB.h"
#include "formats/ZlibAccess.h"
#include "platform/win/Handles.h"
#include "platform/win/Text.h"

#include <shellapi.h>
#include <windows.h>

#include <cstdio>
#include <cwctype>
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
    std::vector<std::wstring> paths;
};

std::string U8(const std::wstring& s) {
    return moirelle::win::Narrow(s);
}

int Usage(const char* problem) {
    std::fprintf(stderr,
                 "dibtool: %s\n"
                 "usage: dibtool info [--no-zlib] [--no-gdiplus] FILE\n"
                 "       dibtool convert [--no-zlib] [--no-gdiplus] IN OUT.bmp\n",
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
        else if (args[i].rfind(L"--", 0) == 0)
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
    if (options.paths.size() != 1) return Usage("info takes one FILE");
    c32bppDIB dib;
    const int status = Load(options, options.paths[0], dib);
    if (status != kLoaded) return status;
    std::printf("width: %d\n", dib.Width());
    std::printf("height: %d\n", dib.Height());
    std::printf("type: %d (%s)\n", dib.ImageType(), moirelle::ImageTypeName(dib.ImageType()));
    std::printf("alpha: %s\n", dib.Alpha() ? "true" : "false");
    std::printf("zlib: %s\n", dib.isZlibEnabled() ? "true" : "false");
    std::vector<std::array<int32_t, 4>> sizes;
    if (dib.SourceIconSizes(sizes) > 0) {
        std::printf("icon sizes:");
        for (const auto& s : sizes)
            std::printf(" %dx%dx%d", s[0], s[1], s[2]);
        std::printf("\n");
    }
    return kLoaded;
}

bool EndsWithBmp(const std::wstring& path) {
    if (path.size() < 4) return false;
    std::wstring ext = path.substr(path.size() - 4);
    for (wchar_t& c : ext)
        c = static_cast<wchar_t>(std::towlower(c));
    return ext == L".bmp";
}

int Convert(const Options& options) {
    if (options.paths.size() != 2) return Usage("convert takes IN and OUT");
    if (!EndsWithBmp(options.paths[1])) return Usage("OUT must end in .bmp");
    c32bppDIB dib;
    const int status = Load(options, options.paths[0], dib);
    if (status != kLoaded) return status;
    std::fprintf(stderr, "dibtool: bitmap output is not available yet\n");
    return kUsage;
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
    return Usage("unknown command");
}
