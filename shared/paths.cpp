#include "shared/paths.h"

std::wstring StripTrailingBackslashes(const std::wstring& path) {
  size_t end = path.size();
  while (end > 0 && path[end - 1] == L'\\') --end;
  return path.substr(0, end);
}

std::wstring ParentDirectory(const std::wstring& path) {
  size_t slash = path.rfind(L'\\');
  if (slash == std::wstring::npos) return path;
  return StripTrailingBackslashes(path.substr(0, slash));
}

std::wstring FileExtension(const std::wstring& fileName) {
  size_t dot = fileName.rfind(L'.');
  if (dot == std::wstring::npos) return std::wstring();
  return fileName.substr(dot + 1);
}
