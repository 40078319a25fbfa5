// The canvas: text measurement in a control's font.
#include "shared/ui.h"
#include "winobj/internal.h"

using namespace winobj;

void TGdiCanvas::Destroy() {
  ReleaseHeld();
  ReleaseObject(font);
  font = nullptr;
  // ReleaseHeld ran above; TRefObject::Destroy would only repeat it.
  TBaseObject::Destroy();  // NOLINT(bugprone-parent-virtual-call)
}

TGdiCanvas* GetCanvas(TControl* control) {
  if (!control->canvas) {
    TGdiCanvas* canvas = NewObject<TGdiCanvas>();
    canvas->owner = control;
    if (control->font) {
      canvas->font = AssignFont(nullptr, control->font);
      canvas->font->parentTool = control->font;
    }
    control->canvas = canvas;
  }
  return control->canvas;
}

namespace winobj {

// A memory DC measures like the screen and needs no window, so measuring never
// holds one of the system's shared window DCs.
MeasureDC BeginMeasure(TGdiTool* font) {
  MeasureDC measure = {CreateCompatibleDC(nullptr), nullptr};
  if (measure.dc && font) measure.oldFont = SelectObject(measure.dc, GetToolHandle(font));
  return measure;
}

void EndMeasure(const MeasureDC& measure) {
  if (!measure.dc) return;
  if (measure.oldFont) SelectObject(measure.dc, measure.oldFont);
  DeleteDC(measure.dc);
}

}  // namespace winobj

SIZE TextExtent(TGdiCanvas* canvas, const std::wstring& text) {
  SIZE size = {0, 0};
  MeasureDC measure = BeginMeasure(canvas->font);
  if (measure.dc) MeasureText(measure.dc, text.c_str(), static_cast<int>(text.size()), &size);
  EndMeasure(measure);
  size.cx += 1;
  return size;
}
