// Desktop stand-in for the device's DeleteAndRenameFile.
#include "platform/ce/ce_files.h"

BOOL WINAPI DeleteAndRenameFile(LPCWSTR lpszDestFile, LPCWSTR lpszSourceFile) {
  // The device's call fails when the destination is not there.
  if (GetFileAttributesW(lpszDestFile) == INVALID_FILE_ATTRIBUTES) return FALSE;
  return MoveFileExW(lpszSourceFile, lpszDestFile,
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}
