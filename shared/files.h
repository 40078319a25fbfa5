// Files and folders. Text-file paths go to the file layer as ANSI code-page text
// of at most 255 characters; any other path fails.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "shared/lines.h"

// One directory entry.
struct TExplorerObject {
  std::wstring name;  // without folder
  DWORD attributes;   // FILE_ATTRIBUTE_DIRECTORY marks a folder
};
using TExplorerObjectList = std::vector<TExplorerObject>;

// The text in the ANSI code page; false when it holds characters that the code
// page cannot represent.
bool ToAnsiText(const std::wstring& text, std::string* ansi);
// The same in the given code page.
bool ToExactCodePageText(const std::wstring& text, UINT codePage, std::string* bytes);
// The 8-bit text converted with the code page, substitutes included.
std::string ToCodePageText(const std::wstring& text, UINT codePage);
// The same with the ANSI code page.
std::string ToAnsiTextLossy(const std::wstring& text);

bool IsFile(const std::wstring& path);
bool IsDirectory(const std::wstring& path);

// Hands every line of the file to handler (see SplitTextLines). True when the
// file was opened and read to its end.
bool ReadTextLines(const std::wstring& path, const TLineHandler& handler);
// The file's first line (empty for an empty file and for a first line longer
// than kMaxLineBytes); true once the file was opened.
bool ReadFirstLine(const std::wstring& path, std::string* line);
// Replaces the file as a whole with the bytes: true only when the new bytes are
// in place; otherwise false and the old file is untouched, with the last error
// saying why: the system's error of the step that failed, or
//   ERROR_PATH_NOT_FOUND          the parent folder does not exist (nothing is created)
//   ERROR_FILENAME_EXCED_RANGE    the path is longer than the file layer takes
//   ERROR_NO_UNICODE_TRANSLATION  the path is outside the ANSI code page
//   ERROR_FILE_READ_ONLY          the file is read-only
//   ERROR_DIRECTORY               a folder is in the file's place
//   ERROR_SHARING_VIOLATION       another program kept the file open
//   ERROR_LOCK_VIOLATION          the turn among saves of the file could not be had
// A save of a file that another save holds waits up to 5 s for its turn, and up
// to 2 s for a reader to let go of the file.
bool WriteTextFile(const std::wstring& path, const std::string& bytes);
// Puts right what a save of the file that was cut off left behind, as the next
// save would: with the file missing, the save's new version takes its place
// when all of it had reached the disk. Does nothing while a save is under way.
void FinishInterruptedSave(const std::wstring& path);

// Appends the bytes to the file (made when missing), keeping it to at most
// limit bytes: when the append would pass that, only the newest whole lines of
// the file that fit in keep bytes stay (see NewestLinesStart), then the bytes
// follow, and should even that pass the limit, only its newest whole lines
// that fit in keep stay. The file is changed in place, open to readers
// meanwhile, and flushed. False, with the last error, when it cannot be opened
// or written (ERROR_SHARING_VIOLATION while another program writes to it).
bool AppendToBoundedFile(const std::wstring& path, const std::string& bytes, size_t limit,
                         size_t keep);

// What the folder's listing says of a file, to tell whether it has changed
// since: a file replaced by a rename, or written, has other times or size.
struct TFileStamp {
  bool present = false;
  FILETIME created = {};
  FILETIME written = {};
  DWORD sizeHigh = 0;
  DWORD sizeLow = 0;
};
TFileStamp StampOf(const std::wstring& path);
bool operator==(const TFileStamp& a, const TFileStamp& b);
inline bool operator!=(const TFileStamp& a, const TFileStamp& b) { return !(a == b); }

// Lists a folder: subfolders (without "." and "..") and everything else, in the
// platform's order, names passed through the ANSI code page. False when the
// folder cannot be searched.
bool ListDirectory(const std::wstring& folder, TExplorerObjectList* folders,
                   TExplorerObjectList* files);
