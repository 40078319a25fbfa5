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

TControl* NewLabel(TControl* parent, const std::wstring& caption) {
  TControl* label = NewChildControl(
      parent, L"STATIC", WS_CHILD | WS_VISIBLE | SS_NOTIFY | SS_NOPREFIX | SS_LEFTNOWORDWRAP,
      kStaticTraits, 64, 22);
  label->drawsOwnText = true;
  SetText(label, caption);
  return label;
}
