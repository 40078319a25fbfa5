#include "shared/text.h"

#include <gtest/gtest.h>

namespace {

struct TParseCase {
  const wchar_t* text;
  bool isNumber;
  int32_t value;
};

const TParseCase kParseCases[] = {
    {L"0", true, 0},
    {L"42", true, 42},
    {L"010", true, 10},  // leading zeros are not octal
    {L"$1E", true, 30},
    {L"0x1E", true, 30},
    {L"0X1e", true, 30},
    {L"x1E", true, 30},
    {L"X1E", true, 30},
    {L"%101", true, 5},
    {L"&17", true, 15},
    {L"  \t+7", true, 7},
    {L"-5", true, -5},
    {L"-$10", true, -16},
    {L"2147483647", true, 2147483647},
    {L"-2147483648", true, INT32_MIN},
    {L"$FFFFFFFF", true, -1},  // two's complement outside base ten
    {L"$80000000", true, INT32_MIN},
    {L"%11111111111111111111111111111111", true, -1},
    {L"-$FFFFFFFF", true, 1},
    {L"000000000000000000000000000000000000000012", true, 12},
    {L"", false, 0},
    {L"  ", false, 0},
    {L"-", false, 0},
    {L"$", false, 0},
    {L"0x", false, 0},
    {L"12a", false, 0},
    {L"1 ", false, 0},  // trailing blanks are not skipped
    {L"+-1", false, 0},
    {L"2147483648", false, 0},
    {L"-2147483649", false, 0},
    {L"$100000000", false, 0},
    {L"%2", false, 0},
    {L"&8", false, 0},
    {L"1.5", false, 0},
    {L"\x0661", false, 0},    // a non-ASCII digit is no digit
    {L"\u00A012", false, 0},  // nor is a non-ASCII space a blank
};

TEST(IntegerSyntax, ParsesEveryFormAndRejectsTheRest) {
  for (const TParseCase& c : kParseCases) {
    int32_t value = 12345;
    EXPECT_EQ(c.isNumber, ParseIntegerText(c.text, &value))
        << "text: \"" << testing::PrintToString(std::wstring(c.text)) << "\"";
    if (c.isNumber) {
      EXPECT_EQ(c.value, value) << testing::PrintToString(std::wstring(c.text));
      EXPECT_EQ(c.value, TextToInt(c.text));
    } else {
      EXPECT_EQ(12345, value) << "a failed parse must not touch the value";
      EXPECT_EQ(0, TextToInt(c.text));
    }
  }
}

TEST(IntegerSyntax, TextsOf256CharactersAreNotNumbers) {
  std::wstring digits255 = std::wstring(254, L'0') + L"7";
  EXPECT_EQ(7, TextToInt(digits255));
  EXPECT_EQ(0, TextToInt(L"0" + digits255));
}

TEST(IntegerSyntax, TextToBool) {
  EXPECT_TRUE(TextToBool(L"1"));
  EXPECT_TRUE(TextToBool(L"-1"));
  EXPECT_FALSE(TextToBool(L"0"));
  EXPECT_FALSE(TextToBool(L"yes"));
}

TEST(ValueChecks, AcceptExactlyTheirRanges) {
  EXPECT_TRUE(IsByteText(L"0"));
  EXPECT_TRUE(IsByteText(L"255"));
  EXPECT_FALSE(IsByteText(L"256"));
  EXPECT_FALSE(IsByteText(L"-1"));
  EXPECT_FALSE(IsByteText(L"12a"));
  EXPECT_FALSE(IsByteText(L"2147483648"));
  EXPECT_FALSE(IsByteText(L""));
  EXPECT_TRUE(IsByteText(L"$FF"));

  EXPECT_TRUE(IsWordText(L"65535"));
  EXPECT_FALSE(IsWordText(L"65536"));

  EXPECT_TRUE(IsColorText(L"16777215"));
  EXPECT_TRUE(IsColorText(L"2147483647"));
  EXPECT_FALSE(IsColorText(L"2147483648"));
  EXPECT_FALSE(IsColorText(L"$80000000"));  // negative as a 32-bit value
  EXPECT_FALSE(IsColorText(L"$FFFFFFFF"));

  EXPECT_TRUE(IsBoolText(L"0"));
  EXPECT_TRUE(IsBoolText(L"1"));
  EXPECT_FALSE(IsBoolText(L"2"));
  EXPECT_FALSE(IsBoolText(L"-1"));

  EXPECT_TRUE(IsIntInRange(L"6", 6, 72));
  EXPECT_TRUE(IsIntInRange(L"72", 6, 72));
  EXPECT_FALSE(IsIntInRange(L"5", 6, 72));
  EXPECT_FALSE(IsIntInRange(L"73", 6, 72));
  EXPECT_TRUE(IsIntInRange(L"-3", -5, 5));

  EXPECT_FALSE(IsCardinalInRange(L"4000000000", 0, 4294967295u));  // beyond the decimal limit
  EXPECT_TRUE(IsCardinalInRange(L"$7FFFFFFF", 0, 4294967295u));
}

TEST(ValueChecks, LengthCountsUtf16Units) {
  EXPECT_FALSE(IsLengthInRange(L"", 1, 16));
  EXPECT_TRUE(IsLengthInRange(L"a", 1, 16));
  EXPECT_TRUE(IsLengthInRange(std::wstring(16, L'x'), 1, 16));
  EXPECT_FALSE(IsLengthInRange(std::wstring(17, L'x'), 1, 16));
}

TEST(Words, HiAndLo) {
  EXPECT_EQ(0x1234, HiWordOf(0x12345678u));
  EXPECT_EQ(0x5678, LoWordOf(0x12345678u));
  EXPECT_EQ(0xFFFF, HiWordOf(0xFFFF0000u));
}

TEST(Trimming, RemovesControlCharactersAndSpacesOnly) {
  EXPECT_EQ(L"", TrimBlanks(L" \t \t "));
  EXPECT_EQ(L"a b", TrimBlanks(L"\x01 a b\r\n"));
  EXPECT_EQ(L"a ", TrimLeftBlanks(L"  a "));
  EXPECT_EQ(L"  a", TrimRightBlanks(L"  a \x1F"));
  EXPECT_EQ(L"\u00A0a", TrimBlanks(L" \u00A0a"));  // U+00A0 is above U+0020
  EXPECT_EQ(L"x", TrimBlanks(std::wstring(L"\0x\0", 3)));
}

TEST(ReplaceFirst, ReplacesOnlyTheFirstOccurrence) {
  std::wstring text = L"%action% and %action%";
  ReplaceFirst(&text, L"%action%", L"%action%!");
  EXPECT_EQ(L"%action%! and %action%", text);

  const std::wstring original = L"a %second% b";
  EXPECT_EQ(L"a 10 b", ReplaceFirst(original, L"%second%", L"10"));
  EXPECT_EQ(L"a %second% b", original);
  EXPECT_EQ(L"none", ReplaceFirst(std::wstring(L"none"), L"%x%", L"y"));
  EXPECT_EQ(L"a %SECOND% b", ReplaceFirst(std::wstring(L"a %SECOND% b"), L"%second%", L"1"));
}

TEST(IntToText, PlainDecimal) {
  EXPECT_EQ(L"0", IntToText(0));
  EXPECT_EQ(L"255", IntToText(255));
  EXPECT_EQ(L"-2147483648", IntToText(INT32_MIN));
}

TEST(SplitKeyValue, Rules) {
  std::wstring key, value;
  EXPECT_FALSE(SplitKeyValue(L"[View]", &key, &value));
  EXPECT_FALSE(SplitKeyValue(L"a;=b", &key, &value));  // the "=" is inside the comment
  ASSERT_TRUE(SplitKeyValue(L" \tKey_\u0412 = va = lue ;x", &key, &value));
  EXPECT_EQ(L"key_\u0412", key);  // only A to Z fold
  EXPECT_EQ(L"va = lue", value);
  EXPECT_EQ(L"abc", StripComment(L"abc;def;g"));
}

}  // namespace
