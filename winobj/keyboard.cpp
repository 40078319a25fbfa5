// The keyboard: the form's key handler, Tab navigation through the layer's own
// control tree, tab stops and the focus cue.
#include <algorithm>
#include <vector>

#include "winobj/internal.h"

using namespace winobj;

namespace {

uint32_t ShiftState() {
  uint32_t shift = 0;
  if (GetKeyState(VK_SHIFT) < 0) shift |= MK_SHIFT;
  if (GetKeyState(VK_CONTROL) < 0) shift |= MK_CONTROL;
  if (GetKeyState(VK_MENU) < 0) shift |= kShiftAlt;
  return shift;
}

// The control a window belongs to: its own, or the nearest parent's (the inner
// edit of a combo box belongs to the combo box).
TControl* OwnerControl(HWND hwnd) {
  while (hwnd) {
    if (TControl* control = ControlOf(hwnd)) return control;
    if (!(GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD)) return nullptr;
    hwnd = GetParent(hwnd);
  }
  return nullptr;
}

struct TTabStop {
  TControl* control;
  RECT place;  // on the screen
};

// The tab stops under control that are shown and enabled, with every parent.
void CollectTabStops(TControl* control, std::vector<TTabStop>& stops) {
  for (int i = 0; i < control->children->Count(); ++i) {
    auto* child = static_cast<TControl*>(control->children->Get(i));
    // Owned forms are children of their owner's object, not of its window.
    if (!child->isChild || !child->handle) continue;
    if (!IsWindowVisible(child->handle) || !IsWindowEnabled(child->handle)) continue;
    if (child->tabStop) {
      RECT place;
      GetWindowRect(child->handle, &place);
      stops.push_back({child, place});
    }
    CollectTabStops(child, stops);
  }
}

// From a control that is not a stop (the form, a panel, a hidden control) Tab
// goes to the first stop and Shift+Tab to the last.
void MoveFocus(TControl* form, TControl* from, bool forward) {
  std::vector<TTabStop> stops;
  CollectTabStops(form, stops);
  if (stops.empty()) return;
  std::stable_sort(stops.begin(), stops.end(), [](const TTabStop& a, const TTabStop& b) {
    return a.place.top != b.place.top ? a.place.top < b.place.top : a.place.left < b.place.left;
  });
  int count = static_cast<int>(stops.size());
  int next = forward ? 0 : count - 1;
  for (int i = 0; i < count; ++i) {
    if (stops[i].control == from) next = (i + (forward ? 1 : count - 1)) % count;
  }
  TControl* target = stops[next].control;
  SetFocused(target, true);
  // As dialogs do: what is typed into an edit box reached by Tab replaces its text.
  SelectAllText(target);
  // Wine, like Windows, may hide focus rectangles until the keyboard is used.
  SendMessageW(form->handle, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
}

}  // namespace

namespace winobj {

bool HandleKeyPress(const MSG& message) {
  if (message.message != WM_KEYDOWN && message.message != WM_SYSKEYDOWN) return false;
  TControl* control = OwnerControl(message.hwnd);
  TControl* form = FindForm(control);
  if (!form || form->refCount < 0 || !form->handle) return false;
  int key = static_cast<int>(message.wParam);
  uint32_t shift = ShiftState();
  // Held so that a handler may release the form; it dies on the release below.
  AddRef(form);
  Fire(form->onKeyDown, control, key, shift);
  bool tab = key == VK_TAB && !(shift & (MK_CONTROL | kShiftAlt));
  if (tab && !form->destroyed) MoveFocus(form, control, (shift & MK_SHIFT) == 0);
  ReleaseObject(form);
  return key == 0 || tab;
}

}  // namespace winobj

void SetTabStop(TControl* control, bool on) {
  control->tabStop = on;
  // A form's WS_TABSTOP bit is WS_MAXIMIZEBOX.
  if (control->isChild) ChangeStyle(control, on ? WS_TABSTOP : 0, on ? 0 : WS_TABSTOP);
}

void SetOnKeyDown(TControl* form, TKeyEvent proc, void* context) {
  form->onKeyDown = {proc, context};
}
