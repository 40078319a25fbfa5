#include "shared/files.h"

#include <algorithm>
#include <cstdint>

#include "platform/ce/ce_files.h"
#include "shared/paths.h"
#include "shared/ticks.h"

namespace {

// The file layer takes paths of at most this many characters of the ANSI code
// page (the files are opened by their wide names, as the device has only the
// wide calls; a path that the code page holds names the same file either way).
const size_t kMaxAnsiPath = 255;

bool IsFileLayerPath(const std::wstring& path) {
  std::string ansi;
  return !path.empty() && ToAnsiText(path, &ansi) && ansi.size() <= kMaxAnsiPath;
}

// Opens a text file for reading. Readers share it every way, the other program
// may want to replace it while this one reads (see ReplaceWith).
HANDLE OpenForReading(const std::wstring& path) {
  if (!IsFile(path) || !IsFileLayerPath(path)) return INVALID_HANDLE_VALUE;
  return CreateFileW(path.c_str(), GENERIC_READ,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

// Feeds the file to split piece by piece, so that memory stays bounded whatever
// its size, until its end or the end of the text. False on a read error (the
// lines handed on by then stay handed on).
bool StreamLines(HANDLE file, TLineSplit& split, const TLineHandler& handler) {
  // The first line alone is usually short: no need for a large piece.
  std::string buffer(split.firstLineOnly ? 4096 : 1 << 20, '\0');
  bool ok = true;
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file, &buffer[0], static_cast<DWORD>(buffer.size()), &read, nullptr)) {
      ok = false;
      break;
    }
    if (read == 0 || !FeedTextLines(split, buffer.data(), read, handler)) break;
  }
  FinishTextLines(split, handler);
  return ok;
}

bool WriteAll(HANDLE file, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0)
      return false;
    done += written;
  }
  return true;
}

}  // namespace

bool ToAnsiText(const std::wstring& text, std::string* ansi) {
  return ToExactCodePageText(text, GetACP(), ansi);
}

bool ToExactCodePageText(const std::wstring& text, UINT codePage, std::string* bytes) {
  bytes->clear();
  if (text.empty()) return true;
  // UTF-8 holds every character, and refuses the best-fit flag and the
  // default-character argument (a system whose ANSI code page it is would fail
  // every path): there only a lone surrogate does not fit, which fails the call.
  bool utf8 = codePage == CP_UTF8;
  DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  LPBOOL used = utf8 ? nullptr : &usedDefault;
  const int length = static_cast<int>(text.size());
  int size = WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, nullptr, used);
  if (size <= 0 || usedDefault) return false;
  bytes->resize(size);
  WideCharToMultiByte(codePage, flags, text.data(), length, &(*bytes)[0], size, nullptr, used);
  return !usedDefault;
}

std::string ToCodePageText(const std::wstring& text, UINT codePage) {
  int size = text.empty()
                 ? 0
                 : WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string bytes(size > 0 ? size : 0, '\0');
  if (size > 0) {
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), &bytes[0], size,
                        nullptr, nullptr);
  }
  return bytes;
}

std::string ToAnsiTextLossy(const std::wstring& text) { return ToCodePageText(text, CP_ACP); }

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
  HANDLE file = OpenForReading(path);
  if (file == INVALID_HANDLE_VALUE) return false;
  TLineSplit split;
  bool complete = StreamLines(file, split, handler);
  CloseHandle(file);
  return complete;
}

bool ReadFirstLine(const std::wstring& path, std::string* line) {
  HANDLE file = OpenForReading(path);
  if (file == INVALID_HANDLE_VALUE) return false;
  line->clear();
  TLineSplit split;
  split.firstLineOnly = true;
  StreamLines(file, split, [line](int, const std::string& first) { *line = first; });
  CloseHandle(file);
  return true;
}

namespace {

// A save writes "<target>~<digit>" and renames it over the target. The name
// comes from the target's own path, two characters longer, so that every path
// the file layer takes has room for it (GetTempFileName refuses folders of
// more than 246 characters).
const int kTemporaryNames = 10;

std::wstring TemporaryName(const std::wstring& target, int n) {
  return target + L"~" + static_cast<wchar_t>(L'0' + n);
}

// Removes what an interrupted save left behind (in the save's turn: no other
// save is under way).
void RemoveLeftoverTemporaries(const std::wstring& target) {
  for (int n = 0; n < kTemporaryNames; ++n) DeleteFileW(TemporaryName(target, n).c_str());
}

// A new temporary file of the target's naming, open for writing; its name in
// *name. INVALID_HANDLE_VALUE when none can be made.
HANDLE CreateTemporary(const std::wstring& target, std::wstring* name) {
  for (int n = 0; n < kTemporaryNames; ++n) {
    *name = TemporaryName(target, n);
    HANDLE file = CreateFileW(name->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  return INVALID_HANDLE_VALUE;
}

// Saves of one target take turns, in this process and in any other: a save's
// temporary file is closed while the save waits for a reader to let go, and
// another save's removal of leftovers would take it away meanwhile. A save
// that was killed leaves its turn abandoned, which the next one takes.
class SaveTurn {
 public:
  explicit SaveTurn(const std::wstring& target) {
    // A kernel object name has no backslashes: the name is a hash of the path's
    // ANSI text (FNV-1a, ASCII letters folded, as the file system folds them).
    std::string ansi;
    ToAnsiText(target, &ansi);
    uint64_t hash = 14695981039346656037ull;
    for (char c : ansi) {
      unsigned char unit = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
      hash = (hash ^ unit) * 1099511628211ull;
    }
    std::wstring name = L"vorlix-save-";
    for (int shift = 60; shift >= 0; shift -= 4) name += L"0123456789abcdef"[(hash >> shift) & 15];
    mutex_ = CreateMutexW(nullptr, FALSE, name.c_str());
    if (!mutex_) return;
    // Another save takes its patience for a reader and its writing at most.
    DWORD wait = WaitForSingleObject(mutex_, 5000);
    held_ = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
  }
  ~SaveTurn() {
    if (held_) ReleaseMutex(mutex_);
    if (mutex_) CloseHandle(mutex_);
  }
  SaveTurn(const SaveTurn&) = delete;
  SaveTurn& operator=(const SaveTurn&) = delete;

  bool held() const { return held_; }

 private:
  HANDLE mutex_ = nullptr;
  bool held_ = false;
};

// Renames the temporary file over the target, in one step when the target is
// there (the device's DeleteAndRenameFile). The rename is refused while another
// program has the target open, even for reading with every sharing (only POSIX
// rename semantics would allow it, which neither the device nor Wine has); the
// other program reads it whole and closes it again, so try for a while.
bool ReplaceWith(const std::wstring& temporary, const std::wstring& target) {
  const int32_t kPatience = 2000;  // ms; reading even a 50 MB file takes less
  uint32_t giveUp = TickNow() + kPatience;
  for (;;) {
    BOOL moved = GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES
                     ? MoveFileW(temporary.c_str(), target.c_str())
                     : DeleteAndRenameFile(target.c_str(), temporary.c_str());
    if (moved) return true;
    DWORD error = GetLastError();
    if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) ||
        TicksUntil(giveUp, TickNow()) <= 0) {
      return false;
    }
    Sleep(20);
  }
}

}  // namespace

bool WriteTextFile(const std::wstring& path, const std::string& bytes) {
  const std::wstring& target = path;
  if (!IsDirectory(ParentDirectory(path)) || !IsFileLayerPath(path)) return false;
  // A read-only file is not ours to replace (the desktop's rename would do it
  // anyway), nor is a folder in the file's place.
  DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
    return false;
  }
  // Write a temporary file beside the target and replace the target with it in one
  // step, so that an interrupted save never leaves a half-written settings file.
  SaveTurn turn(target);
  if (!turn.held()) return false;
  RemoveLeftoverTemporaries(target);
  std::wstring temporary;
  HANDLE file = CreateTemporary(target, &temporary);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = WriteAll(file, bytes) && FlushFileBuffers(file);
  CloseHandle(file);
  ok = ok && ReplaceWith(temporary, target);
  if (!ok) DeleteFileW(temporary.c_str());
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
    int size =
        MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
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
