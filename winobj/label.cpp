// Labels ("STATIC" showing text).
#include "winobj/internal.h"

using namespace winobj;

namespace winobj {

const TControlTraits kStaticTraits = {
    .clear = ClearText,
    .clickCode = STN_CLICKED,
    .alignLeft = SS_LEFT,
    .alignRight = SS_RIGHT,
    .alignCenter = SS_CENTER,
    .alignClears = SS_LEFTNOWORDWRAP,  // an alignment ends the no-wrap type
    .extraWidth = 1,
    .extraHeight = 1,
};

}  // namespace winobj

TControl* NewLabel(TControl* parent, const std::wstring& caption) {
  TControl* label = NewChildControl(
      parent, L"STATIC", WS_CHILD | WS_VISIBLE | SS_NOTIFY | SS_NOPREFIX | SS_LEFTNOWORDWRAP,
      kStaticTraits, 64, 22);
  label->drawsOwnText = true;
  SetText(label, caption);
  return label;
}
