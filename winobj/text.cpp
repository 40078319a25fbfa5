// Text, items, selection, alignment, word wrap and automatic sizing.
#include <vector>

#include "winobj/internal.h"

using namespace winobj;

namespace winobj {

void ClearText(TControl* control) { SetText(control, std::wstring()); }

}  // namespace winobj

void SetText(TControl* control, const std::wstring& text) {
  if (HandToWindowThread(control, [control, &text] { SetText(control, text); })) return;
  control->text = text;
  if (control->handle) {
    SendMessageW(control->handle, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(control->text.c_str()));
    if (!control->drawsOwnText) InvalidateRect(control->handle, nullptr, TRUE);
  }
  if (control->textChanged) control->textChanged(control);
}

std::wstring GetText(TControl* control) {
  if (control->handle) {
    int length = GetWindowTextLengthW(control->handle);
    std::vector<wchar_t> buffer(length + 1);
    int read = GetWindowTextW(control->handle, buffer.data(), length + 1);
    control->text.assign(buffer.data(), read);
  }
  return control->text;
}

int GetItemCount(TControl* control) {
  if (!control->traits.itemCountMsg) return 0;
  return static_cast<int>(Perform(control, control->traits.itemCountMsg, 0, 0));
}

void AddItem(TControl* control, const std::wstring& text) {
  if (!control->traits.addItemMsg) {
    SetText(control, GetText(control) + text);
    return;
  }
  Perform(control, control->traits.addItemMsg, 0, reinterpret_cast<LPARAM>(text.c_str()));
  if (GetItemCount(control) == 1) SetItemIndex(control, 0);
}

void SetItemText(TControl* control, int index, const std::wstring& text) {
  const TControlTraits& t = control->traits;
  if (t.replaceSelMsg) {
    LRESULT start = Perform(control, t.lineIndexMsg, index, 0);
    LRESULT end = Perform(control, t.lineIndexMsg, index + 1, 0);
    Perform(control, t.setSelMsg, start, end);
    Perform(control, t.replaceSelMsg, 0, reinterpret_cast<LPARAM>(text.c_str()));
  } else if (t.deleteItemMsg) {
    // Replaced in place: the selection and the item's data survive.
    LRESULT selected = Perform(control, t.getSelectedMsg, 0, 0);
    LRESULT data = Perform(control, t.getItemDataMsg, index, 0);
    Perform(control, t.deleteItemMsg, index, 0);
    Perform(control, t.insertItemMsg, index, reinterpret_cast<LPARAM>(text.c_str()));
    Perform(control, t.selectItemMsg, selected, 0);
    Perform(control, t.setItemDataMsg, index, data);
  }
}

int GetItemIndex(TControl* control) {
  const TControlTraits& t = control->traits;
  if (!t.getSelectedMsg) return 0;
  // An edit box answers with the first character of the caret's line.
  WPARAM wParam = t.getSelectedMsg == t.lineIndexMsg ? static_cast<WPARAM>(-1) : 0;
  return static_cast<int>(Perform(control, t.getSelectedMsg, wParam, 0));
}

void SetItemIndex(TControl* control, int index) {
  const TControlTraits& t = control->traits;
  if (t.selectItemMsg) {
    Perform(control, t.selectItemMsg, index, 0);
  } else if (t.setSelMsg) {
    Perform(control, t.setSelMsg, index, index);
  }
}

void SelectAllText(TControl* control) {
  const TControlTraits& t = control->traits;
  if (!t.setSelMsg) return;
  Perform(control, t.setSelMsg, 0, 0);
  Perform(control, t.setSelMsg, 0, static_cast<LPARAM>(-1));
}

void Clear(TControl* control) {
  if (control->traits.clear) control->traits.clear(control);
}

void SetTextAlign(TControl* control, int align) {
  const TControlTraits& t = control->traits;
  const DWORD bits[] = {t.alignLeft, t.alignRight, t.alignCenter};
  if (align < kAlignLeft || align > kAlignCenter) return;
  control->textAlign = static_cast<uint8_t>(align);
  DWORD clear = t.alignClears;
  for (int i = 0; i < 3; ++i) {
    if (i != align) clear |= bits[i];
  }
  ChangeStyle(control, bits[align], clear);
}

void SetWordWrap(TControl* control, bool on) {
  control->wordWrap = on;
  // SS_EDITCONTROL is BS_MULTILINE for a button.
  if (on) {
    ChangeStyle(control, SS_EDITCONTROL, SS_LEFTNOWORDWRAP);
  } else {
    ChangeStyle(control, 0, SS_EDITCONTROL);
  }
}

int GetTextTop(TControl* control) {
  RECT bounds = GetBoundsRect(control);
  if (control->drawsOwnText) return bounds.top;
  if (control->traits.textRectMsg && control->parent) {
    RECT text = {};
    Perform(control, control->traits.textRectMsg, 0, reinterpret_cast<LPARAM>(&text));
    MapWindowPoints(control->handle, GetHandle(control->parent), reinterpret_cast<POINT*>(&text),
                    2);
    return text.top;
  }
  int line = TextExtent(GetCanvas(control), L"0").cy;
  return bounds.top + (HeightOf(bounds) - line) / 2;
}

namespace {

SIZE MeasureWrapped(TControl* control, const std::wstring& text) {
  RECT client = {0, 0, GetClientWidth(control), GetClientHeight(control)};
  client.right -= control->traits.extraWidth;
  if (client.right <= client.left) client.right = client.left + 1;
  UINT format = DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS;
  if (control->textAlign == kAlignRight) format |= DT_RIGHT;
  if (control->textAlign == kAlignCenter) format |= DT_CENTER;
  SIZE size = {0, 0};
  MeasureDC measure = BeginMeasure(NearestFont(control));
  if (measure.dc) {
    size.cy = DrawTextW(measure.dc, text.c_str(), static_cast<int>(text.size()), &client, format);
    size.cx = client.right - client.left + 1;
  }
  EndMeasure(measure);
  return size;
}

// The text-changed procedure while automatic sizing is on.
void AutoSize(TControl* control) {
  if (control->autosizeRunning) return;
  control->autosizeRunning = true;
  SIZE size = {0, 0};
  if (!control->text.empty()) {
    GetHandle(control);
    std::wstring text = control->text;
    // Italic glyphs lean out past their advance width.
    if (control->font && (GetFontStyle(control->font) & kFontItalic)) text += L' ';
    size = control->wordWrap ? MeasureWrapped(control, text) : TextExtent(GetCanvas(control), text);
  }
  int width = size.cx + control->traits.extraWidth;
  int height = size.cy + control->traits.extraHeight;
  if (GetWidth(control) != width) SetWidth(control, width);
  if (GetHeight(control) != height) SetHeight(control, height);
  control->autosizeRunning = false;
}

}  // namespace

void SetAutoSize(TControl* control, bool on) {
  if (!on) {
    control->textChanged = nullptr;
    return;
  }
  control->textChanged = AutoSize;
  AutoSize(control);
}
