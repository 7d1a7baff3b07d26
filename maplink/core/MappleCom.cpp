#include "maplink/core/MappleCom.h"

#include <climits>

namespace sorrel::maplink {

using base::TAutoArg;
using base::TAutoValue;
using base::TInvokeKind;

TMappleComThread::TMappleComThread(TMappleQueue& queue, base::TAutomationIntf& automation,
                                   TMappleWindowsIntf& windows, TMappleHostIntf& host, base::TClock& clock)
    : queue_(queue), automation_(automation), windows_(windows), host_(host), clock_(clock) {
  scaleCount_ = NormaliseScaleList(settings_.MappleDefScale);
  thread_ = std::thread([this] { Execute(); });
}

TMappleComThread::~TMappleComThread() { Terminate(); }

void TMappleComThread::Resume() {
  {
    std::lock_guard lock(mutex_);
    resumed_ = true;
  }
  wake_.notify_all();
}

void TMappleComThread::Terminate() {
  terminating_.store(true, std::memory_order_release);
  {
    std::lock_guard lock(mutex_);
    terminated_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

bool TMappleComThread::Pause(int64_t micros) {
  std::unique_lock lock(mutex_);
  clock_.WaitUntil(lock, wake_, clock_.NowMicros() + micros, [this] { return terminated_; });
  return !terminated_;
}

void TMappleComThread::Execute() {
  for (;;) {
    {
      std::unique_lock lock(mutex_);
      clock_.WaitUntil(lock, wake_, INT64_MAX, [this] { return resumed_ || terminated_; });
      if (terminated_) return;
      resumed_ = false;
    }
    busy_.store(true, std::memory_order_release);
    for (char letter; (letter = queue_.Front()) != 0;) {
      RunCommand(letter, queue_.Behind() != 0);
      if (!Pause(kPauseMicros)) return;
      queue_.Pop();
    }
    host_.RestoreCursor();
    busy_.store(false, std::memory_order_release);
  }
}

void TMappleComThread::RunCommand(char letter, bool commandBehind) {
  switch (letter) {
    case 'E':
      Activate();
      break;
    case 'F':
      Deactivate();
      break;
    case 'G':
      ShowMaximised();
      break;
    case 'H':
      ZoomStep(+50);
      break;
    case 'I':
      ZoomStep(-50);
      break;
    case 'J':
      ScaleStep(false);
      break;
    case 'K':
      ScaleStep(true);
      break;
    case 'L':
      lastLatitude_ = lastLongitude_ = 0;
      break;
    case 'M':
      ReadState();
      break;
    case 'N':
      DrawPosition(commandBehind);
      break;
    default:
      break;
  }
}

void TMappleComThread::SetSettings(const TMappleLinkSettings& settings) {
  std::lock_guard lock(settingsMutex_);
  settings_ = settings;
  scaleCount_ = NormaliseScaleList(settings_.MappleDefScale);
}

TMappleLinkSettings TMappleComThread::Settings() const {
  std::lock_guard lock(settingsMutex_);
  return settings_;
}

void TMappleComThread::SetPosition(const TMapplePosition& position) {
  std::lock_guard lock(settingsMutex_);
  position_ = position;
}

// --- automation calls

void TMappleComThread::SetWindow(TMapWindow w) {
  window_.store(w, std::memory_order_release);
  host_.SetMapWindow(w);
}

void TMappleComThread::Drop() {
  mapple_.reset();
  if (window_.load(std::memory_order_relaxed) != 0) SetWindow(0);
}

bool TMappleComThread::CallRef(const char* name, std::vector<TAutoArg>& args) {
  if (!mapple_ || !mapple_->Invoke(name, TInvokeKind::Method, args).Ok()) {
    Drop();
    return false;
  }
  return true;
}

bool TMappleComThread::Call(const char* name, std::vector<TAutoArg> args) { return CallRef(name, args); }

bool TMappleComThread::PutVisible(bool visible) {
  if (!mapple_ || !mapple_->Put("Visible", TAutoArg::Bool(visible)).Ok()) {
    Drop();
    return false;
  }
  return true;
}

std::optional<int> TMappleComThread::GetInt(const char* name) {
  if (mapple_) {
    const base::TAutoResult r = mapple_->Call(name);
    if (const auto* v = std::get_if<int32_t>(&r.value); r.Ok() && v) return *v;
  }
  Drop();
  return std::nullopt;
}

// --- commands

void TMappleComThread::Connect() {
  host_.SetCheckTimer(false);
  mapple_ = automation_.CreateObject(kMappleProgId);
  if (!mapple_) return Drop();
  const TMappleLinkSettings s = Settings();
  if (!Call("MoveWindow", {TAutoArg::Int(s.MapplePosLeft), TAutoArg::Int(s.MapplePosTop),
                           TAutoArg::Int(s.MapplePosRight), TAutoArg::Int(s.MapplePosBottom)}) ||
      !PutVisible(true) || !Call("SetMapClass", {TAutoArg::Int(s.MappleClass)}) ||
      !Call("SetZoom", {TAutoArg::Int(s.MappleZoom)}))
    return;
  TMapRect rect;
  for (auto [name, field] :
       {std::pair{"GetWindowLeft", &TMapRect::Left}, std::pair{"GetWindowTop", &TMapRect::Top},
        std::pair{"GetWindowRight", &TMapRect::Right}, std::pair{"GetWindowBottom", &TMapRect::Bottom}}) {
    const auto v = GetInt(name);
    if (!v) return;
    rect.*field = *v;
  }
  {
    std::lock_guard lock(settingsMutex_);
    settings_.MapplePosLeft = rect.Left;
    settings_.MapplePosTop = rect.Top;
    settings_.MapplePosRight = rect.Right;
    settings_.MapplePosBottom = rect.Bottom;
  }
  const TMapWindow w = windows_.FindWindow(kMappleTitlePart, rect);
  SetWindow(w);
  if (w == 0) return;  // tm_CheckMapple stays off
  if (!Pause(kConnectWaitMicros)) return;
  host_.SetCheckTimer(true);
}

bool TMappleComThread::Activate() {
  if (!Connected()) {
    Connect();
    active_.store(false, std::memory_order_release);
    if (terminating_.load(std::memory_order_acquire)) return false;
  }
  if (const TMapWindow w = window_.load(std::memory_order_relaxed)) {
    windows_.ShowNormal(w);
    windows_.ForceForeground(w);
  }
  lastLatitude_ = lastLongitude_ = 0;
  if (Active()) return true;
  const TMappleLinkSettings s = Settings();
  if (!PutVisible(true) || !Call("SetMapClass", {TAutoArg::Int(s.MappleClass)}) ||
      !Call("SetZoom", {TAutoArg::Int(s.MappleZoom)}))
    return false;
  active_.store(true, std::memory_order_release);
  return true;
}

bool TMappleComThread::Deactivate() {
  if (!Connected() || !Active()) return true;
  active_.store(false, std::memory_order_release);
  return Call("DeleteAllCustom") && PutVisible(false);
}

bool TMappleComThread::ShowMaximised() {
  if (!Connected() || !Active()) return true;
  const TMapWindow w = window_.load(std::memory_order_relaxed);
  windows_.ShowMaximised(w);
  windows_.ForceForeground(w);
  return true;
}

bool TMappleComThread::ZoomStep(int delta) {
  const auto zoom = GetInt("GetZoom");
  if (!zoom) return false;
  const auto mapClass = GetInt("GetMapClass");
  if (!mapClass) return false;
  const TMapScale to = maplink::ZoomStep({*mapClass, *zoom}, delta);
  if (to.MapClass != *mapClass && !Call("SetMapClass", {TAutoArg::Int(to.MapClass)})) return false;
  return Call("SetZoom", {TAutoArg::Int(to.Zoom)});
}

bool TMappleComThread::ScaleStep(bool larger) {
  const auto zoom = GetInt("GetZoom");
  if (!zoom) return false;
  const auto mapClass = GetInt("GetMapClass");
  if (!mapClass) return false;
  const auto now = ScaleDenominator(*mapClass, *zoom);
  if (!now) return true;  // a class the list does not know
  std::optional<int> next;
  {
    std::lock_guard lock(settingsMutex_);
    next = larger ? NextLargerScale(settings_.MappleDefScale, scaleCount_, *now)
                  : NextSmallerScale(settings_.MappleDefScale, scaleCount_, *now);
  }
  if (!next) return true;
  const TMapScale to = ScaleFromDenominator(*next);
  return Call("SetMapClass", {TAutoArg::Int(to.MapClass)}) && Call("SetZoom", {TAutoArg::Int(to.Zoom)});
}

bool TMappleComThread::ReadState() {
  const TMapWindow w = window_.load(std::memory_order_relaxed);
  if (w == 0 || windows_.IsMinimised(w) || !Active()) return true;
  const auto zoom = GetInt("GetZoom");
  if (!zoom) return false;
  const auto mapClass = GetInt("GetMapClass");
  if (!mapClass) return false;
  TMapRect rect;
  for (auto [name, field] :
       {std::pair{"GetWindowLeft", &TMapRect::Left}, std::pair{"GetWindowTop", &TMapRect::Top},
        std::pair{"GetWindowRight", &TMapRect::Right}, std::pair{"GetWindowBottom", &TMapRect::Bottom}}) {
    const auto v = GetInt(name);
    if (!v) return false;
    rect.*field = *v;
  }
  mapScale_ = {*mapClass, *zoom};
  mapRect_ = rect;
  if (const auto t = RecentreThreshold(mapScale_, rect.Width(), rect.Height()))
    threshold_.store(*t, std::memory_order_release);
  // A maximised window keeps the place the user gave it for later.
  if (!windows_.IsMaximised(w)) {
    std::lock_guard lock(settingsMutex_);
    settings_.MapplePosLeft = rect.Left;
    settings_.MapplePosTop = rect.Top;
    settings_.MapplePosRight = rect.Right;
    settings_.MapplePosBottom = rect.Bottom;
  }
  return true;
}

bool TMappleComThread::DrawPosition(bool commandBehind) {
  // A newer command behind this one comes first; the timer sends "N" again.
  if (!Active() || commandBehind) return true;
  if (!ReadState()) return false;
  TMapplePosition p;
  {
    std::lock_guard lock(settingsMutex_);
    p = position_;
  }
  std::vector<TAutoArg> xy{TAutoArg::RefInt(MapCoordinate(p.Longitude)),
                           TAutoArg::RefInt(MapCoordinate(p.Latitude))};
  if (!Call("DeleteAllCustom")) return false;
  const int64_t d = DistanceMetres(lastLatitude_, lastLongitude_, p.Latitude, p.Longitude);
  if (d > Threshold()) {
    if (!CallRef("Move", xy)) return false;
    lastLatitude_ = p.Latitude;
    lastLongitude_ = p.Longitude;
  }
  // x and y as Move left them.
  std::vector<TAutoArg> icon{xy[0],
                             xy[1],
                             TAutoArg::Str(""),
                             TAutoArg::Str(""),
                             TAutoArg::Str(""),
                             TAutoArg::RefInt(IconNumber(p.Direction)),
                             TAutoArg::Int(3),
                             TAutoArg::Int(-1),
                             TAutoArg::Int(-1),
                             TAutoArg::Int(0)};
  return CallRef("AddIcon", icon);
}

}  // namespace sorrel::maplink
