#include "ui/text_encoding.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "core/texts.h"

namespace purrbox::ui {
namespace {

struct ConversionCase {
    std::string name;
    std::string utf8;
    unsigned codePage;
    std::string expected;
};

class Utf8ToCodePage : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(Utf8ToCodePage, GivesTheCodePagesBytes)
{
    const ConversionCase& c = GetParam();
    EXPECT_EQ(utf8ToCodePage(c.utf8, c.codePage), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Utf8ToCodePage,
    ::testing::Values(
        // A Chinese Windows that ignores the manifest's code page: GBK.
        ConversionCase{"TitleToGbk", "信息：", 936, "\xD0\xC5\xCF\xA2\xA3\xBA"},
        ConversionCase{"MixedToGbk", "一键Purrbox", 936, "\xD2\xBB\xBC\xFC" "Purrbox"},
        ConversionCase{"FullWidthPunctuationToGbk", "替换失败！", 936, "\xCC\xE6\xBB\xBB\xCA\xA7\xB0\xDC\xA3\xA1"},
        // A Western code page cannot hold Chinese: its default character stands in.
        ConversionCase{"ChineseToWestern", "信息", 1252, "??"},
        ConversionCase{"AsciiToWestern", "Purrbox", 1252, "Purrbox"},
        // Where the manifest's UTF-8 code page is honoured nothing changes.
        ConversionCase{"Utf8Unchanged", "还原回收站：", 65001, "还原回收站："},
        ConversionCase{"Empty", "", 936, ""}),
    [](const auto& instance) { return instance.param.name; });

TEST(Utf8ToUtf16, ConvertsEveryCharacter)
{
    EXPECT_EQ(utf8ToUtf16("一键Purrbox"), std::wstring(L"\x4e00\x952e" L"Purrbox"));
    EXPECT_EQ(utf8ToUtf16("“修改为Purrbox”"), std::wstring(L"\x201c\x4fee\x6539\x4e3a" L"Purrbox\x201d"));
    EXPECT_EQ(utf8ToUtf16(""), std::wstring());
}

// The test program carries the same activeCodePage element as Purrbox: the
// A functions then take the UTF-8 texts as they are.
TEST(AnsiText, PassesUtf8ThroughWhereTheManifestsCodePageHolds)
{
    ASSERT_EQ(GetACP(), 65001u) << "the manifest's activeCodePage was not honoured";
    EXPECT_EQ(AnsiText(texts::HelpText).str(), std::string(texts::HelpText));
    EXPECT_STREQ(AnsiText("信息：").c_str(), "信息：");
}

}  // namespace
}  // namespace purrbox::ui
