#include "tests/winobj/winobj_test.h"

#include "tests/support/keys.h"

void WinobjTest::SetUp() {
  FlushMessages();
  SetMainForm(nullptr);
}

void WinobjTest::TearDown() { ReleaseForms(); }

void WinobjTest::ReleaseForms() {
  SetMainForm(nullptr);
  for (TControl* form : forms_) ReleaseObject(form);
  forms_.clear();
  FlushMessages();
}

TControl* WinobjTest::ShownForm() {
  TControl* form = NewForm(nullptr, L"test");
  forms_.push_back(form);
  SetBoundsRect(form, {100, 100, 500, 400});
  GetHandle(form);
  form->CreateWindowHandle();  // the second call shows it, as RunApplication does
  SetForegroundWindow(form->handle);
  FlushMessages();
  return form;
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
  SetTimer(nullptr, 0, 0, [](HWND, UINT, UINT_PTR id, DWORD) WINAPI {
    KillTimer(nullptr, id);
    FlushMessages();
    (*g_body)();
    if (GetMainForm()) CloseForm(GetMainForm());
  });
  RunApplication(form);
  g_body = nullptr;
}

void PressKey(UINT vk, uint32_t modifiers) {
  HeldModifiers held(modifiers);
  PostKeyPress(GetFocus(), vk);
  ProcessMessages();
}
