// The integer syntax and the value checks built on it.
#include "tests/fuzz/fuzz_common.h"
#include "shared/text.h"

namespace {

void CheckText(const std::wstring& text) {
  int32_t value = 0;
  bool isNumber = ParseIntegerText(text, &value);
  FUZZ_CHECK(TextToInt(text) == (isNumber ? value : 0));
  FUZZ_CHECK(IsByteText(text) == (isNumber && value >= 0 && value <= 255));
  FUZZ_CHECK(IsWordText(text) == (isNumber && value >= 0 && value <= 65535));
  FUZZ_CHECK(IsColorText(text) == (isNumber && value >= 0));
  FUZZ_CHECK(IsBoolText(text) == (isNumber && (value == 0 || value == 1)));
  if (!isNumber) return;
  // The plain decimal form reads back to the same value.
  int32_t again = 1;
  FUZZ_CHECK(ParseIntegerText(IntToText(value), &again) && again == value);
  // Only ASCII can make a number.
  for (wchar_t c : text) FUZZ_CHECK(c < 0x80);
  FUZZ_CHECK(text.size() < 256);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CheckText(WidenBytes(data, size));
  CheckText(UnitsOf(data, size));
  return 0;
}
