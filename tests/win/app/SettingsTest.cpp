// The settings file: what its entries mean, what a damaged one gives, and that a file is
// replaced whole or not at all.

#include "app/Settings.h"
#include "app/SamePath.h"

#include "platform/win/Handles.h"
#include "platform/win/Text.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <cctype>
#include <ostream>

using namespace moirelle::app;
using moirelle::win::Widen;

namespace moirelle::app {
// Failures show the settings as their file would hold them.
void PrintTo(const Settings& s, std::ostream* os) {
    *os << win::Narrow(IniFileText(s.Format()).substr(1));
}
} // namespace moirelle::app

namespace {

Settings Sample() {
    Settings s;
    s.rules = false;
    s.sameOnEveryTaskbar = false;
    s.sharedRules.maximised = StateRule{200, Skin{"C:\\dark sky.bmp", ""}};
    s.sharedRules.startMenu = StateRule{60, std::nullopt};
    TaskbarSettings second;
    second.skin = Skin{"D:\\skins, blue\\b.bmp", "D:\\\xCE\xA9\xE0\xB8\x81.png"};
    second.rules.maximised = StateRule{};
    s.taskbars["\\\\.\\DISPLAY2"] = second;
    s.taskbars["\\\\.\\DISPLAY3"] = TaskbarSettings{std::nullopt, s.sharedRules};
    s.recentPictures = {"  C:\\lead space.bmp", "C:\\\"quoted\".png", "C:\\b.gif"};
    return s;
}

std::wstring TempFile(const char* name) {
    return Widen(moirelle::test::JoinPath(moirelle::test::MakeTempDir("settings"), name));
}

} // namespace

TEST(SettingsFile, DefaultsAreTheSameSkinEverywhereAnOpaqueMaximisedStateAndAQuietStartMenu) {
    Settings s = Settings::Parse({});
    EXPECT_TRUE(s.rules);
    EXPECT_TRUE(s.sameOnEveryTaskbar);
    EXPECT_EQ(s.sharedRules.maximised.alpha, std::optional<uint8_t>(255));
    EXPECT_FALSE(s.sharedRules.maximised.skin);
    EXPECT_FALSE(s.sharedRules.startMenu.ChangesSomething());
    EXPECT_TRUE(s.recentPictures.empty());
    EXPECT_FALSE(s.needsRewrite);
}

TEST(SettingsFile, EntriesAreReadByNameWithoutRegardToCase) {
    IniText text = {
        {L"general", {{L"sameoneverytaskbar", L"0"}, {L"RULES", L"0"}}},
        {L"ALL TASKBARS", {{L"MaximisedAlpha", L"180"}, {L"StartMenuAlpha", L"7"}}},
        {L"Taskbar \\\\.\\DISPLAY2",
         {{L"Base", L"C:\\b.bmp"}, {L"MaximisedAlpha", L""}, {L"StartMenuTexture", L"C:\\t.png"}}},
        {L"Recent", {{L"2", L"C:\\two.bmp"}, {L"1", L"C:\\one.bmp"}, {L"3", L"C:\\one.bmp"}}},
    };
    Settings s = Settings::Parse(text);
    EXPECT_FALSE(s.needsRewrite);
    EXPECT_FALSE(s.sameOnEveryTaskbar);
    EXPECT_FALSE(s.rules);
    EXPECT_EQ(s.sharedRules.maximised, (StateRule{180, std::nullopt}));
    EXPECT_EQ(s.sharedRules.startMenu, (StateRule{7, std::nullopt}));
    ASSERT_TRUE(s.taskbars.contains("\\\\.\\DISPLAY2"));
    const TaskbarSettings& own = s.taskbars.at("\\\\.\\DISPLAY2");
    EXPECT_EQ(own.skin, (Skin{"C:\\b.bmp", ""}));
    // An empty alpha is "no change"; what the section does not say has its default, not
    // the shared rules' value.
    EXPECT_EQ(own.rules.maximised, StateRule{});
    EXPECT_EQ(own.rules.startMenu, (StateRule{std::nullopt, Skin{"", "C:\\t.png"}}));
    EXPECT_EQ(s.recentPictures, (std::vector<std::string>{"C:\\one.bmp", "C:\\two.bmp"}));
    // Every taskbar shows the same unless told otherwise; one without a section shares.
    EXPECT_EQ(s.For("\\\\.\\DISPLAY2"), own);
    EXPECT_EQ(s.For("\\\\.\\DISPLAY9"), (TaskbarSettings{std::nullopt, s.sharedRules}));
    s.sameOnEveryTaskbar = true;
    EXPECT_EQ(s.For("\\\\.\\DISPLAY2"), (TaskbarSettings{std::nullopt, s.sharedRules}));
}

TEST(SettingsFile, DamagedOrUnknownEntriesFallBackAndAskForARewrite) {
    struct Case {
        const char* what;
        IniText text;
    } cases[] = {
        {"alpha above 255", {{L"All taskbars", {{L"MaximisedAlpha", L"256"}}}}},
        {"alpha not a number", {{L"All taskbars", {{L"MaximisedAlpha", L"-1"}}}}},
        {"alpha too long", {{L"All taskbars", {{L"MaximisedAlpha", L"0255"}}}}},
        {"flag neither 0 nor 1", {{L"General", {{L"SameOnEveryTaskbar", L"yes"}}}}},
        {"rules neither 0 nor 1", {{L"General", {{L"Rules", L"2"}}}}},
        {"unknown key", {{L"All taskbars", {{L"Opacity", L"3"}}}}},
        {"unknown key in a taskbar", {{L"Taskbar X", {{L"Colour", L"3"}}}}},
        {"unknown section", {{L"\xFFFD\x01garbage", {{L"a", L"b"}}}}},
        {"taskbar section without a name", {{L"Taskbar ", {}}}},
        {"recent entry out of range", {{L"Recent", {{L"9", L"C:\\nine.bmp"}}}}},
    };
    for (const Case& c : cases) {
        Settings s = Settings::Parse(c.text);
        EXPECT_TRUE(s.needsRewrite) << c.what;
        EXPECT_EQ(s.sharedRules, TaskbarRules{}) << c.what;
        EXPECT_TRUE(s.sameOnEveryTaskbar) << c.what;
        EXPECT_TRUE(s.rules) << c.what;
        EXPECT_TRUE(s.recentPictures.empty()) << c.what;
        // Rewritten, the file holds only what is understood.
        EXPECT_FALSE(Settings::Parse(s.Format()).needsRewrite) << c.what;
    }
}

TEST(SettingsFile, RecentPicturesKeepTheNewestEightOnce) {
    Settings s;
    for (int i = 1; i <= 10; ++i)
        s.UsePicture("C:\\p" + std::to_string(i) + ".bmp");
    s.UsePicture("C:\\p5.bmp");
    EXPECT_EQ(s.recentPictures,
              (std::vector<std::string>{"C:\\p5.bmp", "C:\\p10.bmp", "C:\\p9.bmp", "C:\\p8.bmp",
                                        "C:\\p7.bmp", "C:\\p6.bmp", "C:\\p4.bmp", "C:\\p3.bmp"}));
}

// One file named in two spellings is one picture, as the file system sees it: letter case
// (beyond ASCII too), "." and "..", forward slashes, a short name for a long one.
TEST(SettingsFile, RecentPicturesHoldAFileOnceWhateverItsSpelling) {
    const std::string dir = moirelle::test::MakeTempDir("same path");
    const std::string file = moirelle::test::JoinPath(dir, "Long Picture Name \xCE\xA9.bmp");
    const std::string other = file + ".bmp";
    ASSERT_TRUE(moirelle::test::WriteFile(file, "x"));
    ASSERT_TRUE(moirelle::test::WriteFile(other, "y"));
    // The folder in ASCII lower case, the name's capital omega as a small one.
    std::string lower = dir;
    for (char& c : lower)
        if (static_cast<unsigned char>(c) < 0x80) c = static_cast<char>(std::tolower(c));
    lower += "\\LONG picture NAME \xCF\x89.BMP";
    std::string slashed = file;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    const std::string ascii = moirelle::test::JoinPath(dir, "Long Picture Name.bmp");
    ASSERT_TRUE(moirelle::test::WriteFile(ascii, "z"));
    wchar_t shortName[MAX_PATH]{};
    ASSERT_GT(GetShortPathNameW(Widen(ascii).c_str(), shortName, MAX_PATH), 0u);
    ASSERT_NE(moirelle::win::Narrow(shortName), ascii);
    struct Case {
        std::string a, b;
        bool same;
    } cases[] = {
        {file, file, true},
        {file, lower, true},
        {file, slashed, true},
        {file, dir + "\\.\\sub\\..\\Long Picture Name \xCE\xA9.bmp", true},
        {ascii, moirelle::win::Narrow(shortName), true},
        {"C:\\Nowhere\\Sky.BMP", "c:\\nowhere\\sky.bmp", true},
        {"C:\\Nowhere\\Sky.bmp", "C:\\Nowhere\\Sea.bmp", false},
        {"C:\\Nowhere\\Sky.bmp", "D:\\Nowhere\\Sky.bmp", false},
        {file, other, false},
        {file, dir + "\\Long Picture Name \xCE\xA9.bm", false},
        {"", "", false},
        {file, "", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SamePath(c.a, c.b), c.same) << c.a << " | " << c.b;
        EXPECT_EQ(SamePath(c.b, c.a), c.same) << c.b << " | " << c.a;
    }

    Settings s;
    s.UsePicture(file);
    s.UsePicture(other);
    s.UsePicture(lower);
    EXPECT_EQ(s.recentPictures, (std::vector<std::string>{lower, other}));
    const Settings read = Settings::Parse(
        {{L"Recent", {{L"1", Widen(lower)}, {L"2", Widen(other)}, {L"3", Widen(slashed)}}}});
    EXPECT_EQ(read.recentPictures, (std::vector<std::string>{lower, other}));
}

// Through the system's profile calls: quotes, commas, leading spaces and characters of no
// ANSI code page come back as written.
TEST(SettingsFile, WrittenFileReadsBackThroughTheProfileCalls) {
    const std::wstring path = TempFile("Moirelle.ini");
    const Settings s = Sample();
    ASSERT_TRUE(s.Write(path));
    Settings back = Settings::Read(path);
    EXPECT_EQ(back, s);
    EXPECT_FALSE(back.needsRewrite);
    // A file that is not one: defaults, and a rewrite is asked for.
    ASSERT_TRUE(moirelle::test::WriteFile(moirelle::win::Narrow(path),
                                          std::string("\x89PNG\r\n\x1a\n\0\0[[]]=\xFF\xFE", 20)));
    Settings junk = Settings::Read(path);
    EXPECT_EQ(junk, Settings{});
    // No file at all: defaults, nothing to rewrite.
    EXPECT_EQ(Settings::Read(path + L".missing"), Settings{});
    EXPECT_FALSE(Settings::Read(path + L".missing").needsRewrite);
}

TEST(SettingsFile, AWriteThatFailsLeavesTheOldFileWhole) {
    const std::wstring path = TempFile("Moirelle.ini");
    Settings first = Sample();
    ASSERT_TRUE(first.Write(path));
    std::string before;
    ASSERT_TRUE(moirelle::test::ReadFile(moirelle::win::Narrow(path), before));
    Settings second;
    second.recentPictures = {"C:\\other.bmp"};
    {
        // A file another program holds open without sharing cannot be replaced.
        moirelle::win::UniqueFile held(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr,
                                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(held);
        EXPECT_FALSE(second.Write(path));
    }
    std::string after;
    ASSERT_TRUE(moirelle::test::ReadFile(moirelle::win::Narrow(path), after));
    EXPECT_EQ(after, before);
    EXPECT_EQ(Settings::Read(path), first);
}
