#include "tests/support/dialog_answerer.h"

#include <colordlg.h>
#include <commdlg.h>

#include <cwchar>

namespace {

DialogAnswerer* g_answerer = nullptr;

// Control identifiers of the message box template (Wine's and Windows').
const int kBoxIconIds[] = {0x440, 0x14};
const int kBoxTextIds[] = {100, 0xFFFF};

std::wstring TextOf(HWND hwnd) {
  wchar_t buffer[1024] = {};
  if (hwnd) GetWindowTextW(hwnd, buffer, 1024);
  return buffer;
}

UINT IconOf(HWND dialog) {
  for (int id : kBoxIconIds) {
    HWND item = GetDlgItem(dialog, id);
    if (!item) continue;
    auto icon = reinterpret_cast<HICON>(SendMessageW(item, STM_GETICON, 0, 0));
    const struct {
      LPCWSTR resource;
      UINT style;
    } kIcons[] = {{IDI_HAND, MB_ICONERROR},
                  {IDI_EXCLAMATION, MB_ICONWARNING},
                  {IDI_QUESTION, MB_ICONQUESTION},
                  {IDI_ASTERISK, MB_ICONINFORMATION}};
    for (const auto& known : kIcons) {
      if (icon && icon == LoadIconW(nullptr, known.resource)) return known.style;
    }
  }
  return 0;
}

}  // namespace

DialogAnswerer::DialogAnswerer() {
  g_answerer = this;
  hook_ = SetWindowsHookExW(WH_CBT, &DialogAnswerer::CbtProc, nullptr, GetCurrentThreadId());
}

DialogAnswerer::~DialogAnswerer() {
  UnhookWindowsHookEx(hook_);
  g_answerer = nullptr;
}

LRESULT CALLBACK DialogAnswerer::CbtProc(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && g_answerer) {
    HWND hwnd = reinterpret_cast<HWND>(wParam);
    wchar_t name[16] = {};
    GetClassNameW(hwnd, name, 16);
    // Answered once: activation can come again while the dialog closes.
    if (wcscmp(name, L"#32770") == 0 && !GetPropW(hwnd, L"TEST_ANSWERED")) {
      SetPropW(hwnd, L"TEST_ANSWERED", hwnd);
      g_answerer->Answer(hwnd);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

void DialogAnswerer::Answer(HWND dialog) {
  HWND owner = GetWindow(dialog, GW_OWNER);
  if (GetDlgItem(dialog, COLOR_RED)) {
    SeenColorDialog seen = {};
    seen.owner = owner;
    BOOL ok;
    seen.initial = RGB(GetDlgItemInt(dialog, COLOR_RED, &ok, FALSE),
                       GetDlgItemInt(dialog, COLOR_GREEN, &ok, FALSE),
                       GetDlgItemInt(dialog, COLOR_BLUE, &ok, FALSE));
    // Not fully open, the dialog is cut off left of the custom colour part.
    RECT frame, red;
    GetWindowRect(dialog, &frame);
    GetWindowRect(GetDlgItem(dialog, COLOR_RED), &red);
    seen.fullOpen = red.right <= frame.right;
    colorDialogs_.push_back(seen);
    if (pick_) {
      // Typed into the red, green and blue boxes, as a user would.
      SetDlgItemInt(dialog, COLOR_RED, GetRValue(color_), FALSE);
      SetDlgItemInt(dialog, COLOR_GREEN, GetGValue(color_), FALSE);
      SetDlgItemInt(dialog, COLOR_BLUE, GetBValue(color_), FALSE);
      PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    } else {
      PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    }
    return;
  }
  SeenMessageBox seen = {owner, TextOf(dialog), L"", IconOf(dialog)};
  for (int id : kBoxTextIds) {
    if (HWND item = GetDlgItem(dialog, id)) {
      seen.text = TextOf(item);
      break;
    }
  }
  boxes_.push_back(seen);
  int button = IDCANCEL;
  if (!buttons_.empty()) {
    button = buttons_.front();
    buttons_.erase(buttons_.begin());
  }
  PostMessageW(dialog, WM_COMMAND, button, 0);
}
