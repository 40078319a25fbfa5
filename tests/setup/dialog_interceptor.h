// Answers the message boxes and colour dialogs of the calling thread through a
// WH_CBT hook, and records what they showed. One instance at a time.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

struct TRecordedBox {
  std::wstring caption;
  std::wstring text;
  UINT icon;    // MB_ICONERROR, MB_ICONEXCLAMATION, MB_ICONQUESTION, MB_ICONINFORMATION or 0
  HWND owner;
  int answer;   // the button pressed
};

// What a colour dialog gets: a colour to pick, or a cancel.
struct TColorAnswer {
  bool pick;
  COLORREF color;
  bool addCustomColor;  // also press "Add to Custom Colors" with that colour
};

class DialogInterceptor {
 public:
  DialogInterceptor();
  ~DialogInterceptor();
  DialogInterceptor(const DialogInterceptor&) = delete;
  DialogInterceptor& operator=(const DialogInterceptor&) = delete;

  // Message boxes take these buttons in turn; when none is left, OK, or No for
  // a yes/no question.
  std::deque<int> boxAnswers;
  std::vector<TRecordedBox> boxes;

  // Colour dialogs take these in turn; when none is left, Cancel.
  std::deque<TColorAnswer> colorAnswers;
  // The colour each dialog opened with.
  std::vector<COLORREF> colorDialogStarts;
  std::vector<HWND> colorDialogOwners;
  // Called with the dialog's window before it is answered.
  std::function<void(HWND)> onColorDialog;

  // "caption|text" of every box, for compact comparisons.
  std::vector<std::wstring> Texts() const;

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
  void Answer(HWND dialog);
  HHOOK hook_;
  std::vector<HWND> seen_;
};
