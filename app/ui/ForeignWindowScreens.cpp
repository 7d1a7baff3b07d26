#include "app/ui/ForeignWindowScreens.h"

#include <QThread>

#include <algorithm>

namespace sorrel::app {

namespace {

alarm::TForeignWindow Convert(const desktop::ForeignWindowInfo& w) {
  return {w.handle, w.className.toStdString(), w.title.toStdString()};
}

std::vector<alarm::TForeignWindow> Convert(const std::vector<desktop::ForeignWindowInfo>& list) {
  std::vector<alarm::TForeignWindow> out;
  out.reserve(list.size());
  for (const auto& w : list) out.push_back(Convert(w));
  return out;
}

}  // namespace

std::vector<alarm::TForeignWindow> TForeignNavinWindows::TopLevelWindows() {
  return Convert(client_.TopLevelWindows());
}

std::vector<alarm::TForeignWindow> TForeignNavinWindows::ChildWindows(alarm::TWindowHandle parent) {
  return Convert(client_.ChildWindows(parent, true));
}

alarm::TWindowHandle TForeignNavinWindows::FindWindowByClass(std::string_view className) {
  desktop::ForeignWindowClient::Match m;
  m.className = QString::fromUtf8(className.data(), qsizetype(className.size()));
  return client_.FindTopLevel(m);
}

bool TForeignNavinWindows::IsVisible(alarm::TWindowHandle window) {
  const auto info = client_.Info(window);
  return info && info->shown;
}

std::optional<alarm::TWindowRect> TForeignNavinWindows::WindowRect(alarm::TWindowHandle window) {
  const auto info = client_.Info(window);
  if (!info) return std::nullopt;
  const QRect& r = info->rect;
  return alarm::TWindowRect{r.x(), r.y(), r.x() + r.width(), r.y() + r.height()};
}

bool TForeignNavinWindows::Capture(alarm::TWindowHandle window, int x, int y, int width, int height,
                                   alarm::TRgbImage& image) {
  const auto captured = client_.Capture(window, x, y, width, height);
  if (!captured) return false;
  image.Width = captured->width;
  image.Height = captured->height;
  image.Pixels.assign(captured->rgb.begin(), captured->rgb.end());
  return true;
}

void TForeignNavinWindows::ForceForeground(alarm::TWindowHandle window) {
  client_.Show(window, desktop::ShowCommand::Forward);
}

void TForeignNavinWindows::KeyEvent(uint8_t virtualKey, bool up) { client_.KeyEvent(virtualKey, up); }

bool TForeignNavinWindows::Post(alarm::TWindowHandle window, uint32_t msg, intptr_t wParam, intptr_t lParam) {
  return client_.Post(window, msg, int32_t(wParam), int32_t(lParam));
}

bool TForeignNavinWindows::Send(alarm::TWindowHandle window, uint32_t msg, intptr_t wParam, intptr_t lParam,
                                int timeoutMs) {
  return client_.Send(window, msg, int32_t(wParam), int32_t(lParam), timeoutMs).has_value();
}

bool TForeignNavinWindows::IsMinimized(alarm::TWindowHandle window) {
  const auto info = client_.Info(window);
  return info && info->Minimised();
}

void TForeignNavinWindows::Minimize(alarm::TWindowHandle window) {
  client_.Show(window, desktop::ShowCommand::Minimise);
}

void TForeignNavinWindows::Restore(alarm::TWindowHandle window) {
  client_.Show(window, desktop::ShowCommand::Restore);
}

alarm::TWindowHandle TForeignNavinWindows::Parent(alarm::TWindowHandle window) {
  const auto info = client_.Info(window);
  return info ? info->parent : 0;
}

alarm::TWindowHandle TForeignNavinWindows::FindTopLevelWindow(std::string_view className,
                                                              std::optional<std::string_view> title) {
  desktop::ForeignWindowClient::Match m;
  m.className = QString::fromUtf8(className.data(), qsizetype(className.size()));
  if (title) m.title = QString::fromUtf8(title->data(), qsizetype(title->size()));
  return client_.FindTopLevel(m);
}

bool TForeignNavinWindows::TerminateOwner(alarm::TWindowHandle window) { return client_.Terminate(window); }

maplink::TMapWindow TForeignMappleWindows::FindWindow(const std::string& titlePart,
                                                      const maplink::TMapRect& rect) {
  const QString part = QString::fromStdString(titlePart);
  for (const desktop::ForeignWindowInfo& w : client_.TopLevelWindows()) {
    const QRect& r = w.rect;
    const maplink::TMapRect placed{r.x(), r.y(), r.x() + r.width(), r.y() + r.height()};
    if (w.title.contains(part) && placed == rect) return w.handle;
  }
  return 0;
}

bool TForeignMappleWindows::IsMinimised(maplink::TMapWindow w) {
  const auto info = client_.Info(w);
  return info && info->Minimised();
}

bool TForeignMappleWindows::IsMaximised(maplink::TMapWindow w) {
  const auto info = client_.Info(w);
  return info && info->Maximised();
}

void TForeignMappleWindows::ShowNormal(maplink::TMapWindow w) {
  client_.Show(w, desktop::ShowCommand::Normal);
  client_.Show(w, desktop::ShowCommand::Forward);
}

void TForeignMappleWindows::ShowMaximised(maplink::TMapWindow w) {
  client_.Show(w, desktop::ShowCommand::Maximise);
}

void TForeignMappleWindows::ForceForeground(maplink::TMapWindow w) {
  client_.Show(w, desktop::ShowCommand::Forward);
}

bool TForeignMappleWindows::TerminateOwner(maplink::TMapWindow w) { return client_.Terminate(w); }

maplink::TMapWindow TForeignMappleWindows::FindDialog(const std::string& title) {
  desktop::ForeignWindowClient::Match m;
  m.className = QStringLiteral("#32770");
  m.title = QString::fromStdString(title);
  return client_.FindTopLevel(m);
}

maplink::TMapWindow TForeignMappleWindows::FindButton(maplink::TMapWindow dialog, const std::string& title) {
  desktop::ForeignWindowClient::Match m;
  m.className = QStringLiteral("Button");
  m.title = QString::fromStdString(title);
  return client_.FindChild(dialog, m);
}

bool TForeignMappleWindows::SendClick(maplink::TMapWindow button, int timeoutMs) {
  constexpr uint32_t kBmClick = 0x00F5;
  return client_.Send(button, kBmClick, 0, 0, timeoutMs).has_value();
}

void TForeignMappleWindows::Sleep(int ms) { QThread::msleep(static_cast<unsigned long>(std::max(ms, 0))); }

}  // namespace sorrel::app
