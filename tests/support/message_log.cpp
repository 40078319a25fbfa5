#include "tests/support/message_log.h"

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <utility>

void MessageLog::Add(UINT message, unsigned flags, WPARAM wParam, LPARAM lParam) {
  messages_.push_back({message, flags, wParam, lParam});
}

void MessageLog::AddCurrent(UINT message, WPARAM wParam, LPARAM lParam, unsigned extraFlags) {
  Add(message, (InSendMessage() ? kSent : kPosted) | extraFlags, wParam, lParam);
}

size_t MessageLog::Count(UINT message) const {
  size_t n = 0;
  for (const LoggedMessage& m : messages_) n += m.message == message;
  return n;
}

namespace {

const unsigned kKindFlags = kSent | kPosted | kHooked;

bool Same(const LoggedMessage& expected, const LoggedMessage& actual) {
  if (expected.message != actual.message) return false;
  if ((expected.flags & kKindFlags) &&
      (expected.flags & kKindFlags) != (actual.flags & kKindFlags)) {
    return false;
  }
  if ((expected.flags & kWParam) && expected.wParam != actual.wParam) return false;
  if ((expected.flags & kLParam) && expected.lParam != actual.lParam) return false;
  return true;
}

std::string Describe(const LoggedMessage& m) {
  char line[96];
  std::snprintf(line, sizeof(line), "%04x %s%s%s w=%llx l=%llx", m.message,
                (m.flags & kSent) ? "sent " : "", (m.flags & kPosted) ? "posted " : "",
                (m.flags & kHooked) ? "hook " : "", static_cast<unsigned long long>(m.wParam),
                static_cast<unsigned long long>(m.lParam));
  return line;
}

}  // namespace

::testing::AssertionResult MatchesSequence(const MessageLog& log, const LoggedMessage* expected,
                                           size_t count) {
  const std::vector<LoggedMessage>& actual = log.messages();
  size_t e = 0, a = 0;
  bool ok = true;
  while (e < count && a < actual.size()) {
    if (Same(expected[e], actual[a])) {
      ++e;
      ++a;
    } else if (expected[e].flags & kOptional) {
      ++e;
    } else {
      ok = false;
      break;
    }
  }
  while (ok && e < count && (expected[e].flags & kOptional)) ++e;
  if (ok && e == count && a == actual.size()) return ::testing::AssertionSuccess();
  std::ostringstream out;
  out << "sequences differ (expected | actual):\n";
  size_t rows = count > actual.size() ? count : actual.size();
  for (size_t i = 0; i < rows; ++i) {
    std::string left =
        i < count ? Describe(expected[i]) + ((expected[i].flags & kOptional) ? " (optional)" : "")
                  : "";
    std::string right = i < actual.size() ? Describe(actual[i]) : "";
    out << "  " << left << std::string(left.size() < 48 ? 48 - left.size() : 1, ' ') << "| "
        << right << "\n";
  }
  return ::testing::AssertionFailure() << out.str();
}

void FlushMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void FlushMessagesFor(DWORD milliseconds) {
  DWORD start = GetTickCount();
  do {
    FlushMessages();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  } while (GetTickCount() - start < milliseconds);
  FlushMessages();
}

bool PumpUntil(double milliseconds, const std::function<bool()>& done, bool* quit) {
  LARGE_INTEGER start, now, frequency;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        if (quit) *quit = true;
        continue;
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (done()) return true;
    QueryPerformanceCounter(&now);
    double left = milliseconds - (now.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart;
    if (left <= 0) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, left < 1 ? 0 : 1, QS_ALLINPUT);
  }
}

WindowSpy::WindowSpy(HWND hwnd, MessageLog* log, std::vector<UINT> only)
    : hwnd_(hwnd), log_(log), only_(std::move(only)) {
  SetPropW(hwnd, L"TEST_SPY", this);
  previous_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowSpy::Proc)));
}

WindowSpy::~WindowSpy() {
  if (!IsWindow(hwnd_)) return;
  SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
  RemovePropW(hwnd_, L"TEST_SPY");
}

LRESULT CALLBACK WindowSpy::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* spy = static_cast<WindowSpy*>(GetPropW(hwnd, L"TEST_SPY"));
  if (!spy) return DefWindowProcW(hwnd, message, wParam, lParam);
  WNDPROC previous = spy->previous_;
  const std::vector<UINT>& only = spy->only_;
  if (only.empty() || std::find(only.begin(), only.end(), message) != only.end()) {
    spy->log_->AddCurrent(message, wParam, lParam);
  }
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    RemovePropW(hwnd, L"TEST_SPY");
  }
  return CallWindowProcW(previous, hwnd, message, wParam, lParam);
}
