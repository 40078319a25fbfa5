// Shared set-up of the window object layer's tests: real windows under Wine.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "tests/support/message_log.h"
#include "winobj/winobj.h"

// Every test starts and ends without a main form and with an empty queue.
class WinobjTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A shown top-level form at 100, 100, 400 x 300, released at the end of the test.
  TControl* ShownForm();
  // Releases the forms made so far (table rows that each need a fresh form).
  void ReleaseForms();
  // ShownForm, also recorded as the main form.
  TControl* ShownMainForm();

 private:
  std::vector<TControl*> forms_;
};

// Runs the message loop on *form (which it releases); body runs inside the loop,
// then the main form is closed.
void RunApplicationWith(TControl** form, std::function<void()> body);

// A key pressed and released at the focused window, with MK_SHIFT and
// MK_CONTROL held as modifiers asks, handled by the layer's message loop.
void PressKey(UINT vk, uint32_t modifiers = 0);

// A test's lambda as one of the layer's event procedures: pass Call and the
// handler itself as the context, SetOnClick(button, h.Call, &h).
template <class... Args>
struct Handler {
  std::function<void(Args...)> body;
  static void Call(void* context, Args... args) { static_cast<Handler*>(context)->body(args...); }
};

// Counts calls of a notify event; context: a Counter.
struct Counter {
  int calls = 0;
  TControl* sender = nullptr;
  static void Count(void* context, TControl* sender) {
    auto* counter = static_cast<Counter*>(context);
    ++counter->calls;
    counter->sender = sender;
  }
};
