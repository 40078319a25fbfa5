#include "shared/lines.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using TLines = std::vector<std::pair<int, std::string>>;

// The lines of text fed in two pieces, cut at the given byte.
TLines FeedInTwo(const std::string& text, size_t cut, bool firstLineOnly = false) {
  TLines lines;
  auto collect = [&lines](int n, const std::string& line) { lines.emplace_back(n, line); };
  TLineSplit split;
  split.firstLineOnly = firstLineOnly;
  if (FeedTextLines(split, text.data(), cut, collect))
    FeedTextLines(split, text.data() + cut, text.size() - cut, collect);
  FinishTextLines(split, collect);
  return lines;
}

struct TLongLineCase {
  const char* name;
  std::string text;
  TLines lines;
};

// A line longer than the cut is dropped whole, its number used all the same:
// its first 64 KiB alone could read as a line it is not. A line of exactly the
// cut is still a line. The same wherever the text is cut into pieces.
TEST(SplitTextLines, ALineLongerThanTheCutIsDroppedWhole) {
  const std::string cut(65536, 'a'), over(65537, 'b');
  const TLongLineCase cases[] = {
      {"exactly the cut", cut + "\nnext", {{0, cut}, {1, "next"}}},
      {"one byte over", over + "\nnext", {{1, "next"}}},
      {"over, CR LF", "first\r\n" + over + "\r\nnext\r\n", {{0, "first"}, {2, "next"}}},
      {"over, lone CR", over + "\rnext", {{1, "next"}}},
      {"over at the end of the text", "first\n" + over, {{0, "first"}}},
      {"over before a Ctrl-Z", over + "\x1A" + "after", {}},
      {"a setting followed by blanks",
       "cancel_time=5" + std::string(70000, ' ') + "x\r\ncancel_time=7",
       {{1, "cancel_time=7"}}},
  };
  for (const TLongLineCase& c : cases) {
    for (size_t at : {size_t{0}, size_t{1}, size_t{13}, size_t{65535}, size_t{65536}, size_t{65537},
                      size_t{65538}, c.text.size() - 1, c.text.size()}) {
      EXPECT_EQ(c.lines, FeedInTwo(c.text, at)) << c.name << ", cut at " << at;
    }
  }
}

TEST(SplitTextLines, AFirstLineLongerThanTheCutGivesNoLine) {
  const std::string over(65537, 'b');
  EXPECT_EQ(TLines(), FeedInTwo(over + "\nsecond", 65537, true));
  EXPECT_EQ(TLines(), FeedInTwo(over + "\nsecond", 100, true));
  EXPECT_EQ((TLines{{0, std::string(65536, 'c')}}),
            FeedInTwo(std::string(65536, 'c') + "\nsecond", 65536, true));
  // Nothing of the text after the cut is needed.
  TLineSplit split;
  split.firstLineOnly = true;
  int calls = 0;
  EXPECT_FALSE(
      FeedTextLines(split, over.data(), over.size(), [&](int, const std::string&) { ++calls; }));
  EXPECT_EQ(0, calls);
}

}  // namespace
