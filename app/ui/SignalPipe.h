// SIGTERM and SIGINT turned into a Qt signal: the handler only writes the signal number
// to a pipe; the event loop reads it and runs the orderly shutdown.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace sorrel::app {

class SignalPipe : public QObject {
  Q_OBJECT
 public:
  explicit SignalPipe(QObject* parent = nullptr);
  ~SignalPipe() override;
  bool Ok() const { return notifier_ != nullptr; }

 Q_SIGNALS:
  void Terminate(int signalNumber);

 private:
  void Drain();
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace sorrel::app
