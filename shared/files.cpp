#include "shared/files.h"

#include <algorithm>
#include <cstdint>

#include "platform/ce/ce_files.h"
#include "shared/paths.h"
#include "shared/text.h"
#include "shared/ticks.h"

namespace {

// The file layer takes paths of at most this many characters of the ANSI code
// page (the files are opened by their wide names, as the device has only the
// wide calls; a path that the code page holds names the same file either way).
const size_t kMaxAnsiPath = 255;

// Why the file layer does not take the path; ERROR_SUCCESS when it does.
DWORD PathError(const std::wstring& path) {
  std::string ansi;
  if (path.empty()) return ERROR_PATH_NOT_FOUND;
  if (!ToAnsiText(path, &ansi)) return ERROR_NO_UNICODE_TRANSLATION;
  return ansi.size() <= kMaxAnsiPath ? ERROR_SUCCESS : ERROR_FILENAME_EXCED_RANGE;
}

bool IsFileLayerPath(const std::wstring& path) { return PathError(path) == ERROR_SUCCESS; }

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
  // Pieces of 64 KiB: a handheld has little memory to spare, and the splitter
  // joins a line across pieces. The first line alone is usually short.
  std::string buffer(split.firstLineOnly ? 4096 : 64 * 1024, '\0');
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

// The bytes written at the file pointer; the error that stopped them otherwise.
DWORD WriteBytes(HANDLE file, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr)) return GetLastError();
    if (written == 0) return ERROR_WRITE_FAULT;
    done += written;
  }
  return ERROR_SUCCESS;
}

// The bytes written and on the disk; the error that stopped them otherwise.
DWORD WriteAll(HANDLE file, const std::string& bytes) {
  DWORD error = WriteBytes(file, bytes);
  if (error != ERROR_SUCCESS) return error;
  return FlushFileBuffers(file) ? ERROR_SUCCESS : GetLastError();
}

// Moves the file pointer; the error when it cannot.
DWORD SeekTo(HANDLE file, uint64_t offset, DWORD origin) {
  LONG high = static_cast<LONG>(offset >> 32);
  SetLastError(ERROR_SUCCESS);
  DWORD low = SetFilePointer(file, static_cast<LONG>(offset & 0xFFFFFFFFu), &high, origin);
  return low == INVALID_SET_FILE_POINTER ? GetLastError() : ERROR_SUCCESS;
}

// Up to count bytes from offset on (fewer at the file's end).
DWORD ReadAt(HANDLE file, uint64_t offset, size_t count, std::string* bytes) {
  bytes->clear();
  DWORD error = SeekTo(file, offset, FILE_BEGIN);
  if (error != ERROR_SUCCESS) return error;
  bytes->resize(count);
  size_t done = 0;
  while (done < count) {
    DWORD read = 0;
    if (!ReadFile(file, &(*bytes)[done], static_cast<DWORD>(count - done), &read, nullptr)) {
      return GetLastError();
    }
    if (read == 0) break;
    done += read;
  }
  bytes->resize(done);
  return ERROR_SUCCESS;
}

// AppendToBoundedFile on the open file.
DWORD AppendBounded(HANDLE file, const std::string& bytes, size_t limit, size_t keep) {
  DWORD high = 0;
  SetLastError(ERROR_SUCCESS);
  DWORD low = GetFileSize(file, &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS) return GetLastError();
  uint64_t size = (static_cast<uint64_t>(high) << 32) | low;
  if (size + bytes.size() <= limit) {
    DWORD error = SeekTo(file, 0, FILE_END);
    return error == ERROR_SUCCESS ? WriteAll(file, bytes) : error;
  }
  // The newest keep bytes and the one before them, which tells whether they
  // begin with a whole line.
  size_t tail = size > keep ? keep + 1 : static_cast<size_t>(size);
  std::string text;
  DWORD error = ReadAt(file, size - tail, tail, &text);
  if (error != ERROR_SUCCESS) return error;
  text.erase(0, NewestLinesStart(text, keep));
  text += bytes;
  if (text.size() > limit) text.erase(0, NewestLinesStart(text, keep));
  error = SeekTo(file, 0, FILE_BEGIN);
  if (error == ERROR_SUCCESS) error = WriteBytes(file, text);
  if (error == ERROR_SUCCESS && !SetEndOfFile(file)) error = GetLastError();
  if (error == ERROR_SUCCESS && !FlushFileBuffers(file)) error = GetLastError();
  return error;
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

// A save writes "<target>~<n>" and renames it over the target. The name comes
// from the target's own path, at most three characters longer, so that every
// path the file layer takes has room for it (GetTempFileName refuses folders of
// more than 246 characters). There are many such names: one that something
// else keeps (a folder, a user's file, a leftover held open) is passed over.
const int kTemporaryNames = 100;

// A save's own mark on its temporary file, which survives a kill or a power
// loss: hidden and system while it is written, hidden alone once it holds every
// byte on the disk. A file of the naming without the mark is somebody else's.
const DWORD kWritingMark = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
const DWORD kCompleteMark = FILE_ATTRIBUTE_HIDDEN;
const DWORD kMarkAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                              FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY;

std::wstring TemporaryName(const std::wstring& target, int n) {
  return target + L"~" + IntToText(n);
}

// Clears what interrupted saves left (in the save's turn: no other save is
// under way). With the target missing, a complete new version takes its place:
// a save killed before its rename, or on the device a replace cut by a power
// loss between its delete and its rename, leaves nothing else of the file. The
// save's other files go, and so does an empty one without the mark, which holds
// nothing to lose (on the desktop a save killed as it makes its file can leave
// one before the mark is on). Anything else stays, and so does what cannot be
// removed: the save takes another name.
void TidyLeftovers(const std::wstring& target) {
  // One listing of the folder finds which of the names are there: a lookup of
  // each name costs a search of the folder, a hundred at each start and save.
  bool listed[kTemporaryNames] = {};
  // Where "~<n>" starts in a found name.
  const size_t suffixAt = target.size() - (target.find_last_of(L"\\/") + 1);
  WIN32_FIND_DATAW entry;
  HANDLE list = FindFirstFileW((target + L"~*").c_str(), &entry);
  if (list != INVALID_HANDLE_VALUE) {
    do {
      // The listing folds case as the file system does (and may match by a
      // short name): only the "~<n>" after a name of the target's length is
      // looked at here, and the lookup below decides.
      const std::wstring found = entry.cFileName;
      if (found.size() <= suffixAt + 1 || found.size() > suffixAt + 10 || found[suffixAt] != L'~')
        continue;
      const std::wstring number = found.substr(suffixAt + 1);
      if (number.find_first_not_of(L"0123456789") != std::wstring::npos) continue;
      const int32_t n = TextToInt(number);
      if (n < kTemporaryNames) listed[n] = true;
    } while (FindNextFileW(list, &entry));
    FindClose(list);
  }
  bool missing = GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES;
  for (int n = 0; n < kTemporaryNames; ++n) {
    if (!listed[n]) continue;
    const std::wstring name = TemporaryName(target, n);
    WIN32_FIND_DATAW data;
    HANDLE found = FindFirstFileW(name.c_str(), &data);
    if (found == INVALID_HANDLE_VALUE) continue;
    FindClose(found);
    DWORD mark = data.dwFileAttributes & kMarkAttributes;
    bool empty = mark == 0 && data.nFileSizeHigh == 0 && data.nFileSizeLow == 0;
    if (missing && mark == kCompleteMark) {
      if (MoveFileW(name.c_str(), target.c_str())) {
        SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
        missing = false;
      }
    } else if (mark == kWritingMark || mark == kCompleteMark || empty) {
      DeleteFileW(name.c_str());
    }
  }
}

// A new temporary file of the target's naming, marked as being written and open
// for writing; its name in *name. INVALID_HANDLE_VALUE with the last error when
// none can be made.
HANDLE CreateTemporary(const std::wstring& target, std::wstring* name) {
  for (int n = 0; n < kTemporaryNames; ++n) {
    *name = TemporaryName(target, n);
    HANDLE file =
        CreateFileW(name->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, kWritingMark, nullptr);
    if (file != INVALID_HANDLE_VALUE) return file;
    DWORD error = GetLastError();
    if (GetFileAttributesW(name->c_str()) == INVALID_FILE_ATTRIBUTES) {
      SetLastError(error);  // the name was free: the folder refuses a new file
      return file;
    }
  }
  SetLastError(ERROR_FILE_EXISTS);
  return INVALID_HANDLE_VALUE;
}

// Saves of one target take turns, in this process and in any other: a save's
// temporary file is closed while the save waits for a reader to let go, and
// another save's removal of leftovers would take it away meanwhile. A save
// that was killed leaves its turn abandoned, which the next one takes.
class SaveTurn {
 public:
  // Waits for the turn up to wait ms.
  SaveTurn(const std::wstring& target, DWORD wait) {
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
    // Another program may have made an object of another kind under the name
    // (no mutex then) or may hold the mutex for ever: no turn, which the save
    // reports as a lock it cannot have.
    mutex_ = CreateMutexW(nullptr, FALSE, name.c_str());
    if (!mutex_) return;
    DWORD result = WaitForSingleObject(mutex_, wait);
    held_ = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
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
// other program reads it whole and closes it again, so try for a while. The
// error that stopped it: ERROR_SHARING_VIOLATION when the target stayed open.
DWORD ReplaceWith(const std::wstring& temporary, const std::wstring& target) {
  const int32_t kPatience = 2000;  // ms; reading even a 50 MB file takes less
  uint32_t giveUp = TickNow() + kPatience;
  for (;;) {
    BOOL moved = GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES
                     ? MoveFileW(temporary.c_str(), target.c_str())
                     : DeleteAndRenameFile(target.c_str(), temporary.c_str());
    if (moved) return ERROR_SUCCESS;
    DWORD error = GetLastError();
    if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) return error;
    if (TicksUntil(giveUp, TickNow()) <= 0) return ERROR_SHARING_VIOLATION;
    Sleep(20);
  }
}

// Writes a temporary file beside the target and replaces the target with it in
// one step, so that an interrupted save never leaves a half-written file.
DWORD Save(const std::wstring& target, const std::string& bytes) {
  DWORD pathError = PathError(target);
  if (pathError != ERROR_SUCCESS) return pathError;
  if (!IsDirectory(ParentDirectory(target))) return ERROR_PATH_NOT_FOUND;
  // A read-only file is not ours to replace (the desktop's rename would do it
  // anyway), nor is a folder in the file's place.
  DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    return ERROR_DIRECTORY;
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    return ERROR_FILE_READ_ONLY;
  // Another save takes its patience for a reader and its writing at most.
  SaveTurn turn(target, 5000);
  if (!turn.held()) return ERROR_LOCK_VIOLATION;
  TidyLeftovers(target);
  std::wstring temporary;
  HANDLE file = CreateTemporary(target, &temporary);
  if (file == INVALID_HANDLE_VALUE) return GetLastError();
  DWORD error = WriteAll(file, bytes);
  CloseHandle(file);
  if (error == ERROR_SUCCESS && !SetFileAttributesW(temporary.c_str(), kCompleteMark))
    error = GetLastError();
  if (error == ERROR_SUCCESS) error = ReplaceWith(temporary, target);
  if (error != ERROR_SUCCESS) {
    DeleteFileW(temporary.c_str());
    return error;
  }
  // The mark came along with the rename; once it is off, the save is over.
  SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
  return ERROR_SUCCESS;
}

}  // namespace

bool WriteTextFile(const std::wstring& path, const std::string& bytes) {
  DWORD error = Save(path, bytes);
  SetLastError(error);
  return error == ERROR_SUCCESS;
}

void FinishInterruptedSave(const std::wstring& path) {
  if (!IsFileLayerPath(path) || !IsDirectory(ParentDirectory(path))) return;
  // A save under way holds the turn and clears up after itself.
  SaveTurn turn(path, 0);
  if (turn.held()) TidyLeftovers(path);
}

bool AppendToBoundedFile(const std::wstring& path, const std::string& bytes, size_t limit,
                         size_t keep) {
  DWORD error = PathError(path);
  if (error == ERROR_SUCCESS && IsDirectory(path)) error = ERROR_DIRECTORY;
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return false;
  }
  // Readers may look at the file meanwhile; another writer may not.
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  error = AppendBounded(file, bytes, limit, keep);
  CloseHandle(file);
  SetLastError(error);
  return error == ERROR_SUCCESS;
}

TFileStamp StampOf(const std::wstring& path) {
  TFileStamp stamp;
  // A name with wildcards would list other files; no file has one.
  if (path.find_first_of(L"*?") != std::wstring::npos) return stamp;
  WIN32_FIND_DATAW data;
  HANDLE found = FindFirstFileW(path.c_str(), &data);
  if (found == INVALID_HANDLE_VALUE) return stamp;
  FindClose(found);
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return stamp;
  stamp.present = true;
  stamp.created = data.ftCreationTime;
  stamp.written = data.ftLastWriteTime;
  stamp.sizeHigh = data.nFileSizeHigh;
  stamp.sizeLow = data.nFileSizeLow;
  return stamp;
}

bool operator==(const TFileStamp& a, const TFileStamp& b) {
  auto same = [](const FILETIME& x, const FILETIME& y) {
    return x.dwLowDateTime == y.dwLowDateTime && x.dwHighDateTime == y.dwHighDateTime;
  };
  return a.present == b.present && same(a.created, b.created) && same(a.written, b.written) &&
         a.sizeHigh == b.sizeHigh && a.sizeLow == b.sizeLow;
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
