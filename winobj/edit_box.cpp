// Edit boxes ("EDIT").
#include "winobj/internal.h"

using namespace winobj;

namespace {

const TControlTraits kEditTraits = {
    .clear = ClearText,
    .enterCode = EN_SETFOCUS,
    .leaveCode = EN_KILLFOCUS,
    .changeCode = EN_CHANGE,
    .itemCountMsg = EM_GETLINECOUNT,
    .replaceSelMsg = EM_REPLACESEL,
    .lineIndexMsg = EM_LINEINDEX,
    .getSelectedMsg = EM_LINEINDEX,
    .setSelMsg = EM_SETSEL,
    .alignLeft = ES_LEFT,
    .alignRight = ES_RIGHT,
    .alignCenter = ES_CENTER,
    .extraHeight = 6,
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
