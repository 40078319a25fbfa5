#include "tests/setup/dialog_interceptor.h"

#include <algorithm>

namespace {

DialogInterceptor* active = nullptr;

const int kMessageBoxTextId = 0xFFFF;
// Control identifiers of the standard colour dialog (dlgs.h).
const int kColorRed = 706, kColorGreen = 707, kColorBlue = 708, kColorAdd = 712;

std::wstring WindowText(HWND hwnd) {
  wchar_t text[1024] = {};
  GetWindowTextW(hwnd, text, 1024);
  return text;
}

// The standard icon shown by a message box, told by its handle.
UINT IconOf(HWND box) {
  struct TIcon {
    LPCWSTR id;
    UINT flag;
  };
  const TIcon icons[] = {{IDI_HAND, MB_ICONERROR},
                         {IDI_EXCLAMATION, MB_ICONEXCLAMATION},
                         {IDI_QUESTION, MB_ICONQUESTION},
                         {IDI_ASTERISK, MB_ICONINFORMATION}};
  HICON shown = nullptr;
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
      shown = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
    }
  }
  for (const TIcon& icon : icons) {
    if (shown && shown == LoadIconW(nullptr, icon.id)) return icon.flag;
  }
  return 0;
}

void Press(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

}  // namespace

DialogInterceptor::DialogInterceptor() {
  active = this;
  hook_ = SetWindowsHookExW(WH_CBT, Hook, nullptr, GetCurrentThreadId());
}

DialogInterceptor::~DialogInterceptor() {
  UnhookWindowsHookEx(hook_);
  active = nullptr;
}

std::vector<std::wstring> DialogInterceptor::Texts() const {
  std::vector<std::wstring> texts;
  for (const TRecordedBox& box : boxes) texts.push_back(box.caption + L"|" + box.text);
  return texts;
}

LRESULT CALLBACK DialogInterceptor::Hook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && active) {
    HWND window = reinterpret_cast<HWND>(wParam);
    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    if (lstrcmpW(className, L"#32770") == 0 &&
        std::find(active->seen_.begin(), active->seen_.end(), window) == active->seen_.end()) {
      active->seen_.push_back(window);
      active->Answer(window);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

void DialogInterceptor::Answer(HWND dialog) {
  if (GetDlgItem(dialog, kMessageBoxTextId)) {
    TRecordedBox box;
    box.caption = WindowText(dialog);
    box.text = WindowText(GetDlgItem(dialog, kMessageBoxTextId));
    box.icon = IconOf(dialog);
    box.owner = GetWindow(dialog, GW_OWNER);
    bool yesNo = GetDlgItem(dialog, IDYES) != nullptr;
    box.answer = yesNo ? IDNO : IDOK;
    if (!boxAnswers.empty()) {
      box.answer = boxAnswers.front();
      boxAnswers.pop_front();
    }
    boxes.push_back(box);
    Press(dialog, box.answer);
    return;
  }
  // A colour dialog: the edit boxes hold the colour it opened with.
  colorDialogStarts.push_back(RGB(GetDlgItemInt(dialog, kColorRed, nullptr, FALSE),
                                  GetDlgItemInt(dialog, kColorGreen, nullptr, FALSE),
                                  GetDlgItemInt(dialog, kColorBlue, nullptr, FALSE)));
  colorDialogOwners.push_back(GetWindow(dialog, GW_OWNER));
  if (onColorDialog) onColorDialog(dialog);
  TColorAnswer answer = {false, 0, false};
  if (!colorAnswers.empty()) {
    answer = colorAnswers.front();
    colorAnswers.pop_front();
  }
  if (!answer.pick) {
    Press(dialog, IDCANCEL);
    return;
  }
  // Typed into the red, green and blue boxes, as a user would.
  SetDlgItemInt(dialog, kColorRed, GetRValue(answer.color), FALSE);
  SetDlgItemInt(dialog, kColorGreen, GetGValue(answer.color), FALSE);
  SetDlgItemInt(dialog, kColorBlue, GetBValue(answer.color), FALSE);
  if (answer.addCustomColor) {
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(kColorAdd, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, kColorAdd)));
  }
  Press(dialog, IDOK);
}
