// A plain model of the monitor's power sequence, written from its rules alone
// and sharing no code with the monitor: Idle, Delay, Countdown and the power
// call. It judges one run of the stress: the inputs that the driver made (each
// with the span of time in which it took effect) against what the driver saw
// (the overlay shown and hidden, the countdown line, the power calls).
//
// Rules:
// - Power lost (a change to offline) in Idle starts the delay; after delay
//   ticks the overlay shows cancel_time (at once when the delay is 0).
// - In the countdown every tick shows the next lower number; the tick after 1
//   hides the overlay and makes the power call. With cancel_time 0 the power
//   call follows the show at once. Power back, a movement or the close that
//   begins by the time of the call may leave it out.
// - Power back stops the delay or the countdown; a pointer movement over the
//   overlay stops the countdown, and one while no notice is up (the delay)
//   changes nothing. Either hides a visible overlay. Nothing else shows, hides
//   or calls.
// - Power lost while a power call may still be under way (a suspend returns
//   only after a while) starts nothing: after the call the monitor is idle, as
//   after any suspend.
// - The close ends what is seen: a hide due after it began may go unseen.
// - Numbers come one tick apart, the first one tick after the show was due (a
//   show that takes a while does not lengthen the countdown).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ModelSettings {
  double tick = 0;  // ms
  int delay = 0;    // delay_time
  int cancel = 0;   // cancel_time
  uint32_t state = 0;
  uint32_t flags = 0;
  double suspend = 0;  // ms a suspend call takes to return (as at a resume)
};

enum class InputKind { PowerLost, PowerBack, Pointer, Close };

// The input took effect at some moment from `from` to `to` (ms). With unseen
// set, the listener may have seen nothing of it and of the unseen - 1 inputs
// after it: a change while the monitor started (the status read after
// subscribing already had it), or a change undone at once (both notifications
// read the status undone).
struct ModelInput {
  InputKind kind;
  double from, to;
  int unseen = 0;
};

enum class OutputKind { Shown, Text, Hidden, PowerCall };

struct ModelOutput {
  OutputKind kind;
  double at;  // ms, when the driver saw it
  // Shown: when the window had come up (the countdown's schedule starts after).
  double until = 0;
  // Shown and Text: the seconds in the countdown line (-1: not a countdown
  // line). PowerCall: the state; flags below.
  int64_t value = 0;
  uint32_t flags = 0;
};

// How far a step may come from the moment the rules give it: a little early
// (clock granularity), later by up to `late`. Lateness is scheduling and the
// driver seeing a step late, not a fault of the logic: `late` is a bound that no
// correct program reaches on a loaded machine, and how late the steps really
// were is reported as figures. That holds for the timed steps, for what an
// input brings, and for what follows within one step (the hide and the power
// call after the last tick, the hide right after a show with cancel_time 0:
// bringing a window up takes Wine a while).
struct ModelTolerance {
  double early = 3;
  double late = 300;
};

// Empty when the rules allow the run; otherwise where it left them. With
// lateness given, an allowed run leaves there how late (ms past its due time)
// each step was seen.
std::string CheckRun(const ModelSettings& settings, const std::vector<ModelInput>& inputs,
                     const std::vector<ModelOutput>& outputs, const ModelTolerance& tolerance,
                     std::vector<double>* lateness = nullptr);

std::string Describe(const ModelInput& input);
std::string Describe(const ModelOutput& output);
