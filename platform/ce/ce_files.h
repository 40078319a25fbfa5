// The file call of coredll that the desktop lacks, with the device's own
// signature. On the desktop the stand-in in platform/desktop provides it.
#pragma once

#include <windows.h>

// Replaces lpszDestFile, which must exist, with lpszSourceFile in one step: the
// device's way of renaming over a file (it has no MoveFileEx). FALSE with the
// last error on failure.
BOOL WINAPI DeleteAndRenameFile(LPCWSTR lpszDestFile, LPCWSTR lpszSourceFile);
