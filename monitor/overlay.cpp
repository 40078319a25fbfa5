// The full-screen overlay: its layout on every show, and the reset that hides it.
#include "monitor/monitor.h"

#include "overlay/overlay_lines.h"
#include "shared/overlay_metrics.h"
#include "shared/ui.h"

namespace {

// Where the pointer rested when the overlay last appeared (user-interface thread).
POINT pointerAtShow = {-1, -1};

// The form's window; nil before the message loop made it. The monitor never
// makes it here: the reset at start-up only records the wanted styles.
HWND ExistingWindow(TControl* control) { return control->handle; }

}  // namespace

void OnOverlayShow(void* context, TControl* sender) {
  (void)sender;
  auto* monitor = static_cast<TMonitorWindow*>(context);
  TControl* form = monitor->form;
  GetCursorPos(&pointerAtShow);
  if (!IsTopmost(form)) SetTopmost(form, true);
  RECT screen = GetScreenRect();
  if (HWND window = ExistingWindow(form)) HideMenuBar(window);
  SetBoundsRect(form, screen);
  // After the bounds: the layer adds a caption the first time a form's bounds are set.
  if (HasBorder(form)) SetHasBorder(form, false);

  int width = GetClientWidth(form);
  int middle = OverlayMiddle(GetClientHeight(form));
  int px =
      OverlayFontHeight(monitorSettings.font_autosize, monitorSettings.font_size, screenDpi, width);

  LayOutOverlayLines(monitor->Label1, monitor->Label2, px, width, middle);
}

bool PointerMovedSinceShow(TControl* sender, const TMouseEventData& data) {
  POINT at = {data.x, data.y};
  if (sender->handle) ClientToScreen(sender->handle, &at);
  return at.x != pointerAtShow.x || at.y != pointerAtShow.y;
}

namespace {

struct OverlayTexts {
  TMonitorWindow* monitor;
  const std::wstring& line1;
  const std::wstring& line2;
};

void ShowOnWindowThread(void* context) {
  auto* show = static_cast<OverlayTexts*>(context);
  SetText(show->monitor->Label1, show->line1);
  SetText(show->monitor->Label2, show->line2);
  SetVisible(show->monitor->form, true);
}

void ResetOnWindowThread(void* context) {
  auto* monitor = static_cast<TMonitorWindow*>(context);
  TControl* form = monitor->form;
  if (HWND window = ExistingWindow(form)) HideMenuBar(window);
  if (!IsTopmost(form)) SetTopmost(form, true);
  if (HasBorder(form)) SetHasBorder(form, false);
  SetVisible(form, false);
  SetText(monitor->Label1, messageTexts.recovery);
  SetText(monitor->Label2, messageTexts.wait);
}

}  // namespace

// The show and the reset run on the user-interface thread as a whole, whoever
// calls them: the window and the control objects belong to that thread (a
// worker cannot even destroy the menu bar there).
void ShowOverlay(TMonitorWindow* monitor, const std::wstring& line1, const std::wstring& line2) {
  OverlayTexts show = {monitor, line1, line2};
  RunOnWindowThread(monitor->form, ShowOnWindowThread, &show);
}

void SetCountdownLine(TMonitorWindow* monitor, const std::wstring& line1) {
  SetText(monitor->Label1, line1);
}

void ResetOverlay(TMonitorWindow* monitor) {
  RunOnWindowThread(monitor->form, ResetOnWindowThread, monitor);
}
