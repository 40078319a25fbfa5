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

// Whether a file name survives the trip through lng_file: saved by the settings
// application and read back by the monitor as the same name.
bool FitsLngFile(const std::wstring& fileName);

// Empties the list, then appends every "*.lng" file of folder (extension in any
// ASCII case) whose first line decodes to 1 to 64 UTF-16 units, in listing order.
// A file whose name lng_file cannot hold is left out: the monitor would never
// find the pack it names.
void DiscoverLanguagePacks(const std::wstring& folder, TLanguageObjectList* list);

// The index of the first entry whose file name equals fileName with ASCII
// letters folded; -1 when none does.
int FindLanguagePack(const TLanguageObjectList& list, const std::wstring& fileName);
