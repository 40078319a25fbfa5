// Keys as the tests press them: posted to a window, so that they pass through
// the message loop as typed keys do.
#pragma once

#include <windows.h>

#include <cstdint>

#include "tests/support/no_copy.h"

// Shift and Ctrl (MK_SHIFT, MK_CONTROL) down in this thread's key state for the
// helper's lifetime: a posted key message leaves that state as it is.
class HeldModifiers : NoCopy {
 public:
  explicit HeldModifiers(uint32_t modifiers);
  ~HeldModifiers();

 private:
  BYTE saved_[256];
};

// Posts a press and a release of vk to hwnd, with the scan code a keyboard gives.
void PostKeyPress(HWND hwnd, UINT vk);
