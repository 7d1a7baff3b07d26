// The computer's power: going to sleep and waking up reported to the player, and the
// player's suspend, hibernate and power-off requests.  On systemd-logind (system bus):
//
//   - While it runs the player holds a "delay" inhibitor lock for "sleep" (what "sleep",
//     who "Tarn's MP3Player", why "Saving the position and settings").  logind's
//     PrepareForSleep(true) calls PowerListener::Suspending; the lock is released when
//     that returns, so the machine sleeps only after the position and the settings are
//     stored.  PrepareForSleep(false) takes a new lock, then calls Resumed.
//   - Suspend, Hibernate and PowerOff ask logind's Can... first, then make the call with
//     interactive = false, both without blocking.  A refusal or a failure is reported on
//     standard error and changes nothing.
//
// Without a system bus or logind the do-nothing backend stands in: no reports, and the
// first request says once on standard error that there is nothing to ask.
#pragma once

#include <QObject>
#include <QString>

#include <memory>

namespace sorrel::power {

// What the backend reports.  Called on the thread that created the backend (the GUI
// thread), from its event loop.  The calls may nest: a handler that runs the event loop
// (a wait) may see the next report inside it.
class PowerListener {
 public:
  virtual ~PowerListener() = default;
  // The computer is about to sleep; it waits for this to return (up to logind's
  // InhibitDelayMaxSec).
  virtual void Suspending() = 0;
  // The computer has woken up.
  virtual void Resumed() = 0;
};

class PowerBackend {
 public:
  virtual ~PowerBackend() = default;
  // False for the do-nothing backend.
  virtual bool Available() const = 0;
  // Holds the sleep delay lock now.
  virtual bool HoldsSleepDelay() const = 0;
  virtual void Suspend() = 0;
  virtual void Hibernate() = 0;
  virtual void PowerOff() = 0;
};

// logind's when the system bus and logind (running, or startable by the bus) are
// there, else the do-nothing backend.  Call on the GUI thread, with a
// QCoreApplication.  `program` begins the messages on standard error ("sorrel").
std::unique_ptr<PowerBackend> ConnectPowerBackend(PowerListener& listener, const QString& program = "sorrel");

inline constexpr const char* kLogindService = "org.freedesktop.login1";
inline constexpr const char* kLogindPath = "/org/freedesktop/login1";
inline constexpr const char* kLogindManager = "org.freedesktop.login1.Manager";

}  // namespace sorrel::power
