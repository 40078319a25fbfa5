// Scroll bars ("SCROLLBAR", made as a common control) and WM_NOTIFY reflection.
#include <algorithm>

#include "winobj/internal.h"

#include <commctrl.h>

using namespace winobj;

namespace {

// COMCTL32_VERSION of the Windows CE SDK, which the scroll bar announces itself
// with (CCM_SETVERSION).
const WPARAM kCommonControlsVersion = 0x020C;
// A WM_NOTIFY code that has no name in the desktop SDK; a common control of the
// device asks it and expects 1.
const UINT kNotifyAnsweredWithOne = static_cast<UINT>(-50);

// The parent's WM_NOTIFY goes to the hooks of the control that sent it.
bool NotifyReflectHook(TControl*, TWindowMessage& msg, LRESULT& result) {
  if (msg.message != WM_NOTIFY || !msg.lParam) return false;
  HWND sender = reinterpret_cast<NMHDR*>(msg.lParam)->hwndFrom;
  TControl* control = ControlOf(sender);
  if (!control) return false;
  HWND own = msg.hwnd;
  msg.hwnd = sender;
  bool handled = DispatchHooks(control, msg, result);
  msg.hwnd = own;  // an unhandled message goes on as the parent's
  return handled;
}

bool NotifyCodeHook(TControl* control, TWindowMessage& msg, LRESULT& result) {
  if (msg.message != WM_NOTIFY || msg.hwnd != control->handle) return false;
  UINT code = reinterpret_cast<NMHDR*>(msg.lParam)->code;
  switch (code) {
    case kNotifyAnsweredWithOne: result = 1; return true;
    case NM_KILLFOCUS: Fire(control->onLeave, control); return false;
    case NM_SETFOCUS:
    case NM_RETURN: Fire(control->onEnter, control); return false;
    case NM_CLICK:
    case NM_RCLICK:
      if (!control->onClick.proc) return false;
      control->rightClick = code == static_cast<UINT>(NM_RCLICK);
      Fire(control->onClick, control);
      return true;
    default: return false;
  }
}

// The parent's WM_HSCROLL / WM_VSCROLL from one of its scroll bars.
bool ScrollHook(TControl*, TWindowMessage& msg, LRESULT&) {
  if (msg.message != WM_HSCROLL && msg.message != WM_VSCROLL) return false;
  HWND bar = reinterpret_cast<HWND>(msg.lParam);
  TControl* control = ControlOf(bar);
  if (!control) return false;
  SCROLLINFO info = {};
  info.cbSize = sizeof(info);
  info.fMask = SIF_ALL;
  if (!GetScrollInfo(bar, SB_CTL, &info)) return false;
  int code = LOWORD(msg.wParam);
  int current = info.nPos, next;
  int page = static_cast<int>(info.nPage);
  switch (code) {
    case SB_LINEUP: next = current - 1; break;
    case SB_LINEDOWN: next = current + 1; break;
    case SB_PAGEUP: next = current - page; break;
    case SB_PAGEDOWN: next = current + page; break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: next = info.nTrackPos; break;
    case SB_TOP: next = info.nMin; break;
    case SB_BOTTOM: next = info.nMax; break;
    case SB_ENDSCROLL: next = current; break;
    default: return false;
  }
  // The last position the bar can take (with no page: the maximum itself).
  next = std::min(next, info.nMax - std::max(page - 1, 0));
  next = std::max(next, info.nMin);
  bool allow = true;
  Fire(control->onScrollQuery, control, current, next, code, allow);
  info.fMask = SIF_POS;
  info.nPos = allow ? next : current;
  control->scrollPosition = SetScrollInfo(bar, SB_CTL, &info, TRUE);
  if (allow) Fire(control->onScroll, control, code);
  return false;
}

void ApplyRange(TControl* control) {
  SetScrollRange(GetHandle(control), SB_CTL, control->scrollMin,
                 control->scrollMax + control->scrollPage - 1, TRUE);
}

}  // namespace

TControl* NewScrollBar(TControl* parent, int kind) {
  INITCOMMONCONTROLSEX icc = {sizeof(icc), 0xFF};
  InitCommonControlsEx(&icc);
  TControl* bar =
      NewChildControl(parent, L"SCROLLBAR",
                      WS_CHILD | WS_VISIBLE | (kind == kScrollBarVertical ? SBS_VERT : SBS_HORZ),
                      TControlTraits{}, 64, 64);
  AddHook(bar, NotifyCodeHook);
  AddHook(parent, NotifyReflectHook);
  GetHandle(bar);
  RemoveHook(bar, CommonChildHook);
  AddHook(parent, ScrollHook);
  Perform(bar, CCM_SETVERSION, kCommonControlsVersion, 0);
  return bar;
}

void SetScrollMin(TControl* control, int minimum) {
  control->scrollMin = minimum;
  ApplyRange(control);
}

void SetScrollMax(TControl* control, int maximum) {
  control->scrollMax = maximum;
  ApplyRange(control);
}

void SetScrollPosition(TControl* control, int position) {
  control->scrollPosition = position;
  SetScrollPos(GetHandle(control), SB_CTL, position, TRUE);
}

int GetScrollPosition(TControl* control) { return control->scrollPosition; }
