#include "overlay/overlay_lines.h"

namespace {

// Fits a word-wrapped line to its text at the full width.
void FitLine(TControl* line, int px, int width) {
  SetFontHeight(GetFont(line), -px);
  SetWidth(line, width);
  SetAutoSize(line, true);  // the layer fits the line to its text once
  SetAutoSize(line, false);
  SetWidth(line, width);
  SetLeft(line, 0);
}

}  // namespace

void LayOutOverlayLines(TControl* line1, TControl* line2, int px, int width, int middle) {
  FitLine(line1, px, width);
  SetTop(line1, middle - GetHeight(line1));
  FitLine(line2, px, width);
  SetTop(line2, middle + GetHeight(line2));
}
