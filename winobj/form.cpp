// Forms: creation, visibility, enabling, focus, topmost, border, Enter/Esc
// buttons, and the show, hide and close events.
#include <cassert>

#include "winobj/internal.h"

using namespace winobj;

namespace {

bool FormFocusHook(TControl* form, TWindowMessage& msg, LRESULT&) {
  if (msg.message != WM_SETFOCUS || msg.hwnd != form->handle) return false;
  if (g.mainForm && g.mainForm != form) g.mainForm->activeControl = form;
  if (!form->activeControl) return false;
  SetFocus(GetHandle(form->activeControl));
  return true;
}

// OnShow / OnHide once per change: both the layer and ShowWindow send
// WM_SHOWWINDOW while the window still has its old visibility.
bool ShowHook(TControl* control, TWindowMessage& msg, LRESULT&) {
  if (msg.message != WM_SHOWWINDOW || msg.hwnd != control->handle) return false;
  bool wasVisible = IsWindowVisible(control->handle) != 0;
  if (msg.wParam == 0) {
    control->visible = false;
    if (wasVisible && control->shownNotice != 0) {
      control->shownNotice = 0;
      Fire(control->onHide, control);
    }
  } else {
    control->visible = true;
    if (!wasVisible && control->shownNotice != 1) {
      control->shownNotice = 1;
      Fire(control->onShow, control);
    }
  }
  return false;
}

bool CloseHook(TControl* form, TWindowMessage& msg, LRESULT& result) {
  if (msg.message != WM_CLOSE || msg.hwnd != form->handle) return false;
  bool allow = true;
  Fire(form->onClose, form, allow);
  if (!allow && g.running) {
    result = 0;
    return true;
  }
  form->onClose = {};  // asked once only
  if (form == g.mainForm || (!g.mainForm && !form->isChild)) {
    PostQuitMessage(0);
    result = 0;
  }
  return false;
}

}  // namespace

TControl* NewForm(TControl* parent, const std::wstring& caption) {
  TControl* form = new TControl();
  form->className = L"Form";
  form->InitWithParent(parent);
  if (parent) {
    form->textColor = parent->textColor;
    form->margin = parent->margin;
    if (parent->font) AssignFont(GetFont(form), parent->font);
  }
  form->style = WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | (parent ? WS_POPUP : 0);
  form->classStyle |= CS_DBLCLKS;
  // Newest first: the erase-background hook is asked before the focus hook.
  AddHook(form, FormFocusHook);
  AddHook(form, EraseBackgroundHook);
  form->isForm = true;
  SetText(form, caption);
  form->defaultBoundsFromWorkArea = true;
  return form;
}

void SetVisible(TControl* control, bool on) {
  if (HandToWindowThread(control, [control, on] { SetVisible(control, on); })) return;
  if (on) {
    control->style |= WS_VISIBLE;
  } else {
    control->style &= ~WS_VISIBLE;
  }
  control->visible = on;
  control->visibleSet = true;
  if (!control->handle) return;
  SendMessageW(control->handle, WM_SHOWWINDOW, on, 0);
  if (on) {
    ShowWindow(control->handle, SW_SHOW);
  } else {
    control->showAfterCreate = false;
    ShowWindow(control->handle, SW_HIDE);
  }
}

bool GetVisible(TControl* control) {
  if (!control->isChild && control->handle)
    control->visible = IsWindowVisible(control->handle) != 0;
  bool shown = control->visible || control->showAfterCreate;
  if (control->isChild && control->parent) return shown && GetVisible(control->parent);
  return shown;
}

void SetEnabled(TControl* control, bool on) {
  if (GetEnabled(control) == on) return;
  control->enabled = on;
  if (on) {
    control->style &= ~WS_DISABLED;
  } else {
    control->style |= WS_DISABLED;
  }
  if (!control->handle) return;
  EnableWindow(control->handle, on);
  InvalidateRect(control->handle, nullptr, TRUE);
}

bool GetEnabled(TControl* control) {
  if (control->handle) return IsWindowEnabled(control->handle) != 0;
  return !(control->style & WS_DISABLED);
}

void SetFocused(TControl* control, bool on) {
  if (!on) return;
  if (!control->isChild) {
    SetForegroundWindow(GetHandle(control));
    return;
  }
  if (!control->tabStop) return;
  TControl* form = FindForm(control);
  if (form) {
    // A form not shown yet that does not hold the focus either hands it on
    // when it gets it (FormFocusHook): taken now, the focus could be left
    // nowhere, and a key pressed until then would reach no control. One that
    // the system has activated while hidden (a window it moved or sized) holds
    // it already, and gets no more focus when it shows.
    HWND focus = GetFocus();
    bool holdsFocus = form->handle && (focus == form->handle || IsChild(form->handle, focus));
    bool shown = form->handle && IsWindowVisible(form->handle);
    if (shown && form->activeControl && form->activeControl != control) SetFocus(nullptr);
    form->activeControl = control;
    if (!shown && !holdsFocus) return;
  }
  SetFocus(GetHandle(control));
}

bool IsTopmost(TControl* form) {
  DWORD exStyle =
      form->handle ? static_cast<DWORD>(GetWindowLongW(form->handle, GWL_EXSTYLE)) : form->exStyle;
  return (exStyle & WS_EX_TOPMOST) != 0;
}

void SetTopmost(TControl* form, bool on) {
  if (IsTopmost(form) == on) return;
  if (form->handle) {
    SetWindowPos(form->handle, on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
    form->exStyle = static_cast<DWORD>(GetWindowLongW(form->handle, GWL_EXSTYLE));
  } else if (on) {
    form->exStyle |= WS_EX_TOPMOST;
  } else {
    form->exStyle &= ~WS_EX_TOPMOST;
  }
}

bool HasBorder(TControl* control) {
  DWORD style = control->style, exStyle = control->exStyle;
  if (control->handle) {
    style = static_cast<DWORD>(GetWindowLongW(control->handle, GWL_STYLE));
    exStyle = static_cast<DWORD>(GetWindowLongW(control->handle, GWL_EXSTYLE));
  }
  return (style & (WS_CAPTION | WS_THICKFRAME)) || (exStyle & WS_EX_CLIENTEDGE);
}

void SetHasBorder(TControl* control, bool on) {
  if (HasBorder(control) == on) return;
  // Caption, frame, system menu and the two boxes; for a child WS_TABSTOP shares
  // its bit with WS_MAXIMIZEBOX and is put back below.
  const DWORD kFormFrame = WS_BORDER | WS_DLGFRAME | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
  // Off takes all of it away, the sizing frame too.
  const DWORD kFrameStyles =
      WS_CAPTION | WS_THICKFRAME | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
  if (on) {
    ChangeStyle(control, control->isChild ? WS_BORDER : kFormFrame, 0);
  } else {
    ChangeStyle(control, 0, kFrameStyles);
  }
  if (control->isChild) {
    ChangeStyle(control, control->tabStop ? WS_TABSTOP : 0, control->tabStop ? 0 : WS_TABSTOP);
  }
}

namespace winobj {

bool DefaultKeyHook(TControl* control, TWindowMessage& msg, LRESULT& result) {
  TControl* form = g.mainForm;
  if (form && form->savedPreHook && form->savedPreHook(control, msg, result)) return true;
  if (g.terminated || !form) return false;
  if (msg.message != WM_KEYDOWN && msg.message != WM_KEYUP) return false;
  if (msg.wParam != VK_RETURN && msg.wParam != VK_ESCAPE) return false;
  // An open combo list takes Enter and Esc itself.
  if (control->listDropped) return false;
  TControl* target = nullptr;
  if (msg.wParam == VK_RETURN) {
    // A focused push button is the default one while it has the focus.
    TControl* active = form->activeControl;
    TControl* button = active && active->pressedByEnter ? active : form->defaultButton;
    if (button && GetVisible(button) && GetEnabled(button) && !(active && active->wantsEnter)) {
      target = button;
    }
  } else {
    TControl* button = form->cancelButton;
    if (button && GetVisible(button) && GetEnabled(button)) target = button;
  }
  if (!target) return false;
  if (msg.message == WM_KEYDOWN) SetFocused(target, true);
  // Pressed as if Space had been pressed on the button.
  SendMessageW(GetHandle(target), msg.message, VK_SPACE, msg.lParam);
  msg.wParam = 0;
  result = 0;
  return true;
}

}  // namespace winobj

void SetDefaultKeyButton(TControl* button, int key, bool on) {
  assert(key == VK_RETURN || key == VK_ESCAPE);
  TControl* mainForm = g.mainForm;
  TControl* form = FindForm(button);
  if (!mainForm || !form) return;
  TControl*& slot = key == VK_RETURN ? form->defaultButton : form->cancelButton;
  if (on) {
    slot = button;
    if (mainForm->preHook != DefaultKeyHook) {
      mainForm->savedPreHook = mainForm->preHook;
      mainForm->preHook = DefaultKeyHook;
    }
    return;
  }
  // Only this button's role ends; the hook stays while the other key has a button.
  if (slot == button) slot = nullptr;
  if (!form->defaultButton && !form->cancelButton && mainForm->preHook == DefaultKeyHook) {
    mainForm->preHook = mainForm->savedPreHook;
    mainForm->savedPreHook = nullptr;
  }
}

void SetOnShow(TControl* control, TNotifyEvent proc, void* context) {
  control->onShow = {proc, context};
  AddHook(control, ShowHook);
}

void SetOnHide(TControl* control, TNotifyEvent proc, void* context) {
  control->onHide = {proc, context};
  AddHook(control, ShowHook);
}

void SetOnClose(TControl* form, TCloseEvent proc, void* context) {
  form->onClose = {proc, context};
  AddHook(form, CloseHook);
}
