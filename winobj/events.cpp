// Event setters, the mouse hook and the size and screen hook.
#include "winobj/internal.h"

using namespace winobj;

void SetOnClick(TControl* control, TNotifyEvent proc, void* context) {
  control->onClick = {proc, context};
}

void SetOnChange(TControl* control, TNotifyEvent proc, void* context) {
  control->onChange = {proc, context};
}

void SetOnEnter(TControl* control, TNotifyEvent proc, void* context) {
  control->onEnter = {proc, context};
}

void SetOnLeave(TControl* control, TNotifyEvent proc, void* context) {
  control->onLeave = {proc, context};
}

void SetOnSelChange(TControl* control, TNotifyEvent proc, void* context) {
  control->onSelChange = {proc, context};
}

void SetOnDropDown(TControl* control, TNotifyEvent proc, void* context) {
  control->onDropDown = {proc, context};
}

void SetOnCloseUp(TControl* control, TNotifyEvent proc, void* context) {
  control->onCloseUp = {proc, context};
}

void SetOnScrollQuery(TControl* control, TScrollQueryEvent proc, void* context) {
  control->onScrollQuery = {proc, context};
}

void SetOnScroll(TControl* control, TScrollEvent proc, void* context) {
  control->onScroll = {proc, context};
}

namespace {

// WM_MOUSEMOVE .. WM_MOUSEWHEEL: the handler consumes the message by setting handled.
bool MouseHook(TControl* control, TWindowMessage& msg, LRESULT& result) {
  if (msg.message < WM_MOUSEMOVE || msg.message > WM_MOUSEWHEEL) return false;
  const TEvent<TMouseEvent>* event = nullptr;
  uint8_t button = 0;
  switch (msg.message) {
    case WM_MOUSEMOVE: event = &control->onMouseMove; break;
    case WM_LBUTTONDOWN:
      event = &control->onMouseDown;
      button = 1;
      break;
    case WM_LBUTTONUP:
      event = &control->onMouseUp;
      button = 1;
      break;
    case WM_LBUTTONDBLCLK:
      event = &control->onMouseDblClk;
      button = 1;
      break;
    case WM_RBUTTONDOWN:
      event = &control->onMouseDown;
      button = 2;
      break;
    case WM_RBUTTONUP:
      event = &control->onMouseUp;
      button = 2;
      break;
    case WM_RBUTTONDBLCLK:
      event = &control->onMouseDblClk;
      button = 2;
      break;
    case WM_MBUTTONDOWN:
      event = &control->onMouseDown;
      button = 3;
      break;
    case WM_MBUTTONUP:
      event = &control->onMouseUp;
      button = 3;
      break;
    case WM_MBUTTONDBLCLK:
      event = &control->onMouseDblClk;
      button = 3;
      break;
    default: event = &control->onMouseWheel; break;
  }
  if (!event->proc) return false;
  TMouseEventData data = {};
  data.button = button;
  data.shift = LOWORD(msg.wParam) | (GetKeyState(VK_MENU) < 0 ? kShiftAlt : 0);
  data.x = static_cast<int16_t>(LOWORD(msg.lParam));
  data.y = static_cast<int16_t>(HIWORD(msg.lParam));
  event->proc(event->context, control, data);
  if (!data.handled) return false;
  result = 0;
  return true;
}

void SetMouseEvent(TControl* control, TEvent<TMouseEvent>& event, TMouseEvent proc, void* context) {
  event = {proc, context};
  AddHook(control, MouseHook);
}

}  // namespace

void SetOnMouseMove(TControl* control, TMouseEvent proc, void* context) {
  SetMouseEvent(control, control->onMouseMove, proc, context);
}

void SetOnMouseDown(TControl* control, TMouseEvent proc, void* context) {
  SetMouseEvent(control, control->onMouseDown, proc, context);
}

void SetOnMouseUp(TControl* control, TMouseEvent proc, void* context) {
  SetMouseEvent(control, control->onMouseUp, proc, context);
}

void SetOnMouseDblClk(TControl* control, TMouseEvent proc, void* context) {
  SetMouseEvent(control, control->onMouseDblClk, proc, context);
}

void SetOnMouseWheel(TControl* control, TMouseEvent proc, void* context) {
  SetMouseEvent(control, control->onMouseWheel, proc, context);
}

namespace {

bool SizeHook(TControl* control, TWindowMessage& msg, LRESULT&) {
  if (msg.hwnd != control->handle) return false;
  // A minimised form has no room to lay anything out in.
  if (msg.message == WM_SIZE && msg.wParam != SIZE_MINIMIZED) Fire(control->onResize, control);
  if (msg.message == WM_DISPLAYCHANGE || msg.message == WM_SETTINGCHANGE) {
    Fire(control->onScreenChange, control);
  }
  return false;
}

}  // namespace

void SetOnResize(TControl* control, TNotifyEvent proc, void* context) {
  control->onResize = {proc, context};
  AddHook(control, SizeHook);
}

void SetOnScreenChange(TControl* form, TNotifyEvent proc, void* context) {
  form->onScreenChange = {proc, context};
  AddHook(form, SizeHook);
}
