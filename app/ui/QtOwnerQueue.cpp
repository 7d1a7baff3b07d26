#include "app/ui/QtOwnerQueue.h"

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

void QtOwnerQueue::WakeBehindPending() {
  if (deferredScheduled_.exchange(true)) return;
  // A queued call runs after everything posted before it, and (posted from inside the
  // loop's handling of posted events) only in the loop's next round, after input and
  // timers have had their turn.
  QMetaObject::invokeMethod(
      this,
      [this] {
        deferredScheduled_ = false;
        ReleaseDeferred();
        DrainAll();
      },
      Qt::QueuedConnection);
}

}  // namespace sorrel::app
