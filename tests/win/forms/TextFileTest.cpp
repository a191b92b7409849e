// Sequential text files: CR LF output and the field-input rules of the reader.

#include "forms/TextFile.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace moirelle;
using forms::ReadInputField;

namespace {

// Every field of the content, in order, as the reader yields them.
std::vector<std::string> Fields(std::string_view content) {
    std::vector<std::string> out;
    size_t pos = 0;
    std::string field;
    while (ReadInputField(content, pos, field))
        out.push_back(field);
    return out;
}

std::string FirstField(std::string_view content) {
    size_t pos = 0;
    std::string field = "untouched";
    EXPECT_TRUE(ReadInputField(content, pos, field));
    return field;
}

} // namespace

TEST(FieldInput, LeadingSpacesAreSkippedAndCommaEndsAPlainField) {
    EXPECT_EQ(FirstField("   C:\\skins\\a.bmp\r\n"), "C:\\skins\\a.bmp");
    EXPECT_EQ(FirstField("C:\\my,folder\\a.bmp\r\n"), "C:\\my");
    EXPECT_EQ(Fields("a, b,c\r\nd\r\n"), (std::vector<std::string>{"a", "b", "c", "d"}));
    // Spaces inside a plain field stay.
    EXPECT_EQ(FirstField("C:\\Program Files\\x.gif\r\n"), "C:\\Program Files\\x.gif");
}

TEST(FieldInput, QuotedFieldRunsToTheNextQuote) {
    EXPECT_EQ(FirstField("\"C:\\my,folder\\a.bmp\"\r\n"), "C:\\my,folder\\a.bmp");
    EXPECT_EQ(FirstField("  \"quoted\"  \r\n"), "quoted");
    // After the closing quote the rest up to the delimiter is passed over.
    EXPECT_EQ(Fields("\"ab\"cd,ef\r\n"), (std::vector<std::string>{"ab", "ef"}));
    // An unterminated quote runs to the end.
    EXPECT_EQ(FirstField("\"open end"), "open end");
}

TEST(FieldInput, NulEndsTheValue) {
    using namespace std::string_literals;
    EXPECT_EQ(FirstField("C:\\a.bmp\0\r\n"s), "C:\\a.bmp");
    EXPECT_EQ(Fields("ab\0cd,ef\r\n"s), (std::vector<std::string>{"ab", "ef"}));
}

TEST(FieldInput, EmptyLineGivesEmptyTextAndNoLineIsAFailure) {
    EXPECT_EQ(FirstField("\r\n"), "");
    EXPECT_EQ(FirstField("\r\nsecond\r\n"), "");
    EXPECT_EQ(Fields("\r\nsecond\r\n"), (std::vector<std::string>{"", "second"}));
    size_t pos = 0;
    std::string field = "kept";
    EXPECT_FALSE(ReadInputField("", pos, field));
    EXPECT_EQ(field, "kept");
    EXPECT_EQ(pos, 0u);
    // Line ends of every kind, and a last line without one.
    EXPECT_EQ(Fields("a\rb\nc"), (std::vector<std::string>{"a", "b", "c"}));
}

TEST(TextFiles, WrittenLineReadsBackAndOutputEmptiesTheFile) {
    std::string dir = test::MakeTempDir("forms_textfile");
    std::string path = test::JoinPath(dir, "lastskin.cfg");
    {
        auto out = forms::OutputFile::Open(path);
        ASSERT_TRUE(out);
        EXPECT_TRUE(out->WriteLine("C:\\first\\longer path.bmp"));
    }
    {
        auto out = forms::OutputFile::Open(path);
        ASSERT_TRUE(out);
        EXPECT_TRUE(out->WriteLine("C:\\b.gif"));
    }
    std::string bytes;
    ASSERT_TRUE(test::ReadFile(path, bytes));
    EXPECT_EQ(bytes, "C:\\b.gif\r\n");

    auto in = forms::InputFile::Open(path);
    ASSERT_TRUE(in);
    EXPECT_EQ(in->InputField(), "C:\\b.gif");
    EXPECT_FALSE(in->InputField());
}

TEST(TextFiles, EmptyFileAndMissingFileFail) {
    std::string dir = test::MakeTempDir("forms_textfile_empty");
    std::string path = test::JoinPath(dir, "empty.cfg");
    ASSERT_TRUE(test::WriteFile(path, ""));
    auto in = forms::InputFile::Open(path);
    ASSERT_TRUE(in);
    EXPECT_FALSE(in->InputField());
    EXPECT_FALSE(forms::InputFile::Open(test::JoinPath(dir, "absent.cfg")));
    EXPECT_FALSE(forms::OutputFile::Open(test::JoinPath(dir, "no\\such\\folder\\x.cfg")));
}

TEST(TextFiles, NonAsciiPathTextSurvivesTheAnsiRoundTrip) {
    // A character of the usual Western code page (e with acute accent).
    std::string dir = test::MakeTempDir("forms_textfile_ansi");
    std::string path = test::JoinPath(dir, "FXskin.cfg");
    std::string text = "C:\\Caf\xc3\xa9\\t.png";
    {
        auto out = forms::OutputFile::Open(path);
        ASSERT_TRUE(out);
        ASSERT_TRUE(out->WriteLine(text));
    }
    std::string bytes;
    ASSERT_TRUE(test::ReadFile(path, bytes));
    EXPECT_EQ(bytes.size(), text.size() - 1 + 2) << "one byte per character in the code page";
    auto in = forms::InputFile::Open(path);
    ASSERT_TRUE(in);
    EXPECT_EQ(in->InputField(), text);
}
