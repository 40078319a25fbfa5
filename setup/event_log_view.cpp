#include "setup/event_log_view.h"

#include <deque>

#include "shared/event_log.h"
#include "shared/files.h"

std::wstring LatestEventsText(const std::wstring& path, size_t count) {
  std::deque<std::string> latest;
  ReadTextLines(path, [&latest, count](int, const std::string& line) {
    if (line.empty() || count == 0) return;
    latest.push_back(ToLogText(line));
    if (latest.size() > count) latest.pop_front();
  });
  std::wstring text;
  for (auto line = latest.rbegin(); line != latest.rend(); ++line) {
    text.append(line->begin(), line->end());
    text += L"\r\n";
  }
  return text;
}
