#include "shared/lines.h"

#include <cstdint>
#include <cstring>

namespace {

// True when one of the eight bytes of word is byte.
bool HasByte(uint64_t word, unsigned char byte) {
  const uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
  uint64_t v = word ^ (kOnes * byte);
  return ((v - kOnes) & ~v & kHighs) != 0;
}

// The first CR, LF or Ctrl-Z in [from, end), or end. Eight bytes at a time:
// files of gigabytes are mostly far from any line end.
const char* FindLineEnd(const char* from, const char* end) {
  const char* p = from;
  while (end - p >= 8) {
    uint64_t word;
    std::memcpy(&word, p, sizeof word);
    if (HasByte(word, '\r') || HasByte(word, '\n') || HasByte(word, 0x1A)) break;
    p += 8;
  }
  while (p < end && *p != '\r' && *p != '\n' && *p != '\x1A') ++p;
  return p;
}

void Append(TLineSplit& split, const char* from, const char* to) {
  if (split.overlong) return;
  size_t length = static_cast<size_t>(to - from);
  if (length > kMaxLineBytes - split.line.size()) {
    split.overlong = true;
    split.line.clear();
  } else {
    split.line.append(from, length);
  }
}

void EndLine(TLineSplit& split, const TLineHandler& handler) {
  int number = split.number++;
  if (!split.overlong) handler(number, split.line);
  split.line.clear();
  split.overlong = false;
  if (split.firstLineOnly) split.ended = true;
}

}  // namespace

bool FeedTextLines(TLineSplit& split, const char* data, size_t size, const TLineHandler& handler) {
  const char* p = data;
  const char* end = data + size;
  while (!split.ended && p < end) {
    if (split.afterCR) {
      split.afterCR = false;
      if (*p == '\n') {
        ++p;
        continue;
      }
    }
    const char* stop = FindLineEnd(p, end);
    Append(split, p, stop);
    p = stop;
    if (p == end) break;
    if (*p == '\x1A') {
      // Ctrl-Z ends the text, old-style; at the start of a line there is no line left.
      if (!split.line.empty()) EndLine(split, handler);
      split.ended = true;
      break;
    }
    split.afterCR = *p == '\r';
    ++p;
    EndLine(split, handler);
  }
  // A first line past the cut needs nothing more of the text.
  if (split.firstLineOnly && split.overlong) EndLine(split, handler);
  return !split.ended;
}

void FinishTextLines(TLineSplit& split, const TLineHandler& handler) {
  if (!split.ended && !split.line.empty()) EndLine(split, handler);
  split.ended = true;
}

void SplitTextLines(const char* data, size_t size, const TLineHandler& handler,
                    bool firstLineOnly) {
  TLineSplit split;
  split.firstLineOnly = firstLineOnly;
  FeedTextLines(split, data, size, handler);
  FinishTextLines(split, handler);
}

size_t NewestLinesStart(const std::string& text, size_t keep) {
  if (text.size() <= keep) return 0;
  for (size_t start = text.size() - keep; start < text.size(); ++start) {
    if (text[start - 1] == '\n') return start;
  }
  return text.size();
}
