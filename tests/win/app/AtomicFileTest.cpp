// A file's content replaced in one step: what a failure at each step leaves behind.

#include "app/AtomicFile.h"

#include "platform/win/Handles.h"
#include "platform/win/Text.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace moirelle;
using moirelle::app::ReplaceFileContent;

namespace {

// The names in a folder, "." and ".." left out.
std::vector<std::wstring> Names(const std::string& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    HANDLE h = FindFirstFileW(win::Widen(folder + "\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        std::wstring n = found.cFileName;
        if (n != L"." && n != L"..") names.push_back(n);
    } while (FindNextFileW(h, &found));
    FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}

std::string Content(const std::string& path) {
    std::string s;
    return test::ReadFile(path, s) ? s : "<missing>";
}

struct AtomicFile : ::testing::Test {
    std::string folder = test::MakeTempDir("atomic file");
    std::string target = test::JoinPath(folder, "skin.cfg");
    std::wstring wide = win::Widen(target);
};

} // namespace

TEST_F(AtomicFile, ReplacesTheWholeContentAndLeavesNothingElse) {
    ASSERT_TRUE(ReplaceFileContent(wide, "a longer first content\r\n"));
    EXPECT_EQ(Content(target), "a longer first content\r\n");
    ASSERT_TRUE(ReplaceFileContent(wide, "short\r\n"));
    EXPECT_EQ(Content(target), "short\r\n");
    ASSERT_TRUE(ReplaceFileContent(wide, ""));
    EXPECT_EQ(Content(target), "");
    EXPECT_EQ(Names(folder), std::vector<std::wstring>{L"skin.cfg"});
}

// A write that fails after part of the content went out (a full disk, a lost network drive)
// keeps the old content whole.
TEST_F(AtomicFile, AWriteThatFailsHalfWayKeepsTheOldContent) {
    ASSERT_TRUE(test::WriteFile(target, "old\r\n"));
    SetLastError(0);
    EXPECT_FALSE(ReplaceFileContent(wide, [&](HANDLE file) {
        DWORD written = 0;
        WriteFile(file, "ne", 2, &written, nullptr);
        // The temporary file lies beside the target, closed to everyone else.
        std::vector<std::wstring> names = Names(folder);
        EXPECT_EQ(names.size(), 2u);
        for (const std::wstring& n : names) {
            if (n == L"skin.cfg") continue;
            EXPECT_EQ(CreateFileW(win::Widen(test::JoinPath(folder, win::Narrow(n))).c_str(),
                                  GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr),
                      INVALID_HANDLE_VALUE);
        }
        SetLastError(ERROR_DISK_FULL);
        return false;
    }));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
    EXPECT_EQ(Content(target), "old\r\n");
    EXPECT_EQ(Names(folder), std::vector<std::wstring>{L"skin.cfg"});
}

// The target cannot be replaced: held open by another program without delete sharing, or a
// folder in its place.
TEST_F(AtomicFile, ATargetThatCannotBeReplacedStaysAsItWas) {
    ASSERT_TRUE(test::WriteFile(target, "old\r\n"));
    {
        win::UniqueFile held(CreateFileW(wide.c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                         0, nullptr));
        ASSERT_TRUE(held);
        EXPECT_FALSE(ReplaceFileContent(wide, "new\r\n"));
        EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    }
    EXPECT_EQ(Content(target), "old\r\n");
    EXPECT_EQ(Names(folder), std::vector<std::wstring>{L"skin.cfg"});
    const std::string dir = test::JoinPath(folder, "a folder.cfg");
    ASSERT_TRUE(CreateDirectoryW(win::Widen(dir).c_str(), nullptr));
    EXPECT_FALSE(ReplaceFileContent(win::Widen(dir), "new\r\n"));
    EXPECT_EQ(GetFileAttributesW(win::Widen(dir).c_str()) & FILE_ATTRIBUTE_DIRECTORY,
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(Names(folder), (std::vector<std::wstring>{L"a folder.cfg", L"skin.cfg"}));
    EXPECT_FALSE(ReplaceFileContent(win::Widen(test::JoinPath(folder, "none\\x.cfg")), "x"));
}
