// The engine's owner queue on the Qt event loop: notifications posted by the engine's
// threads are handled on the thread that created this object (the GUI thread).
#pragma once

#include <QObject>
#include <atomic>

#include "engine/MPOwnerQueue.h"

namespace sorrel::app {

class QtOwnerQueue : public QObject, public engine::TMPOwnerQueue {
 public:
  explicit QtOwnerQueue(QObject* parent = nullptr);

 protected:
  void Wake() override;
  // Behind every event the Qt loop has waiting now.
  void WakeBehindPending() override;

 private:
  std::atomic<bool> scheduled_{false};
  std::atomic<bool> deferredScheduled_{false};
};

}  // namespace sorrel::app
