#include "tests/interleave/sequence_model.h"

#include <cstdio>

namespace {

enum class Phase { Idle, Delay, Countdown };

struct State {
  Phase phase = Phase::Idle;
  // Delay: it began somewhere from lo to hi. Countdown: its schedule began
  // from lo to hi (the overlay was seen shown at lo), with `shown` on it.
  double lo = 0, hi = 0;
  int shown = 0;
  double callAt = -1e9;  // when the last power call was seen

  // Idle, keeping what outlasts a sequence.
  State Idle() const {
    State idle;
    idle.callAt = callAt;
    return idle;
  }
};

const size_t kNone = static_cast<size_t>(-1);

// When a step may be seen: from lo to hi, with its latest due time (hi less the
// late allowance).
struct Window {
  double lo, hi, due;
};

// A depth-first search for one order of the inputs and the timed steps that
// explains every output in turn. Ties (an input and a step close enough in time
// to have come either way) are tried both ways.
class Search {
 public:
  Search(const ModelSettings& settings, const std::vector<ModelInput>& inputs,
         const std::vector<ModelOutput>& outputs, const ModelTolerance& tolerance)
      : s_(settings), in_(inputs), out_(outputs), tol_(tolerance), late_(outputs.size(), -1) {}

  bool Explore(const State& state, size_t i, size_t o) {
    inNow_ = i;
    if (++nodes_ > kMaxNodes) return Fail(o, "the search grew too large");
    Window timed = {0, 0, -1};
    bool timer = TimerWindow(state, &timed);
    if (i == in_.size()) {
      // The run ends with the close; nothing may be seen after it.
      return o == out_.size() ||
             Fail(o, "saw " + Describe(out_[o]) + " where the rules allow nothing");
    }
    const ModelInput& next = in_[i];
    // A step that came before an input was seen before that input was done:
    // every input ends with a stop or the close, which wait for a tick in
    // progress and serve its overlay updates meanwhile.
    Window before = timed;
    if (next.to >= next.from && next.to + 1 < before.hi) before.hi = next.to + 1;
    if (timer && timed.lo <= next.to && FireTimer(state, before, i, o)) return true;
    if (next.unseen > 0 && Explore(state, i + next.unseen, o)) return true;
    if (!timer || next.from <= timed.hi) return ApplyInput(state, i, o);
    return Fail(o, "the timed step " + WindowText(timed.lo, timed.hi) + " did not come before " +
                       Describe(next));
  }

  // How late each timed step of the explaining run was seen (ms past its due
  // time, 0 when on time), once Explore has returned true.
  std::vector<double> Lateness() const {
    std::vector<double> figures;
    for (double late : late_) {
      if (late >= 0) figures.push_back(late);
    }
    return figures;
  }

  std::string Report() const {
    char text[96];
    std::snprintf(text, sizeof text, " (explained: %zu of %zu inputs, %zu of %zu outputs)", bestIn_,
                  in_.size(), bestOut_, out_.size());
    return why_ + text;
  }

 private:
  static const long kMaxNodes = 2000000;

  // When the state's next timed step is due, if it has one: from lo to hi,
  // its latest due time being hi less the late allowance.
  bool TimerWindow(const State& state, Window* window) const {
    double ticks;
    if (state.phase == Phase::Delay) {
      ticks = s_.delay;
    } else if (state.phase == Phase::Countdown) {
      ticks = s_.cancel - state.shown + 1;
    } else {
      return false;
    }
    window->lo = state.lo + ticks * s_.tick - tol_.early;
    window->due = state.hi + ticks * s_.tick;
    window->hi = window->due + tol_.late;
    return true;
  }

  // The timed step due within the window.
  bool FireTimer(const State& state, const Window& window, size_t i, size_t o) {
    if (state.phase == Phase::Delay) return Show(window, 0, i, o);
    if (state.shown > 1) {
      if (!Expect(o, OutputKind::Text, state.shown - 1, window)) return false;
      State next = state;
      --next.shown;
      return Explore(next, i, o + 1);
    }
    return Act(window, i, o);
  }

  // The overlay comes up with cancel_time; with 0 the power call follows at once,
  // within the same step (which may be an input that ends at inputEnd).
  bool Show(const Window& window, double inputEnd, size_t i, size_t o) {
    if (!Expect(o, OutputKind::Shown, s_.cancel, window)) return false;
    double at = out_[o].at;
    double up = out_[o].until > at ? out_[o].until : at;
    double end = up > inputEnd ? up : inputEnd;
    if (s_.cancel == 0) return Act({at - tol_.early, end + tol_.late, end}, i, o + 1);
    // The countdown's ticks keep to the sequence's schedule: they count from
    // when the show was due, not from when the window came up.
    State next;
    next.phase = Phase::Countdown;
    next.lo = window.lo + tol_.early;
    next.hi = window.due < at ? window.due : at;
    next.shown = s_.cancel;
    return Explore(next, i, o + 1);
  }

  // The last tick: the overlay hides, then the power call. An input that
  // began by the time of the call may leave it out: the status is read again
  // right before the call (power back), and a stop (power back, a movement
  // over the hidden overlay) or the close cancels a call that has not begun.
  bool Act(const Window& window, size_t i, size_t o) {
    // Once the loop has ended the windows go, and what they do is no longer
    // seen: a close begun before the hide was due may leave it unseen.
    if (o == out_.size() && i < in_.size() && in_[i].kind == InputKind::Close &&
        in_[i].from <= window.hi) {
      return Explore(State(), i, o);
    }
    if (!Expect(o, OutputKind::Hidden, 0, window)) return false;
    double at = out_[o].at;
    bool mayBeLeftOut = i < in_.size() && in_[i].kind != InputKind::PowerLost &&
                        in_[i].from <= at + tol_.late;
    if (mayBeLeftOut && (o + 1 == out_.size() || out_[o + 1].kind != OutputKind::PowerCall)) {
      return Explore(State(), i, o + 1);
    }
    if (!Expect(o + 1, OutputKind::PowerCall, s_.state, {at - tol_.early, at + tol_.late, at}))
      return false;
    if (out_[o + 1].flags != s_.flags) return Fail(o + 1, "a power call with the wrong flags");
    State idle;
    idle.callAt = out_[o + 1].at;
    return Explore(idle, i, o + 2);
  }

  bool ApplyInput(const State& state, size_t i, size_t o) {
    const ModelInput& input = in_[i];
    // What the input brings is due by its end.
    Window window = {input.from - tol_.early, input.to + tol_.late, input.to};
    switch (input.kind) {
      case InputKind::PowerLost:
        if (state.phase != Phase::Idle) return Fail(o, "power lost while a sequence runs");
        // Lost again while the last power call may still be under way (seen
        // when the log was polled, so no earlier than it was made; a suspend
        // returns only after a while): the monitor leaves it be.
        if (input.from <= state.callAt + s_.suspend + (s_.suspend > 0 ? tol_.late : 0) &&
            Explore(state, i + 1, o)) {
          return true;
        }
        if (s_.delay == 0) return Show(window, input.to, i + 1, o);
        {
          State next;
          next.phase = Phase::Delay;
          next.lo = input.from;
          next.hi = input.to;
          return Explore(next, i + 1, o);
        }
      case InputKind::PowerBack:
      case InputKind::Pointer:
        // A pointer moves over a visible overlay only, which is the countdown.
        if (state.phase == Phase::Countdown) {
          if (!Expect(o, OutputKind::Hidden, 0, window)) return false;
          return Explore(state.Idle(), i + 1, o + 1);
        }
        if (input.kind == InputKind::Pointer) return Explore(state, i + 1, o);
        return Explore(state.Idle(), i + 1, o);
      case InputKind::Close:
        if (i + 1 != in_.size()) return Fail(o, "an input after the close");
        return Explore(state.Idle(), i + 1, o);
    }
    return false;
  }

  // The next output is this one, seen within the window; its lateness is kept.
  bool Expect(size_t o, OutputKind kind, int64_t value, const Window& window) {
    if (o >= out_.size()) {
      return Fail(o, "expected " + Name(kind, value) + " " + WindowText(window.lo, window.hi) +
                         ", saw nothing");
    }
    const ModelOutput& seen = out_[o];
    if (seen.kind != kind || (kind != OutputKind::Hidden && seen.value != value) ||
        seen.at < window.lo || seen.at > window.hi) {
      return Fail(o, "expected " + Name(kind, value) + " " + WindowText(window.lo, window.hi) +
                         ", saw " + Describe(seen));
    }
    late_[o] = seen.at > window.due ? seen.at - window.due : 0;
    return true;
  }

  // Keeps the reason of the branch that got furthest.
  bool Fail(size_t o, const std::string& why) {
    if (why_.empty() || o > bestOut_ || (o == bestOut_ && inNow_ > bestIn_)) {
      bestOut_ = o;
      bestIn_ = inNow_;
      why_ = why;
    }
    return false;
  }

  static std::string Name(OutputKind kind, int64_t value) {
    char text[64];
    switch (kind) {
      case OutputKind::Shown:
        std::snprintf(text, sizeof text, "shown with %lld", static_cast<long long>(value));
        break;
      case OutputKind::Text:
        std::snprintf(text, sizeof text, "text %lld", static_cast<long long>(value));
        break;
      case OutputKind::Hidden: std::snprintf(text, sizeof text, "hidden"); break;
      case OutputKind::PowerCall:
        std::snprintf(text, sizeof text, "power call state=0x%08llX",
                      static_cast<unsigned long long>(value));
        break;
    }
    return text;
  }

  static std::string WindowText(double lo, double hi) {
    char text[64];
    std::snprintf(text, sizeof text, "at %.1f..%.1f ms", lo, hi);
    return text;
  }

  const ModelSettings& s_;
  const std::vector<ModelInput>& in_;
  const std::vector<ModelOutput>& out_;
  const ModelTolerance& tol_;
  std::vector<double> late_;  // per output; -1 for none
  long nodes_ = 0;
  size_t inNow_ = 0;  // the input the branch has reached
  size_t bestOut_ = 0, bestIn_ = 0;
  std::string why_;
};

}  // namespace

std::string CheckRun(const ModelSettings& settings, const std::vector<ModelInput>& inputs,
                     const std::vector<ModelOutput>& outputs, const ModelTolerance& tolerance,
                     std::vector<double>* lateness) {
  Search search(settings, inputs, outputs, tolerance);
  if (!search.Explore(State(), 0, 0)) return search.Report();
  if (lateness) *lateness = search.Lateness();
  return std::string();
}

std::string Describe(const ModelInput& input) {
  static const char* const names[] = {"power lost", "power back", "pointer move", "close"};
  char text[96];
  std::snprintf(text, sizeof text, "%8.1f..%-8.1f %s%s", input.from, input.to,
                names[static_cast<int>(input.kind)], input.unseen ? " (may go unseen)" : "");
  return text;
}

std::string Describe(const ModelOutput& output) {
  char text[96];
  switch (output.kind) {
    case OutputKind::Shown:
      std::snprintf(text, sizeof text, "%8.1f shown with %lld, up at %.1f", output.at,
                    static_cast<long long>(output.value), output.until);
      break;
    case OutputKind::Text:
      std::snprintf(text, sizeof text, "%8.1f text %lld", output.at,
                    static_cast<long long>(output.value));
      break;
    case OutputKind::Hidden: std::snprintf(text, sizeof text, "%8.1f hidden", output.at); break;
    case OutputKind::PowerCall:
      std::snprintf(text, sizeof text, "%8.1f power call state=0x%08llX flags=0x%08X", output.at,
                    static_cast<unsigned long long>(output.value), output.flags);
      break;
  }
  return text;
}
