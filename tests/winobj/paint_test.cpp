// Fonts, brushes and painting, checked on the pixels where colour matters.
#include "tests/support/dialog_answerer.h"
#include "tests/support/window_capture.h"
#include "tests/winobj/winobj_test.h"

namespace {

class Painting : public WinobjTest {};

TEST_F(Painting, SetFontStyleBoldSetsAndClearsTheWeight) {
  TControl* form = ShownForm();
  TGdiTool* font = GetFont(NewLabel(form, L"x"));
  font->desc.font.lfWeight = FW_NORMAL;
  SetFontStyle(font, kFontBold | kFontItalic);
  EXPECT_EQ(font->desc.font.lfWeight, FW_BOLD);
  EXPECT_EQ(GetFontStyle(font), kFontBold | kFontItalic);
  SetFontStyle(font, kFontUnderline);
  EXPECT_EQ(font->desc.font.lfWeight, 0);
  EXPECT_EQ(GetFontStyle(font), kFontUnderline);
}

TEST_F(Painting, FormBackgroundIsPaintedInItsColour) {
  TControl* form = ShownForm();
  SetColor(form, RGB(0, 128, 255));
  EXPECT_EQ(ClientPixel(form->handle, 300, 200), RGB(0, 128, 255));
}

TEST_F(Painting, LabelSharesTheBrushOfASameColouredPanelUntilItsColourChanges) {
  TControl* form = ShownForm();
  TControl* panel = SetSize(NewPanel(form, kPanelNoBorder), 200, 100);
  SetColor(panel, RGB(255, 128, 0));
  TControl* label = SetSize(SetPosition(NewLabel(panel, L"x"), 10, 10), 100, 30);
  GetHandle(label);
  EXPECT_EQ(GetBrush(label), GetBrush(panel));
  EXPECT_EQ(label->brush, nullptr);
  SetColor(label, RGB(0, 0, 255));
  EXPECT_NE(GetBrush(label), GetBrush(panel));
  // The label's empty right part shows its own colour, the panel around it its own.
  UpdateWindow(form->handle);
  EXPECT_EQ(ClientPixel(label->handle, 90, 20), RGB(0, 0, 255));
  EXPECT_EQ(ClientPixel(panel->handle, 150, 80), RGB(255, 128, 0));
}

TEST_F(Painting, SameColourTwiceNeitherRecreatesTheBrushNorRepaints) {
  TControl* form = ShownForm();
  SetColor(form, RGB(10, 200, 10));
  HBRUSH brush = GetBrush(form);
  UpdateWindow(form->handle);
  SetColor(form, RGB(10, 200, 10));
  EXPECT_FALSE(GetUpdateRect(form->handle, nullptr, FALSE));
  EXPECT_EQ(GetBrush(form), brush);
}

// Restores the system colour a test changes.
class SystemColor {
 public:
  SystemColor(int index, COLORREF color) : index_(index), old_(GetSysColor(index)) {
    SetSysColors(1, &index_, &color);
  }
  ~SystemColor() { SetSysColors(1, &index_, &old_); }

 private:
  int index_;
  COLORREF old_;
};

TEST_F(Painting, SystemColourChangeIsPickedUpAtTheNextPaint) {
  TControl* form = ShownForm();
  ASSERT_EQ(GetColor(form), kColorWindow);
  EXPECT_EQ(ClientPixel(form->handle, 300, 200), GetSysColor(COLOR_WINDOW));
  {
    SystemColor changed(COLOR_WINDOW, RGB(200, 0, 200));
    InvalidateRect(form->handle, nullptr, TRUE);
    EXPECT_EQ(ClientPixel(form->handle, 300, 200), RGB(200, 0, 200));
  }
  InvalidateRect(form->handle, nullptr, TRUE);
  EXPECT_EQ(ClientPixel(form->handle, 300, 200), GetSysColor(COLOR_WINDOW));
}

TEST_F(Painting, CopiedFontSharesTheParentsHandleUntilTheParentChanges) {
  TControl* form = ShownForm();
  TControl* panel = SetSize(NewPanel(form, kPanelNoBorder), 200, 100);
  SetFontHeight(GetFont(panel), -20);
  TControl* label = NewLabel(panel, L"shared");
  GetHandle(label);
  EXPECT_EQ(GetToolHandle(GetFont(label)), GetToolHandle(GetFont(panel)));
  SetFontHeight(GetFont(panel), -30);
  // The label got its own handle before the panel's old one was deleted.
  auto labelFont = reinterpret_cast<HGDIOBJ>(SendMessageW(label->handle, WM_GETFONT, 0, 0));
  EXPECT_EQ(GetObjectType(labelFont), static_cast<DWORD>(OBJ_FONT));
  LOGFONTW lf = {};
  GetObjectW(labelFont, sizeof(lf), &lf);
  EXPECT_EQ(lf.lfHeight, -20);
  EXPECT_NE(labelFont, GetToolHandle(GetFont(panel)));
}

// Two levels of unchanged copies share the form's handle; when the form's font
// changes, the grandchild too gets a live handle before the old one is deleted.
TEST_F(Painting, AGrandchildsCopiedFontStaysLiveWhenTheFormsFontChanges) {
  TControl* form = ShownForm();
  SetFontHeight(GetFont(form), -20);
  TControl* panel = SetSize(NewPanel(form, kPanelNoBorder), 200, 100);
  TControl* label = NewLabel(panel, L"deep");
  GetHandle(label);
  HGDIOBJ shared = GetToolHandle(GetFont(form));
  ASSERT_EQ(shared, reinterpret_cast<HGDIOBJ>(SendMessageW(label->handle, WM_GETFONT, 0, 0)));
  SetFontHeight(GetFont(form), -30);
  auto labelFont = reinterpret_cast<HGDIOBJ>(SendMessageW(label->handle, WM_GETFONT, 0, 0));
  EXPECT_EQ(GetObjectType(labelFont), static_cast<DWORD>(OBJ_FONT));
  LOGFONTW lf = {};
  GetObjectW(labelFont, sizeof(lf), &lf);
  EXPECT_EQ(lf.lfHeight, -20);  // the copies keep the description they were made with
}

TEST_F(Painting, FontColourBecomesTheLabelsTextColour) {
  TControl* form = ShownForm();
  SetColor(form, RGB(255, 255, 255));
  TControl* label = SetSize(NewLabel(form, L"\x2588\x2588\x2588\x2588"), 100, 30);
  SetColor(label, RGB(255, 255, 255));
  SetFontHeight(GetFont(label), -20);
  SetFontColor(GetFont(label), RGB(255, 0, 0));
  EXPECT_EQ(label->textColor, RGB(255, 0, 0));
  HDC dc = GetDC(label->handle);
  HBRUSH answer = reinterpret_cast<HBRUSH>(SendMessageW(form->handle, WM_CTLCOLORSTATIC,
                                                        reinterpret_cast<WPARAM>(dc),
                                                        reinterpret_cast<LPARAM>(label->handle)));
  EXPECT_EQ(GetTextColor(dc), RGB(255, 0, 0));
  EXPECT_EQ(answer, GetBrush(label));
  ReleaseDC(label->handle, dc);
}

TEST_F(Painting, ColorChooserReturnsThePickedColourOrKeepsItsOwn) {
  TColorChooser* chooser = NewColorChooser(0);
  chooser->color = RGB(10, 20, 30);
  DialogAnswerer answerer;
  answerer.PickColor(RGB(200, 100, 50));
  EXPECT_TRUE(ExecuteColorChooser(chooser));
  EXPECT_EQ(chooser->color, RGB(200, 100, 50));
  answerer.CancelColorDialog();
  EXPECT_FALSE(ExecuteColorChooser(chooser));
  EXPECT_EQ(chooser->color, RGB(200, 100, 50));
  ASSERT_EQ(answerer.colorDialogs().size(), 2u);
  EXPECT_EQ(answerer.colorDialogs()[0].initial, RGB(10, 20, 30));
  EXPECT_TRUE(answerer.colorDialogs()[0].fullOpen);
  ReleaseObject(chooser);
}

std::wstring ScreenshotFolder() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path);
  folder = folder.substr(0, folder.find_last_of(L'\\'));  // <build>\tests
  folder = folder.substr(0, folder.find_last_of(L'\\')) + L"\\screenshots";
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

TEST_F(Painting, FormWithEveryKindOfControlIsSavedAsAScreenshot) {
  TControl* form = ShownForm();
  SetColor(form, RGB(255, 255, 255));
  TControl* panel = SetSize(SetPosition(NewPanel(form, kPanelWithBorder), 8, 8), 370, 250);
  SetColor(panel, RGB(255, 128, 0));
  SetFontHeight(GetFont(panel), -11);
  TControl* title = SetSize(SetPosition(NewLabel(panel, L"Labels, buttons, boxes"), 8, 8), 200, 16);
  SetFontStyle(GetFont(title), kFontBold);
  SetPosition(NewButton(panel, L"Button"), 8, 32);
  TControl* box = SetSize(SetPosition(NewCheckBox(panel, L"Check box"), 80, 32), 120, 22);
  SetChecked(box, true);
  TControl* edit = SetPosition(NewEditBox(panel, 0), 8, 64);
  SetText(edit, L"Edit box");
  SetColor(edit, kColorWindow);
  TControl* combo = SetSize(SetPosition(NewComboBox(panel, kComboDropDownList), 120, 64), 140, 24);
  for (const wchar_t* item : {L"Combo box", L"Second"}) AddItem(combo, item);
  SetSize(SetPosition(NewScrollBar(panel, 1), 270, 64), 21, 60);
  SetSize(SetPosition(NewScrollBar(panel, 0), 8, 100), 100, 21);
  TControl* right = SetSize(SetPosition(NewLabel(panel, L"Right aligned"), 8, 130), 200, 16);
  SetTextAlign(right, kAlignRight);
  TControl* multi = SetSize(SetPosition(NewEditBox(panel, kEditMultiline), 8, 150), 200, 60);
  SetText(multi, L"Multi-line\r\nedit box");
  SetColor(multi, kColorWindow);
  GetHandle(form);
  form->CreateWindowHandle();
  FlushMessagesFor(100);
  RedrawWindow(form->handle, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  std::wstring path = ScreenshotFolder() + L"\\winobj-controls.bmp";
  ASSERT_TRUE(SaveWindowBitmap(form->handle, path));
  EXPECT_EQ(ClientPixel(panel->handle, 360, 240), RGB(255, 128, 0));
}

}  // namespace
