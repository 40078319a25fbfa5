#include "shared/lines.h"

void SplitTextLines(const char* data, size_t size, const TLineHandler& handler,
                    bool firstLineOnly) {
  int number = 0;
  size_t start = 0;
  size_t i = 0;
  while (i < size) {
    char c = data[i];
    if (c == '\x1A') {
      // Ctrl-Z ends the text, old-style; at the start of a line there is no line left.
      if (i > start) handler(number, std::string(data + start, i - start));
      return;
    }
    if (c == '\r' || c == '\n') {
      handler(number++, std::string(data + start, i - start));
      if (firstLineOnly) return;
      i += (c == '\r' && i + 1 < size && data[i + 1] == '\n') ? 2 : 1;
      start = i;
      continue;
    }
    ++i;
  }
  if (start < size) handler(number, std::string(data + start, size - start));
}
