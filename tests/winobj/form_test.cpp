// Forms and the application: bounds, closing, Enter/Esc, show events, threads.
#include <atomic>

#include "shared/ui.h"
#include "tests/winobj/winobj_test.h"

namespace {

class Forms : public WinobjTest {};

TEST_F(Forms, FormWithoutBoundsCoversTheWorkAreaDownToTheMenuBar) {
  TControl* form = NewForm(nullptr, L"f");
  HWND hwnd = GetHandle(form);
  RECT work, window;
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  GetWindowRect(hwnd, &window);
  const int kMenuBarHeight = 26;
  EXPECT_EQ(window.left, work.left);
  EXPECT_EQ(window.top, work.top);
  EXPECT_EQ(window.right, work.right);
  EXPECT_EQ(window.bottom, GetSystemMetrics(SM_CYSCREEN) - kMenuBarHeight);
  EXPECT_FALSE(IsWindowVisible(hwnd));  // shown by the next CreateWindowHandle
  ReleaseObject(form);
}

// VORLIX_SCREEN puts a device's screen into the desktop stand-in: the screen,
// and with it a form's default bounds down to the menu bar, take its size; an
// unset or malformed value leaves the real screen.
TEST_F(Forms, AFormWithoutBoundsCoversTheScreenTheStandInReports) {
  const SIZE real = {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  const struct {
    const wchar_t* value;
    SIZE screen;
  } cases[] = {{nullptr, real},          {L"240x320", {240, 320}}, {L"320x240", {320, 240}},
               {L"480x640", {480, 640}}, {L"240x", real},          {L"0x320", real},
               {L"240x320x", real},      {L"-240x320", real},      {L"240X320", {240, 320}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value ? c.value : L"unset");
    SetEnvironmentVariableW(L"VORLIX_SCREEN", c.value);
    RECT screen = GetScreenRect();
    EXPECT_EQ(c.screen.cx, screen.right);
    EXPECT_EQ(c.screen.cy, screen.bottom);
    TControl* form = NewForm(nullptr, L"f");
    RECT window;
    GetWindowRect(GetHandle(form), &window);
    EXPECT_EQ(0, window.left);
    EXPECT_EQ(0, window.top);
    EXPECT_EQ(c.screen.cx, window.right);
    EXPECT_EQ(c.screen.cy - 26, window.bottom);  // the menu bar's 26 pixels
    ReleaseObject(form);
  }
  SetEnvironmentVariableW(L"VORLIX_SCREEN", nullptr);
}

TEST_F(Forms, ClosingASecondaryFormDestroysOnlyThatForm) {
  TControl* mainForm = ShownMainForm();
  TControl* second = NewForm(mainForm, L"second");
  GetHandle(second);
  HWND secondWindow = second->handle;
  bool destroyed = false;
  SetOnDestroy(
      second, [](void* c, TRefObject*) { *static_cast<bool*>(c) = true; }, &destroyed);
  CloseForm(second);
  FlushMessages();
  EXPECT_TRUE(destroyed);
  EXPECT_FALSE(IsWindow(secondWindow));
  EXPECT_TRUE(IsWindow(mainForm->handle));
  MSG quit;
  EXPECT_FALSE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
}

TEST_F(Forms, ClosingTheMainFormEndsTheLoopAndReleasesIt) {
  TControl* form = NewForm(nullptr, L"main");
  TControl* label = NewLabel(form, L"x");
  bool labelDestroyed = false;
  SetOnDestroy(
      label, [](void* c, TRefObject*) { *static_cast<bool*>(c) = true; }, &labelDestroyed);
  bool ran = false;
  RunApplicationWith(&form, [&] {
    ran = IsWindowVisible(GetMainForm()->handle) && IsWindowVisible(label->handle);
  });
  EXPECT_TRUE(ran);
  EXPECT_EQ(form, nullptr);
  EXPECT_TRUE(labelDestroyed);
  EXPECT_EQ(GetMainForm(), nullptr);
}

// A main form whose window cannot be made (a child style with no parent) ends
// the loop at once instead of waiting for a close that can never come.
TEST_F(Forms, RunApplicationReturnsWhenTheMainFormGetsNoWindow) {
  TControl* form = NewForm(nullptr, L"windowless");
  form->style |= WS_CHILD;
  std::atomic<bool> returned{false};
  HANDLE watchdog = CreateThread(
      nullptr, 0,
      [](void* flag) WINAPI -> DWORD {
        for (int i = 0; i < 300 && !*static_cast<std::atomic<bool>*>(flag); ++i) Sleep(10);
        if (!*static_cast<std::atomic<bool>*>(flag)) TerminateProcess(GetCurrentProcess(), 3);
        return 0;
      },
      &returned, 0, nullptr);
  RunApplication(&form);
  returned = true;
  WaitForSingleObject(watchdog, INFINITE);
  CloseHandle(watchdog);
  EXPECT_EQ(form, nullptr);
  EXPECT_EQ(GetMainForm(), nullptr);
}

// Calls handed to a window's thread come with a registered message. One that no
// thread of this process put up is never run: not from another thread's send,
// not posted, not as the old private message with a procedure in wParam.
TEST_F(Forms, AHandedCallRunsOnlyWhenThisProcessPutItUp) {
  TControl* form = ShownForm();
  static std::atomic<int> calls{0};
  calls = 0;
  struct Made {
    void (*proc)(void*);
    void* context;
  } made = {[](void*) { ++calls; }, nullptr};
  struct Target {
    HWND hwnd;
    Made* made;
  } target = {form->handle, &made};
  UINT message = RegisterWindowMessageW(L"Vorlix.WindowThreadCall");
  ASSERT_NE(0u, message);
  HANDLE sender = CreateThread(
      nullptr, 0,
      [](void* p) WINAPI -> DWORD {
        auto* t = static_cast<Target*>(p);
        UINT call = RegisterWindowMessageW(L"Vorlix.WindowThreadCall");
        for (WPARAM slot = 0; slot < 70; ++slot) {
          SendMessageW(t->hwnd, call, slot, reinterpret_cast<LPARAM>(t->made));
        }
        SendMessageW(t->hwnd, 0xB006, reinterpret_cast<WPARAM>(t->made->proc), 0);
        return 0;
      },
      &target, 0, nullptr);
  while (MsgWaitForMultipleObjects(1, &sender, FALSE, 5000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
    FlushMessages();
  }
  CloseHandle(sender);
  PostMessageW(form->handle, message, 0, reinterpret_cast<LPARAM>(&made));
  FlushMessages();
  EXPECT_EQ(0, calls.load());
  EXPECT_TRUE(IsWindow(form->handle));
  // What the layer hands over itself still runs, on this thread.
  struct Handed {
    TControl* form;
    DWORD thread = 0;
  } handed = {form};
  HANDLE worker = CreateThread(
      nullptr, 0,
      [](void* p) WINAPI -> DWORD {
        RunOnWindowThread(
            static_cast<Handed*>(p)->form,
            [](void* c) { static_cast<Handed*>(c)->thread = GetCurrentThreadId(); }, p);
        return 0;
      },
      &handed, 0, nullptr);
  while (MsgWaitForMultipleObjects(1, &worker, FALSE, 5000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
    FlushMessages();
  }
  CloseHandle(worker);
  EXPECT_EQ(GetCurrentThreadId(), handed.thread);
}

TEST_F(Forms, RefusingOnCloseKeepsTheFormAndAnAllowingOneIsAskedOnce) {
  TControl* form = NewForm(nullptr, L"main");
  int asked = 0;
  bool allowing = false;
  Handler<TControl*, bool&> onClose{[&](TControl*, bool& allow) {
    ++asked;
    allow = allowing;
  }};
  SetOnClose(form, onClose.Call, &onClose);
  bool stillOpen = false;
  RunApplicationWith(&form, [&] {
    TControl* mainForm = GetMainForm();
    SendMessageW(mainForm->handle, WM_CLOSE, 0, 0);
    FlushMessages();
    stillOpen = IsWindow(mainForm->handle) && asked == 1;
    allowing = true;
  });  // closes the form: asked a second time, allowed
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(form, nullptr);
}

TEST_F(Forms, OnShowRunsOnceBeforeTheFormIsVisibleAndOnHideOnce) {
  TControl* form = NewForm(nullptr, L"f");
  int shows = 0, hides = 0;
  bool wasVisibleAtShow = true;
  Handler<TControl*> onShow{[&](TControl* sender) {
    ++shows;
    wasVisibleAtShow = IsWindowVisible(sender->handle) != 0;
  }};
  Handler<TControl*> onHide{[&](TControl*) { ++hides; }};
  SetOnShow(form, onShow.Call, &onShow);
  SetOnHide(form, onHide.Call, &onHide);
  GetHandle(form);
  EXPECT_EQ(shows, 0);
  form->CreateWindowHandle();
  EXPECT_EQ(shows, 1);
  EXPECT_FALSE(wasVisibleAtShow);
  SetVisible(form, false);
  EXPECT_EQ(hides, 1);
  SetVisible(form, true);
  EXPECT_EQ(shows, 2);
  EXPECT_TRUE(GetVisible(form));
  ReleaseObject(form);
}

TEST_F(Forms, TopmostAndBorderAreReadBackFromTheWindow) {
  TControl* form = ShownForm();
  EXPECT_TRUE(HasBorder(form));  // explicit bounds gave it a caption
  SetHasBorder(form, false);
  EXPECT_FALSE(HasBorder(form));
  EXPECT_FALSE(GetWindowLongW(form->handle, GWL_STYLE) & WS_CAPTION);
  // Wine leaves a window that owns a popup (the menu bar) below HWND_TOPMOST;
  // the programs remove the menu bar first.
  HideMenuBar(form->handle);
  SetTopmost(form, true);
  EXPECT_TRUE(GetWindowLongW(form->handle, GWL_EXSTYLE) & WS_EX_TOPMOST);
  SetTopmost(form, false);
  EXPECT_FALSE(IsTopmost(form));

  TControl* edit = NewEditBox(form, 0);
  GetHandle(edit);
  SetHasBorder(edit, false);
  DWORD style = GetWindowLongW(edit->handle, GWL_STYLE);
  EXPECT_FALSE(style & WS_BORDER);
  EXPECT_TRUE(style & WS_TABSTOP);  // shares its bit with the frame bits cleared
}

// Enter and Esc on the main form: which control is active decides. A focused
// push button is the default one while it has the focus; a check box is not.
struct KeyCase {
  const char* name;
  int active;  // index into the controls below
  UINT key;
  int okClicks, cancelClicks, otherClicks;
};

const KeyCase kKeyCases[] = {
    {"EnterInSingleLineEditPressesDefault", 0, VK_RETURN, 1, 0, 0},
    {"EnterInMultiLineEditDoesNot", 1, VK_RETURN, 0, 0, 0},
    {"EnterOnAnotherButtonPressesThatOne", 2, VK_RETURN, 0, 0, 1},
    {"EnterOnTheDefaultButtonPressesIt", 3, VK_RETURN, 1, 0, 0},
    {"EnterOnTheCancelButtonPressesCancel", 4, VK_RETURN, 0, 1, 0},
    {"EnterOnACheckBoxPressesDefault", 5, VK_RETURN, 1, 0, 0},
    {"EscInSingleLineEditPressesCancel", 0, VK_ESCAPE, 0, 1, 0},
    {"EscInMultiLineEditPressesCancel", 1, VK_ESCAPE, 0, 1, 0},
    {"EscOnAnotherButtonPressesCancel", 2, VK_ESCAPE, 0, 1, 0},
};

TEST_F(Forms, EnterAndEscPressTheRightButton) {
  for (const KeyCase& c : kKeyCases) {
    SCOPED_TRACE(c.name);
    TControl* form = NewForm(nullptr, L"keys");
    SetMainForm(form);  // as the programs do, before the loop
    TControl* controls[] = {NewEditBox(form, 0),        NewEditBox(form, kEditMultiline),
                            NewButton(form, L"other"),  NewButton(form, L"OK"),
                            NewButton(form, L"Cancel"), NewCheckBox(form, L"box")};
    Counter ok, cancel, other;
    SetOnClick(controls[2], Counter::Count, &other);
    SetOnClick(controls[3], Counter::Count, &ok);
    SetOnClick(controls[4], Counter::Count, &cancel);
    SetDefaultKeyButton(controls[3], VK_RETURN, true);
    SetDefaultKeyButton(controls[4], VK_ESCAPE, true);
    RunApplicationWith(&form, [&] {
      SetFocused(controls[c.active], true);
      FlushMessages();
      PressKey(c.key);
    });
    EXPECT_EQ(ok.calls, c.okClicks);
    EXPECT_EQ(cancel.calls, c.cancelClicks);
    EXPECT_EQ(other.calls, c.otherClicks);
  }
}

TEST_F(Forms, DefaultAndCancelButtonsCanBeTurnedOffOrReleased) {
  TControl* form = NewForm(nullptr, L"keys");
  SetMainForm(form);
  TControl* edit = NewEditBox(form, 0);
  TControl* okButton = NewButton(form, L"OK");
  TControl* cancelButton = NewButton(form, L"Cancel");
  Counter ok, cancel;
  SetOnClick(okButton, Counter::Count, &ok);
  SetOnClick(cancelButton, Counter::Count, &cancel);
  SetDefaultKeyButton(okButton, VK_RETURN, true);
  SetDefaultKeyButton(cancelButton, VK_ESCAPE, true);
  SetDefaultKeyButton(cancelButton, VK_ESCAPE, false);
  RunApplicationWith(&form, [&] {
    SetFocused(edit, true);
    PressKey(VK_ESCAPE);
    SetFocused(edit, true);
    PressKey(VK_RETURN);  // Enter still works without a cancel button
    ReleaseObject(okButton);
    SetFocused(edit, true);
    PressKey(VK_RETURN);  // and finds no released button
  });
  EXPECT_EQ(cancel.calls, 0);
  EXPECT_EQ(ok.calls, 1);
}

// The monitor updates its labels and shows its form from worker threads.
TEST_F(Forms, SetTextAndSetVisibleFromAWorkerRunOnTheWindowsThread) {
  TControl* form = ShownForm();
  TControl* label = NewLabel(form, L"before");
  GetHandle(label);
  struct Shared {
    TControl* form;
    TControl* label;
    DWORD showThread = 0;
  } shared = {form, label};
  SetOnShow(
      form, [](void* c, TControl*) { static_cast<Shared*>(c)->showThread = GetCurrentThreadId(); },
      &shared);
  SetVisible(form, false);
  HANDLE worker = CreateThread(
      nullptr, 0,
      [](void* p) WINAPI -> DWORD {
        auto* s = static_cast<Shared*>(p);
        for (int i = 0; i < 50; ++i) SetText(s->label, L"tick " + std::to_wstring(i));
        SetVisible(s->form, true);
        return 0;
      },
      &shared, 0, nullptr);
  // The worker's calls are handled here, by this thread's message processing.
  while (MsgWaitForMultipleObjects(1, &worker, FALSE, 5000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
    FlushMessages();
  }
  CloseHandle(worker);
  EXPECT_EQ(GetText(label), L"tick 49");
  EXPECT_TRUE(IsWindowVisible(form->handle));
  EXPECT_EQ(shared.showThread, GetCurrentThreadId());
}

TEST_F(Forms, CommandLineArgumentZeroIsTheProgramFile) {
  std::wstring self = GetCommandLineArgument(0);
  wchar_t path[MAX_PATH + 1];
  GetModuleFileNameW(nullptr, path, MAX_PATH + 1);
  EXPECT_EQ(self, path);
  EXPECT_EQ(GetCommandLineArgument(1000), L"");
  EXPECT_EQ(GetPlatformKind(), 1);
  RECT screen = GetScreenRect();
  EXPECT_EQ(screen.right, GetSystemMetrics(SM_CXSCREEN));
}

}  // namespace
