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
  // Runs the application's pending events, then what is waiting here.
  void ProcessPending() override;

 protected:
  void Wake() override;

 private:
  std::atomic<bool> scheduled_{false};
};

}  // namespace sorrel::app
