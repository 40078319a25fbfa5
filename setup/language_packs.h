// The language packs beside the settings application.
#pragma once

#include <string>
#include <vector>

// One pack found.
struct TLanguageObject {
  std::wstring displayName;  // the trimmed first line
  std::wstring fileName;     // without folder, as the directory listing gives it
};
using TLanguageObjectList = std::vector<TLanguageObject>;

// Empties the list, then appends every "*.lng" file of folder (extension in any
// ASCII case) whose first line decodes to 1 to 64 UTF-16 units, in listing order.
void DiscoverLanguagePacks(const std::wstring& folder, TLanguageObjectList* list);

// The index of the first entry whose file name equals fileName with ASCII
// letters folded; -1 when none does.
int FindLanguagePack(const TLanguageObjectList& list, const std::wstring& fileName);
