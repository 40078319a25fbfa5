// Edit boxes ("EDIT").
#include "winobj/internal.h"

using namespace winobj;

namespace {

const TControlTraits kEditTraits =
    TTraitsOf(ClearText)
        .Notifications(0, EN_SETFOCUS, EN_KILLFOCUS, EN_CHANGE)
        .Items(EM_GETLINECOUNT, 0, 0, 0, 0, 0)
        .Selection(EM_LINEINDEX, EM_REPLACESEL, EM_SETSEL, EM_LINEINDEX, 0)
        .TextRect(EM_GETRECT)
        .Alignment(ES_LEFT, ES_RIGHT, ES_CENTER)
        .ExtraSize(0, 6);

}  // namespace

TControl* NewEditBox(TControl* parent, uint32_t options) {
  DWORD style = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP;
  if (!(options & kEditNoHScroll)) style |= WS_HSCROLL | ES_AUTOHSCROLL;
  if (!(options & kEditNoVScroll)) style |= WS_VSCROLL | ES_AUTOVSCROLL;
  const TOptionStyle kOptionStyles[] = {
      {kEditLowercase, ES_LOWERCASE}, {kEditMultiline, ES_MULTILINE},
      {kEditNoHideSel, ES_NOHIDESEL}, {kEditOemConvert, ES_OEMCONVERT},
      {kEditPassword, ES_PASSWORD},   {kEditReadOnly, ES_READONLY},
      {kEditUppercase, ES_UPPERCASE}, {kEditWantReturn, ES_WANTRETURN},
      {kEditNumber, ES_NUMBER},
  };
  style |= StylesOfOptions(options, kOptionStyles);
  bool multiline = (options & kEditMultiline) != 0;
  // A single line has no scroll bars; the automatic scrolling stays.
  if (!multiline) style &= ~(WS_HSCROLL | WS_VSCROLL);
  TControl* edit = NewChildControl(parent, L"EDIT", style, kEditTraits, multiline ? 200 : 100,
                                   multiline ? 200 : 22);
  edit->wantsEnter = multiline;
  return edit;
}
