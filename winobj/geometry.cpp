// Bounds, client area and anchors.
#include "winobj/internal.h"

using namespace winobj;

RECT GetBoundsRect(TControl* control) {
  if (control->handle) {
    RECT r;
    GetWindowRect(control->handle, &r);
    if (control->isChild && control->parent && control->parent->handle) {
      POINT origin = {0, 0};
      ClientToScreen(control->parent->handle, &origin);
      OffsetRect(&r, -origin.x, -origin.y);
    }
    control->bounds = r;
  }
  return control->bounds;
}

void SetBoundsRect(TControl* control, const RECT& bounds) {
  RECT current = GetBoundsRect(control);
  if (EqualRect(&current, &bounds)) return;
  // A form gets its caption when it is first given bounds.
  if (control->isForm && !(control->boundsSet & kBoundsSizeSet))
    ChangeStyle(control, WS_CAPTION | WS_SYSMENU, 0);
  control->boundsSet |= kBoundsSizeSet;
  if (bounds.left != current.left) control->boundsSet |= kBoundsLeftSet;
  if (bounds.top != current.top) control->boundsSet |= kBoundsTopSet;
  control->bounds = bounds;
  if (!control->handle) return;
  int width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
  bool sameSize = width == current.right - current.left && height == current.bottom - current.top;
  bool samePosition = bounds.left == current.left && bounds.top == current.top;
  UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
  if (sameSize) {
    flags |= SWP_NOSIZE;
  } else if (samePosition) {
    flags |= SWP_NOMOVE;
  }
  SetWindowPos(control->handle, nullptr, bounds.left, bounds.top, width, height, flags);
  // A static control does not repaint its text when it only grows.
  if (control->drawsOwnText && !sameSize) InvalidateRect(control->handle, nullptr, TRUE);
}

int GetLeft(TControl* control) { return GetBoundsRect(control).left; }
int GetTop(TControl* control) { return GetBoundsRect(control).top; }

int GetWidth(TControl* control) { return WidthOf(GetBoundsRect(control)); }

int GetHeight(TControl* control) { return HeightOf(GetBoundsRect(control)); }

void SetLeft(TControl* control, int left) {
  RECT r = GetBoundsRect(control);
  OffsetRect(&r, left - r.left, 0);
  SetBoundsRect(control, r);
}

void SetTop(TControl* control, int top) {
  RECT r = GetBoundsRect(control);
  OffsetRect(&r, 0, top - r.top);
  SetBoundsRect(control, r);
}

void SetWidth(TControl* control, int width) {
  RECT r = GetBoundsRect(control);
  r.right = r.left + width;
  SetBoundsRect(control, r);
}

void SetHeight(TControl* control, int height) {
  RECT r = GetBoundsRect(control);
  r.bottom = r.top + height;
  SetBoundsRect(control, r);
}

TControl* SetPosition(TControl* control, int left, int top) {
  SetLeft(control, left);
  SetTop(control, top);
  return control;
}

TControl* SetSize(TControl* control, int width, int height) {
  RECT r = GetBoundsRect(control);
  if (width > 0) r.right = r.left + width;
  if (height > 0) r.bottom = r.top + height;
  SetBoundsRect(control, r);
  return control;
}

namespace {

RECT ClientBounds(TControl* control) {
  RECT r = control->bounds;
  if (HWND hwnd = GetHandle(control)) GetClientRect(hwnd, &r);
  r.top += control->clientInsets.top;
  r.bottom -= control->clientInsets.bottom;
  r.left += control->clientInsets.left;
  r.right -= control->clientInsets.right;
  return r;
}

// The parent's WM_WINDOWPOSCHANGED: anchored children follow the size change.
bool AnchorHook(TControl* parent, TWindowMessage& msg, LRESULT&) {
  if (msg.message != WM_WINDOWPOSCHANGED || msg.hwnd != parent->handle) return false;
  RECT client = ClientBounds(parent);
  int dx = client.right - parent->anchorWidth;
  int dy = client.bottom - parent->anchorHeight;
  for (int i = 0; i < parent->children->Count(); ++i) {
    auto* child = static_cast<TControl*>(parent->children->Get(i));
    if (dx != 0) {
      if (child->anchorLeft && child->anchorRight) {
        SetWidth(child, GetWidth(child) + dx);
      } else if (child->anchorRight) {
        SetLeft(child, GetLeft(child) + dx);
      }
    }
    if (dy != 0) {
      if (child->anchorTop && child->anchorBottom) {
        SetHeight(child, GetHeight(child) + dy);
      } else if (child->anchorBottom) {
        SetTop(child, GetTop(child) + dy);
      }
    }
  }
  parent->anchorWidth = client.right;
  parent->anchorHeight = client.bottom;
  return false;
}

}  // namespace

int GetClientWidth(TControl* control) { return WidthOf(ClientBounds(control)); }

int GetClientHeight(TControl* control) { return HeightOf(ClientBounds(control)); }

void SetAnchors(TControl* control, bool left, bool top, bool right, bool bottom) {
  control->anchorLeft = left;
  control->anchorTop = top;
  control->anchorRight = right;
  control->anchorBottom = bottom;
  TControl* parent = control->parent;
  if (!parent) return;
  // Measured first: making the parent's window sends WM_WINDOWPOSCHANGED, which
  // must not find the hook with no size stored yet.
  RECT client = ClientBounds(parent);
  parent->anchorWidth = client.right;
  parent->anchorHeight = client.bottom;
  AddHook(parent, AnchorHook);
}
