// Stand-ins for the map program (its automation object and its window), the desktop's
// windows and the main window, writing one ordered log.  Thread-safe: the worker calls
// them while the test looks on.
#pragma once

#include "base/Automation.h"
#include "maplink/core/MappleLinkPorts.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace sorrel::maplink::testing {

class FakeMap {
 public:
  static constexpr TMapWindow kWindow = 7;

  void Log(const std::string& line) {
    std::lock_guard lock(mutex_);
    log_.push_back(line);
  }
  std::vector<std::string> TakeLog() {
    std::lock_guard lock(mutex_);
    return std::exchange(log_, {});
  }
  std::vector<std::string> LogCopy() {
    std::lock_guard lock(mutex_);
    return log_;
  }

  // The map program's state.
  int mapClass = 1, zoom = 200;
  TMapRect rect{};
  bool visible = false;
  bool minimised = false, maximised = false;
  std::string title = "map - Super Mapple Digital Ver 9.0";
  int creations = 0;
  bool noServer = false;
  std::set<std::string> failing;  // methods that fail
  base::TAutoStatus failure = base::TAutoStatus::Failed;
  // "Move" shifts x and y by this much (the by-reference integers coming back).
  int moveShift = 0;
  // "MoveWindow" puts the window this much lower than asked.
  int placeShift = 0;

  // A call of `name` blocks until Release() (the worker busy for as long as a test needs).
  void Hold(const std::string& name) {
    std::lock_guard lock(mutex_);
    held_ = name;
    holding_ = false;
  }
  bool WaitHolding(int ms = 5000) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return holding_; });
  }
  void Release() {
    std::lock_guard lock(mutex_);
    held_.clear();
    cv_.notify_all();
  }

  std::mutex mutex_;  // guards everything above too, when the test touches it mid-run
  std::condition_variable cv_;
  std::vector<std::string> log_;
  std::string held_;
  bool holding_ = false;
};

inline std::string Format(const base::TAutoValue& v) {
  if (const auto* i = std::get_if<int32_t>(&v)) return std::to_string(*i);
  if (const auto* b = std::get_if<bool>(&v)) return *b ? "True" : "False";
  if (const auto* s = std::get_if<std::string>(&v)) return "\"" + *s + "\"";
  return "-";
}

class FakeMapObject final : public base::TAutoObjectIntf {
 public:
  explicit FakeMapObject(FakeMap& m) : m_(m) {}
  base::TAutoResult Invoke(const std::string& name, base::TInvokeKind kind,
                           std::vector<base::TAutoArg>& args) override {
    std::ostringstream line;
    line << name << (kind == base::TInvokeKind::PropertyPut ? "=" : "(");
    for (size_t i = 0; i < args.size(); ++i)
      line << (i ? "," : "") << (args[i].byRef ? "&" : "") << Format(args[i].value);
    if (kind != base::TInvokeKind::PropertyPut) line << ")";
    m_.Log(line.str());
    std::unique_lock lock(m_.mutex_);
    if (m_.held_ == name) {
      m_.holding_ = true;
      m_.cv_.notify_all();
      m_.cv_.wait(lock, [&] { return m_.held_ != name; });
    }
    if (m_.failing.count(name)) return {m_.failure, {}, "told to fail"};
    auto intArg = [&](size_t i) { return std::get<int32_t>(args.at(i).value); };
    if (name == "MoveWindow") {
      m_.rect = {intArg(0), intArg(1) + m_.placeShift, intArg(2), intArg(3) + m_.placeShift};
    } else if (name == "Visible") {
      m_.visible = std::get<bool>(args.at(0).value);
    } else if (name == "SetMapClass") {
      m_.mapClass = intArg(0);
    } else if (name == "SetZoom") {
      m_.zoom = intArg(0);
    } else if (name == "GetZoom") {
      return {base::TAutoStatus::Ok, m_.zoom, {}};
    } else if (name == "GetMapClass") {
      return {base::TAutoStatus::Ok, m_.mapClass, {}};
    } else if (name == "GetWindowLeft") {
      return {base::TAutoStatus::Ok, m_.rect.Left, {}};
    } else if (name == "GetWindowTop") {
      return {base::TAutoStatus::Ok, m_.rect.Top, {}};
    } else if (name == "GetWindowRight") {
      return {base::TAutoStatus::Ok, m_.rect.Right, {}};
    } else if (name == "GetWindowBottom") {
      return {base::TAutoStatus::Ok, m_.rect.Bottom, {}};
    } else if (name == "Move") {
      args.at(0).value = intArg(0) + m_.moveShift;
      args.at(1).value = intArg(1) + m_.moveShift;
    } else if (name != "DeleteAllCustom" && name != "AddIcon") {
      return {base::TAutoStatus::UnknownName, {}, name};
    }
    return {};
  }

 private:
  FakeMap& m_;
};

class FakeAutomation final : public base::TAutomationIntf {
 public:
  explicit FakeAutomation(FakeMap& m) : m_(m) {}
  std::unique_ptr<base::TAutoObjectIntf> CreateObject(const std::string& progId,
                                                      base::TAutoStatus* status) override {
    m_.Log("Create " + progId);
    std::lock_guard lock(m_.mutex_);
    if (m_.noServer) {
      if (status) *status = base::TAutoStatus::NoServer;
      return nullptr;
    }
    ++m_.creations;
    return std::make_unique<FakeMapObject>(m_);
  }

 private:
  FakeMap& m_;
};

class FakeWindows final : public TMappleWindowsIntf {
 public:
  explicit FakeWindows(FakeMap& m) : m_(m) {}
  TMapWindow FindWindow(const std::string& titlePart, const TMapRect& r) override {
    std::ostringstream line;
    line << "FindWindow(" << titlePart << "," << r.Left << "," << r.Top << "," << r.Right << "," << r.Bottom
         << ")";
    m_.Log(line.str());
    std::lock_guard lock(m_.mutex_);
    return m_.visible && m_.title.find(titlePart) != std::string::npos && m_.rect == r ? FakeMap::kWindow : 0;
  }
  bool IsMinimised(TMapWindow) override {
    std::lock_guard lock(m_.mutex_);
    return m_.minimised;
  }
  bool IsMaximised(TMapWindow) override {
    std::lock_guard lock(m_.mutex_);
    return m_.maximised;
  }
  void ShowNormal(TMapWindow w) override { m_.Log("ShowNormal " + std::to_string(w)); }
  void ShowMaximised(TMapWindow w) override { m_.Log("ShowMaximised " + std::to_string(w)); }
  void ForceForeground(TMapWindow w) override { m_.Log("ForceForeground " + std::to_string(w)); }

 private:
  FakeMap& m_;
};

class FakeHost final : public TMappleHostIntf {
 public:
  explicit FakeHost(FakeMap& m) : m_(m) {}
  void SetAppStartingCursor() override { busyCursor = true; }
  void ProcessMessages() override {
    ++pumped;
    if (onPump) onPump();
  }
  void RestoreCursor() override { busyCursor = false; }
  void SetCheckTimer(bool enabled) override {
    m_.Log(enabled ? "tm_CheckMapple on" : "tm_CheckMapple off");
    checkTimer = enabled;
  }
  void SetMapWindow(TMapWindow w) override {
    m_.Log("MapWindow " + std::to_string(w));
    mapWindow = w;
  }

  std::atomic<bool> busyCursor{false};
  std::atomic<bool> checkTimer{false};
  std::atomic<TMapWindow> mapWindow{0};
  std::atomic<int> pumped{0};
  std::function<void()> onPump;  // runs on the thread of SendMappleCommand

 private:
  FakeMap& m_;
};

}  // namespace sorrel::maplink::testing
