// The shared window procedure, TControl::WindowProc and hook dispatch.
#include <cassert>

#include "winobj/internal.h"

namespace winobj {

const wchar_t kSelfProp[] = L"SELF_";
const wchar_t kPrevProcProp[] = L"PREV_PROC";
Globals g;

TControl* ControlOf(HWND hwnd) {
  return hwnd ? static_cast<TControl*>(GetPropW(hwnd, kSelfProp)) : nullptr;
}

LRESULT DefaultProcessing(TControl* control, const TWindowMessage& msg) {
  if (control->systemProc) {
    return CallWindowProcW(control->systemProc, msg.hwnd, msg.message, msg.wParam, msg.lParam);
  }
  return DefWindowProcW(msg.hwnd, msg.message, msg.wParam, msg.lParam);
}

bool DispatchHooks(TControl* control, TWindowMessage& msg, LRESULT& result) {
  if (control->refCount < 0 || !control->hooks || control->hooks->Count() == 0) return false;
  // Held so that a handler may release the control; it dies on the release below.
  AddRef(control);
  bool handled = false;
  for (int i = control->hooks->Count() - 1; i >= 0 && !g.terminated; --i) {
    if (i >= control->hooks->Count()) continue;  // a hook removed others
    auto hook = reinterpret_cast<THookProc>(control->hooks->Get(i));
    if (hook(control, msg, result)) {
      handled = true;
      break;
    }
  }
  ReleaseObject(control);
  return handled;
}

// Nothing may unwind through the system's frames: an exception from a handler
// ends the program here (noexcept) instead of corrupting the message loop.
LRESULT CALLBACK SharedWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  TWindowMessage msg = {hwnd, message, wParam, lParam};
  TControl* target = nullptr;
  if (hwnd) {
    if (g.creating) {
      // The first message of a window of the layer's own class binds it.
      target = g.creating;
      g.creating = nullptr;
      target->handle = hwnd;
      SetPropW(hwnd, kSelfProp, target);
    } else {
      target = ControlOf(hwnd);
    }
  }
  if (!target) {
    if (g.mainForm) return g.mainForm->WindowProc(msg);
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
  if (message == WindowThreadCallMessage()) {
    RunSentCall(wParam, lParam);
    return 0;
  }
  // A dying control (count below 0) is not held: releasing it again would
  // destroy it twice.
  bool held = target->refCount >= 0;
  if (held) AddRef(target);
  ++target->nesting;
  LRESULT result = target->WindowProc(msg);
  --target->nesting;
  if (held) {
    // A window the system destroyed takes its object with it, once no dispatch
    // of it is running any more (nesting 0) and nobody else holds it.
    bool selfRelease = target->refCount == 2 && target->nesting <= 0 && target->destroySeen &&
                       target != g.mainForm;
    ReleaseObject(target);
    if (selfRelease) ReleaseObject(target);
  }
  return result;
}

}  // namespace winobj

using namespace winobj;

void AddHook(TControl* control, THookProc hook) {
  assert(control && hook);
  void* item = reinterpret_cast<void*>(hook);
  if (control->hooks->IndexOf(item) < 0) control->hooks->Add(item);
}

void RemoveHook(TControl* control, THookProc hook) {
  if (!control->hooks) return;
  control->hooks->Delete(control->hooks->IndexOf(reinterpret_cast<void*>(hook)));
}

bool HasHook(TControl* control, THookProc hook) {
  return control->hooks && control->hooks->IndexOf(reinterpret_cast<void*>(hook)) >= 0;
}

LRESULT TControl::WindowProc(TWindowMessage& msg) {
  if (msg.hwnd && !handle) handle = msg.hwnd;
  LRESULT result = 0;
  TControl* mainForm = g.mainForm;
  if (g.running && mainForm && mainForm != this && mainForm->preHook &&
      mainForm->preHook(this, msg, result)) {
    return result;
  }
  if (preHook && preHook(this, msg, result)) return result;
  if (DispatchHooks(this, msg, result)) return result;

  switch (msg.message) {
    case WM_DESTROY: destroySeen = true; return DefaultProcessing(this, msg);
    case WM_SIZE:
      result = DefaultProcessing(this, msg);
      sizeType = static_cast<uint8_t>(msg.wParam);
      return result;
    case WM_SETFOCUS:
      if (!enabled || !(tabStop || (style & WS_TABSTOP))) return 0;
      ++focusGuard;
      result = DefaultProcessing(this, msg);
      --focusGuard;
      return result;
    case WM_CLOSE:
      if (this == mainForm || (!mainForm && !isChild)) {
        PostQuitMessage(0);
        return 0;
      }
      return DefaultProcessing(this, msg);
    case WM_WINDOWPOSCHANGED:
      result = DefaultProcessing(this, msg);
      // Some system classes do not pass it on, and WM_SIZE / WM_MOVE would be lost.
      if (systemProc) result = DefWindowProcW(msg.hwnd, msg.message, msg.wParam, msg.lParam);
      return result;
    case WM_NCDESTROY:
      RemovePropW(msg.hwnd, kSelfProp);
      // The class procedure still frees its own state (edit buffers, window text).
      return DefaultProcessing(this, msg);
    case WM_COMMAND: {
      HWND sender = reinterpret_cast<HWND>(msg.lParam);
      if (ControlOf(sender)) return SendMessageW(sender, kReflectedCommand, msg.wParam, msg.lParam);
      return DefaultProcessing(this, msg);
    }
    default: break;
  }
  if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) {
    HWND focus = GetFocus();
    if (focus && focus != handle) return 0;
    if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0)
      return DefaultProcessing(this, msg);
    if (msg.message == WM_CHAR && msg.wParam == VK_TAB) {
      msg.wParam = 0;
      return 0;
    }
    return DefaultProcessing(this, msg);
  }
  if (msg.message >= WM_CTLCOLORMSGBOX && msg.message <= WM_CTLCOLORSTATIC) {
    // A child without an object, or one that does not answer, gets the default
    // colours rather than a null brush.
    HWND child = reinterpret_cast<HWND>(msg.lParam);
    if (ControlOf(child)) {
      result = SendMessageW(child, kReflectedColorBase + msg.message, msg.wParam, msg.lParam);
      if (result) return result;
    }
    return DefaultProcessing(this, msg);
  }
  return DefaultProcessing(this, msg);
}
