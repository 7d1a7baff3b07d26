// The main window's message pop-up as the core sees it: a short text shown for three
// seconds.
#pragma once

#include <string>

namespace sorrel::app {

class TMessagePopUp {
 public:
  virtual ~TMessagePopUp() = default;
  // Lines are separated by CR LF.
  virtual void ShowMessage(const std::string& text) = 0;
};

}  // namespace sorrel::app
