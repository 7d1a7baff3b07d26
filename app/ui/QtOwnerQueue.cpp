#include "app/ui/QtOwnerQueue.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace sorrel::app {

QtOwnerQueue::QtOwnerQueue(QObject* parent) : QObject(parent) {}

void QtOwnerQueue::Wake() {
  // One queued drain at a time is enough: it handles everything waiting.
  if (scheduled_.exchange(true)) return;
  QMetaObject::invokeMethod(
      this,
      [this] {
        scheduled_ = false;
        DrainAll();
      },
      Qt::QueuedConnection);
}

void QtOwnerQueue::ProcessPending() {
  QCoreApplication::processEvents();
  DrainAll();
}

}  // namespace sorrel::app
