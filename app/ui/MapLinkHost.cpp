#include "app/ui/MapLinkHost.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QMetaObject>
#include <QTimer>

namespace sorrel::app {

TMapLinkHost::TMapLinkHost(QTimer& checkTimer, maplink::TMappleWindowsIntf& windows)
    : checkTimer_(checkTimer), link_(std::make_unique<maplink::TMappleLink>(automation_, windows, *this)) {}

TMapLinkHost::~TMapLinkHost() {
  link_.reset();
  if (cursorShown_) QGuiApplication::restoreOverrideCursor();
}

void TMapLinkHost::Shutdown() {
  link_->Shutdown();
  shutDown_ = true;
  checkTimer_.stop();
}

void TMapLinkHost::SetAppStartingCursor() {
  // One override however many commands are queued; the worker's "queue empty" ends it.
  if (cursorShown_) return;
  QGuiApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
  cursorShown_ = true;
}

void TMapLinkHost::ProcessMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents, 50); }

void TMapLinkHost::RestoreCursor() {
  QMetaObject::invokeMethod(
      &guiThread_,
      [this] {
        if (!cursorShown_) return;
        QGuiApplication::restoreOverrideCursor();
        cursorShown_ = false;
      },
      Qt::QueuedConnection);
}

void TMapLinkHost::SetCheckTimer(bool enabled) {
  QMetaObject::invokeMethod(
      &guiThread_,
      [this, enabled] {
        if (enabled && !shutDown_)
          checkTimer_.start();
        else
          checkTimer_.stop();
      },
      Qt::QueuedConnection);
}

void TMapLinkHost::SetMapWindow(maplink::TMapWindow w) {
  QMetaObject::invokeMethod(
      &guiThread_, [this, w] { mapWindow_ = w; }, Qt::QueuedConnection);
}

}  // namespace sorrel::app
