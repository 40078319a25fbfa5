// Scroll bars: positions from scroll requests, clamping and refusal.
#include "tests/winobj/winobj_test.h"

#include <commctrl.h>

namespace {

class ScrollBars : public WinobjTest {};

struct ScrollSeen {
  int queries = 0, scrolls = 0;
  int current = 0, next = 0;
  bool allow = true;
};

TControl* PagedBar(TControl* form, ScrollSeen* seen) {
  TControl* bar = NewScrollBar(form, kScrollBarVertical);
  SetScrollMin(bar, 0);
  SetScrollMax(bar, 100);
  // A page of 10: positions 0 .. 100 - 10 + 1 + 9 - 10 = 0 .. 100 in the window's terms.
  SCROLLINFO info = {sizeof(info), SIF_PAGE | SIF_RANGE, 0, 109, 10, 0, 0};
  SetScrollInfo(bar->handle, SB_CTL, &info, FALSE);
  SetOnScrollQuery(
      bar,
      [](void* c, TControl*, int current, int next, int, bool& allow) {
        auto* s = static_cast<ScrollSeen*>(c);
        ++s->queries;
        s->current = current;
        s->next = next;
        allow = s->allow;
      },
      seen);
  SetOnScroll(
      bar, [](void* c, TControl*, int) { ++static_cast<ScrollSeen*>(c)->scrolls; }, seen);
  return bar;
}

void Request(TControl* bar, int code) {
  SendMessageW(bar->parent->handle, WM_VSCROLL, MAKEWPARAM(code, 0),
               reinterpret_cast<LPARAM>(bar->handle));
}

TEST_F(ScrollBars, PageDownNearTheEndStopsAtTheLastPosition) {
  TControl* form = ShownForm();
  ScrollSeen seen;
  TControl* bar = PagedBar(form, &seen);
  SetScrollPosition(bar, 95);
  Request(bar, SB_PAGEDOWN);
  EXPECT_EQ(seen.current, 95);
  EXPECT_EQ(seen.next, 100);  // maximum 109 - page 10 + 1
  EXPECT_EQ(GetScrollPosition(bar), 100);
  EXPECT_EQ(GetScrollPos(bar->handle, SB_CTL), 100);
  EXPECT_EQ(seen.scrolls, 1);
}

TEST_F(ScrollBars, RefusingOnScrollQueryLeavesTheBarWhereItWas) {
  TControl* form = ShownForm();
  ScrollSeen seen;
  TControl* bar = PagedBar(form, &seen);
  SetScrollPosition(bar, 40);
  seen.allow = false;
  Request(bar, SB_LINEDOWN);
  EXPECT_EQ(seen.queries, 1);
  EXPECT_EQ(seen.next, 41);
  EXPECT_EQ(GetScrollPosition(bar), 40);
  EXPECT_EQ(GetScrollPos(bar->handle, SB_CTL), 40);
  EXPECT_EQ(seen.scrolls, 0);
}

TEST_F(ScrollBars, WithoutPageTheArrowsStopAtTheRangeEnds) {
  TControl* form = ShownForm();
  TControl* bar = NewScrollBar(form, kScrollBarVertical);
  SetScrollMax(bar, 256);  // positions 0 .. 255
  SetScrollMin(bar, 0);
  SetScrollPosition(bar, 255);
  ScrollSeen seen;
  SetOnScrollQuery(
      bar,
      [](void* c, TControl*, int, int next, int, bool&) {
        static_cast<ScrollSeen*>(c)->next = next;
      },
      &seen);
  Request(bar, SB_LINEDOWN);
  EXPECT_EQ(seen.next, 255);
  EXPECT_EQ(GetScrollPosition(bar), 255);
  SetScrollPosition(bar, 0);
  Request(bar, SB_LINEUP);
  EXPECT_EQ(GetScrollPosition(bar), 0);
  Request(bar, 9);  // unknown request: ignored
  EXPECT_EQ(seen.next, 0);
}

TEST_F(ScrollBars, NotificationsOfTheBarAreReflectedFromItsParent) {
  TControl* form = ShownForm();
  TControl* bar = NewScrollBar(form, kScrollBarHorizontal);
  Counter enter, clicks;
  SetOnEnter(bar, Counter::Count, &enter);
  SetOnClick(bar, Counter::Count, &clicks);
  NMHDR header = {bar->handle, bar->childId, static_cast<UINT>(NM_SETFOCUS)};
  SendMessageW(form->handle, WM_NOTIFY, bar->childId, reinterpret_cast<LPARAM>(&header));
  EXPECT_EQ(enter.calls, 1);
  header.code = static_cast<UINT>(NM_RCLICK);
  SendMessageW(form->handle, WM_NOTIFY, bar->childId, reinterpret_cast<LPARAM>(&header));
  EXPECT_EQ(clicks.calls, 1);
  EXPECT_TRUE(bar->rightClick);
}

}  // namespace
