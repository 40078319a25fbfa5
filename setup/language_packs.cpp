#include "setup/language_packs.h"

#include <algorithm>

#include "shared/files.h"
#include "shared/language.h"
#include "shared/paths.h"
#include "shared/settings.h"
#include "shared/text.h"

bool FitsLngFile(const std::wstring& fileName) {
  // What the monitor reads back: the name written in the ANSI code page, decoded
  // through the fixed table, cut at ";" and trimmed, 1 to 16 characters. A
  // control character (a line end or a Ctrl-Z, which a Unix folder allows)
  // would end the line or the whole settings file early.
  std::string ansi;
  return IsLengthInRange(fileName, 1, 16) && fileName.find(L';') == std::wstring::npos &&
         std::none_of(fileName.begin(), fileName.end(), [](wchar_t c) { return c < 0x20; }) &&
         TrimBlanks(fileName) == fileName && ToAnsiText(fileName, &ansi) &&
         DecodeCyrillic8Bit(ansi) == fileName;
}

void DiscoverLanguagePacks(const std::wstring& folder, TLanguageObjectList* list) {
  list->clear();
  TExplorerObjectList folders, files;
  if (!ListDirectory(folder, &folders, &files)) return;
  for (const TExplorerObject& file : files) {
    if (FoldAsciiLower(FileExtension(file.name)) != L"lng" || !FitsLngFile(file.name)) continue;
    std::string firstLine;
    if (!ReadFirstLine(folder + L"\\" + file.name, &firstLine)) continue;
    std::wstring name = DecodeUtf8Line(firstLine);
    // Counted before trimming: the file's own line must fit.
    if (!IsLengthInRange(name, 1, 64)) continue;
    list->push_back(TLanguageObject{TrimBlanks(name), file.name});
  }
}

int FindLanguagePack(const TLanguageObjectList& list, const std::wstring& fileName) {
  const std::wstring key = FoldAsciiLower(fileName);
  for (size_t i = 0; i < list.size(); ++i) {
    if (FoldAsciiLower(list[i].fileName) == key) return static_cast<int>(i);
  }
  return -1;
}
