// Runs the settings window in-process as the program runs it, in a program
// folder of the test's own, and drives its real controls.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "setup/settings_window.h"
#include "tests/setup/init_key.h"
#include "tests/support/dialog_answerer.h"
#include "tests/support/temp_folder.h"

// A program folder with a stand-in "vorlix.exe", HKLM\Init put back afterwards,
// every dialog answered (Cancel unless told otherwise), and power actions
// recorded in a log of the test's own.
class SettingsWindowTest : public ::testing::Test {
 protected:
  SettingsWindowTest();
  ~SettingsWindowTest() override;

  // Builds the window for the folder and runs the message loop; script runs
  // inside the loop once the window is shown, and the form is closed after it
  // unless the script closed it. False when the loop ended before the script ran.
  bool Run(const std::function<void(TSettingsWindow*)>& script);
  // The form was asked to close (WM_CLOSE taken from the queue) while the script ran.
  bool closedByScript = false;

  std::wstring MonitorPath() const { return folder.File(L"vorlix.exe"); }
  std::string PowerLog() const;  // "<missing>" when nothing was recorded
  // A fresh answerer: message boxes take these buttons in turn.
  void ResetDialogs(std::vector<int> answers = {});
  // "caption|text" of every message box shown since the last reset.
  std::vector<std::wstring> BoxTexts() const;
  // The screen the programs see from now on, until the test ends (the desktop
  // stand-in's VORLIX_SCREEN); the window is drawn in the real screen's corner.
  void SimulateScreen(int width, int height);

  TempFolder folder;
  TempFolder logFolder;
  InitKeyFixture init;
  std::unique_ptr<DialogAnswerer> dialogs;
};

// Input as the user gives it.
void TypeText(TControl* edit, const std::wstring& text);  // replaces the box's text
void Click(TControl* control);                            // button, check box, label, panel
// To the focused window, with MK_SHIFT and MK_CONTROL held as modifiers asks.
void PressKey(UINT key, uint32_t modifiers = 0);
// A tap at a point of the screen, given to the window the system finds there.
void TapAt(POINT screen);
void PressArrow(TControl* scrollBar, int code);  // SB_LINEUP or SB_LINEDOWN
void MoveMouse(TControl* control, int x, int y);
void ChooseItem(TControl* combo, int index);

// Shown on screen, with every parent shown.
bool IsShown(TControl* control);
// Which of the three pages is shown: 0 General, 1 View, 2 Language, -1 none or several.
int ShownPage(TSettingsWindow* w);
RECT BoundsOf(TControl* control);

// The folder the programs and language packs are built into (<build>/bin).
std::wstring ShippedFolder();
// The bytes of a language pack shipped beside the programs.
std::string ShippedPack(const std::wstring& name);
// Saves the screen the programs see as <build>/screenshots/<name>.bmp.
void SaveScreenshot(const std::wstring& name);
