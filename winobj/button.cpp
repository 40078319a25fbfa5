// Buttons and check boxes ("BUTTON").
#include "winobj/internal.h"

using namespace winobj;

namespace {

const TControlTraits kButtonTraits = TTraitsOf(ClearText)
                                         .Notifications(BN_CLICKED, BN_SETFOCUS, BN_KILLFOCUS)
                                         .Alignment(BS_LEFT, BS_RIGHT, BS_CENTER)
                                         .ExtraSize(14, 6);

// BS_NOTIFY buttons report the second press of a double click as BN_DOUBLECLICKED
// and do not press; as a press, a quick second click still clicks.
bool DoubleClickHook(TControl*, TWindowMessage& msg, LRESULT&) {
  if (msg.message == WM_LBUTTONDBLCLK) msg.message = WM_LBUTTONDOWN;
  return false;
}

// The focused push button is drawn as the default one.
bool FocusStyleHook(TControl* button, TWindowMessage& msg, LRESULT&) {
  if (msg.message == WM_SETFOCUS) ChangeStyle(button, BS_DEFPUSHBUTTON, 0);
  if (msg.message == WM_KILLFOCUS) ChangeStyle(button, 0, BS_DEFPUSHBUTTON);
  return false;
}

TControl* MakeButton(TControl* parent, const std::wstring& caption, DWORD style, int width) {
  TControl* button = NewChildControl(parent, L"BUTTON", style, kButtonTraits, width, 22);
  button->color = kColorButtonFace;
  button->pressedByEnter = true;
  SetTextAlign(button, kAlignCenter);
  AddHook(button, DoubleClickHook);
  AddHook(button, FocusStyleHook);
  SetText(button, caption);
  return button;
}

}  // namespace

TControl* NewButton(TControl* parent, const std::wstring& caption) {
  return MakeButton(parent, caption, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_NOTIFY | BS_PUSHLIKE,
                    64);
}

TControl* NewCheckBox(TControl* parent, const std::wstring& caption) {
  TControl* box = MakeButton(parent, caption,
                             WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_NOTIFY | BS_AUTOCHECKBOX, 72);
  RemoveHook(box, FocusStyleHook);
  // Made as a button, but a check box's caption sits beside its box: centred it
  // would stand hundreds of pixels away in a wide one.
  SetTextAlign(box, kAlignLeft);
  box->color = parent->color;
  box->traits.extraWidth = 24;
  box->pressedByEnter = false;
  return box;
}

bool GetChecked(TControl* control) { return Perform(control, BM_GETCHECK, 0, 0) != 0; }

void SetChecked(TControl* control, bool checked) {
  Perform(control, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}
