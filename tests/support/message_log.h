// Message recording in the manner of Wine's user32 tests: one log of messages
// with flags, expected sequences as named constant arrays, and a comparison
// that skips optional entries and prints both lists on a mismatch.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/no_copy.h"

enum MessageFlags : unsigned {
  kSent = 0x1,      // arrived through SendMessage
  kPosted = 0x2,    // arrived through the queue
  kHooked = 0x4,    // seen by a hook rather than a window procedure
  kOptional = 0x8,  // expected entry that may be missing (Wine differences)
  kWParam = 0x10,   // expected entry: compare wParam
  kLParam = 0x20,   // expected entry: compare lParam
};

struct LoggedMessage {
  UINT message;
  unsigned flags;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

class MessageLog {
 public:
  void Add(UINT message, unsigned flags, WPARAM wParam = 0, LPARAM lParam = 0);
  // Adds the message with kSent or kPosted as InSendMessage tells.
  void AddCurrent(UINT message, WPARAM wParam, LPARAM lParam, unsigned extraFlags = 0);
  void Clear() { messages_.clear(); }
  const std::vector<LoggedMessage>& messages() const { return messages_; }
  // How many entries carry message.
  size_t Count(UINT message) const;

 private:
  std::vector<LoggedMessage> messages_;
};

// The log matches expected (compared by message, by the kSent/kPosted/kHooked
// flags, and by wParam/lParam where asked); optional entries may be missing.
::testing::AssertionResult MatchesSequence(const MessageLog& log, const LoggedMessage* expected,
                                           size_t count);

template <size_t N>
::testing::AssertionResult MatchesSequence(const MessageLog& log,
                                           const LoggedMessage (&expected)[N]) {
  return MatchesSequence(log, expected, N);
}

// Dispatches everything queued for this thread (X11 events reach Wine late, so
// tests flush before acting). A WM_QUIT found on the way is dropped.
void FlushMessages();
// Flushes for a while: Wine handles some requests of the X server asynchronously.
void FlushMessagesFor(DWORD milliseconds);
// Dispatches this thread's messages until done() holds (true) or the time is
// up (false); a WM_QUIT taken from the queue sets *quit.
bool PumpUntil(double milliseconds, const std::function<bool()>& done, bool* quit = nullptr);

// Records every message that reaches a window into log (or, when only is not
// empty, those of only), in front of its own procedure, for as long as the
// subclass lives.
class WindowSpy : NoCopy {
 public:
  WindowSpy(HWND hwnd, MessageLog* log, std::vector<UINT> only = {});
  ~WindowSpy();

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  HWND hwnd_;
  WNDPROC previous_;
  MessageLog* log_;
  std::vector<UINT> only_;
};
