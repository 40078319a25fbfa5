// Combo boxes ("COMBOBOX") and their inner windows.
#include "winobj/internal.h"

using namespace winobj;

namespace {

// The layer's own notification code: the selection change, delivered late.
const uint16_t kDeferredSelChange = 15;

void ResetContent(TControl* combo) { Perform(combo, CB_RESETCONTENT, 0, 0); }

const TControlTraits kComboTraits =
    TTraitsOf(ResetContent)
        .Notifications(CBN_DBLCLK, CBN_SETFOCUS, CBN_KILLFOCUS, CBN_EDITCHANGE, kDeferredSelChange)
        .Items(CB_GETCOUNT, CB_ADDSTRING, CB_DELETESTRING, CB_INSERTSTRING, CB_GETITEMDATA,
               CB_SETITEMDATA)
        .Selection(0, 0, 0, CB_GETCURSEL, CB_SETCURSEL)
        .ExtraSize(0, 6);

LRESULT CallPrevious(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto previous = reinterpret_cast<WNDPROC>(GetPropW(hwnd, kPrevProcProp));
  return previous ? CallWindowProcW(previous, hwnd, message, wParam, lParam) : 0;
}

// Inner windows (the edit of a drop-down combo box): the owner's form sees their
// keys first, and Tab, Enter and Esc are kept from the edit.
LRESULT CALLBACK InnerWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  if (message == WM_NCDESTROY) {
    LRESULT result = CallPrevious(hwnd, message, wParam, lParam);
    RemovePropW(hwnd, kPrevProcProp);
    return result;
  }
  TControl* owner = ControlOf(GetParent(hwnd));
  // Unbound (the combo box is being destroyed): straight to the inner window's own
  // procedure, so that it still frees what it holds.
  if (!owner) return CallPrevious(hwnd, message, wParam, lParam);

  TWindowMessage msg = {owner->handle, message, wParam, lParam};
  LRESULT result = 0;
  TControl* mainForm = g.mainForm;
  TControl* form = FindForm(owner);
  if (mainForm && mainForm->preHook && mainForm->preHook(owner, msg, result)) return result;
  if (form && form != mainForm && form->preHook && form->preHook(owner, msg, result)) return result;

  switch (message) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
      if (message != WM_KEYDOWN && msg.wParam == VK_TAB) return 0;
      if (HandleDroppedListKey(owner, msg, result)) return result;
      break;
    case WM_SETFOCUS:
      if (form) form->activeControl = owner;
      break;
    default: break;
  }
  return CallPrevious(hwnd, msg.message, msg.wParam, msg.lParam);
}

void SubclassInnerWindows(TControl* combo) {
  for (HWND child = GetWindow(combo->handle, GW_CHILD); child;
       child = GetWindow(child, GW_HWNDNEXT)) {
    auto previous =
        SetWindowLongPtrW(child, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(InnerWindowProc));
    SetPropW(child, kPrevProcProp, reinterpret_cast<HANDLE>(previous));
  }
}

// The inner windows go back to their own procedures before they are destroyed.
void RestoreInnerWindows(HWND combo) {
  for (HWND child = GetWindow(combo, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    HANDLE previous = RemovePropW(child, kPrevProcProp);
    if (previous) SetWindowLongPtrW(child, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
  }
}

// Opened: one row per item (1 to 8) below the box.
void SizeDropDown(TControl* combo) {
  int rows = GetItemCount(combo);
  if (rows < 1) rows = 1;
  if (rows > 8) rows = 8;
  SetWindowPos(combo->handle, nullptr, 0, 0, GetWidth(combo), GetHeight(combo) * (rows + 1) + 2,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  Fire(combo->onDropDown, combo);
}

bool ComboHook(TControl* combo, TWindowMessage& msg, LRESULT& result) {
  if (msg.message >= WM_CTLCOLORMSGBOX && msg.message <= WM_CTLCOLORSTATIC) {
    // From the inner windows: answered with the combo box's own colours.
    result = SendMessageW(combo->handle, kReflectedColorBase + msg.message, msg.wParam, msg.lParam);
    return result != 0;
  }
  switch (msg.message) {
    case kReflectedCommand:
      switch (HIWORD(msg.wParam)) {
        case CBN_SELCHANGE:
          // The selection is read back only once the change is complete.
          PostMessageW(combo->handle, kReflectedCommand, MAKEWPARAM(0, kDeferredSelChange), 0);
          break;
        case CBN_DROPDOWN:
          combo->listDropped = true;
          combo->dropIndex = static_cast<int32_t>(SendMessageW(combo->handle, CB_GETCURSEL, 0, 0));
          combo->dropDownSizing(combo);
          break;
        case CBN_CLOSEUP:
          combo->listDropped = false;
          Fire(combo->onCloseUp, combo);
          break;
        default: break;
      }
      return false;
    case WM_KEYDOWN:
    case WM_CHAR: return HandleDroppedListKey(combo, msg, result);
    case WM_DESTROY: RestoreInnerWindows(combo->handle); return false;
    default: return false;
  }
}

}  // namespace

namespace winobj {

bool HandleDroppedListKey(TControl* combo, TWindowMessage& msg, LRESULT& result) {
  if (msg.message != WM_KEYDOWN && msg.message != WM_CHAR) return false;
  if (msg.wParam != VK_RETURN && msg.wParam != VK_ESCAPE) return false;
  if (!SendMessageW(combo->handle, CB_GETDROPPEDSTATE, 0, 0)) return false;
  // The key-down is kept from the system (which would close the list without
  // restoring) and from the form's Enter/Esc buttons; its character closes.
  if (msg.message == WM_CHAR) {
    SendMessageW(combo->handle, CB_SHOWDROPDOWN, FALSE, 0);
    if (msg.wParam == VK_ESCAPE) SendMessageW(combo->handle, CB_SETCURSEL, combo->dropIndex, 0);
  }
  result = 0;
  return true;
}

}  // namespace winobj

TControl* NewComboBox(TControl* parent, uint32_t options) {
  DWORD style = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | CBS_HASSTRINGS | CBS_DROPDOWN;
  if (!(options & kComboNoAutoHScroll)) style |= CBS_AUTOHSCROLL;
  const TOptionStyle kOptionStyles[] = {
      {kComboDropDownList, CBS_DROPDOWNLIST}, {kComboDisableNoScroll, CBS_DISABLENOSCROLL},
      {kComboLowercase, CBS_LOWERCASE},       {kComboNoIntegralHeight, CBS_NOINTEGRALHEIGHT},
      {kComboOemConvert, CBS_OEMCONVERT},     {kComboSort, CBS_SORT},
      {kComboUppercase, CBS_UPPERCASE},
  };
  style |= StylesOfOptions(options, kOptionStyles);
  TControl* combo = NewChildControl(parent, L"COMBOBOX", style, kComboTraits, 100, 22);
  combo->classStyle |= CS_DBLCLKS;
  combo->afterCreate = SubclassInnerWindows;
  combo->dropDownSizing = SizeDropDown;
  AddHook(combo, ComboHook);
  return combo;
}
