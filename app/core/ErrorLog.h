// The log of songs that could not be played ("sorrel_Error.log" in the home
// directory): at most 100 lines, oldest first, each "yy/mm/dd hh:nn:ss  Error  PATH",
// ended by CR LF.  The file is rewritten whole for every entry.
#pragma once

#include "app/core/MessagePopUp.h"
#include "base/Clock.h"

#include <string>

namespace sorrel::app {

inline constexpr const char* kErrorLogFileName = "sorrel_Error.log";
inline constexpr int kErrorLogMaxLines = 100;

// One line of the log, without its end.
std::string ErrorLogLine(const base::TLocalTime& time, const std::string& songPath);

class TErrorLog {
 public:
  TErrorLog(std::string path, base::TClock& clock, TMessagePopUp& popUp)
      : path_(std::move(path)), clock_(clock), popUp_(popUp) {}

  // Shows " Error", an empty line and the path in the pop-up, then adds the line,
  // dropping the oldest lines so that at most 100 remain.  A log that exists but cannot
  // be read (not a regular file, too large) is left alone rather than replaced; false
  // then, and when it could not be written.
  bool Log(const std::string& songPath);

  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  base::TClock& clock_;
  TMessagePopUp& popUp_;
};

}  // namespace sorrel::app
