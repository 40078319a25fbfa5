#include "tests/winobj/winobj_test.h"

void WinobjTest::SetUp() {
  FlushMessages();
  SetMainForm(nullptr);
}

void WinobjTest::TearDown() {
  SetMainForm(nullptr);
  ReleaseObject(form_);
  form_ = nullptr;
  FlushMessages();
}

TControl* WinobjTest::ShownForm() {
  form_ = NewForm(nullptr, L"test");
  SetBoundsRect(form_, {100, 100, 500, 400});
  GetHandle(form_);
  form_->CreateWindowHandle();  // the second call shows it, as RunApplication does
  SetForegroundWindow(form_->handle);
  FlushMessages();
  return form_;
}

TControl* WinobjTest::ShownMainForm() {
  TControl* form = ShownForm();
  SetMainForm(form);
  return form;
}

namespace {
std::function<void()>* g_body = nullptr;
}

void RunApplicationWith(TControl** form, std::function<void()> body) {
  g_body = &body;
  SetTimer(nullptr, 0, 0, [](HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    FlushMessages();
    (*g_body)();
    if (GetMainForm()) CloseForm(GetMainForm());
  });
  RunApplication(form);
  g_body = nullptr;
}

void PressKey(UINT vk) {
  HWND focus = GetFocus();
  UINT scan = MapVirtualKeyW(vk, MAPVK_VK_TO_VSC);
  PostMessageW(focus, WM_KEYDOWN, vk, 1 | (scan << 16));
  PostMessageW(focus, WM_KEYUP, vk, 1 | (scan << 16) | 0xC0000000);
  FlushMessages();
}
