#include "tests/setup/settings_harness.h"

#include <fstream>

#include "shared/paths.h"
#include "tests/support/keys.h"

namespace {

const std::function<void(TSettingsWindow*)>* pendingScript = nullptr;
TSettingsWindow* runningWindow = nullptr;
bool scriptRan = false;
bool scriptRunning = false;
bool closeSeen = false;
bool quitSeen = false;

// Watches the queue: the form asked to close while the script ran, and the
// loop told to end.
LRESULT CALLBACK WatchQueue(int code, WPARAM wParam, LPARAM lParam) {
  const MSG* message = reinterpret_cast<const MSG*>(lParam);
  if (code == HC_ACTION && wParam == PM_REMOVE) {
    if (message->message == WM_QUIT) quitSeen = true;
    if (scriptRunning && message->message == WM_CLOSE && runningWindow &&
        message->hwnd == runningWindow->frmMain->handle) {
      closeSeen = true;
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

const UINT kRunScript = WM_APP + 0x51;

void RunScript() {
  // The loop still empties the queue after a WM_QUIT; the program would end there.
  if (!pendingScript || !runningWindow || quitSeen) return;
  scriptRan = true;
  ProcessMessages();
  scriptRunning = true;
  (*pendingScript)(runningWindow);
  scriptRunning = false;
  CloseForm(runningWindow->frmMain);
  // A form without a window (no display) cannot be closed: end the loop anyway.
  if (!IsWindow(runningWindow->frmMain->handle)) PostQuitMessage(0);
}

LRESULT CALLBACK ScriptWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kRunScript) {
    RunScript();
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// A message-only window whose posted message starts the script: it queues up
// behind whatever the window's construction posted (a WM_QUIT among them).
HWND ScriptWindow() {
  static HWND window = nullptr;
  if (!window) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = ScriptWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"VorlixTestScript";
    RegisterClassW(&windowClass);
    window = CreateWindowExW(0, L"VorlixTestScript", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             windowClass.hInstance, nullptr);
  }
  return window;
}

// The build folder: the test program lies in <build>/tests.
std::wstring BuildFolder() {
  wchar_t module[MAX_PATH];
  GetModuleFileNameW(nullptr, module, MAX_PATH);
  return ParentDirectory(ParentDirectory(module));
}

}  // namespace

SettingsWindowTest::SettingsWindowTest() {
  ResetDialogs();
  folder.Write(L"vorlix.exe", "MZ");
  SetEnvironmentVariableW(L"VORLIX_POWER_ACTION", L"recorded");
  SetEnvironmentVariableW(L"VORLIX_POWER_LOG", logFolder.File(L"power.log").c_str());
}

SettingsWindowTest::~SettingsWindowTest() {
  SetEnvironmentVariableW(L"VORLIX_POWER_LOG", nullptr);
  SetEnvironmentVariableW(L"VORLIX_SCREEN", nullptr);
}

void SettingsWindowTest::SimulateScreen(int width, int height) {
  SetEnvironmentVariableW(L"VORLIX_SCREEN",
                          (std::to_wstring(width) + L"x" + std::to_wstring(height)).c_str());
}

void SettingsWindowTest::ResetDialogs(std::vector<int> answers) {
  dialogs.reset();  // one answerer at a time
  dialogs = std::make_unique<DialogAnswerer>();
  dialogs->AnswerMessageBoxes(std::move(answers));
}

std::vector<std::wstring> SettingsWindowTest::BoxTexts() const {
  std::vector<std::wstring> texts;
  for (const SeenMessageBox& box : dialogs->messageBoxes())
    texts.push_back(box.caption + L"|" + box.text);
  return texts;
}

std::string SettingsWindowTest::PowerLog() const { return logFolder.Read(L"power.log"); }

bool SettingsWindowTest::Run(const std::function<void(TSettingsWindow*)>& script) {
  InitializeSetupState();
  programFileOverride = folder.File(L"vorlix-setup.exe");
  TSettingsWindow* window = nullptr;
  CreateSettingsWindow(&window, nullptr);
  pendingScript = &script;
  runningWindow = window;
  scriptRan = false;
  closeSeen = false;
  quitSeen = false;
  HHOOK watch = SetWindowsHookExW(WH_GETMESSAGE, WatchQueue, nullptr, GetCurrentThreadId());
  PostMessageW(ScriptWindow(), kRunScript, 0, 0);
  TControl* form = window->frmMain;
  RunApplication(&form);
  UnhookWindowsHookEx(watch);
  closedByScript = closeSeen;
  pendingScript = nullptr;
  runningWindow = nullptr;
  FinalizeSetupState();
  MSG stale;  // a second close request, or the script's message when the loop ended first
  while (PeekMessageW(&stale, nullptr, 0, 0, PM_REMOVE)) {
  }
  return scriptRan;
}

void TypeText(TControl* edit, const std::wstring& text) {
  SetFocus(GetHandle(edit));
  SendMessageW(GetHandle(edit), EM_SETSEL, 0, -1);
  SendMessageW(GetHandle(edit), WM_CHAR, VK_BACK, 1);
  for (wchar_t c : text) SendMessageW(GetHandle(edit), WM_CHAR, c, 1);
  ProcessMessages();
}

void Click(TControl* control) {
  HWND hwnd = GetHandle(control);
  wchar_t className[16] = {};
  GetClassNameW(hwnd, className, 16);
  if (lstrcmpiW(className, L"Button") == 0) {
    SendMessageW(hwnd, BM_CLICK, 0, 0);
  } else {
    PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    PostMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  }
  ProcessMessages();
}

void PressKey(UINT key, uint32_t modifiers) {
  HeldModifiers held(modifiers);
  PostKeyPress(GetFocus(), key);
  ProcessMessages();
}

void TapAt(POINT screen) {
  HWND hwnd = WindowFromPoint(screen);
  POINT client = screen;
  ScreenToClient(hwnd, &client);
  PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(client.x, client.y));
  PostMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(client.x, client.y));
  ProcessMessages();
}

void PressArrow(TControl* scrollBar, int code) {
  HWND bar = GetHandle(scrollBar);
  // What the scroll bar sends its parent for one arrow click.
  SendMessageW(GetParent(bar), WM_VSCROLL, MAKEWPARAM(code, 0), reinterpret_cast<LPARAM>(bar));
  SendMessageW(GetParent(bar), WM_VSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0),
               reinterpret_cast<LPARAM>(bar));
  ProcessMessages();
}

void MoveMouse(TControl* control, int x, int y) {
  PostMessageW(GetHandle(control), WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
  ProcessMessages();
}

void ChooseItem(TControl* combo, int index) {
  HWND hwnd = GetHandle(combo);
  SendMessageW(hwnd, CB_SETCURSEL, index, 0);
  SendMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(hwnd));
  ProcessMessages();
}

bool IsShown(TControl* control) { return control->handle && IsWindowVisible(control->handle); }

int ShownPage(TSettingsWindow* w) {
  TControl* pages[] = {w->pnlGeneral, w->pnlView, w->pnlLanguage, w->pnlOther};
  int shown = -1;
  for (int i = 0; i < kPageCount; ++i) {
    if (!IsShown(pages[i])) continue;
    if (shown != -1) return -1;
    shown = i;
  }
  return shown;
}

RECT BoundsOf(TControl* control) { return GetBoundsRect(control); }

std::wstring ShippedFolder() { return BuildFolder() + L"\\bin"; }

std::string ShippedPack(const std::wstring& name) {
  std::ifstream in((ShippedFolder() + L"\\" + name).c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void SaveScreenshot(const std::wstring& name) {
  ProcessMessages();
  RedrawWindow(nullptr, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  ProcessMessages();
  RECT simulated = GetScreenRect();
  int width = simulated.right, height = simulated.bottom;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFOHEADER header = {};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS,
                                    &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
  GdiFlush();
  DWORD rowBytes = ((width * 3 + 3) / 4) * 4;
  DWORD imageBytes = rowBytes * height;
  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof header;
  file.bfSize = file.bfOffBits + imageBytes;
  std::wstring folder = BuildFolder() + L"\\screenshots";
  CreateDirectoryW(folder.c_str(), nullptr);
  std::ofstream out((folder + L"\\" + name + L".bmp").c_str(), std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), sizeof file);
  out.write(reinterpret_cast<const char*>(&header), sizeof header);
  out.write(static_cast<const char*>(bits), imageBytes);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}
