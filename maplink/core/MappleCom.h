// TMappleComThread: the worker that makes every automation call to the map program.  It
// runs the letters of its queue one by one with a pause of 49 ms after each, gives the
// normal cursor back when the queue has run empty and then sleeps until a letter is
// queued.  Any failed automation call drops the connection silently; the next "E"
// connects afresh.
//
// Letters: E activate, F deactivate, G map window maximised and to the front, H/I zoom
// +50/-50, J/K next smaller/larger scale of the list, L forget the last recentred
// position, M read the map's state, N draw the car's position.
#pragma once

#include "base/Automation.h"
#include "base/Clock.h"
#include "maplink/core/MappleLinkPorts.h"
#include "maplink/core/MappleLinkSettings.h"
#include "maplink/core/MappleMath.h"
#include "maplink/core/MappleQueue.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace sorrel::maplink {

inline constexpr const char* kMappleProgId = "Mapple.Document";
inline constexpr const char* kMappleTitlePart = "- Super Mapple Digital Ver";

// The car's position from the position sentence, in degrees.
struct TMapplePosition {
  double Latitude = 0, Longitude = 0, Direction = 0;
};

class TMappleComThread {
 public:
  static constexpr int64_t kPauseMicros = 49000;         // after each command
  static constexpr int64_t kConnectWaitMicros = 999000;  // for the map to settle
  // The thread starts at once and waits for its first command.
  TMappleComThread(TMappleQueue& queue, base::TAutomationIntf& automation, TMappleWindowsIntf& windows,
                   TMappleHostIntf& host, base::TClock& clock);
  ~TMappleComThread();  // Terminate()

  // Wakes the worker to run what is queued (the resume of the suspended thread).
  void Resume();
  // Ends the thread after the command running now (its automation call ends by its
  // time-out at the latest); letters still queued are left.  Idempotent.
  void Terminate();
  bool Busy() const { return busy_.load(std::memory_order_acquire); }
  bool Active() const { return active_.load(std::memory_order_acquire); }
  // The map program's window is known (the link is connected).
  bool Connected() const { return window_.load(std::memory_order_acquire) != 0; }
  // Metres, as last computed by "M".
  int Threshold() const { return threshold_.load(std::memory_order_acquire); }

  // Any thread.  The scale list is normalised on the way in.
  void SetSettings(const TMappleLinkSettings& settings);
  // With the rectangle the map window was last seen at.
  TMappleLinkSettings Settings() const;
  void SetPosition(const TMapplePosition& position);

 private:
  void Execute();
  // Waits `micros` unless terminated meanwhile; false when terminated.
  bool Pause(int64_t micros);
  void RunCommand(char letter, bool commandBehind);

  // The commands; false when an automation call failed (the connection is dropped).
  void Connect();
  bool Activate();
  bool Deactivate();
  bool ShowMaximised();
  bool ZoomStep(int delta);
  bool ScaleStep(bool larger);
  bool ReadState();
  bool DrawPosition(bool commandBehind);

  // Automation calls; on failure they drop the connection and return false / nullopt.
  bool Call(const char* name, std::vector<base::TAutoArg> args = {});
  bool CallRef(const char* name, std::vector<base::TAutoArg>& args);
  bool PutVisible(bool visible);
  std::optional<int> GetInt(const char* name);
  void Drop();
  void SetWindow(TMapWindow w);

  TMappleQueue& queue_;
  base::TAutomationIntf& automation_;
  TMappleWindowsIntf& windows_;
  TMappleHostIntf& host_;
  base::TClock& clock_;

  // Wake-up and end, under mutex_.
  std::mutex mutex_;
  std::condition_variable wake_;
  bool resumed_ = false;
  bool terminated_ = false;

  // Shared with other threads, under settingsMutex_.
  mutable std::mutex settingsMutex_;
  TMappleLinkSettings settings_;
  int scaleCount_ = 0;
  TMapplePosition position_;

  std::atomic<bool> terminating_{false};  // terminated_, readable without the lock
  std::atomic<bool> busy_{false};
  std::atomic<bool> active_{false};
  std::atomic<TMapWindow> window_{0};
  std::atomic<int> threshold_{0};

  // The worker's own.
  std::unique_ptr<base::TAutoObjectIntf> mapple_;
  TMapScale mapScale_;
  TMapRect mapRect_;
  double lastLatitude_ = 0, lastLongitude_ = 0;  // 0: none

  std::thread thread_;
};

}  // namespace sorrel::maplink
