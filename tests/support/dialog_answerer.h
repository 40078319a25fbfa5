// Answers the modal dialogs that code under test opens on this thread (message
// boxes, the colour dialog) through a CBT hook, and records what they showed.
// One answerer at a time.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/no_copy.h"

struct SeenMessageBox {
  HWND owner;
  std::wstring caption;
  std::wstring text;
  UINT icon;  // MB_ICONERROR, MB_ICONWARNING, MB_ICONQUESTION, MB_ICONINFORMATION or 0
};

struct SeenColorDialog {
  HWND owner;
  COLORREF initial;  // the colour the dialog opened with
  bool fullOpen;     // the custom colour part was shown
};

class DialogAnswerer : NoCopy {
 public:
  DialogAnswerer();
  ~DialogAnswerer();

  // Message boxes are answered with these buttons in turn (IDOK, IDYES, ...),
  // then with IDCANCEL.
  void AnswerMessageBoxes(std::vector<int> buttons) { buttons_ = std::move(buttons); }
  // The colour dialog picks color (OK); Cancel when none was given.
  void PickColor(COLORREF color) {
    pick_ = true;
    color_ = color;
  }
  void CancelColorDialog() { pick_ = false; }

  const std::vector<SeenMessageBox>& messageBoxes() const { return boxes_; }
  const std::vector<SeenColorDialog>& colorDialogs() const { return colorDialogs_; }

 private:
  static LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam);
  void Answer(HWND dialog);

  HHOOK hook_;
  std::vector<int> buttons_;
  bool pick_ = false;
  COLORREF color_ = 0;
  std::vector<SeenMessageBox> boxes_;
  std::vector<SeenColorDialog> colorDialogs_;
};
