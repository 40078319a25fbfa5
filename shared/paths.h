// Path text operations (folder separator "\"). Portable C++.
#pragma once

#include <string>

// The path without any "\" at its end.
std::wstring StripTrailingBackslashes(const std::wstring& path);
// Everything before the last "\", without trailing "\"; the path itself without "\".
std::wstring ParentDirectory(const std::wstring& path);
// The text after the last "." (the scan does not stop at a "\"); empty without ".".
std::wstring FileExtension(const std::wstring& fileName);
