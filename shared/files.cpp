#include "shared/files.h"

#include <algorithm>

#include "shared/paths.h"

namespace {

// Paths reach the file layer as ANSI text of at most this many characters.
const size_t kMaxAnsiPath = 255;

bool ToAnsiPath(const std::wstring& path, std::string* ansi) {
  return !path.empty() && ToAnsiText(path, ansi) && ansi->size() <= kMaxAnsiPath;
}

// Reads the whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::wstring& path, std::string* bytes, bool* opened) {
  *opened = false;
  std::string ansi;
  if (!IsFile(path) || !ToAnsiPath(path, &ansi)) return false;
  HANDLE file = CreateFileA(ansi.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  *opened = true;
  bool ok = true;
  char buffer[65536];
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file, buffer, sizeof buffer, &read, nullptr)) {
      ok = false;
      break;
    }
    if (read == 0) break;
    bytes->append(buffer, read);
  }
  CloseHandle(file);
  return ok;
}

bool WriteAll(HANDLE file, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) return false;
    done += written;
  }
  return true;
}

}  // namespace

bool ToAnsiText(const std::wstring& text, std::string* ansi) {
  ansi->clear();
  if (text.empty()) return true;
  BOOL usedDefault = FALSE;
  int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(),
                                 static_cast<int>(text.size()), nullptr, 0, nullptr, &usedDefault);
  if (size <= 0 || usedDefault) return false;
  ansi->resize(size);
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()),
                      &(*ansi)[0], size, nullptr, &usedDefault);
  return !usedDefault;
}

std::string ToAnsiTextLossy(const std::wstring& text) {
  if (text.empty()) return std::string();
  int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string ansi(size > 0 ? size : 0, '\0');
  if (size > 0) {
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &ansi[0], size,
                        nullptr, nullptr);
  }
  return ansi;
}

bool IsFile(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsDirectory(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ReadTextLines(const std::wstring& path, const TLineHandler& handler) {
  if (!handler) return false;
  std::string bytes;
  bool opened = false;
  bool complete = ReadWholeFile(path, &bytes, &opened);
  // Lines read before an error stay handed over.
  if (opened) SplitTextLines(bytes.data(), bytes.size(), handler);
  return complete;
}

bool ReadFirstLine(const std::wstring& path, std::string* line) {
  std::string bytes;
  bool opened = false;
  ReadWholeFile(path, &bytes, &opened);
  if (!opened) return false;
  line->clear();
  SplitTextLines(bytes.data(), bytes.size(),
                 [line](int, const std::string& first) { *line = first; }, true);
  return true;
}

bool WriteTextFile(const std::wstring& path, const std::string& bytes) {
  std::string target;
  if (!IsDirectory(ParentDirectory(path)) || !ToAnsiPath(path, &target)) return false;
  // A read-only file is not ours to replace (the desktop's rename would do it anyway).
  DWORD attributes = GetFileAttributesA(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return false;
  // Write a temporary file beside the target and replace the target with it in one
  // step, so that an interrupted save never leaves a half-written settings file.
  std::string folder = target.substr(0, target.rfind('\\'));
  char temporary[MAX_PATH];
  if (!GetTempFileNameA(folder.c_str(), "vxt", 0, temporary)) return false;
  HANDLE file = CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  bool ok = file != INVALID_HANDLE_VALUE;
  if (ok) {
    ok = WriteAll(file, bytes) && FlushFileBuffers(file);
    CloseHandle(file);
  }
  ok = ok && MoveFileExA(temporary, target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!ok) DeleteFileA(temporary);
  return ok;
}

bool ListDirectory(const std::wstring& folder, TExplorerObjectList* folders,
                   TExplorerObjectList* files) {
  folders->clear();
  files->clear();
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW((folder + L"\\*.*").c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return false;
  do {
    // Names pass through the ANSI code page, as every file name of this system does.
    std::string ansi = ToAnsiTextLossy(data.cFileName);
    std::wstring name;
    int size = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    if (size > 0) {
      name.resize(size);
      MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &name[0], size);
    }
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (name != L"." && name != L"..") folders->push_back({name, data.dwFileAttributes});
    } else {
      files->push_back({name, data.dwFileAttributes});
    }
  } while (FindNextFileW(search, &data));
  FindClose(search);
  return true;
}
