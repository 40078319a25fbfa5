// Panels: text-less "STATIC" windows that hold other controls.
#include "winobj/internal.h"

using namespace winobj;

TControl* NewPanel(TControl* parent, int edge) {
  DWORD style = WS_CHILD | WS_VISIBLE | SS_NOTIFY | SS_NOPREFIX | SS_LEFTNOWORDWRAP;
  if (edge != kPanelNoBorder) style |= WS_BORDER;
  return NewChildControl(parent, L"STATIC", style, kStaticTraits, 100, 100);
}
