#include "tests/support/keys.h"

HeldModifiers::HeldModifiers(uint32_t modifiers) {
  GetKeyboardState(saved_);
  BYTE state[256];
  GetKeyboardState(state);
  const struct {
    uint32_t bit;
    UINT keys[2];
  } kModifiers[] = {{MK_SHIFT, {VK_SHIFT, VK_LSHIFT}}, {MK_CONTROL, {VK_CONTROL, VK_LCONTROL}}};
  for (const auto& modifier : kModifiers) {
    for (UINT key : modifier.keys) {
      state[key] = (modifiers & modifier.bit) ? 0x80 : 0;
    }
  }
  SetKeyboardState(state);
}

HeldModifiers::~HeldModifiers() { SetKeyboardState(saved_); }

void PostKeyPress(HWND hwnd, UINT vk) {
  LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)) << 16;
  PostMessageW(hwnd, WM_KEYDOWN, vk, 1 | scan);
  PostMessageW(hwnd, WM_KEYUP, vk, 1 | scan | 0xC0000000);
}
