#include "shared/language.h"

#include <gtest/gtest.h>

#include "platform/ce/power_states.h"
#include "shared/files.h"
#include "shared/text.h"
#include "tests/support/temp_folder.h"

namespace {

TEST(DecodeUtf8Line, WellFormedTextUpToFFFF) {
  EXPECT_EQ(L"abc", DecodeUtf8Line("abc"));
  EXPECT_EQ(L"\u0416\u00E9", DecodeUtf8Line("\xD0\x96\xC3\xA9"));
  EXPECT_EQ(L"\u20AC\uFFFD\uFFFF", DecodeUtf8Line("\xE2\x82\xAC\xEF\xBF\xBD\xEF\xBF\xBF"));
  EXPECT_EQ(L"", DecodeUtf8Line(""));
}

TEST(DecodeUtf8Line, OneLeadingByteOrderMarkIsDropped) {
  EXPECT_EQ(L"Deutsch", DecodeUtf8Line("\xEF\xBB\xBF"
                                       "Deutsch"));
  EXPECT_EQ(L"\uFEFFx", DecodeUtf8Line("\xEF\xBB\xBF\xEF\xBB\xBFx"));
  EXPECT_EQ(L"", DecodeUtf8Line("\xEF\xBB\xBF"));
  EXPECT_EQ(L"a\uFEFF", DecodeUtf8Line("a\xEF\xBB\xBF"));
}

TEST(DecodeUtf8Line, MalformedOrCutLinesDecodeToEmpty) {
  const char* const lines[] = {
      "abc\xD0",   // cut two-byte sequence
      "\xE2\x82",  // cut three-byte sequence
      "\xD0"
      "A",                       // continuation outside 0x80..0xBF
      "\xC0\xC1",                // an 8-bit Cyrillic letter followed by another
      "\xF0\xE8\xE2\xE5\xF2",    // "привет" in Windows-1251
      "\xF0\x9F\x98\x80",        // four bytes: the fourth starts a cut sequence
      "\xF0\x9F\x98\x80 smile",  // ... followed by ASCII
  };
  for (const char* line : lines) EXPECT_EQ(L"", DecodeUtf8Line(line)) << line;
}

struct TUnitsCase {
  const char* bytes;
  std::wstring units;
};

TEST(DecodeUtf8Line, LeadBytesAloneDecideTheLength) {
  // Bit 0x20 of a lead byte from 0x80 on: clear, two bytes (lead & 0x1F) << 6 | c & 0x3F;
  // set, three bytes (lead & 0x0F) << 12 | (c1 & 0x3F) << 6 | c2 & 0x3F. No value is
  // refused: overlong forms and surrogates are taken by the same arithmetic.
  auto units = [](std::initializer_list<unsigned> values) {
    std::wstring text;
    for (unsigned value : values) text.push_back(static_cast<wchar_t>(value));
    return text;
  };
  const TUnitsCase cases[] = {
      {"\x81\xBF", units({0x007F})},  // 0x01 << 6 | 0x3F
      {"\x9F\x80", units({0x07C0})},
      {"\xAF\xBF\xBF", units({0xFFFF})},
      {"\xA1\x80\x80", units({0x1000})},
      {"\xC1\x81", units({0x0041})},      // overlong "A"
      {"\xE0\x80\x80", units({0x0000})},  // overlong NUL
      {"\xED\xA0\x80", units({0xD800})},  // a lone surrogate
      {"\xFF\xBF\xBF", units({0xFFFF})},
      // A four-byte sequence whose fourth byte finds a continuation: F0 9F 98 is
      // 0x1F << 6 | 0x18, then 80 80 is 0.
      {"\xF0\x9F\x98\x80\x80", units({0x07D8, 0x0000})},
  };
  for (const TUnitsCase& c : cases) {
    EXPECT_EQ(c.units, DecodeUtf8Line(c.bytes)) << testing::PrintToString(std::string(c.bytes));
  }
}

TEST(LanguagePack, KeyLinesReplaceTexts) {
  TMessageTexts texts;
  int n = 0;
  for (const char* line :
       {"Deutsch", " ACTION = Gerät wird in %second% s %action% ; note",
        "Suspend=in den Ruhezustand versetzt", "unknown=x", "cancel=", "wait", "recovery=a=b"}) {
    LoadLanguageLine(texts, n++, line);
  }
  EXPECT_EQ(L"Ger\u00E4t wird in %second% s %action%", texts.action);
  EXPECT_EQ(L"in den Ruhezustand versetzt", texts.suspend);
  EXPECT_EQ(L"Use move on the screen to cancel...", texts.cancel);  // empty text ignored
  EXPECT_EQ(L"Please wait...", texts.wait);
  EXPECT_EQ(L"a=b", texts.recovery);
  EXPECT_EQ(L"turned off", texts.off);
}

TEST(LanguagePack, TextLengthLimits) {
  TMessageTexts texts;
  LoadLanguageLine(texts, 1, "off=" + std::string(256, 'x'));
  EXPECT_EQ(std::wstring(256, L'x'), texts.off);
  LoadLanguageLine(texts, 2, "off=" + std::string(257, 'y'));
  EXPECT_EQ(std::wstring(256, L'x'), texts.off);
  // Units are counted after decoding: 256 two-byte letters are 256 units.
  std::string cyrillic;
  for (int i = 0; i < 256; ++i) cyrillic += "\xD0\x96";
  LoadLanguageLine(texts, 3, "reset=" + cyrillic);
  EXPECT_EQ(std::wstring(256, L'\u0416'), texts.reset);
}

TEST(LanguagePack, MalformedLinesChangeNothing) {
  TMessageTexts texts;
  LoadLanguageLine(texts, 1, "cancel=\xCE\xF2\xEC\xE5\xED\xE0");  // Windows-1251, not UTF-8
  LoadLanguageLine(texts, 2,
                   "\xEF\xBB\xBF"
                   "wait=Bitte warten...");
  EXPECT_EQ(L"Use move on the screen to cancel...", texts.cancel);
  EXPECT_EQ(L"Bitte warten...", texts.wait);
}

TEST(Placeholders, ActionThenSeconds) {
  TMessageTexts texts;
  std::wstring action = texts.action;
  ReplaceFirst(&action, kActionPlaceholder, ActionWordOf(texts, POWER_STATE_SUSPEND));
  EXPECT_EQ(L"Device will be suspended after 10 second", CountdownLine(action, 10));
  EXPECT_EQ(L"Device will be suspended after %second% second", action);
  EXPECT_EQ(L"turned off", ActionWordOf(texts, POWER_STATE_OFF));
  EXPECT_EQ(L"restarted", ActionWordOf(texts, POWER_STATE_RESET));
  EXPECT_EQ(L"3: %second%", CountdownLine(L"%second%: %second%", 3));
  EXPECT_EQ(L"no placeholder", CountdownLine(L"no placeholder", 3));
}

// A pack line longer than the line cut sets nothing, although its first 64 KiB
// would read as a text.
TEST(LanguagePack, ALineLongerThanTheCutSetsNothing) {
  TempFolder folder;
  std::wstring path = folder.Write(
      L"deutsch.lng", "Deutsch\nwait=Bitte warten" + std::string(70000, ' ') + "...\noff=aus");
  TMessageTexts texts;
  ASSERT_TRUE(ReadTextLines(
      path, [&texts](int n, const std::string& line) { LoadLanguageLine(texts, n, line); }));
  EXPECT_EQ(L"Please wait...", texts.wait);
  EXPECT_EQ(L"aus", texts.off);
}

}  // namespace
