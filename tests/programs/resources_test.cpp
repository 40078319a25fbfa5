// The built programs as Windows shows them: the version information that
// Explorer's Properties list, from the project's one version, and an icon.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// <build>/bin, beside this program's <build>/tests.
std::wstring ProgramPath(const std::wstring& name) {
  wchar_t module[MAX_PATH];
  GetModuleFileNameW(nullptr, module, MAX_PATH);
  std::wstring path = module;
  path = path.substr(0, path.find_last_of(L'\\'));
  return path.substr(0, path.find_last_of(L'\\')) + L"\\bin\\" + name;
}

std::wstring StringValue(const std::vector<BYTE>& info, const std::wstring& key) {
  void* value = nullptr;
  UINT length = 0;
  std::wstring block = L"\\StringFileInfo\\040904B0\\" + key;
  if (!VerQueryValueW(info.data(), block.c_str(), &value, &length) || !value) return L"<missing>";
  return static_cast<const wchar_t*>(value);
}

struct TProgramCase {
  const wchar_t* file;
  const wchar_t* description;
};

TEST(Programs, CarryTheirVersionInformationAndAnIcon) {
  const TProgramCase cases[] = {{L"vorlix.exe", L"Vorlix power monitor"},
                                {L"vorlix-setup.exe", L"Vorlix settings"}};
  const std::wstring version = L"" VORLIX_VERSION;
  for (const TProgramCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.file)));
    std::wstring path = ProgramPath(c.file);
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), nullptr);
    ASSERT_NE(0u, size);
    std::vector<BYTE> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, info.data()));
    EXPECT_EQ(L"Vorlix", StringValue(info, L"ProductName"));
    EXPECT_EQ(c.description, StringValue(info, L"FileDescription"));
    EXPECT_EQ(version, StringValue(info, L"ProductVersion"));
    EXPECT_EQ(version, StringValue(info, L"FileVersion"));
    EXPECT_EQ(c.file, StringValue(info, L"OriginalFilename"));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    std::wstring numbers = std::to_wstring(HIWORD(fixed->dwProductVersionMS)) + L"." +
                           std::to_wstring(LOWORD(fixed->dwProductVersionMS)) + L"." +
                           std::to_wstring(HIWORD(fixed->dwProductVersionLS));
    EXPECT_EQ(version, numbers);

    HMODULE image = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, image);
    EXPECT_NE(nullptr, FindResourceW(image, MAKEINTRESOURCEW(1), RT_GROUP_ICON));
    HICON icon = static_cast<HICON>(LoadImageW(image, MAKEINTRESOURCEW(1), IMAGE_ICON, 32, 32, 0));
    EXPECT_NE(nullptr, icon);
    if (icon) DestroyIcon(icon);
    FreeLibrary(image);
  }
}

}  // namespace
