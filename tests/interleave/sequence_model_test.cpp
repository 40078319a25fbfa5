// The stress's judge on runs worked out by hand: a tick of 100 ms, and the
// times at which the rules put each step.
#include "tests/interleave/sequence_model.h"

#include <gtest/gtest.h>

namespace {

const uint32_t kSuspend = 0x00200000;

ModelSettings Settings(int delay, int cancel) {
  ModelSettings settings;
  settings.tick = 100;
  settings.delay = delay;
  settings.cancel = cancel;
  settings.state = kSuspend;
  return settings;
}

ModelInput In(InputKind kind, double from, double to) { return {kind, from, to}; }

ModelOutput Out(OutputKind kind, double at, int64_t value = 0, double until = 0) {
  ModelOutput output;
  output.kind = kind;
  output.at = at;
  output.value = value;
  output.until = until;
  return output;
}

std::string Check(const ModelSettings& settings, const std::vector<ModelInput>& in,
                  const std::vector<ModelOutput>& out, std::vector<double>* lateness = nullptr) {
  return CheckRun(settings, in, out, ModelTolerance(), lateness);
}

// Lost at 0..5 with a delay of one tick: shown at 100, 1 at 200, hidden and
// the call at 300.
const std::vector<ModelOutput> kWholeRun = {
    Out(OutputKind::Shown, 100, 2, 110), Out(OutputKind::Text, 200, 1),
    Out(OutputKind::Hidden, 300), Out(OutputKind::PowerCall, 301, kSuspend)};

TEST(SequenceModel, AWholeRunOnTimeAndLateWithinTheAllowance) {
  std::vector<ModelInput> in = {In(InputKind::PowerLost, 0, 5), In(InputKind::Close, 400, 410)};
  std::vector<double> lateness;
  EXPECT_EQ("", Check(Settings(1, 2), in, kWholeRun, &lateness));

  // The text 250 ms past its due time is lateness, 350 ms past it a fault.
  std::vector<ModelOutput> late = kWholeRun;
  late[1].at = 450;
  late[2].at = late[3].at = 460;
  in.back() = In(InputKind::Close, 600, 610);
  ASSERT_EQ("", Check(Settings(1, 2), in, late, &lateness));
  EXPECT_DOUBLE_EQ(250, lateness.at(1));
  late[1].at = 550;
  late[2].at = late[3].at = 560;
  EXPECT_NE("", Check(Settings(1, 2), in, late));
}

// No notice is up during the delay: a movement then changes nothing, and a run
// in which it cancelled the delay breaks the rules.
TEST(SequenceModel, AMovementDuringTheDelayChangesNothing) {
  std::vector<ModelInput> in = {In(InputKind::PowerLost, 0, 5), In(InputKind::Pointer, 50, 51),
                                In(InputKind::Close, 400, 410)};
  EXPECT_EQ("", Check(Settings(1, 2), in, kWholeRun));
  // Closed past every allowance of the show: it must have been seen.
  in.back() = In(InputKind::Close, 800, 810);
  EXPECT_NE("", Check(Settings(1, 2), in, {}));
}

// With cancel_time 0 the hide follows the show at once; a close that began
// right after the show may leave it unseen, a run that just lacks it may not.
TEST(SequenceModel, AHideCutOffByTheCloseAndOneThatIsMissing) {
  std::vector<ModelOutput> shown = {Out(OutputKind::Shown, 100, 0, 110)};
  EXPECT_EQ("", Check(Settings(1, 0),
                      {In(InputKind::PowerLost, 0, 5), In(InputKind::Close, 112, 150)}, shown));
  EXPECT_NE("", Check(Settings(1, 0),
                      {In(InputKind::PowerLost, 0, 5), In(InputKind::Close, 900, 910)}, shown));
}

// Without a delay: shown at once, hidden at 100 and the call seen at 120.
// Power lost again before the call was seen may find it under way and start
// nothing; lost well after it, it must start a sequence.
TEST(SequenceModel, PowerLostWhileTheCallMayBeUnderWay) {
  std::vector<ModelOutput> out = {Out(OutputKind::Shown, 3, 1, 10), Out(OutputKind::Hidden, 100),
                                  Out(OutputKind::PowerCall, 120, kSuspend)};
  std::vector<ModelInput> in = {In(InputKind::PowerLost, 0, 5), In(InputKind::PowerBack, 105, 106),
                                In(InputKind::PowerLost, 110, 112), In(InputKind::Close, 300, 310)};
  EXPECT_EQ("", Check(Settings(0, 1), in, out));
  in[2] = In(InputKind::PowerLost, 200, 202);
  EXPECT_NE("", Check(Settings(0, 1), in, out));
}

}  // namespace
