// The integer syntax and the value checks built on it, against the reference
// parser written from the syntax's rules (reference.h).
#include "shared/text.h"
#include "tests/fuzz/fuzz_common.h"
#include "tests/fuzz/reference.h"

namespace {

void CheckText(const std::wstring& text) {
  int32_t expected = 0;
  bool expectNumber = reference::ParseInteger(text, &expected);
  int32_t value = 12345;
  bool isNumber = ParseIntegerText(text, &value);
  FUZZ_CHECK(isNumber == expectNumber);
  FUZZ_CHECK(isNumber ? value == expected : value == 12345);
  FUZZ_CHECK(TextToInt(text) == (expectNumber ? expected : 0));
  FUZZ_CHECK(TextToBool(text) == (expectNumber && expected != 0));
  auto between = [&](int64_t low, int64_t high) {
    return expectNumber && expected >= low && expected <= high;
  };
  FUZZ_CHECK(IsByteText(text) == between(0, 255));
  FUZZ_CHECK(IsWordText(text) == between(0, 65535));
  FUZZ_CHECK(IsColorText(text) == between(0, 2147483647));
  FUZZ_CHECK(IsBoolText(text) == between(0, 1));
  FUZZ_CHECK(IsIntInRange(text, -300, 300) == between(-300, 300));
  if (!expectNumber) return;
  // The plain decimal form reads back to the same value.
  int32_t again = 1;
  FUZZ_CHECK(ParseIntegerText(IntToText(expected), &again) && again == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CheckText(WidenBytes(data, size));
  CheckText(UnitsOf(data, size));
  return 0;
}
