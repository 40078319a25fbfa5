// The overlay's two lines, laid out the same way by the monitor's full-screen
// notice and by the settings application's preview of it.
#pragma once

#include "winobj/winobj.h"

// Both lines in a font of px pixels, each fitted to its text across the whole
// width: line1's bottom edge on the middle line, a band as high as line2 left
// empty, then line2.
void LayOutOverlayLines(TControl* line1, TControl* line2, int px, int width, int middle);
