#include "setup/event_log_view.h"

#include <vector>

#include "shared/event_log.h"
#include "shared/files.h"

std::wstring LatestEventsText(const std::wstring& path, size_t count) {
  if (count == 0) return std::wstring();
  // The latest lines in a ring: a log of any length costs count lines of memory.
  std::vector<std::string> ring(count);
  size_t read = 0;
  ReadTextLines(path, [&](int, const std::string& line) {
    if (!line.empty()) ring[read++ % count] = ToLogText(line.substr(0, kShownLineLength));
  });
  std::wstring text;
  for (size_t i = 0; i < count && i < read; ++i) {
    const std::string& line = ring[(read - 1 - i) % count];
    text.append(line.begin(), line.end());
    text += L"\r\n";
  }
  return text;
}
