#include "platform/power/PowerBackend.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusUnixFileDescriptor>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace sorrel::power {

namespace {

// logind answers at once; a bus that does not must not hold the player up for long.
constexpr int kCallTimeoutMs = 5000;

void Say(const QString& program, const QString& text) {
  std::fprintf(stderr, "%s: %s\n", qUtf8Printable(program), qUtf8Printable(text));
}

class NoPower final : public PowerBackend {
 public:
  NoPower(QString program, QString why) : program_(std::move(program)), why_(std::move(why)) {}
  bool Available() const override { return false; }
  bool HoldsSleepDelay() const override { return false; }
  void Suspend() override { Refuse(); }
  void Hibernate() override { Refuse(); }
  void PowerOff() override { Refuse(); }

 private:
  void Refuse() {
    if (told_) return;
    told_ = true;
    Say(program_, QStringLiteral("%1; suspend, hibernate and power-off do nothing").arg(why_));
  }

  QString program_;
  QString why_;
  bool told_ = false;
};

class LogindPower final : public QObject, public PowerBackend {
  Q_OBJECT
 public:
  LogindPower(const QDBusConnection& bus, PowerListener& listener, QString program)
      : bus_(bus),
        listener_(listener),
        program_(std::move(program)),
        restarts_(kLogindService, bus, QDBusServiceWatcher::WatchForRegistration) {
    if (!bus_.connect(kLogindService, kLogindPath, kLogindManager, QStringLiteral("PrepareForSleep"), this,
                      SLOT(PrepareForSleep(bool)))) {
      Say(program_,
          QStringLiteral("cannot follow logind's PrepareForSleep: %1").arg(bus_.lastError().message()));
    }
    // A logind that starts again has forgotten our lock.
    connect(&restarts_, &QDBusServiceWatcher::serviceRegistered, this, [this] { TakeDelay(); });
    TakeDelay();
  }
  ~LogindPower() override { ReleaseDelay(); }

  bool Available() const override { return true; }
  bool HoldsSleepDelay() const override { return delayFd_ >= 0; }
  void Suspend() override { Request(QStringLiteral("Suspend")); }
  void Hibernate() override { Request(QStringLiteral("Hibernate")); }
  void PowerOff() override { Request(QStringLiteral("PowerOff")); }

 private slots:
  void PrepareForSleep(bool start) {
    if (start) {
      // The machine sleeps once every delay lock is gone: ours goes when the place is
      // stored.
      listener_.Suspending();
      ReleaseDelay();
    } else {
      TakeDelay();
      listener_.Resumed();
    }
  }

 private:
  QDBusMessage Method(const QString& name) const {
    return QDBusMessage::createMethodCall(kLogindService, kLogindPath, kLogindManager, name);
  }

  void TakeDelay() {
    ReleaseDelay();
    QDBusMessage call = Method(QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep") << QStringLiteral("Tarn's MP3Player")
         << QStringLiteral("Saving the position and settings") << QStringLiteral("delay");
    const QDBusMessage reply = bus_.call(call, QDBus::Block, kCallTimeoutMs);
    QString error;
    if (reply.type() != QDBusMessage::ReplyMessage) {
      error = reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage();
    } else if (reply.arguments().size() != 1 || !reply.arguments()[0].canConvert<QDBusUnixFileDescriptor>()) {
      error = QStringLiteral("the answer holds no file descriptor");
    } else {
      const auto fd = reply.arguments()[0].value<QDBusUnixFileDescriptor>();
      // Our own copy: the message's goes with it.
      if (fd.isValid()) delayFd_ = ::fcntl(fd.fileDescriptor(), F_DUPFD_CLOEXEC, 0);
      if (delayFd_ < 0) error = QStringLiteral("the answer holds no usable file descriptor");
    }
    if (!error.isEmpty() && !delayFailureTold_) {
      delayFailureTold_ = true;
      Say(program_, QStringLiteral("logind gives no sleep delay (%1); the place may not be stored before "
                                   "the computer sleeps")
                        .arg(error));
    }
  }

  void ReleaseDelay() {
    if (delayFd_ < 0) return;
    ::close(delayFd_);
    delayFd_ = -1;
  }

  // Can<verb>, then <verb>(false) when the answer allows it; nothing blocks.
  void Request(const QString& verb) {
    auto* can = new QDBusPendingCallWatcher(bus_.asyncCall(Method("Can" + verb), kCallTimeoutMs), this);
    connect(can, &QDBusPendingCallWatcher::finished, this, [this, verb](QDBusPendingCallWatcher* w) {
      w->deleteLater();
      const QDBusPendingReply<QString> answer = *w;
      if (answer.isError()) {
        Say(program_, QStringLiteral("logind's Can%1 failed: %2").arg(verb, answer.error().message()));
        return;
      }
      // "challenge" would ask for a password, which a non-interactive call cannot do;
      // logind then answers with the error, which is reported below.
      if (answer.value() != QLatin1String("yes") && answer.value() != QLatin1String("challenge")) {
        Say(program_, QStringLiteral("logind does not allow %1 here (Can%1: %2)").arg(verb, answer.value()));
        return;
      }
      QDBusMessage call = Method(verb);
      call << false;  // not interactive
      auto* done = new QDBusPendingCallWatcher(bus_.asyncCall(call, kCallTimeoutMs), this);
      connect(done, &QDBusPendingCallWatcher::finished, this, [this, verb](QDBusPendingCallWatcher* w2) {
        w2->deleteLater();
        const QDBusPendingReply<> result = *w2;
        if (result.isError())
          Say(program_, QStringLiteral("logind's %1 failed: %2 (%3)")
                            .arg(verb, result.error().message(), result.error().name()));
      });
    });
  }

  QDBusConnection bus_;
  PowerListener& listener_;
  QString program_;
  QDBusServiceWatcher restarts_;
  int delayFd_ = -1;
  bool delayFailureTold_ = false;
};

}  // namespace

std::unique_ptr<PowerBackend> ConnectPowerBackend(PowerListener& listener, const QString& program) {
  QDBusConnection bus = QDBusConnection::systemBus();
  if (!bus.isConnected()) return std::make_unique<NoPower>(program, QStringLiteral("no system bus"));
  QDBusConnectionInterface* names = bus.interface();
  const bool running = names && names->isServiceRegistered(kLogindService).value();
  const bool startable =
      !running && names && names->activatableServiceNames().value().contains(kLogindService);
  if (!running && !startable)
    return std::make_unique<NoPower>(program, QStringLiteral("no logind on the system bus"));
  return std::make_unique<LogindPower>(bus, listener, program);
}

}  // namespace sorrel::power

#include "PowerBackend.moc"
