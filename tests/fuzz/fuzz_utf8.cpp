// The language pack's UTF-8 line decoder against the model of its rules
// (reference.h), and on well-formed text against a strict decoder as well.
#include "shared/language.h"
#include "tests/fuzz/fuzz_common.h"
#include "tests/fuzz/reference.h"

namespace {

// Strict UTF-8 up to U+FFFF: shortest forms only, no surrogates. False for
// anything else (including four-byte sequences).
bool StrictDecode(const std::string& bytes, std::wstring* text) {
  size_t i = 0;
  while (i < bytes.size()) {
    unsigned char b0 = static_cast<unsigned char>(bytes[i]);
    if (b0 < 0x80) {
      text->push_back(b0);
      i += 1;
    } else if (b0 >= 0xC2 && b0 <= 0xDF) {
      if (i + 1 >= bytes.size()) return false;
      unsigned char b1 = static_cast<unsigned char>(bytes[i + 1]);
      if ((b1 & 0xC0) != 0x80) return false;
      text->push_back(static_cast<wchar_t>(((b0 & 0x1F) << 6) | (b1 & 0x3F)));
      i += 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
      if (i + 2 >= bytes.size()) return false;
      unsigned char b1 = static_cast<unsigned char>(bytes[i + 1]);
      unsigned char b2 = static_cast<unsigned char>(bytes[i + 2]);
      if ((b1 & 0xC0) != 0x80 || (b2 & 0xC0) != 0x80) return false;
      unsigned cp = ((b0 & 0x0F) << 12) | ((b1 & 0x3F) << 6) | (b2 & 0x3F);
      if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
      text->push_back(static_cast<wchar_t>(cp));
      i += 3;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string line(reinterpret_cast<const char*>(data), size);
  std::wstring decoded = DecodeUtf8Line(line);
  FUZZ_CHECK(decoded == reference::DecodeUtf8Line(line));

  // Well-formed UTF-8 up to U+FFFF reads as any decoder reads it.
  std::wstring expected;
  if (StrictDecode(line, &expected)) {
    if (!expected.empty() && expected[0] == 0xFEFF) expected.erase(0, 1);
    FUZZ_CHECK(decoded == expected);
  }

  // A pack line never leaves a text empty, over 256 units, or holding a ";".
  TMessageTexts texts;
  LoadLanguageLine(texts, 1, line);
  for (const std::wstring* t : {&texts.suspend, &texts.off, &texts.reset, &texts.action,
                                &texts.cancel, &texts.recovery, &texts.wait}) {
    FUZZ_CHECK(!t->empty() && t->size() <= 256);
    FUZZ_CHECK(t->find(L';') == std::wstring::npos);
  }
  return 0;
}
