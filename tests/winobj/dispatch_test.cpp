// The shared window procedure: reflection, keyboard filtering, routing.
#include "tests/winobj/winobj_test.h"

namespace {

class Dispatch : public WinobjTest {};

MessageLog g_log;

bool RecordReflected(TControl*, TWindowMessage& msg, LRESULT& result) {
  if (msg.message != kReflectedCommand &&
      !(msg.message >= kReflectedColorBase + WM_CTLCOLORMSGBOX &&
        msg.message <= kReflectedColorBase + WM_CTLCOLORSTATIC)) {
    return false;
  }
  g_log.Add(msg.message, kHooked, msg.wParam, msg.lParam);
  result = 1234;
  return true;
}

TEST_F(Dispatch, CommandIsReflectedOnlyToASenderWithAnObject) {
  TControl* form = ShownForm();
  TControl* label = NewLabel(form, L"x");
  GetHandle(label);
  AddHook(label, RecordReflected);
  g_log.Clear();
  WPARAM wParam = MAKEWPARAM(label->childId, 77);
  LRESULT result =
      SendMessageW(form->handle, WM_COMMAND, wParam, reinterpret_cast<LPARAM>(label->handle));
  EXPECT_EQ(result, 1234);  // the sender's answer
  const LoggedMessage kReflected[] = {{kReflectedCommand, kHooked | kWParam | kLParam, wParam,
                                       reinterpret_cast<LPARAM>(label->handle)}};
  EXPECT_TRUE(MatchesSequence(g_log, kReflected));

  HWND plain = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 10, 10, form->handle, nullptr,
                               nullptr, nullptr);
  MessageLog plainLog;
  {
    WindowSpy spy(plain, &plainLog);
    EXPECT_EQ(
        SendMessageW(form->handle, WM_COMMAND, MAKEWPARAM(5, 0), reinterpret_cast<LPARAM>(plain)),
        0);
    // A menu command has no sender at all.
    EXPECT_EQ(SendMessageW(form->handle, WM_COMMAND, MAKEWPARAM(5, 0), 0), 0);
  }
  EXPECT_EQ(plainLog.Count(kReflectedCommand), 0u);
  DestroyWindow(plain);
}

TEST_F(Dispatch, ControlColorIsReflectedAndFallsBackWhenUnanswered) {
  TControl* form = ShownForm();
  TControl* label = NewLabel(form, L"x");
  GetHandle(label);
  AddHook(label, RecordReflected);
  HDC dc = GetDC(form->handle);
  g_log.Clear();
  EXPECT_EQ(SendMessageW(form->handle, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                         reinterpret_cast<LPARAM>(label->handle)),
            1234);
  EXPECT_EQ(g_log.Count(kReflectedColorBase + WM_CTLCOLORSTATIC), 1u);
  // Without an object behind lParam: the system's brush, never a null one.
  HWND plain = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 10, 10, form->handle, nullptr,
                               nullptr, nullptr);
  EXPECT_NE(SendMessageW(form->handle, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                         reinterpret_cast<LPARAM>(plain)),
            0);
  ReleaseDC(form->handle, dc);
  DestroyWindow(plain);
}

TEST_F(Dispatch, TabCharacterNeverReachesAFocusedEditBox) {
  TControl* form = ShownForm();
  TControl* edit = NewEditBox(form, kEditMultiline);
  SetFocused(edit, true);
  ASSERT_EQ(GetFocus(), edit->handle);
  SendMessageW(edit->handle, WM_CHAR, VK_TAB, 1);
  SendMessageW(edit->handle, WM_CHAR, 'a', 1);
  EXPECT_EQ(GetText(edit), L"a");
}

TEST_F(Dispatch, KeyboardMessagesAtAnUnfocusedControlAreDropped) {
  TControl* form = ShownForm();
  TControl* focused = NewEditBox(form, 0);
  TControl* other = NewEditBox(form, 0);
  SetFocused(focused, true);
  ASSERT_EQ(GetFocus(), focused->handle);
  for (UINT message : {WM_KEYDOWN, WM_CHAR, WM_KEYUP}) {
    EXPECT_EQ(SendMessageW(other->handle, message, 'b', 1), 0);
  }
  SendMessageW(focused->handle, WM_CHAR, 'a', 1);
  EXPECT_EQ(GetText(other), L"");
  EXPECT_EQ(GetText(focused), L"a");
}

// A control's teardown is its own: the main form sees none of its messages.
TEST_F(Dispatch, DestroyedControlsMessagesDoNotReachTheMainForm) {
  TControl* form = ShownMainForm();
  TControl* edit = NewEditBox(form, 0);
  GetHandle(edit);
  SetFocused(edit, true);
  g_log.Clear();
  AddHook(form, [](TControl* f, TWindowMessage& msg, LRESULT&) {
    if (msg.hwnd != f->handle) g_log.Add(msg.message, kHooked, msg.wParam, msg.lParam);
    return false;
  });
  ReleaseObject(edit);
  FlushMessages();
  EXPECT_TRUE(g_log.messages().empty()) << g_log.messages().size() << " foreign messages";
  EXPECT_FALSE(form->destroySeen);
}

}  // namespace
