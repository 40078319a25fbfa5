// TControl: life cycle, window creation, parents and the common child behaviour.
#include <cassert>

#include "platform/ce/ce_shell.h"
#include "winobj/internal.h"

using namespace winobj;

void TControl::Init() {
  hooks = NewObject<TPointerList>();
  children = NewObject<TPointerList>();
}

void TControl::InitWithParent(TControl* newParent) {
  Init();
  if (!newParent) return;
  color = newParent->color;
  SetParentControl(this, newParent);
}

void TControl::Destroy() {
  // Nothing may keep pointing at this control once it is gone.
  if (TControl* form = FindForm(this)) {
    if (form->activeControl == this) form->activeControl = nullptr;
    if (form->defaultButton == this) form->defaultButton = nullptr;
    if (form->cancelButton == this) form->cancelButton = nullptr;
  }
  if (g.mainForm && g.mainForm->activeControl == this) g.mainForm->activeControl = nullptr;
  if (g.mainForm == this) g.mainForm = nullptr;

  if (handle) ShowWindow(handle, SW_HIDE);
  ReleaseHeld();  // OnDestroy, then children and the font
  font = nullptr;

  if (!destroyed) {
    destroyed = true;
    ReleaseObject(canvas);
    canvas = nullptr;
    if (handle && IsWindow(handle)) {
      SetPropW(handle, kSelfProp, nullptr);
      // Hand the window back to its class so that its teardown messages reach
      // the class procedure, not the main form.
      SetWindowLongPtrW(handle, GWLP_WNDPROC,
                        reinterpret_cast<LONG_PTR>(systemProc ? systemProc : DefWindowProcW));
      // A window that is already being destroyed (WM_DESTROY seen) is left to it.
      if (!destroySeen) DestroyWindow(handle);
    }
    handle = nullptr;
    if (brush) DeleteObject(brush);
    brush = nullptr;
    text.clear();
    if (parent) {
      parent->children->Delete(parent->children->IndexOf(this));
      RemoveDependent(parent, this);
      if (parent->activeControl == this) parent->activeControl = nullptr;
    }
    // A child that is still held (in the middle of its own dispatch) outlives
    // this control: it must not reach back to it when it goes.
    for (int i = 0; i < children->Count(); ++i)
      static_cast<TControl*>(children->Get(i))->parent = nullptr;
    ReleaseObject(hooks);
    hooks = nullptr;
    ReleaseObject(children);
    children = nullptr;
  }
  // ReleaseHeld ran above; TRefObject::Destroy would only repeat it.
  TBaseObject::Destroy();  // NOLINT(bugprone-parent-virtual-call)
}

HWND GetHandle(TControl* control) {
  if (!control->handle) control->CreateWindowHandle();
  return control->handle;
}

LRESULT Perform(TControl* control, UINT message, WPARAM wParam, LPARAM lParam) {
  return SendMessageW(GetHandle(control), message, wParam, lParam);
}

TControl* FindForm(TControl* control) {
  while (control && control->isChild) control = control->parent;
  return control;
}

void SetParentControl(TControl* control, TControl* newParent) {
  assert(control != newParent);
  TControl* oldParent = control->parent;
  if (oldParent == newParent) return;
  if (oldParent) {
    oldParent->children->Delete(oldParent->children->IndexOf(control));
    RemoveDependent(oldParent, control);
    if (oldParent->activeControl == control) oldParent->activeControl = nullptr;
  }
  control->parent = newParent;
  if (newParent) {
    newParent->children->Add(control);
    AddDependent(newParent, control);
  }
  if (control->handle) SetParent(control->handle, newParent ? GetHandle(newParent) : nullptr);
}

namespace {

// Makes the windows of the children that lack one and finishes the others.
void CreateChildWindows(TControl* control) {
  for (int i = 0; i < control->children->Count(); ++i) {
    static_cast<TControl*>(control->children->Get(i))->CreateWindowHandle();
  }
}

void ShowIfMarked(TControl* control) {
  if (!control->showAfterCreate) return;
  control->showAfterCreate = false;
  SetVisible(control, true);
}

}  // namespace

bool TControl::CreateWindowHandle() {
  if (parent && !GetHandle(parent)) return false;
  if (handle) {
    CreateChildWindows(this);
    ShowIfMarked(this);
    return true;
  }
  // Windows belong to the thread that handles them; a worker never makes one.
  if (g.uiThread == 0) g.uiThread = GetCurrentThreadId();
  if (g.uiThread != GetCurrentThreadId()) return false;

  HINSTANCE instance = GetModuleHandleW(nullptr);
  wchar_t name[64] = {};
  className.copy(name, 63);

  int x = bounds.left, y = bounds.top;
  int width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
  if (width == 0) width = CW_USEDEFAULT;
  if (height == 0) height = CW_USEDEFAULT;
  if (!isChild && boundsSet == 0) x = y = CW_USEDEFAULT;
  RECT work;
  if (defaultBoundsFromWorkArea && PlatformSystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) {
    if (x == CW_USEDEFAULT) x = work.left;
    if (y == CW_USEDEFAULT) y = work.top;
    if (width == CW_USEDEFAULT) width = work.right - x;
    if (height == CW_USEDEFAULT) height = PlatformGetSystemMetrics(SM_CYSCREEN) - y;
  }

  WNDCLASSW wc = {};
  bool classFound = GetClassInfoW(instance, name, &wc) != 0;
  if (!systemProc && classFound && wc.lpfnWndProc != SharedWindowProc) systemProc = wc.lpfnWndProc;

  HWND parentWindow = parent ? parent->handle : nullptr;
  if (!parentWindow && (style & WS_CHILD)) return false;
  if (!classFound) {
    wc = {};
    wc.style = classStyle;
    wc.lpfnWndProc = SharedWindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = name;
    if (!RegisterClassW(&wc)) return false;
  }

  // Made hidden, shown once complete: children at the end of this call, forms by
  // the next call (RunApplication), so OnShow sees the finished form.
  if (!visibleSet && (style & WS_VISIBLE)) {
    style &= ~WS_VISIBLE;
    visible = false;
    showAfterCreate = true;
  }

  if (!systemProc) g.creating = this;
  HWND hwnd =
      CreateWindowExW(exStyle, name, text.c_str(), style, x, y, width, height, parentWindow,
                      reinterpret_cast<HMENU>(static_cast<UINT_PTR>(childId)), instance, nullptr);
  g.creating = nullptr;
  if (!hwnd) return false;
  handle = hwnd;
  if (systemProc) {
    SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SharedWindowProc));
    SetPropW(hwnd, kSelfProp, this);
  }

  if (!isChild && GetPlatformKind() != 2) {
    SHMENUBARINFO mbi = {};
    mbi.cbSize = sizeof(mbi);
    mbi.hwndParent = hwnd;
    mbi.dwFlags = SHCMBF_EMPTYBAR;
    RECT bar;
    if (SHCreateMenuBar(&mbi) && GetWindowRect(mbi.hwndMB, &bar) && bar.top < y + height) {
      SetWindowPos(hwnd, nullptr, 0, 0, width, bar.top - y,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOOWNERZORDER);
    }
  }
  if (style & WS_VISIBLE) SendMessageW(hwnd, WM_SHOWWINDOW, 1, 0);
  if (afterCreate) afterCreate(this);
  ApplyFont(this);
  CreateChildWindows(this);
  if (isChild) ShowIfMarked(this);
  return true;
}

namespace winobj {

void ChangeStyle(TControl* control, DWORD set, DWORD clear) {
  DWORD current = control->handle ? static_cast<DWORD>(GetWindowLongW(control->handle, GWL_STYLE))
                                  : control->style;
  DWORD next = (current & ~clear) | set;
  control->style = next;
  if (next == current || !control->handle) return;
  SetWindowLongW(control->handle, GWL_STYLE, static_cast<LONG>(next));
  SetWindowPos(control->handle, nullptr, 0, 0, 0, 0,
               SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  InvalidateRect(control->handle, nullptr, TRUE);
}

TControl* NewChildControl(TControl* parent, const wchar_t* className, DWORD style,
                          const TControlTraits& traits, int width, int height) {
  assert(parent);
  TControl* control = NewObjectWithParent<TControl>(parent);
  control->className = className;
  control->textColor = parent->textColor;
  control->margin = parent->margin;
  if (parent->font) {
    // An unchanged copy shares the parent's GDI handle (parentTool).
    TGdiTool* font = AssignFont(nullptr, parent->font);
    font->parentTool = parent->font;
    control->font = font;
    AddDependent(control, font);
    font->onChange = {FontChanged, control};
    FontChanged(control, font);
  }
  control->traits = traits;
  control->isChild = true;
  control->style = style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
  control->visible = (style & WS_VISIBLE) != 0;
  control->tabStop = (style & WS_TABSTOP) != 0;
  int left = parent->margin + parent->clientInsets.left;
  int top = parent->margin + parent->clientInsets.top;
  control->bounds = {left, top, left + width, top + height};
  if (TControl* form = FindForm(control)) {
    control->tabOrder = ++form->tabCounter;
    if ((style & WS_TABSTOP) && !form->activeControl) form->activeControl = control;
  }
  control->childId = g.nextChildId++;
  AddHook(control, CommonChildHook);
  return control;
}

namespace {

// Reflected WM_COMMAND: the kind's notification codes raise the events.
bool DispatchNotification(TControl* control, TWindowMessage& msg, LRESULT& result) {
  const TControlTraits& traits = control->traits;
  uint16_t code = HIWORD(msg.wParam);
  // Compared in this order: kinds whose click code is 0 take 0 as a click.
  if (code == traits.clickCode) {
    if (!control->focusGuard) SetFocused(control, true);
    control->rightClick = false;
    Fire(control->onClick, control);
  } else if (code == traits.enterCode) {
    Fire(control->onEnter, control);
  } else if (code == traits.leaveCode) {
    Fire(control->onLeave, control);
  } else if (code == traits.changeCode) {
    Fire(control->onChange, control);
  } else if (code == traits.selectCode) {
    Fire(control->onSelChange, control);
    Fire(control->onChange, control);
  } else {
    return false;
  }
  result = DefaultProcessing(control, msg);
  return true;
}

}  // namespace

bool CommonChildHook(TControl* control, TWindowMessage& msg, LRESULT& result) {
  if (msg.message == WM_SETFOCUS) {
    TControl* form = FindForm(control);
    if (!form) {
      result = 0;
      return true;
    }
    form->activeControl = control;
    return false;
  }
  if (msg.message == kReflectedCommand) return DispatchNotification(control, msg, result);
  if (msg.message >= kReflectedColorBase + WM_CTLCOLORMSGBOX &&
      msg.message <= kReflectedColorBase + WM_CTLCOLORSTATIC) {
    HDC dc = reinterpret_cast<HDC>(msg.wParam);
    SetTextColor(dc, ResolveColor(control->textColor));
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, ResolveColor(control->color));
    result = reinterpret_cast<LRESULT>(GetBrush(control));
    return true;
  }
  return false;
}

}  // namespace winobj
