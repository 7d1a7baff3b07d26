// The main window's messages from other programs and from its own windows, checked and
// routed to the handlers.  Everything from outside is untrusted: unknown numbers, out
// of range values and empty, oversized or non-UTF-8 texts are ignored (result 0).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sorrel::app {

inline constexpr uint32_t WM_QUERYENDSESSION = 0x0011;
inline constexpr uint32_t WM_COPYDATA = 0x004A;
inline constexpr uint32_t WM_POWERBROADCAST = 0x0218;
inline constexpr uint32_t WM_DROPFILES = 0x0233;
inline constexpr uint32_t WM_APPCOMMAND = 0x0319;
inline constexpr uint32_t WM_USER = 0x0400;
inline constexpr uint32_t kMsgInputMode = WM_USER + 0x197;             // from the keyboard tool
inline constexpr uint32_t kMsgKeyboardTool = WM_USER + 0x198;          // to the keyboard tool
inline constexpr uint32_t kMsgCommand = WM_USER + 0x199;               // run a command
inline constexpr uint32_t kMsgMapMatchStatus = WM_USER + 0x297;        // from Navin'You
inline constexpr uint32_t kMsgNavinMapMatchChanged = WM_USER + 0x298;  // to Navin'You
inline constexpr uint32_t kMsgNavinSetMapMatch = WM_USER + 0x299;      // to Navin'You

inline constexpr int32_t kCopySavedWaveVolume = 9;
inline constexpr int32_t kCopyOpenListFile = 99;
inline constexpr int32_t kCopyParkCursor = 999;
inline constexpr int32_t kCopyPositionSentence = 9999;

inline constexpr int kInputModeCount = 9;  // pictures 0..8
// No list path or position sentence comes near this; anything longer is hostile.
inline constexpr size_t kMaxCopyDataBytes = 64 * 1024;

// What the messages do.  The main window implements it; tests record the calls.
class TMainMessageHandler {
 public:
  virtual ~TMainMessageHandler() = default;
  virtual bool Suspended() const = 0;
  virtual bool PositionLinkActive() const = 0;

  virtual void SetSavedWaveVolume(uint32_t volume) = 0;
  // A list file handed over by a second start (hideCompanions) or dropped on the window.
  virtual void OpenListFileAndPlay(const std::string& path, bool hideCompanions) = 0;
  virtual void ParkCursor() = 0;
  virtual void PositionSentence(const std::string& sentence) = 0;
  virtual void ShowInputMode(int mode) = 0;
  virtual void SetResumeAdjustment(int32_t ms) = 0;
  virtual void RunCommand(int command, int32_t argument) = 0;
  virtual void MapMatchStatus(int32_t mode, bool showMessage) = 0;
  virtual void QueryEndSession() = 0;
  virtual void PowerBroadcast(int32_t event) = 0;
  // lParam of WM_APPCOMMAND: the command word in the high 16 bits, key state in the low.
  virtual void AppCommand(uint32_t lParam) = 0;
};

class TMessageTable {
 public:
  explicit TMessageTable(TMainMessageHandler& h) : h_(h) {}

  // WM_COPYDATA: 1 when the message was taken, 0 when ignored.
  int32_t CopyData(int32_t wParam, uint32_t dwData, std::string_view data);
  // Numbered messages (posted or sent alike); the result is the message's answer.
  int32_t Message(uint32_t msg, int32_t wParam, int32_t lParam);
  // WM_DROPFILES: the first name is opened as a play list.
  int32_t DropFiles(const std::vector<std::string>& paths);

  // The text of a copy-data record, up to its first NUL; false when it is empty,
  // oversized or not UTF-8.
  static bool PayloadText(std::string_view data, std::string& text);

 private:
  TMainMessageHandler& h_;
};

}  // namespace sorrel::app
