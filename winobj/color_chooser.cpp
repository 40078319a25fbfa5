// The colour dialog (ChooseColorW).
#include "winobj/internal.h"

#include <commdlg.h>

void TColorChooser::Init() {
  for (COLORREF& custom : customColors) custom = RGB(255, 255, 255);
}

TColorChooser* NewColorChooser(int kind) {
  TColorChooser* chooser = NewObject<TColorChooser>();
  chooser->kind = static_cast<uint8_t>(kind);
  return chooser;
}

bool ExecuteColorChooser(TColorChooser* chooser) {
  CHOOSECOLORW cc = {};
  cc.lStructSize = sizeof(cc);
  cc.hwndOwner = chooser->owner;
  cc.rgbResult = ResolveColor(chooser->color);
  cc.lpCustColors = chooser->customColors;
  cc.Flags = CC_RGBINIT;
  if (chooser->kind == 0) cc.Flags |= CC_FULLOPEN;
  if (chooser->kind == 2) cc.Flags |= CC_PREVENTFULLOPEN;
  if (!ChooseColorW(&cc)) return false;
  chooser->color = cc.rgbResult;
  return true;
}
