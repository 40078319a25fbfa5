// Colours, fonts and brushes, and the form's background.
#include <cstring>

#include "winobj/internal.h"

using namespace winobj;

COLORREF ResolveColor(TColor color) {
  // Windows CE also sets 0x40000000 in a system colour; the index is below it.
  if (color & 0x80000000u) return GetSysColor(static_cast<int>(color & 0x3FFFFFFFu));
  return color;
}

void TGdiTool::Destroy() {
  ReleaseHeld();
  if (handle) DeleteObject(handle);
  handle = nullptr;
  // ReleaseHeld ran above; TRefObject::Destroy would only repeat it.
  TBaseObject::Destroy();  // NOLINT(bugprone-parent-virtual-call)
}

namespace {

TGdiTool* NewFont() {
  TGdiTool* font = NewObject<TGdiTool>();
  font->desc.color = kColorWindowText;
  font->desc.font.lfCharSet = DEFAULT_CHARSET;
  std::wstring(L"MS Sans Serif").copy(font->desc.font.lfFaceName, LF_FACESIZE - 1);
  return font;
}

// The handle is dropped before OnChange (which applies the new one) and deleted
// only afterwards, so no window is ever left with a deleted font selected.
void ChangeTool(TGdiTool* tool) {
  HGDIOBJ old = tool->handle;
  tool->handle = nullptr;
  Fire(tool->onChange, tool);
  if (old) DeleteObject(old);
}

bool SameDescription(const TGdiTool* a, const TGdiTool* b) {
  return std::memcmp(&a->desc, &b->desc, sizeof(a->desc)) == 0;
}

}  // namespace

namespace winobj {

namespace {

// Descendants whose unchanged copies used font's handle, through any number of
// levels (a copy of a copy shares the same handle), need their own now, before
// the old handle is deleted.
void ReapplyCopiesOf(TControl* control, TGdiTool* font) {
  for (int i = 0; i < control->children->Count(); ++i) {
    auto* child = static_cast<TControl*>(control->children->Get(i));
    if (!child->font || child->font->parentTool != font) continue;
    ApplyFont(child);
    ReapplyCopiesOf(child, child->font);
  }
}

}  // namespace

void FontChanged(void* context, TGdiTool* font) {
  auto* control = static_cast<TControl*>(context);
  control->textColor = font->desc.color;
  ApplyFont(control);
  ReapplyCopiesOf(control, font);
  if (control->handle) InvalidateRect(control->handle, nullptr, TRUE);
}

void ApplyFont(TControl* control) {
  if (!control->font) return;
  if (control->handle) {
    control->textColor = control->font->desc.color;
    SendMessageW(control->handle, WM_SETFONT,
                 reinterpret_cast<WPARAM>(GetToolHandle(control->font)), TRUE);
  }
  if (control->canvas) control->canvas->font = AssignFont(control->canvas->font, control->font);
  if (control->textChanged) control->textChanged(control);
}

TGdiTool* NearestFont(TControl* control) {
  for (; control; control = control->parent) {
    if (control->font) return control->font;
  }
  return nullptr;
}

bool EraseBackgroundHook(TControl* form, TWindowMessage& msg, LRESULT& result) {
  if (msg.message != WM_ERASEBKGND || msg.hwnd != form->handle) return false;
  for (int i = 0; i < form->children->Count(); ++i) {
    auto* child = static_cast<TControl*>(form->children->Get(i));
    if (!child->handle) child->CreateWindowHandle();
  }
  HDC dc = reinterpret_cast<HDC>(msg.wParam);
  SetBkMode(dc, OPAQUE);
  SetBkColor(dc, ResolveColor(form->color));
  SetBrushOrgEx(dc, 0, 0, nullptr);
  RECT client;
  GetClientRect(form->handle, &client);
  FillRect(dc, &client, GetBrush(form));
  result = 1;
  return true;
}

}  // namespace winobj

void SetColor(TControl* control, TColor color) {
  GetHandle(control);
  if (control->color == color) return;
  control->color = color;
  if (control->brush) DeleteObject(control->brush);
  control->brush = nullptr;
  if (control->handle) InvalidateRect(control->handle, nullptr, TRUE);
}

TColor GetColor(TControl* control) { return control->color; }

HBRUSH GetBrush(TControl* control) {
  if (control->parent && control->parent->color == control->color) return GetBrush(control->parent);
  COLORREF rgb = ResolveColor(control->color);
  if (control->brush && control->brushColor != rgb) {
    DeleteObject(control->brush);
    control->brush = nullptr;
  }
  if (!control->brush) {
    control->brush = CreateSolidBrush(rgb);
    control->brushColor = rgb;
  }
  return control->brush;
}

TGdiTool* GetFont(TControl* control) {
  if (!control->font) {
    TGdiTool* font = NewFont();
    AddDependent(control, font);
    font->desc.color = control->textColor;
    font->onChange = {FontChanged, control};
    control->font = font;
  }
  return control->font;
}

void SetFontColor(TGdiTool* font, TColor color) {
  if (font->desc.color == color) return;
  font->desc.color = color;
  ChangeTool(font);
}

TColor GetFontColor(TGdiTool* font) { return font->desc.color; }

void SetFontHeight(TGdiTool* font, int height) {
  if (font->desc.font.lfHeight == height) return;
  font->desc.font.lfHeight = height;
  ChangeTool(font);
}

int GetFontHeight(TGdiTool* font) { return font->desc.font.lfHeight; }

uint32_t GetFontStyle(TGdiTool* font) {
  const LOGFONTW& lf = font->desc.font;
  return (lf.lfWeight >= FW_BOLD ? kFontBold : 0) | (lf.lfItalic ? kFontItalic : 0) |
         (lf.lfUnderline ? kFontUnderline : 0) | (lf.lfStrikeOut ? kFontStrikeOut : 0);
}

void SetFontStyle(TGdiTool* font, uint32_t bits) {
  if (bits == GetFontStyle(font)) return;
  LOGFONTW& lf = font->desc.font;
  if ((bits & kFontBold) && lf.lfWeight < FW_BOLD) {
    lf.lfWeight = FW_BOLD;
  } else if (!(bits & kFontBold) && lf.lfWeight >= FW_BOLD) {
    lf.lfWeight = 0;
  }
  lf.lfItalic = (bits & kFontItalic) != 0;
  lf.lfUnderline = (bits & kFontUnderline) != 0;
  lf.lfStrikeOut = (bits & kFontStrikeOut) != 0;
  ChangeTool(font);
}

TGdiTool* AssignFont(TGdiTool* target, TGdiTool* source) {
  if (!source) {
    ReleaseObject(target);
    return nullptr;
  }
  if (!target) target = NewFont();
  if (target == source || (target->handle && target->handle == source->handle)) return target;
  ChangeTool(target);
  target->desc = source->desc;
  ChangeTool(target);
  return target;
}

HGDIOBJ GetToolHandle(TGdiTool* tool) {
  // Made for a system colour that has changed since: make it again.
  if (tool->handle && ResolveColor(tool->desc.color) != tool->handleColor) ChangeTool(tool);
  if (tool->handle) return tool->handle;
  if (tool->parentTool && SameDescription(tool, tool->parentTool)) {
    return GetToolHandle(tool->parentTool);
  }
  tool->handleColor = ResolveColor(tool->desc.color);
  tool->handle = CreateFontIndirectW(&tool->desc.font);
  return tool->handle;
}
