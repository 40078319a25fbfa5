// Labels ("STATIC" showing text).
#include "winobj/internal.h"

using namespace winobj;

namespace winobj {

// An alignment also ends the no-wrap type.
const TControlTraits kStaticTraits = TTraitsOf(ClearText)
                                         .Notifications(STN_CLICKED, 0, 0)
                                         .Alignment(SS_LEFT, SS_RIGHT, SS_CENTER, SS_LEFTNOWORDWRAP)
                                         .ExtraSize(1, 1);

}  // namespace winobj

namespace {

// The static class draws no focus cue: a label that takes the focus draws a
// focus rectangle round itself after its own painting.
bool FocusRectangleHook(TControl* label, TWindowMessage& msg, LRESULT& result) {
  if (msg.hwnd != label->handle) return false;
  if (msg.message == WM_SETFOCUS || msg.message == WM_KILLFOCUS) {
    InvalidateRect(label->handle, nullptr, TRUE);
    return false;
  }
  if (msg.message != WM_PAINT || GetFocus() != label->handle) return false;
  result = DefaultProcessing(label, msg);
  RECT client;
  GetClientRect(label->handle, &client);
  HDC dc = GetDC(label->handle);
  DrawFocusRect(dc, &client);
  ReleaseDC(label->handle, dc);
  return true;
}

}  // namespace

TControl* NewLabel(TControl* parent, const std::wstring& caption) {
  TControl* label = NewChildControl(
      parent, L"STATIC", WS_CHILD | WS_VISIBLE | SS_NOTIFY | SS_NOPREFIX | SS_LEFTNOWORDWRAP,
      kStaticTraits, 64, 22);
  label->drawsOwnText = true;
  AddHook(label, FocusRectangleHook);
  SetText(label, caption);
  return label;
}
