// Labels ("STATIC" showing text).
#include "winobj/internal.h"

using namespace winobj;

namespace winobj {

const TControlTraits kStaticTraits = {
    ClearText,
    STN_CLICKED, 0, 0, 0, 0,  // click, enter, leave, change, select
    0, 0, 0, 0,               // item count, replace sel, item data
    0, 0, 0,                  // add, delete, insert item
    0, 0, 0, 0, 0,            // line index .. set selection
    SS_LEFT, SS_RIGHT, SS_CENTER, SS_LEFTNOWORDWRAP,  // alignment; clears the no-wrap type
    1, 1,                     // extra width, height
};

}  // namespace winobj

TControl* NewLabel(TControl* parent, const std::wstring& caption) {
  TControl* label = NewChildControl(parent, L"STATIC",
                                    WS_CHILD | WS_VISIBLE | SS_NOTIFY | SS_NOPREFIX | SS_LEFTNOWORDWRAP,
                                    kStaticTraits, 64, 22);
  label->drawsOwnText = true;
  SetText(label, caption);
  return label;
}
