#include "formats/ZlibAccess.h"
#include "formats/cCDECL.h"
#include "formats/modParsers.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

namespace moirelle {
namespace {

#ifdef _WIN32
const char* const kLibraryWithoutZlib = "kernel32.dll";
#else
const char* const kLibraryWithoutZlib = "libc.so.6";
#endif

// zlib stream of "hello hello hello hello\n" (deflated with back-references).
const std::array<uint8_t, 17> kHelloStream = {0x78, 0x9c, 0xcb, 0x48, 0xcd, 0xc9, 0xc9, 0x57, 0xc8,
                                              0x40, 0x27, 0xb9, 0x00, 0x70, 0xbe, 0x08, 0xbb};
const char kHelloText[] = "hello hello hello hello\n";

class ZlibAccess : public ::testing::Test {
  protected:
    void TearDown() override { SetZlibLibraryNames(DefaultZlibLibraryNames()); }

    static int32_t Probe(std::string* nameOut = nullptr) {
        std::string name;
        int32_t kind = -7;
        bool isCdecl = false;
        const bool found = modParsers::ProbeZlib(name, kind, isCdecl, false);
        EXPECT_EQ(found, kind != zlibNotFound);
        if (nameOut) *nameOut = name;
        return kind;
    }
};

TEST_F(ZlibAccess, PreferredNameWinsWhenBothExist) {
    const ZlibLibraryNames def = DefaultZlibLibraryNames();
    SetZlibLibraryNames({def.preferred, def.preferred});
    std::string name;
    EXPECT_EQ(Probe(&name), zlibPreferredName);
    EXPECT_EQ(name, def.preferred);
}

TEST_F(ZlibAccess, FallbackNameUsedWhenPreferredIsMissing) {
    const ZlibLibraryNames def = DefaultZlibLibraryNames();
    SetZlibLibraryNames({"no-such-zlib-library", def.preferred});
    std::string name;
    EXPECT_EQ(Probe(&name), zlibFallbackName);
    EXPECT_EQ(name, def.preferred);
}

TEST_F(ZlibAccess, LibraryWithoutCrc32CountsAsAbsent) {
    const ZlibLibraryNames def = DefaultZlibLibraryNames();
    SetZlibLibraryNames({kLibraryWithoutZlib, def.preferred});
    EXPECT_EQ(Probe(), zlibFallbackName);
    SetZlibLibraryNames({kLibraryWithoutZlib, ""});
    EXPECT_EQ(Probe(), zlibNotFound);
}

TEST_F(ZlibAccess, NoLibraryMeansNoZlib) {
    SetZlibLibraryNames({"", ""});
    std::string name = "stale";
    EXPECT_EQ(Probe(&name), zlibNotFound);
    EXPECT_TRUE(name.empty());
    ZlibLibrary lib;
    EXPECT_FALSE(lib.IsLoaded());
    EXPECT_EQ(lib.Crc32(reinterpret_cast<const uint8_t*>("x"), 1), 0u);
    std::array<uint8_t, 64> out{};
    size_t outLen = out.size();
    EXPECT_NE(lib.Uncompress(out.data(), outLen, kHelloStream.data(), kHelloStream.size()), 0);
}

TEST_F(ZlibAccess, LoadedLibraryComputesCrcAndInflates) {
    ZlibLibrary lib;
    ASSERT_TRUE(lib.IsLoaded()) << "the platform's zlib should be found";
    EXPECT_EQ(lib.Kind(), zlibPreferredName);
    EXPECT_EQ(lib.Crc32(reinterpret_cast<const uint8_t*>("123456789"), 9), 0xCBF43926u);

    std::array<uint8_t, 64> out{};
    size_t outLen = out.size();
    ASSERT_EQ(lib.Uncompress(out.data(), outLen, kHelloStream.data(), kHelloStream.size()), 0);
    ASSERT_EQ(outLen, std::strlen(kHelloText));
    EXPECT_EQ(std::memcmp(out.data(), kHelloText, outLen), 0);

    size_t small = 4; // a destination too small is an error, not an overrun
    EXPECT_NE(lib.Uncompress(out.data(), small, kHelloStream.data(), kHelloStream.size()), 0);
}

TEST(IsFunctionExported, FindsOnlyRealExports) {
    const std::string zlib = DefaultZlibLibraryNames().preferred;
    EXPECT_TRUE(modParsers::IsFunctionExported(zlib, "crc32"));
    EXPECT_FALSE(modParsers::IsFunctionExported(zlib, "no_such_function"));
    EXPECT_FALSE(modParsers::IsFunctionExported("no-such-library", "crc32"));
}

TEST(cCDECL, CallsAnExportByName) {
    cCDECL caller;
    ASSERT_TRUE(caller.DllLoad(DefaultZlibLibraryNames().preferred));
    const char* digits = "123456789";
    const std::array<intptr_t, 3> args = {0, reinterpret_cast<intptr_t>(digits), 9};
    EXPECT_EQ(static_cast<uint32_t>(caller.CallFunc("crc32", args)), 0xCBF43926u);
    // Calling the same name again reuses the resolved address.
    EXPECT_EQ(static_cast<uint32_t>(caller.CallFunc("crc32", args)), 0xCBF43926u);
    EXPECT_TRUE(caller.DllUnload());
    EXPECT_FALSE(caller.DllUnload());
}

TEST(cCDECL, RaisesItsThreeErrors) {
    cCDECL caller;
    const std::array<intptr_t, 6> six{};
    try {
        caller.CallFunc("crc32", {});
        FAIL() << "no error raised";
    } catch (const CdeclError& e) {
        EXPECT_EQ(e.Number(), 0x80040000u);
        EXPECT_STREQ(e.what(), "DLL not loaded");
    }
    ASSERT_TRUE(caller.DllLoad(DefaultZlibLibraryNames().preferred));
    try {
        caller.CallFunc("no_such_export", {});
        FAIL() << "no error raised";
    } catch (const CdeclError& e) {
        EXPECT_EQ(e.Number(), 0x80040001u);
        EXPECT_STREQ(e.what(), "Failed to locate function: no_such_export");
    }
    try {
        caller.CallFunc("crc32", six);
        FAIL() << "no error raised";
    } catch (const CdeclError& e) {
        EXPECT_EQ(e.Number(), 0x80040002u);
        EXPECT_STREQ(e.what(), "Too many parameters");
    }
}

TEST(cCDECL, KeepsTheLastSystemErrorOfTheCall) {
    cCDECL caller;
#ifdef _WIN32
    ASSERT_TRUE(caller.DllLoad("kernel32.dll"));
    const std::array<intptr_t, 1> code = {1234};
    caller.CallFunc("SetLastError", code);
    EXPECT_EQ(caller.LastError(), 1234u);
#else
    ASSERT_TRUE(caller.DllLoad("libc.so.6"));
    const std::array<intptr_t, 1> badFd = {-1};
    // close returns an int: only the low 32 bits of the result are defined.
    EXPECT_EQ(static_cast<int32_t>(caller.CallFunc("close", badFd)), -1);
    EXPECT_EQ(caller.LastError(), 9u); // EBADF
#endif
}

} // namespace
} // namespace moirelle
