// The standard controls: creation defaults, geometry, items, events.
#include "tests/winobj/winobj_test.h"

namespace {

class Controls : public WinobjTest {};

struct DefaultCase {
  const char* name;
  TControl* (*make)(TControl* parent);
  const wchar_t* className;
  int width, height;
};

const DefaultCase kDefaults[] = {
    {"Button", [](TControl* p) { return NewButton(p, L"b"); }, L"BUTTON", 64, 22},
    {"CheckBox", [](TControl* p) { return NewCheckBox(p, L"c"); }, L"BUTTON", 72, 22},
    {"Label", [](TControl* p) { return NewLabel(p, L"l"); }, L"STATIC", 64, 22},
    {"Panel", [](TControl* p) { return NewPanel(p, 0); }, L"STATIC", 100, 100},
    {"EditBox", [](TControl* p) { return NewEditBox(p, 0); }, L"EDIT", 100, 22},
    {"MultiLineEditBox", [](TControl* p) { return NewEditBox(p, kEditMultiline); }, L"EDIT", 200,
     200},
    {"ScrollBar", [](TControl* p) { return NewScrollBar(p, kScrollBarVertical); }, L"SCROLLBAR", 64,
     64},
};

TEST_F(Controls, NewControlsSitAtTwoTwoWithTheKindsSize) {
  TControl* form = ShownForm();
  for (const DefaultCase& c : kDefaults) {
    SCOPED_TRACE(c.name);
    TControl* control = c.make(form);
    GetHandle(control);
    wchar_t name[32];
    GetClassNameW(control->handle, name, 32);
    EXPECT_EQ(_wcsicmp(name, c.className), 0) << name;
    RECT bounds = GetBoundsRect(control);
    EXPECT_EQ(bounds.left, 2);
    EXPECT_EQ(bounds.top, 2);
    EXPECT_EQ(GetWidth(control), c.width);
    EXPECT_EQ(GetHeight(control), c.height);
    EXPECT_TRUE(IsWindowVisible(control->handle));
    EXPECT_GE(control->childId, 0x8000);
  }
}

TEST_F(Controls, SetSizeChangesOnlyPositiveDimensionsAndChains) {
  TControl* form = ShownForm();
  TControl* label = SetSize(SetPosition(NewLabel(form, L"x"), 10, 20), 0, 40);
  GetHandle(label);
  EXPECT_EQ(GetLeft(label), 10);
  EXPECT_EQ(GetTop(label), 20);
  EXPECT_EQ(GetWidth(label), 64);
  EXPECT_EQ(GetHeight(label), 40);
  SetSize(label, 30, 0);
  EXPECT_EQ(GetWidth(label), 30);
  EXPECT_EQ(GetHeight(label), 40);
}

TEST_F(Controls, AutoSizeFitsTheTextAndAnEmptyTextToOneByOne) {
  TControl* form = ShownForm();
  TControl* label = NewLabel(form, L"");
  SetAutoSize(label, true);
  EXPECT_EQ(GetWidth(label), 1);
  EXPECT_EQ(GetHeight(label), 1);
  SetText(label, L"Some text");
  TGdiCanvas* canvas = GetCanvas(label);
  SIZE extent = TextExtent(canvas, L"Some text");
  EXPECT_EQ(GetWidth(label), extent.cx + 1);
  EXPECT_EQ(GetHeight(label), extent.cy + 1);
  SetAutoSize(label, false);
  SetText(label, L"");
  EXPECT_EQ(GetWidth(label), extent.cx + 1);
}

TEST_F(Controls, WordWrappedAutoSizeGrowsDownwardsAtTheGivenWidth) {
  TControl* form = ShownForm();
  TControl* label = SetSize(NewLabel(form, L"one"), 200, 20);
  SetWordWrap(label);
  SetTextAlign(label, kAlignCenter);
  SetFontHeight(GetFont(label), -11);
  SetAutoSize(label, true);
  int oneLine = GetHeight(label);
  SetAutoSize(label, false);
  SetWidth(label, 200);
  SetText(label,
          L"a long text that certainly needs more than one line at this width, "
          L"and then some more words to be sure of it");
  SetAutoSize(label, true);
  EXPECT_GT(GetHeight(label), 2 * (oneLine - 1));
  EXPECT_LE(GetWidth(label), 200);
  DWORD style = GetWindowLongW(label->handle, GWL_STYLE);
  EXPECT_EQ(style & (SS_TYPEMASK | SS_EDITCONTROL), static_cast<DWORD>(SS_CENTER | SS_EDITCONTROL));
}

TEST_F(Controls, AddItemOnAnEmptyComboBoxSelectsItAndSetItemTextKeepsTheSelection) {
  TControl* form = ShownForm();
  TControl* combo = NewComboBox(form, kComboDropDownList);
  AddItem(combo, L"first");
  EXPECT_EQ(GetItemIndex(combo), 0);
  AddItem(combo, L"second");
  AddItem(combo, L"third");
  SetItemIndex(combo, 2);
  SetItemText(combo, 1, L"middle");
  EXPECT_EQ(GetItemCount(combo), 3);
  EXPECT_EQ(GetItemIndex(combo), 2);
  wchar_t text[32];
  SendMessageW(combo->handle, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(text));
  EXPECT_STREQ(text, L"middle");
  Clear(combo);
  EXPECT_EQ(GetItemCount(combo), 0);
}

// Opening asks for one row per item (1 to 8) plus the box's own row, plus 2.
int g_requestedHeight;

bool RecordResize(TControl*, TWindowMessage& msg, LRESULT&) {
  auto* pos = reinterpret_cast<WINDOWPOS*>(msg.lParam);
  // The first request counts; the combo box then trims itself to its closed height.
  if (msg.message == WM_WINDOWPOSCHANGING && !(pos->flags & SWP_NOSIZE) && !g_requestedHeight) {
    g_requestedHeight = pos->cy;
  }
  return false;
}

TEST_F(Controls, ComboDropDownHeightFollowsTheItemCount) {
  for (int items : {0, 1, 20}) {
    SCOPED_TRACE(items);
    TControl* form = ShownForm();
    TControl* combo = NewComboBox(form, kComboDropDownList);
    GetHandle(combo);
    for (int i = 0; i < items; ++i) AddItem(combo, L"item " + std::to_wstring(i));
    Counter dropped;
    SetOnDropDown(combo, Counter::Count, &dropped);
    AddHook(combo, RecordResize);
    int height = GetHeight(combo);
    g_requestedHeight = 0;
    SendMessageW(combo->handle, CB_SHOWDROPDOWN, TRUE, 0);
    int rows = items < 1 ? 1 : items > 8 ? 8 : items;
    EXPECT_EQ(g_requestedHeight, height * (rows + 1) + 2);
    EXPECT_EQ(dropped.calls, 1);
    EXPECT_TRUE(combo->listDropped);
    SendMessageW(combo->handle, CB_SHOWDROPDOWN, FALSE, 0);
    EXPECT_FALSE(combo->listDropped);
    ReleaseForms();
  }
}

TEST_F(Controls, EscInAnOpenComboListRestoresTheSelectionAndPressesNoCancel) {
  for (uint32_t options : {0u, kComboDropDownList}) {
    SCOPED_TRACE(options ? "drop-down list" : "drop-down");
    TControl* form = NewForm(nullptr, L"combo");
    SetMainForm(form);
    TControl* combo = NewComboBox(form, options);
    TControl* cancelButton = NewButton(form, L"Cancel");
    Counter cancel;
    SetOnClick(cancelButton, Counter::Count, &cancel);
    SetDefaultKeyButton(cancelButton, VK_ESCAPE, true);
    int selection = -2, dropped = -1;
    RunApplicationWith(&form, [&] {
      for (const wchar_t* item : {L"zero", L"one", L"two", L"three"}) AddItem(combo, item);
      SetItemIndex(combo, 1);
      SetFocused(combo, true);
      SendMessageW(combo->handle, CB_SHOWDROPDOWN, TRUE, 0);
      SendMessageW(combo->handle, CB_SETCURSEL, 3, 0);
      PressKey(VK_ESCAPE);
      selection = GetItemIndex(combo);
      dropped = static_cast<int>(SendMessageW(combo->handle, CB_GETDROPPEDSTATE, 0, 0));
    });
    EXPECT_EQ(selection, 1);
    EXPECT_EQ(dropped, 0);
    EXPECT_EQ(cancel.calls, 0);
  }
}

struct SelectionOrder {
  std::string events;
  TControl* combo;
  int indexAtSelChange = -1;
};

TEST_F(Controls, SelectingAnItemRaisesOnSelChangeThenOnChangeOnceAfterTheChange) {
  TControl* form = ShownForm();
  TControl* combo = NewComboBox(form, kComboDropDownList);
  for (const wchar_t* item : {L"a", L"b", L"c"}) AddItem(combo, item);
  SelectionOrder order;
  order.combo = combo;
  SetOnSelChange(
      combo,
      [](void* c, TControl* sender) {
        auto* o = static_cast<SelectionOrder*>(c);
        o->events += "sel;";
        o->indexAtSelChange = GetItemIndex(sender);
      },
      &order);
  SetOnChange(
      combo, [](void* c, TControl*) { static_cast<SelectionOrder*>(c)->events += "change;"; },
      &order);
  SetFocused(combo, true);
  FlushMessages();
  // A key press in the closed list selects the next item and notifies CBN_SELCHANGE.
  PressKey(VK_DOWN);
  EXPECT_EQ(order.events, "sel;change;");
  EXPECT_EQ(order.indexAtSelChange, 1);
}

TEST_F(Controls, ButtonDoubleClickCountsAsTwoPresses) {
  TControl* form = ShownForm();
  TControl* button = NewButton(form, L"press");
  GetHandle(button);
  Counter clicks;
  SetOnClick(button, Counter::Count, &clicks);
  LPARAM inside = MAKELPARAM(5, 5);
  for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}) {
    PostMessageW(button->handle, message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON, inside);
  }
  FlushMessages();
  EXPECT_EQ(clicks.calls, 2);
}

TEST_F(Controls, CheckBoxToggles) {
  TControl* form = ShownForm();
  TControl* box = NewCheckBox(form, L"check");
  EXPECT_FALSE(GetChecked(box));
  SetChecked(box, true);
  EXPECT_TRUE(GetChecked(box));
  Counter clicks;
  SetOnClick(box, Counter::Count, &clicks);
  PostMessageW(box->handle, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  PostMessageW(box->handle, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  FlushMessages();
  EXPECT_EQ(clicks.calls, 1);
  EXPECT_FALSE(GetChecked(box));
}

TEST_F(Controls, EditBoxTextChangeItemsAndSelection) {
  TControl* form = ShownForm();
  TControl* edit = NewEditBox(form, 0);
  GetHandle(edit);  // SetText alone does not make the window
  Counter changes;
  SetOnChange(edit, Counter::Count, &changes);
  SetText(edit, L"12");
  EXPECT_EQ(changes.calls, 1);
  SetFocused(edit, true);
  SendMessageW(edit->handle, EM_SETSEL, 2, 2);
  SendMessageW(edit->handle, WM_CHAR, '3', 1);
  EXPECT_EQ(changes.calls, 2);
  EXPECT_EQ(GetText(edit), L"123");

  TControl* lines = NewEditBox(form, kEditMultiline);
  GetHandle(lines);
  SetText(lines, L"one\r\ntwo\r\nthree");
  EXPECT_EQ(GetItemCount(lines), 3);
  SetItemText(lines, 1, L"TWO\r\n");
  EXPECT_EQ(GetText(lines), L"one\r\nTWO\r\nthree");
  SelectAllText(lines);
  DWORD start = 0, end = 0;
  SendMessageW(lines->handle, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
               reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, GetText(lines).size());
  AddItem(lines, L"!");
  EXPECT_EQ(GetText(lines), L"one\r\nTWO\r\nthree!");
}

TEST_F(Controls, AnchoredChildrenFollowTheirParent) {
  TControl* form = ShownForm();
  TControl* panel = SetSize(SetPosition(NewPanel(form, kPanelNoBorder), 0, 0), 200, 100);
  TControl* stretch = SetSize(SetPosition(NewLabel(panel, L"s"), 10, 10), 100, 20);
  TControl* corner = SetSize(SetPosition(NewButton(panel, L"c"), 150, 70), 40, 20);
  TControl* fixed = SetSize(SetPosition(NewLabel(panel, L"f"), 10, 40), 50, 20);
  SetAnchors(stretch, true, true, true, false);
  SetAnchors(corner, false, false, true, true);
  SetSize(panel, 260, 130);
  EXPECT_EQ(GetWidth(stretch), 160);
  EXPECT_EQ(GetLeft(corner), 210);
  EXPECT_EQ(GetTop(corner), 100);
  EXPECT_EQ(GetLeft(fixed), 10);
  EXPECT_EQ(GetWidth(fixed), 50);
}

TEST_F(Controls, MouseMoveOnALabelReachesItsHandler) {
  TControl* form = ShownForm();
  TControl* label = NewLabel(form, L"mouse");
  GetHandle(label);
  int moves = 0;
  int16_t x = 0, y = 0;
  Handler<TControl*, TMouseEventData&> onMove{[&](TControl*, TMouseEventData& data) {
    ++moves;
    x = data.x;
    y = data.y;
    data.handled = true;
  }};
  SetOnMouseMove(label, onMove.Call, &onMove);
  EXPECT_EQ(SendMessageW(label->handle, WM_MOUSEMOVE, 0, MAKELPARAM(7, 9)), 0);
  EXPECT_EQ(moves, 1);
  EXPECT_EQ(x, 7);
  EXPECT_EQ(y, 9);
}

}  // namespace
