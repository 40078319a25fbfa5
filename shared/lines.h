// Splitting 8-bit text into lines, all at once or as it arrives in pieces.
// Portable C++.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

// Receives the 0-based line number and the raw 8-bit line without its line end.
using TLineHandler = std::function<void(int lineNumber, const std::string& line)>;

// A line ends at CR LF, LF or a lone CR; the last line may have no end; a byte
// 0x1A ends the text (it ends the line it stands in, and nothing after it is
// read). A line longer than kMaxLineBytes is not handed on at all, its number
// used all the same: no line that either program reads as valid comes near it,
// its first part alone could read as a line it is not, and memory stays
// bounded whatever the text holds.
const size_t kMaxLineBytes = 64 * 1024;

// What a split in pieces keeps from one piece to the next.
struct TLineSplit {
  bool firstLineOnly = false;  // the text ends after its first line
  std::string line;            // the line so far (at most kMaxLineBytes)
  bool overlong = false;       // the line so far is longer: it is dropped at its end
  bool afterCR = false;        // the last piece ended with a CR: an LF next is its pair
  bool ended = false;          // Ctrl-Z, or the first line with firstLineOnly
  int number = 0;
};

// Hands on every line that ends in this piece. False once the text has ended:
// the rest need not be read.
bool FeedTextLines(TLineSplit& split, const char* data, size_t size, const TLineHandler& handler);
// The text is over: hands on its last line when that had no end.
void FinishTextLines(TLineSplit& split, const TLineHandler& handler);

// Hands every line of data to handler, as the two above do. Empty data calls
// the handler never. Stops after the first line when firstLineOnly is set.
void SplitTextLines(const char* data, size_t size, const TLineHandler& handler,
                    bool firstLineOnly = false);

// Where the newest whole lines of text that fit in keep bytes begin: at the
// first line start (the text's start, or just after an LF) that leaves at most
// keep bytes after it; text.size() when not even the last line fits.
size_t NewestLinesStart(const std::string& text, size_t keep);
