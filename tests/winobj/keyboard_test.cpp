// The keyboard: Tab through the form's panels in reading order, the form's key
// handler, the focus cue.
#include <string>
#include <vector>

#include "tests/support/window_capture.h"
#include "tests/winobj/winobj_test.h"

namespace {

class Keyboard : public WinobjTest {};

struct TNamed {
  const char* name;
  TControl* control;
};

// The name of the control whose window (or inner window) has the focus.
std::string FocusName(const std::vector<TNamed>& controls) {
  HWND focus = GetFocus();
  for (const TNamed& named : controls) {
    if (named.control->handle &&
        (focus == named.control->handle || IsChild(named.control->handle, focus)))
      return named.name;
  }
  return focus ? "other" : "none";
}

struct TKeyStep {
  UINT key;
  uint32_t modifiers;
  const char* focus;  // expected after the key
};

void PressSteps(const std::vector<TNamed>& controls, const std::vector<TKeyStep>& steps) {
  int n = 0;
  for (const TKeyStep& step : steps) {
    PressKey(step.key, step.modifiers);
    EXPECT_EQ(step.focus, FocusName(controls)) << "after key " << n;
    ++n;
  }
}

const uint32_t kShift = MK_SHIFT;

// Made out of reading order, partly two panels deep; a label and a scroll bar
// take no part, nor do a disabled edit box and a button on a hidden panel until
// they are enabled and shown.
TEST_F(Keyboard, TabFollowsTheReadingOrderThroughPanelsAndWraps) {
  TControl* form = ShownMainForm();
  TControl* outer = SetSize(SetPosition(NewPanel(form, kPanelNoBorder), 10, 30), 300, 120);
  TControl* inner = SetSize(SetPosition(NewPanel(outer, kPanelNoBorder), 0, 50), 300, 60);
  TControl* ok = SetPosition(NewButton(form, L"OK"), 300, 250);
  TControl* cancel = SetPosition(NewButton(form, L"Cancel"), 200, 250);
  TControl* right = SetPosition(NewEditBox(outer, 0), 150, 10);
  TControl* left = SetPosition(NewEditBox(outer, 0), 10, 10);
  TControl* deep = SetPosition(NewComboBox(inner, kComboDropDownList), 10, 10);
  SetPosition(NewLabel(inner, L"label"), 150, 10);
  SetPosition(NewScrollBar(inner, kScrollBarVertical), 200, 0);
  TControl* top = SetPosition(NewCheckBox(form, L"top"), 250, 5);
  TControl* disabled = SetPosition(NewEditBox(form, 0), 10, 180);
  SetEnabled(disabled, false);
  TControl* hidden = SetSize(SetPosition(NewPanel(form, kPanelNoBorder), 10, 210), 100, 30);
  TControl* onHidden = SetPosition(NewButton(hidden, L"hidden"), 0, 0);
  SetVisible(hidden, false);
  form->CreateWindowHandle();
  FlushMessages();
  const std::vector<TNamed> controls = {
      {"top", top},       {"left", left}, {"right", right},       {"deep", deep},
      {"cancel", cancel}, {"ok", ok},     {"disabled", disabled}, {"hidden", onHidden}};
  SetFocused(left, true);
  PressSteps(controls, {{VK_TAB, 0, "right"},
                        {VK_TAB, 0, "deep"},
                        {VK_TAB, 0, "cancel"},
                        {VK_TAB, 0, "ok"},
                        {VK_TAB, 0, "top"},
                        {VK_TAB, 0, "left"},
                        {VK_TAB, kShift, "top"},
                        {VK_TAB, kShift, "ok"},
                        {VK_TAB, kShift, "cancel"}});
  SetEnabled(disabled, true);
  SetVisible(hidden, true);
  PressSteps(controls, {{VK_TAB, kShift, "hidden"},
                        {VK_TAB, kShift, "disabled"},
                        {VK_TAB, kShift, "deep"},
                        {VK_TAB, 0, "disabled"}});
  // From a control that is no stop, Tab starts at the first and Shift+Tab at the last.
  SetFocus(outer->handle);
  PressSteps(controls, {{VK_TAB, 0, "top"}});
  SetFocus(outer->handle);
  PressSteps(controls, {{VK_TAB, kShift, "ok"}});
}

// A control given the focus while its form is about to show (OnShow) has it
// once the form shows, not the first tab stop nor the form itself.
TEST_F(Keyboard, AControlFocusedBeforeItsFormShowsHasTheFocusOnceItDoes) {
  TControl* form = NewForm(nullptr, L"f");
  SetMainForm(form);
  NewEditBox(form, 0);
  TControl* second = SetPosition(NewEditBox(form, 0), 10, 40);
  Handler<TControl*> onShow{[&](TControl*) { SetFocused(second, true); }};
  SetOnShow(form, onShow.Call, &onShow);
  HWND focus = nullptr, expected = nullptr;
  RunApplicationWith(&form, [&] {
    focus = GetFocus();
    expected = second->handle;
  });
  EXPECT_EQ(expected, focus);
}

// An edit box reached by Tab has its text selected, so that typing replaces it.
TEST_F(Keyboard, TabSelectsTheTextOfTheEditBoxItReaches) {
  TControl* form = ShownMainForm();
  TControl* first = SetPosition(NewEditBox(form, 0), 10, 10);
  TControl* second = SetPosition(NewEditBox(form, 0), 10, 40);
  form->CreateWindowHandle();
  SetText(second, L"250");
  SetFocused(first, true);
  PressKey(VK_TAB);
  ASSERT_EQ(GetFocus(), second->handle);
  DWORD start = 1, end = 0;
  SendMessageW(second->handle, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
               reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(0u, start);
  EXPECT_EQ(3u, end);
}

struct TSeenKey {
  TControl* sender;
  int key;
  uint32_t shift;
};

// The form's OnKeyDown is asked first, with the control the key was meant for
// (a drop-down combo box for the key at its inner edit); a key it keeps reaches
// nothing, Tab included, and Ctrl+Tab is no navigation.
TEST_F(Keyboard, TheFormsKeyHandlerSeesEachKeyFirst) {
  TControl* form = ShownMainForm();
  TControl* edit = SetPosition(NewEditBox(form, 0), 10, 10);
  TControl* combo = SetPosition(NewComboBox(form, 0), 10, 40);
  TControl* button = SetPosition(NewButton(form, L"b"), 10, 80);
  form->CreateWindowHandle();
  std::vector<TSeenKey> seen;
  std::vector<int> kept;
  Handler<TControl*, int&, uint32_t> onKey{[&](TControl* sender, int& key, uint32_t shift) {
    seen.push_back({sender, key, shift});
    for (int k : kept) {
      if (k == key) key = 0;
    }
  }};
  SetOnKeyDown(form, onKey.Call, &onKey);
  const std::vector<TNamed> controls = {{"edit", edit}, {"combo", combo}, {"button", button}};
  struct {
    TControl* focus;
    UINT key;
    uint32_t modifiers;
    bool keep;
    const char* focusAfter;
    const wchar_t* editText;
  } const cases[] = {
      {edit, 'A', 0, false, "edit", L"a"},        {edit, 'X', 0, true, "edit", L"a"},
      {combo, 'B', kShift, false, "combo", L"a"}, {edit, VK_TAB, MK_CONTROL, false, "edit", L"a"},
      {edit, VK_TAB, 0, true, "edit", L"a"},      {edit, VK_TAB, kShift, false, "button", L"a"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    SetFocused(c.focus, true);
    FlushMessages();
    seen.clear();
    kept = {c.keep ? static_cast<int>(c.key) : 0};
    PressKey(c.key, c.modifiers);
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ(c.focus, seen[0].sender);
    EXPECT_EQ(static_cast<int>(c.key), seen[0].key);
    EXPECT_EQ(c.modifiers, seen[0].shift);
    EXPECT_EQ(c.focusAfter, FocusName(controls));
    EXPECT_EQ(c.editText, GetText(edit));
  }
}

// The static class draws no focus cue; a label that takes the focus draws a
// focus rectangle of its own (its top row dotted) while it has it.
TEST_F(Keyboard, ALabelThatTakesTheFocusShowsIt) {
  TControl* form = ShownMainForm();
  TControl* label = SetSize(SetPosition(NewLabel(form, L"caption"), 10, 10), 80, 20);
  SetColor(label, RGB(255, 128, 0));
  SetTabStop(label, true);
  TControl* button = SetPosition(NewButton(form, L"b"), 10, 50);
  form->CreateWindowHandle();
  auto dotsOnTopRow = [label] {
    UpdateWindow(label->handle);
    int dots = 0;
    for (int x = 0; x < 80; ++x) dots += ClientPixel(label->handle, x, 0) != RGB(255, 128, 0);
    return dots;
  };
  SetFocused(button, true);
  FlushMessages();
  EXPECT_EQ(0, dotsOnTopRow());
  PressKey(VK_TAB);
  ASSERT_EQ(GetFocus(), label->handle);
  EXPECT_GT(dotsOnTopRow(), 20);
  PressKey(VK_TAB);
  ASSERT_EQ(GetFocus(), button->handle);
  EXPECT_EQ(0, dotsOnTopRow());
}

}  // namespace
