#include "dib/win/c32bppDIB.h"
#include "formats/ZlibAccess.h"
#include "platform/win/Text.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace moirelle {
namespace {

// Folders holding libraries named zlib1.dll and zlib.dll in the combinations under test.
class ZlibProbe : public ::testing::Test {
  protected:
    void SetUp() override {
        wchar_t exe[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, exe, MAX_PATH);
        binDir_ = fs::path(exe).parent_path();
        realZlib_ = binDir_ / "zlib1.dll";
        fakeZlib_ = binDir_ / "fake_zlib_nocrc.dll";
        ASSERT_TRUE(fs::exists(realZlib_)) << "zlib1.dll must be shipped beside the tests";
        ASSERT_TRUE(fs::exists(fakeZlib_));
        root_ = fs::path(test::MakeTempDir("zlibprobe"));
    }
    void TearDown() override { SetZlibLibraryNames(DefaultZlibLibraryNames()); }

    // Makes a folder with the given files and points the probe's names into it.
    void Folder(const char* name, const fs::path* zlib1, const fs::path* zlib) {
        const fs::path dir = root_ / name;
        fs::create_directories(dir);
        if (zlib1) fs::copy_file(*zlib1, dir / "zlib1.dll");
        if (zlib) fs::copy_file(*zlib, dir / "zlib.dll");
        SetZlibLibraryNames({(dir / "zlib1.dll").string(), (dir / "zlib.dll").string()});
    }

    static int32_t Probe(std::string& name) {
        int32_t kind = 0;
        bool isCdecl = false;
        modParsers::ProbeZlib(name, kind, isCdecl, false);
        return kind;
    }

    fs::path binDir_, realZlib_, fakeZlib_, root_;
};

TEST_F(ZlibProbe, BothPresentPrefersZlib1) {
    Folder("both", &realZlib_, &realZlib_);
    std::string name;
    EXPECT_EQ(Probe(name), zlibPreferredName);
    EXPECT_NE(name.find("zlib1.dll"), std::string::npos);
}

TEST_F(ZlibProbe, OnlyZlibDllIsUsed) {
    Folder("only-zlib", nullptr, &realZlib_);
    std::string name;
    EXPECT_EQ(Probe(name), zlibFallbackName);
    EXPECT_NE(name.find("zlib.dll"), std::string::npos);
    ZlibLibrary lib;
    ASSERT_TRUE(lib.IsLoaded());
    EXPECT_EQ(lib.Crc32(reinterpret_cast<const uint8_t*>("123456789"), 9), 0xCBF43926u);
}

TEST_F(ZlibProbe, Zlib1WithoutCrc32IsSkipped) {
    Folder("fake-first", &fakeZlib_, &realZlib_);
    std::string name;
    EXPECT_EQ(Probe(name), zlibFallbackName);
    Folder("fake-only", &fakeZlib_, nullptr);
    EXPECT_EQ(Probe(name), zlibNotFound);
    c32bppDIB dib;
    EXPECT_FALSE(dib.isZlibEnabled());
}

TEST_F(ZlibProbe, NoneMeansNoZlib) {
    Folder("none", nullptr, nullptr);
    std::string name;
    EXPECT_EQ(Probe(name), zlibNotFound);
    EXPECT_TRUE(name.empty());
    c32bppDIB dib;
    EXPECT_FALSE(dib.isZlibEnabled());
}

TEST_F(ZlibProbe, TheProbeDoesNotKeepTheLibraryLoaded) {
    Folder("unload", &realZlib_, nullptr);
    std::string name;
    ASSERT_EQ(Probe(name), zlibPreferredName);
    EXPECT_EQ(GetModuleHandleW(win::Widen(name).c_str()), nullptr);
}

} // namespace
} // namespace moirelle
