// Edit boxes ("EDIT").
#include "winobj/internal.h"

using namespace winobj;

namespace {

const TControlTraits kEditTraits = {
    ClearText,
    0, EN_SETFOCUS, EN_KILLFOCUS, EN_CHANGE, 0,  // click, enter, leave, change, select
    EM_GETLINECOUNT, EM_REPLACESEL, 0, 0,        // item count, replace sel, item data
    0, 0, 0,                                     // add, delete, insert item
    EM_LINEINDEX, EM_GETSEL, EM_LINEINDEX, 0, EM_SETSEL,
    ES_LEFT, ES_RIGHT, ES_CENTER, 0,  // alignment
    0, 6,                             // extra width, height
};

}  // namespace

TControl* NewEditBox(TControl* parent, uint32_t options) {
  DWORD style = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP;
  if (!(options & kEditNoHScroll)) style |= WS_HSCROLL | ES_AUTOHSCROLL;
  if (!(options & kEditNoVScroll)) style |= WS_VSCROLL | ES_AUTOVSCROLL;
  const struct {
    uint32_t option;
    DWORD style;
  } kOptionStyles[] = {
      {kEditLowercase, ES_LOWERCASE}, {kEditMultiline, ES_MULTILINE},
      {kEditNoHideSel, ES_NOHIDESEL}, {kEditOemConvert, ES_OEMCONVERT},
      {kEditPassword, ES_PASSWORD},   {kEditReadOnly, ES_READONLY},
      {kEditUppercase, ES_UPPERCASE}, {kEditWantReturn, ES_WANTRETURN},
      {kEditNumber, ES_NUMBER},
  };
  for (const auto& entry : kOptionStyles) {
    if (options & entry.option) style |= entry.style;
  }
  bool multiline = (options & kEditMultiline) != 0;
  // A single line has no scroll bars; the automatic scrolling stays.
  if (!multiline) style &= ~(WS_HSCROLL | WS_VSCROLL);
  TControl* edit = NewChildControl(parent, L"EDIT", style, kEditTraits, multiline ? 200 : 100,
                                   multiline ? 200 : 22);
  edit->wantsEnter = multiline;
  return edit;
}
