// The window's layout at a device's screens and after the screen changes: every
// caption and item readable, labels on their fields' lines, check boxes that
// take a tap only on themselves.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/setup/settings_harness.h"
#include "tests/support/window_capture.h"

namespace {

using SetupLayout = SettingsWindowTest;

void WritePacks(const TempFolder& folder) {
  for (const wchar_t* pack : {L"russian.lng", L"deutsch.lng", L"francais.lng"})
    folder.Write(pack, ShippedPack(pack));
}

// What a caption needs in the font its control is drawn with: a label its text
// on one line; a push button its text and a margin of 3 pixels a side; a check
// box its box (SM_CXMENUCHECK), half an average character, then its text, on one
// line or, when it wraps, on lines that all fit its height.
struct TCaptionCheck {
  std::wstring what;
  bool fits;
  int left, right;  // where the caption stands, in the control's client area
};

TCaptionCheck CheckCaption(HWND control) {
  wchar_t className[16] = {};
  GetClassNameW(control, className, 16);
  int length = GetWindowTextLengthW(control);
  std::wstring text(length, L'\0');
  GetWindowTextW(control, &text[0], length + 1);
  RECT client;
  GetClientRect(control, &client);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old =
      SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
  SIZE extent = {};
  GetTextExtentPoint32W(dc, text.c_str(), length, &extent);
  TEXTMETRICW metrics = {};
  GetTextMetricsW(dc, &metrics);
  LONG style = GetWindowLongW(control, GWL_STYLE);
  bool fits;
  int left = 0, right = client.right;
  if (lstrcmpiW(className, L"Static") == 0) {
    fits = extent.cx <= client.right && extent.cy <= client.bottom;
    // A label's text may end well before the label does.
    if ((style & SS_TYPEMASK) == SS_RIGHT) {
      left = client.right - extent.cx;
    } else if ((style & SS_TYPEMASK) != SS_CENTER) {
      right = extent.cx;
    }
  } else if ((style & BS_TYPEMASK) == BS_AUTOCHECKBOX) {
    int box = GetSystemMetrics(SM_CXMENUCHECK) + metrics.tmAveCharWidth / 2;
    if (style & BS_MULTILINE) {
      RECT lines = {0, 0, client.right - box, 0};
      int height = DrawTextW(dc, text.c_str(), length, &lines, DT_CALCRECT | DT_WORDBREAK);
      fits = lines.right <= client.right - box && height <= client.bottom;
    } else {
      fits = box + extent.cx <= client.right && extent.cy <= client.bottom;
    }
  } else {
    fits = extent.cx + 6 <= client.right && extent.cy <= client.bottom;
  }
  SelectObject(dc, old);
  DeleteDC(dc);
  return {std::wstring(className) + L" \"" + text + L"\" " + std::to_wstring(client.right) + L"x" +
              std::to_wstring(client.bottom) + L", text " + std::to_wstring(extent.cx),
          fits, left, right};
}

BOOL CALLBACK CollectShown(HWND window, LPARAM found) {
  if (IsWindowVisible(window)) reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
  return TRUE;
}

// Every item of a combo box fits its field as the box draws it: one pixel in
// from the field's left, and one pixel clear of its right edge. The items that
// do not, with their widths.
std::vector<std::wstring> ItemsCutOff(HWND combo) {
  COMBOBOXINFO info = {};
  info.cbSize = sizeof(info);
  GetComboBoxInfo(combo, &info);
  int field = info.rcItem.right - info.rcItem.left;
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(combo, WM_GETFONT, 0, 0)));
  std::vector<std::wstring> cut;
  int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    std::wstring text(SendMessageW(combo, CB_GETLBTEXTLEN, i, 0), L'\0');
    SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(&text[0]));
    SIZE extent = {};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    if (extent.cx + 2 > field) {
      cut.push_back(text + L" " + std::to_wstring(extent.cx) + L" in " + std::to_wstring(field));
    }
  }
  SelectObject(dc, old);
  DeleteDC(dc);
  return cut;
}

bool IsClass(HWND window, const wchar_t* name) {
  wchar_t className[16] = {};
  GetClassNameW(window, className, 16);
  return lstrcmpiW(className, name) == 0;
}

// Every caption and every item on every page can be read, at the screens of
// small Pocket PCs upright and on their side, a VGA one and a desktop, each in
// a window started at that size: none cut off, none wrapped out of sight, none
// cut by the edge of what it sits on.
TEST_F(SetupLayout, EveryCaptionAndItemFitsOnEveryPageAtEachScreenSize) {
  WritePacks(folder);
  const SIZE screens[] = {{240, 320}, {320, 240}, {480, 640}, {1024, 768}};
  for (SIZE screen : screens) {
    SCOPED_TRACE(testing::Message() << screen.cx << "x" << screen.cy);
    SimulateScreen(screen.cx, screen.cy);
    ASSERT_TRUE(Run([screen](TSettingsWindow* w) {
      EXPECT_EQ(screen.cx, GetClientWidth(w->frmMain));
      EXPECT_EQ(screen.cy, GetClientHeight(w->frmMain));
      for (TSettingsPage page : {kPageGeneral, kPageView, kPageLanguage, kPageOther}) {
        SelectPage(w, page);
        std::vector<HWND> shown;
        EnumChildWindows(GetHandle(w->pnlMain), CollectShown, reinterpret_cast<LPARAM>(&shown));
        int captions = 0, combos = 0;
        for (HWND control : shown) {
          RECT inParent, parent;
          GetWindowRect(control, &inParent);
          MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&inParent), 2);
          GetClientRect(GetParent(control), &parent);
          TCaptionCheck check = CheckCaption(control);
          bool captioned = IsClass(control, L"Static") || IsClass(control, L"Button");
          captioned = captioned && GetWindowTextLengthW(control) != 0;
          // What shows of it (for a label, its text) lies within what it sits on.
          int from = captioned ? inParent.left + check.left : inParent.left;
          int to = captioned ? inParent.left + check.right : inParent.right;
          EXPECT_TRUE(from >= 0 && inParent.top >= 0 && to <= parent.right &&
                      inParent.bottom <= parent.bottom)
              << "page " << page << ": " << testing::PrintToString(check.what)
              << " leaves its parent";
          if (IsClass(control, L"ComboBox")) {
            ++combos;
            EXPECT_EQ(std::vector<std::wstring>{}, ItemsCutOff(control)) << "page " << page;
          }
          if (!captioned) continue;
          ++captions;
          EXPECT_TRUE(check.fits) << "page " << page << ": " << testing::PrintToString(check.what);
        }
        // Four tabs and three buttons, then the page's own.
        const int kCaptionsPerPage[] = {7 + 7, 7 + 6, 7 + 1, 7 + 4};
        const int kCombosPerPage[] = {1, 0, 1, 0};
        EXPECT_EQ(kCaptionsPerPage[page], captions) << "page " << page;
        EXPECT_EQ(kCombosPerPage[page], combos) << "page " << page;
      }
      // Check boxes show their caption beside the box; push buttons centre theirs.
      for (TControl* box :
           {w->chkForce, w->chkAutoSize, w->chkAutostart, w->chkWarningSound, w->chkEventLog}) {
        EXPECT_EQ(BS_LEFT, GetWindowLongW(GetHandle(box), GWL_STYLE) & BS_CENTER);
      }
      EXPECT_EQ(BS_CENTER, GetWindowLongW(GetHandle(w->btnOK), GWL_STYLE) & BS_CENTER);
      const std::wstring size = std::to_wstring(screen.cx) + L"x" + std::to_wstring(screen.cy);
      SelectPage(w, kPageOther);
      SaveScreenshot(L"setup-other-" + size);
      SelectPage(w, kPageGeneral);
      SaveScreenshot(L"setup-general-" + size);
    }));
  }
}

// Every control under the form: kind, text, bounds in its parent and whether it
// is shown, in the order the window made them.
void CollectLayout(TControl* control, std::vector<std::wstring>* layout) {
  for (int i = 0; i < control->children->Count(); ++i) {
    auto* child = static_cast<TControl*>(control->children->Get(i));
    RECT r = GetBoundsRect(child);
    layout->push_back(child->className + L" \"" + GetText(child) + L"\" " +
                      std::to_wstring(r.left) + L"," + std::to_wstring(r.top) + L" " +
                      std::to_wstring(r.right) + L"," + std::to_wstring(r.bottom) +
                      (IsWindowVisible(child->handle) ? L" shown" : L""));
    CollectLayout(child, layout);
  }
}

// A new resolution (WM_DISPLAYCHANGE) or a rotation (WM_SETTINGCHANGE) lays the
// window out again over the new screen, and a resize (WM_SIZE) at the form's new
// size: the same layout as in a window started at that size, with the page and
// the entries kept.
TEST_F(SetupLayout, TheWindowFollowsTheScreen) {
  const WPARAM kSettingChangeReset = 0x3002;  // Windows CE's word for a rotation
  enum TChange { kResolution, kRotation, kResize };
  const struct {
    SIZE from, to;
    TChange change;
  } cases[] = {
      {{1024, 768}, {240, 320}, kResolution}, {{240, 320}, {320, 240}, kRotation},
      {{320, 240}, {240, 320}, kRotation},    {{320, 240}, {1024, 768}, kResolution},
      {{1024, 768}, {480, 640}, kResize},
  };
  WritePacks(folder);
  auto edit = [](TSettingsWindow* w) {
    TypeText(w->edtCancelTime, L"42");
    Click(w->lblTabView);
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.from.cx << "x" << c.from.cy << " to " << c.to.cx << "x"
                                    << c.to.cy << " by " << c.change);
    std::vector<std::wstring> started, followed;
    SimulateScreen(c.to.cx, c.to.cy);
    ASSERT_TRUE(Run([&](TSettingsWindow* w) {
      edit(w);
      CollectLayout(w->frmMain, &started);
    }));
    SimulateScreen(c.from.cx, c.from.cy);
    ASSERT_TRUE(Run([&](TSettingsWindow* w) {
      edit(w);
      HWND form = GetHandle(w->frmMain);
      switch (c.change) {
        case kResolution:
          SimulateScreen(c.to.cx, c.to.cy);
          SendMessageW(form, WM_DISPLAYCHANGE, 32, MAKELPARAM(c.to.cx, c.to.cy));
          break;
        case kRotation:
          SimulateScreen(c.to.cx, c.to.cy);
          SendMessageW(form, WM_SETTINGCHANGE, kSettingChangeReset, 0);
          break;
        case kResize:
          SetWindowPos(form, nullptr, 0, 0, c.to.cx, c.to.cy, SWP_NOZORDER | SWP_NOACTIVATE);
          break;
      }
      ProcessMessages();
      RECT window;
      GetWindowRect(form, &window);
      EXPECT_EQ(c.to.cx, window.right - window.left);
      EXPECT_EQ(c.to.cy, window.bottom - window.top);
      // The button row on the screen, 8 pixels above its bottom.
      EXPECT_EQ(c.to.cy - 8, BoundsOf(w->pnlMain).bottom);
      EXPECT_EQ(GetClientHeight(w->pnlMain), BoundsOf(w->btnOK).bottom);
      EXPECT_EQ(kPageView, ShownPage(w));
      EXPECT_EQ(L"42", GetText(w->edtCancelTime));
      CollectLayout(w->frmMain, &followed);
    }));
    EXPECT_EQ(started, followed);
  }
}

// The row of a text's baseline on the screen, found from its ink: the lowest
// row where the text has at least half as much ink as on its fullest row (the
// stems of descenders have little). area is in the window's client area; its
// most common colour is the background.
int InkBaseline(HWND window, RECT area) {
  // Only what shows of it: a label may reach past its page's edge.
  RECT parent;
  GetClientRect(GetParent(window), &parent);
  MapWindowPoints(GetParent(window), window, reinterpret_cast<POINT*>(&parent), 2);
  IntersectRect(&area, &area, &parent);
  ClientImage image = CaptureClient(window);
  std::map<COLORREF, int> colours;
  for (int y = area.top; y < area.bottom; ++y) {
    for (int x = area.left; x < area.right; ++x) ++colours[image.At(x, y)];
  }
  COLORREF background = 0;
  int most = 0;
  for (const auto& colour : colours) {
    if (colour.second > most) most = colour.second, background = colour.first;
  }
  std::vector<int> ink;
  for (int y = area.top; y < area.bottom; ++y) {
    int n = 0;
    for (int x = area.left; x < area.right; ++x) {
      COLORREF p = image.At(x, y);
      int distance = abs(GetRValue(p) - GetRValue(background)) +
                     abs(GetGValue(p) - GetGValue(background)) +
                     abs(GetBValue(p) - GetBValue(background));
      n += distance >= 150;
    }
    ink.push_back(n);
  }
  int fullest = 0;
  for (int n : ink) fullest = std::max(fullest, n);

  int baseline = -1;
  for (int row = 0; row < static_cast<int>(ink.size()); ++row) {
    if (fullest > 0 && 2 * ink[row] >= fullest) baseline = row;
  }
  POINT at = {0, area.top + baseline};
  ClientToScreen(window, &at);
  return at.y;
}

// The part of a field where its text stands: a combo box's item, inside a
// button's edges or an edit box's border.
RECT TextArea(HWND field) {
  RECT area;
  GetClientRect(field, &area);
  if (IsClass(field, L"ComboBox")) {
    COMBOBOXINFO info = {};
    info.cbSize = sizeof(info);
    GetComboBoxInfo(field, &info);
    area = info.rcItem;
  } else {
    InflateRect(&area, -3, -3);
  }
  return area;
}

// Each label stands on the baseline of its field's text, within a pixel: the
// field's caption, the edit box's number, the combo box's item.
TEST_F(SetupLayout, LabelsStandOnTheBaselineOfTheirFieldsText) {
  WritePacks(folder);
  folder.Write(L"vorlix.ini", "font_autosize=0\r\nlng_file=deutsch.lng\r\n");
  for (SIZE screen : {SIZE{1024, 768}, SIZE{240, 320}}) {
    SCOPED_TRACE(testing::Message() << screen.cx << "x" << screen.cy);
    SimulateScreen(screen.cx, screen.cy);
    ASSERT_TRUE(Run([](TSettingsWindow* w) {
      const struct {
        TSettingsPage page;
        TControl* label;
        TControl* field;
      } rows[] = {
          {kPageGeneral, w->lblAction, w->cbAction},
          {kPageGeneral, w->lblCancelTime, w->edtCancelTime},
          {kPageGeneral, w->lblCancelUnit, w->edtCancelTime},
          {kPageGeneral, w->lblDelayTime, w->edtDelayTime},
          {kPageGeneral, w->lblDelayUnit, w->edtDelayTime},
          {kPageView, w->lblBackgroundColor, w->btnBackgroundColor},
          {kPageView, w->lblTextColor, w->btnTextColor},
          {kPageView, w->lblFontSize, w->edtFontSize},
          {kPageLanguage, w->lblLanguage, w->cbLanguage},
          {kPageOther, w->lblCriticalBattery, w->edtCriticalBattery},
          {kPageOther, w->lblBatteryUnit, w->edtCriticalBattery},
      };
      SetFocused(w->btnOK, true);  // no caret, highlight or focus rectangle in a field
      for (const auto& row : rows) {
        SelectPage(w, row.page);
        ProcessMessages();
        HWND label = GetHandle(row.label), field = GetHandle(row.field);
        RECT all;
        GetClientRect(label, &all);
        int labelBaseline = InkBaseline(label, all);
        int fieldBaseline = InkBaseline(field, TextArea(field));
        EXPECT_LE(abs(labelBaseline - fieldBaseline), 1)
            << testing::PrintToString(GetText(row.label)) << " at " << labelBaseline << ", "
            << testing::PrintToString(GetText(row.field)) << " at " << fieldBaseline;
      }
    }));
  }
}

// A tap on a check box's box or caption ticks it; a tap on the page beside its
// caption, on the same row, does not.
TEST_F(SetupLayout, ACheckBoxTakesATapOnlyOnItsBoxOrCaption) {
  ASSERT_TRUE(Run([](TSettingsWindow* w) {
    const struct {
      TSettingsPage page;
      TControl* box;
    } boxes[] = {{kPageGeneral, w->chkForce},
                 {kPageGeneral, w->chkAutostart},
                 {kPageView, w->chkAutoSize},
                 {kPageOther, w->chkWarningSound},
                 {kPageOther, w->chkEventLog}};
    for (const auto& b : boxes) {
      SCOPED_TRACE(testing::PrintToString(GetText(b.box)));
      SelectPage(w, b.page);
      ProcessMessages();
      HWND box = GetHandle(b.box);
      RECT r;
      GetWindowRect(box, &r);
      // Where the caption ends, as CheckCaption finds it.
      HDC dc = CreateCompatibleDC(nullptr);
      HGDIOBJ old =
          SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(box, WM_GETFONT, 0, 0)));
      std::wstring text = GetText(b.box);
      SIZE extent = {};
      GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
      TEXTMETRICW metrics = {};
      GetTextMetricsW(dc, &metrics);
      SelectObject(dc, old);
      DeleteDC(dc);
      int captionLeft = r.left + GetSystemMetrics(SM_CXMENUCHECK) + metrics.tmAveCharWidth / 2;
      int row = (r.top + r.bottom) / 2;
      bool checked = GetChecked(b.box);
      TapAt({r.left + 4, row});
      EXPECT_NE(checked, GetChecked(b.box)) << "the box";
      TapAt({captionLeft + extent.cx / 2, row});
      EXPECT_EQ(checked, GetChecked(b.box)) << "the caption";
      for (int beside : {12, 100}) {
        TapAt({captionLeft + extent.cx + beside, row});
        EXPECT_EQ(checked, GetChecked(b.box)) << beside << " pixels beside the caption";
      }
    }
  }));
}

}  // namespace
