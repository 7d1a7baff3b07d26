#include "app/core/ErrorLog.h"

#include "base/FileIO.h"
#include "base/TextCodec.h"

#include <cstdio>
#include <deque>

namespace sorrel::app {

std::string ErrorLogLine(const base::TLocalTime& t, const std::string& songPath) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%02d/%02d/%02d %02d:%02d:%02d", t.year % 100, t.month, t.day, t.hour,
                t.minute, t.second);
  std::string line = std::string(stamp) + "  Error  " + songPath;
  // A POSIX file name may hold line ends; one entry stays one line.
  for (char& c : line) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return line;
}

bool TErrorLog::Log(const std::string& songPath) {
  popUp_.ShowMessage(" Error\r\n\r\n" + songPath);

  std::deque<std::string> lines;
  const base::TReadResult old = base::ReadRegularFile(path_);
  if (old.ok()) {
    // Lines written on the original platform are CP932; everything written here is UTF-8.
    base::ForEachLine(old.data, [&](std::string_view line) {
      lines.push_back(base::DecodeText(line));
      return true;
    });
  } else if (old.status != base::TReadStatus::kMissing) {
    return false;
  }
  while (lines.size() >= kErrorLogMaxLines) lines.pop_front();
  lines.push_back(ErrorLogLine(clock_.LocalTime(), songPath));

  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return base::WriteFileAtomically(path_, text);
}

}  // namespace sorrel::app
