// Runs dibtool.exe (built beside this program) as a separate process and checks its exit
// status and the pixels of the bitmaps it writes.
#include "dib/win/c32bppDIB.h"
#include "platform/win/Handles.h"
#include "tests/support/PngWriter.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

namespace moirelle {
namespace {

namespace fs = std::filesystem;

// Process and thread handles (null when absent).
struct KernelObjectTraits {
    using handle_type = HANDLE;
    static HANDLE invalid() { return nullptr; }
    static void close(HANDLE h) { CloseHandle(h); }
};
using UniqueKernelObject = win::UniqueHandle<KernelObjectTraits>;

// A 4 x 2 opaque picture; pixel (x, y) is red 40x + 10, green 100y + 20, blue 77.
uint32_t SourceColour(int32_t x, int32_t y) { // red in the low byte
    return static_cast<uint32_t>(40 * x + 10) | static_cast<uint32_t>(100 * y + 20) << 8 |
           77u << 16;
}

class Dibtool : public ::testing::Test {
  protected:
    void SetUp() override {
        wchar_t exe[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, exe, MAX_PATH);
        tool_ = fs::path(exe).parent_path() / "dibtool.exe";
        ASSERT_TRUE(fs::exists(tool_)) << "dibtool.exe must be built beside the tests";
        dir_ = fs::path(test::MakeTempDir("dibtool"));
        test::PngSpec png;
        png.width = 4, png.height = 2, png.colorType = 2;
        for (int32_t y = 0; y < 2; ++y)
            for (int32_t x = 0; x < 4; ++x) {
                const uint32_t c = SourceColour(x, y);
                png.pixels.insert(png.pixels.end(),
                                  {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8),
                                   static_cast<uint8_t>(c >> 16)});
            }
        const std::vector<uint8_t> bytes = test::EncodePng(png);
        input_ = (dir_ / "in.png").string();
        ASSERT_TRUE(test::WriteFile(input_, std::string(bytes.begin(), bytes.end())));
    }

    // Runs dibtool with the arguments; answers its exit status (-1 when it did not run).
    int Run(const std::vector<std::wstring>& args) {
        std::wstring line = L"\"" + tool_.wstring() + L"\"";
        for (const std::wstring& a : args)
            line += L" \"" + a + L"\"";
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi{};
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                            &pi))
            return -1;
        const UniqueKernelObject process(pi.hProcess), thread(pi.hThread);
        if (WaitForSingleObject(pi.hProcess, 60000) != WAIT_OBJECT_0) return -1;
        DWORD code = 0;
        GetExitCodeProcess(pi.hProcess, &code);
        return static_cast<int>(code);
    }

    std::wstring In() const { return fs::path(input_).wstring(); }
    std::wstring Out(const char* name) const { return (dir_ / name).wstring(); }

    fs::path tool_, dir_;
    std::string input_;
};

// The written bitmap's colour at (x, y), red in the low byte.
uint32_t At(const c32bppDIB& dib, int32_t x, int32_t y) {
    return static_cast<uint32_t>(dib.GetPixel(x, y));
}

TEST_F(Dibtool, RenderPlacesAndMirrorsThePicture) {
    const std::wstring plain = Out("plain.bmp"), mirrored = Out("mirrored.bmp");
    ASSERT_EQ(Run({L"render", L"--no-gdiplus", In(), plain, L"--size", L"10x6", L"--bg", L"102030",
                   L"--at", L"3,2"}),
              0);
    ASSERT_EQ(Run({L"render", L"--no-gdiplus", In(), mirrored, L"--size", L"10x6", L"--bg",
                   L"102030", L"--at", L"3,2", L"--mirror", L"3"}),
              0);
    c32bppDIB a, b;
    ASSERT_TRUE(a.LoadPicture_File(plain));
    ASSERT_TRUE(b.LoadPicture_File(mirrored));
    ASSERT_EQ(a.Width(), 10);
    ASSERT_EQ(a.Height(), 6);
    const uint32_t background = 0x302010; // RRGGBB 102030, red in the low byte
    for (int32_t y = 0; y < 6; ++y)
        for (int32_t x = 0; x < 10; ++x) {
            const bool inside = x >= 3 && x < 7 && y >= 2 && y < 4;
            EXPECT_EQ(At(a, x, y), inside ? SourceColour(x - 3, y - 2) : background)
                << x << "," << y;
            EXPECT_EQ(At(b, x, y), inside ? SourceColour(6 - x, 3 - y) : background)
                << x << "," << y;
        }
}

TEST_F(Dibtool, RenderDrawsTheShadowUnderThePicture) {
    const std::wstring out = Out("shadow.bmp");
    ASSERT_EQ(Run({L"render", L"--no-gdiplus", In(), out, L"--size", L"10x6", L"--bg", L"FFFFFF",
                   L"--at", L"3,2", L"--shadow", L"0,000000,100,1,1"}),
              0);
    c32bppDIB img;
    ASSERT_TRUE(img.LoadPicture_File(out));
    // The unblurred silhouette one pixel down and right, black, then the picture over it.
    EXPECT_EQ(At(img, 7, 4), 0u);
    EXPECT_EQ(At(img, 7, 3), 0u);
    EXPECT_EQ(At(img, 4, 4), 0u);
    EXPECT_EQ(At(img, 3, 2), SourceColour(0, 0));
    EXPECT_EQ(At(img, 6, 3), SourceColour(3, 1));
    EXPECT_EQ(At(img, 3, 4), 0xFFFFFFu);
    EXPECT_EQ(At(img, 7, 2), 0xFFFFFFu);
}

TEST_F(Dibtool, ConvertWritesTheBitmap) {
    const std::wstring out = Out("copy.bmp");
    ASSERT_EQ(Run({L"convert", In(), out}), 0);
    c32bppDIB img;
    ASSERT_TRUE(img.LoadPicture_File(out));
    ASSERT_EQ(img.Width(), 4);
    for (int32_t y = 0; y < 2; ++y)
        for (int32_t x = 0; x < 4; ++x)
            EXPECT_EQ(At(img, x, y), SourceColour(x, y));
}

TEST_F(Dibtool, ExitStatusesTellWhatWentWrong) {
    const std::wstring out = Out("status.bmp");
    // Usage errors.
    EXPECT_EQ(Run({L"render", In(), out}), 2);                    // no --size
    EXPECT_EQ(Run({L"render", In(), out, L"--size", L"0x5"}), 2); // empty host
    EXPECT_EQ(Run({L"render", In(), out, L"--size", L"5x5", L"--mirror", L"4"}), 2);
    EXPECT_EQ(Run({L"render", In(), out, L"--size", L"5x5", L"--bg", L"12345"}), 2);
    EXPECT_EQ(Run({L"render", In(), Out("x.png"), L"--size", L"5x5"}), 2);
    EXPECT_EQ(Run({L"render", In(), out, L"--size", L"5x5", L"--shadow", L"11,000000,50,1,1"}), 2);
    // Unreadable input, unwritable output.
    EXPECT_EQ(Run({L"render", Out("missing.png"), out, L"--size", L"5x5"}), 2);
    EXPECT_EQ(Run({L"render", In(), Out("no-such-folder\\o.bmp"), L"--size", L"5x5"}), 2);
    EXPECT_FALSE(fs::exists(out));
    // A file that holds no picture.
    const std::string junk = (dir_ / "junk.png").string();
    ASSERT_TRUE(test::WriteFile(junk, "not a picture at all"));
    EXPECT_EQ(Run({L"render", fs::path(junk).wstring(), out, L"--size", L"5x5"}), 1);
    EXPECT_FALSE(fs::exists(out));
}

} // namespace
} // namespace moirelle
