// What the layer decides, recorded in the manner of Wine's message tests: the
// messages it sends to a window and the events it raises, against named
// sequences in which what Wine or the window manager may or may not send is
// optional. The queue is flushed and the logs emptied before each action. All of
// it happens on one thread, where a sent message cannot be told from a posted
// one: the kinds are not compared.
#include <windows.h>

#include "tests/winobj/winobj_test.h"
#include "winobj/internal.h"

namespace {

// The layer's events, logged among the messages.
const UINT kClickEvent = WM_APP + 1;
const UINT kShowEvent = WM_APP + 2;
const UINT kHideEvent = WM_APP + 3;
const UINT kDestroyEvent = WM_APP + 4;     // OnDestroy; lParam: which object
const UINT kWindowDestroyed = WM_APP + 5;  // DestroyWindow reached; lParam: which window

MessageLog g_log;

void LogEvent(void* context, TControl*) {
  g_log.Add(static_cast<UINT>(reinterpret_cast<UINT_PTR>(context)), kHooked);
}

class Sequences : public WinobjTest {};

// Enter (Esc) at a focused edit box: the layer gives the default (cancel)
// button the focus and presses it as Space would, and the click comes back as
// the reflected command. At the edit box the key ends there; only the
// character that TranslateMessage had made of it still arrives, and a
// single-line edit box ignores it.
TEST_F(Sequences, EnterAndEscPressTheirButtonsAsSpaceWould) {
  const std::vector<UINT> watched = {WM_KEYDOWN,  WM_KEYUP,     WM_CHAR,
                                     WM_SETFOCUS, WM_KILLFOCUS, kReflectedCommand};
  for (UINT key : {VK_RETURN, VK_ESCAPE}) {
    SCOPED_TRACE(key);
    TControl* form = NewForm(nullptr, L"keys");
    SetMainForm(form);  // as the programs do, before the loop
    TControl* edit = NewEditBox(form, 0);
    TControl* ok = SetPosition(NewButton(form, L"OK"), 2, 40);
    TControl* cancel = SetPosition(NewButton(form, L"Cancel"), 80, 40);
    SetOnClick(ok, LogEvent, reinterpret_cast<void*>(kClickEvent));
    SetOnClick(cancel, LogEvent, reinterpret_cast<void*>(kClickEvent));
    SetDefaultKeyButton(ok, VK_RETURN, true);
    SetDefaultKeyButton(cancel, VK_ESCAPE, true);
    TControl* pressed = key == VK_RETURN ? ok : cancel;
    const LoggedMessage atButton[] = {
        {WM_SETFOCUS, 0},
        {kReflectedCommand, kWParam, MAKEWPARAM(pressed->childId, BN_SETFOCUS)},
        {WM_KEYDOWN, kWParam, VK_SPACE},
        {WM_KEYUP, kWParam, VK_SPACE},
        {kReflectedCommand, kWParam, MAKEWPARAM(pressed->childId, BN_CLICKED)},
        {kClickEvent, kHooked},
    };
    const LoggedMessage atEdit[] = {
        {WM_KEYDOWN, kWParam, key},
        {WM_KILLFOCUS, 0},
        {kReflectedCommand, kWParam, MAKEWPARAM(edit->childId, EN_KILLFOCUS)},
        {WM_KEYUP, kWParam, key},
        {WM_CHAR, kWParam | kOptional, key},
    };
    MessageLog editLog;
    RunApplicationWith(&form, [&] {
      SetFocused(edit, true);
      FlushMessages();
      WindowSpy editSpy(GetHandle(edit), &editLog, watched);
      WindowSpy buttonSpy(GetHandle(pressed), &g_log, watched);
      g_log.Clear();
      PressKey(key);
    });
    EXPECT_TRUE(MatchesSequence(g_log, atButton));
    EXPECT_TRUE(MatchesSequence(editLog, atEdit));
  }
}

// Tab at a focused edit box: the message loop keeps the key from it (neither
// the key-down nor a tab character arrives) and moves the focus on; only the
// release, posted where the press was, may still arrive. The form is asked to
// show focus cues, which desktop Windows hides until the keyboard is used.
TEST_F(Sequences, TabMovesTheFocusWithoutReachingTheControl) {
  const std::vector<UINT> watched = {WM_KEYDOWN,  WM_KEYUP,     WM_CHAR,
                                     WM_SETFOCUS, WM_KILLFOCUS, WM_CHANGEUISTATE};
  TControl* form = ShownMainForm();
  TControl* first = SetPosition(NewEditBox(form, 0), 10, 10);
  TControl* second = SetPosition(NewEditBox(form, 0), 10, 40);
  form->CreateWindowHandle();
  SetFocused(first, true);
  FlushMessages();
  MessageLog firstLog, secondLog, formLog;
  {
    WindowSpy firstSpy(first->handle, &firstLog, watched);
    WindowSpy secondSpy(second->handle, &secondLog, watched);
    WindowSpy formSpy(form->handle, &formLog, watched);
    PressKey(VK_TAB);
  }
  const LoggedMessage atFirst[] = {{WM_KILLFOCUS, 0}, {WM_KEYUP, kWParam | kOptional, VK_TAB}};
  const LoggedMessage atSecond[] = {{WM_SETFOCUS, 0}};
  const LoggedMessage atForm[] = {
      {WM_CHANGEUISTATE, kWParam, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS)}};
  EXPECT_TRUE(MatchesSequence(firstLog, atFirst));
  EXPECT_TRUE(MatchesSequence(secondLog, atSecond));
  EXPECT_TRUE(MatchesSequence(formLog, atForm));
  EXPECT_EQ(L"", GetText(first));
}

// SetVisible raises OnShow / OnHide once per change, before the change is seen:
// the layer's own WM_SHOWWINDOW carries it; the one ShowWindow sends after it
// raises nothing.
const LoggedMessage kShown[] = {
    {WM_SHOWWINDOW, kWParam, 1},
    {kShowEvent, kHooked},
    {WM_SHOWWINDOW, kWParam | kOptional, 1},
};
const LoggedMessage kHidden[] = {
    {WM_SHOWWINDOW, kWParam, 0},
    {kHideEvent, kHooked},
    {WM_SHOWWINDOW, kWParam | kOptional, 0},
};

// A show of a form already shown announces nothing.
const LoggedMessage kShownAgain[] = {
    {WM_SHOWWINDOW, kWParam, 1},
};

TEST_F(Sequences, ShowAndHideAreAnnouncedOncePerChange) {
  TControl* form = ShownForm();
  SetOnShow(form, LogEvent, reinterpret_cast<void*>(kShowEvent));
  SetOnHide(form, LogEvent, reinterpret_cast<void*>(kHideEvent));
  WindowSpy spy(form->handle, &g_log, {WM_SHOWWINDOW});
  struct TStep {
    bool on;
    const LoggedMessage* expected;
    size_t count;
  } const steps[] = {
      {false, kHidden, sizeof kHidden / sizeof kHidden[0]},
      {true, kShown, sizeof kShown / sizeof kShown[0]},
      {true, kShownAgain, sizeof kShownAgain / sizeof kShownAgain[0]},
      {false, kHidden, sizeof kHidden / sizeof kHidden[0]},
  };
  for (const TStep& step : steps) {
    FlushMessages();
    g_log.Clear();
    SetVisible(form, step.on);
    FlushMessages();
    EXPECT_TRUE(MatchesSequence(g_log, step.expected, step.count)) << "SetVisible " << step.on;
  }
}

// Releasing a form: its OnDestroy first, then each child in the order it was
// made, each child's window going right after the child's OnDestroy, the form's
// window last.
const LoggedMessage kReleased[] = {
    {kDestroyEvent, kHooked | kLParam, 0, 1},    {kDestroyEvent, kHooked | kLParam, 0, 2},
    {kWindowDestroyed, kHooked | kLParam, 0, 2}, {kDestroyEvent, kHooked | kLParam, 0, 3},
    {kWindowDestroyed, kHooked | kLParam, 0, 3}, {kWindowDestroyed, kHooked | kLParam, 0, 1},
};

struct TWatched {
  HWND hwnd;
  LPARAM id;
};
std::vector<TWatched> g_watched;

LRESULT CALLBACK WatchDestroys(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_DESTROYWND) {
    for (const TWatched& w : g_watched) {
      if (w.hwnd == reinterpret_cast<HWND>(wParam)) g_log.Add(kWindowDestroyed, kHooked, 0, w.id);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

void LogDestroy(void* context, TRefObject*) {
  g_log.Add(kDestroyEvent, kHooked, 0, reinterpret_cast<LPARAM>(context));
}

TEST_F(Sequences, AReleasedFormGoesBeforeItsChildrenInTheirOrderAndItsWindowLast) {
  TControl* form = NewForm(nullptr, L"owner");
  SetBoundsRect(form, {100, 100, 400, 300});
  TControl* first = NewLabel(form, L"first");
  TControl* second = NewButton(form, L"second");
  GetHandle(second);
  g_watched = {{form->handle, 1}, {first->handle, 2}, {second->handle, 3}};
  SetOnDestroy(form, LogDestroy, reinterpret_cast<void*>(1));
  SetOnDestroy(first, LogDestroy, reinterpret_cast<void*>(2));
  SetOnDestroy(second, LogDestroy, reinterpret_cast<void*>(3));
  HHOOK hook = SetWindowsHookExW(WH_CBT, WatchDestroys, nullptr, GetCurrentThreadId());
  FlushMessages();
  g_log.Clear();
  ReleaseObject(form);
  UnhookWindowsHookEx(hook);
  g_watched.clear();
  EXPECT_TRUE(MatchesSequence(g_log, kReleased));
}

}  // namespace
