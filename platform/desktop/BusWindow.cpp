#include "platform/desktop/BusWindow.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QMetaObject>

#include <algorithm>
#include <atomic>

namespace sorrel::desktop {

namespace {

bool IsNameChar(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

int HexValue(QChar c) {
  const char16_t u = c.unicode();
  if (u >= '0' && u <= '9') return u - '0';
  if (u >= 'A' && u <= 'F') return u - 'A' + 10;
  return -1;
}

// Bus names are at most 255 characters.
constexpr qsizetype kMaxBusName = 255;

std::optional<QString> CaptionOf(const QDBusMessage& r) {
  if (r.type() != QDBusMessage::ReplyMessage || r.arguments().size() != 1) return std::nullopt;
  const QVariant v = r.arguments().front().value<QDBusVariant>().variant();
  if (v.metaType().id() != QMetaType::QString) return std::nullopt;
  return v.toString();
}

// The call's time ran out (or the peer vanished without replying, which the caller tells
// apart by asking whether the name is still owned).
bool IsTimeout(const QDBusMessage& r) {
  const QString e = r.errorName();
  return e == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
         e == QLatin1String("org.freedesktop.DBus.Error.Timeout") ||
         e == QLatin1String("org.freedesktop.DBus.Error.TimedOut");
}

}  // namespace

QString BusNameForClass(const QString& className) {
  if (className.isEmpty()) return {};
  QString out = QString::fromLatin1(kBusNamePrefix);
  const QByteArray utf8 = className.toUtf8();
  for (qsizetype i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    const bool leadingDigit = i == 0 && c >= '0' && c <= '9';
    if (IsNameChar(c) && !leadingDigit)
      out += QChar(c);
    else
      out += QStringLiteral("-%1").arg(c, 2, 16, QChar('0')).toUpper();
  }
  if (out.size() > kMaxBusName) return {};
  return out;
}

std::optional<QString> ClassForBusName(const QString& busName) {
  const QString prefix = QString::fromLatin1(kBusNamePrefix);
  if (!busName.startsWith(prefix) || busName.size() == prefix.size()) return std::nullopt;
  QByteArray utf8;
  for (qsizetype i = prefix.size(); i < busName.size(); ++i) {
    const QChar c = busName[i];
    if (c == '-') {
      const int hi = i + 1 < busName.size() ? HexValue(busName[i + 1]) : -1;
      const int lo = i + 2 < busName.size() ? HexValue(busName[i + 2]) : -1;
      if (hi < 0 || lo < 0) return std::nullopt;
      utf8 += static_cast<char>(hi * 16 + lo);
      i += 2;
    } else if (c.unicode() < 0x80 && IsNameChar(static_cast<unsigned char>(c.unicode()))) {
      utf8 += static_cast<char>(c.unicode());
    } else {
      return std::nullopt;
    }
  }
  return QString::fromUtf8(utf8);
}

bool SessionBusAvailable() { return QDBusConnection::sessionBus().isConnected(); }

// The bus face of a published window.
class WindowAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.sorrel.Window")
  Q_PROPERTY(QString ClassName READ ClassName)
  Q_PROPERTY(QString Caption READ Caption)

 public:
  explicit WindowAdaptor(PublishedWindow* w) : QDBusAbstractAdaptor(w), window_(w) {}
  QString ClassName() const { return window_->ClassName(); }
  QString Caption() const { return window_->Caption(); }

 public Q_SLOTS:
  Q_NOREPLY void Post(uint msg, int wParam, int lParam) {
    // A post returns to the sender at once; the window sees it from its event loop.
    QMetaObject::invokeMethod(
        this, [this, msg, wParam, lParam] { window_->Receiver().WindowMessage(msg, wParam, lParam, true); },
        Qt::QueuedConnection);
  }
  int Send(uint msg, int wParam, int lParam) {
    return window_->Receiver().WindowMessage(msg, wParam, lParam, false);
  }
  int CopyData(int wParam, uint dwData, const QByteArray& data) {
    return window_->Receiver().WindowCopyData(wParam, dwData, data);
  }
  int DropFiles(const QStringList& paths) { return window_->Receiver().WindowDropFiles(paths); }

 private:
  PublishedWindow* window_;
};

PublishedWindow::PublishedWindow(QString className, QString caption, WindowReceiver& receiver,
                                 QObject* parent)
    : QObject(parent), className_(std::move(className)), caption_(std::move(caption)), receiver_(receiver) {
  new WindowAdaptor(this);
  static std::atomic<int> serial{0};
  connectionName_ = QStringLiteral("sorrel-window-%1").arg(serial.fetch_add(1));
}

PublishedWindow::~PublishedWindow() {
  if (published_) {
    QDBusConnection c(connectionName_);
    c.unregisterService(BusName());
    c.unregisterObject(QString::fromLatin1(kObjectPath));
  }
  QDBusConnection::disconnectFromBus(connectionName_);
}

PublishedWindow::Result PublishedWindow::Publish() {
  if (published_) return Result::Published;
  const QString name = BusName();
  if (name.isEmpty()) return Result::NameTaken;
  QDBusConnection c = QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName_);
  if (!c.isConnected()) return Result::NoBus;
  // The object first, so that whoever sees the name can call it at once.
  if (!c.registerObject(QString::fromLatin1(kObjectPath), this, QDBusConnection::ExportAdaptors))
    return Result::NoBus;
  const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> r = c.interface()->registerService(
      name, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
  if (!r.isValid()) {
    c.unregisterObject(QString::fromLatin1(kObjectPath));
    return Result::NoBus;
  }
  if (r.value() != QDBusConnectionInterface::ServiceRegistered) {
    c.unregisterObject(QString::fromLatin1(kObjectPath));
    return Result::NameTaken;
  }
  published_ = true;
  return Result::Published;
}

LookupResult RemoteWindow::Look(const QString& className, const std::optional<QString>& caption,
                                int timeoutMs) {
  LookupResult out;
  const QString name = BusNameForClass(className);
  if (name.isEmpty()) return out;
  if (!SessionBusAvailable()) {
    out.status = Lookup::NoBus;
    return out;
  }
  RemoteWindow w(name, className);
  if (!w.Exists()) return out;
  if (!caption) {
    out.status = Lookup::Found;
    out.window = w;
    return out;
  }
  const QDBusMessage r = w.ReadCaption(timeoutMs);
  if (r.type() == QDBusMessage::ReplyMessage) {
    out.caption = CaptionOf(r);
  } else if (IsTimeout(r) && w.Exists()) {
    out.status = Lookup::NoAnswer;
    return out;
  } else if (!w.Exists()) {
    return out;  // gone meanwhile
  }
  // An owner that is no window of ours (no such property) has "another caption" too.
  out.window = w;
  out.status = out.caption == caption ? Lookup::Found : Lookup::OtherCaption;
  return out;
}

std::optional<RemoteWindow> RemoteWindow::Find(const QString& className,
                                               const std::optional<QString>& caption, int timeoutMs) {
  LookupResult r = Look(className, caption, timeoutMs);
  if (r.status != Lookup::Found) return std::nullopt;
  return r.window;
}

std::vector<RemoteWindow> RemoteWindow::All() {
  std::vector<RemoteWindow> out;
  if (!SessionBusAvailable()) return out;
  const QDBusReply<QStringList> names = QDBusConnection::sessionBus().interface()->registeredServiceNames();
  if (!names.isValid()) return out;
  for (const QString& n : names.value())
    if (auto cls = ClassForBusName(n)) out.push_back(RemoteWindow(n, *cls));
  return out;
}

std::optional<RemoteWindow> RemoteWindow::FindByCaptionPrefix(const QString& prefix) {
  for (const RemoteWindow& w : All()) {
    const auto c = w.Caption();
    if (c && c->startsWith(prefix)) return w;
  }
  return std::nullopt;
}

bool RemoteWindow::Exists() const {
  const QDBusReply<bool> r = QDBusConnection::sessionBus().interface()->isServiceRegistered(busName_);
  return r.isValid() && r.value();
}

QDBusMessage RemoteWindow::ReadCaption(int timeoutMs) const {
  QDBusMessage m = QDBusMessage::createMethodCall(busName_, QString::fromLatin1(kObjectPath),
                                                  QStringLiteral("org.freedesktop.DBus.Properties"),
                                                  QStringLiteral("Get"));
  m.setAutoStartService(false);
  m << QString::fromLatin1(kInterface) << QStringLiteral("Caption");
  return QDBusConnection::sessionBus().call(m, QDBus::Block, std::max(timeoutMs, 1));
}

std::optional<QString> RemoteWindow::Caption(int timeoutMs) const {
  return CaptionOf(ReadCaption(timeoutMs));
}

bool RemoteWindow::Post(uint32_t msg, int32_t wParam, int32_t lParam) const {
  if (!Exists()) return false;
  QDBusMessage m = QDBusMessage::createMethodCall(busName_, QString::fromLatin1(kObjectPath),
                                                  QString::fromLatin1(kInterface), QStringLiteral("Post"));
  m.setAutoStartService(false);
  m << static_cast<uint>(msg) << static_cast<int>(wParam) << static_cast<int>(lParam);
  if (!QDBusConnection::sessionBus().send(m)) return false;
  // send() only queues; a round trip to the bus daemon on the same connection returns
  // after the daemon has routed the post, so a sender that exits at once loses nothing.
  return Exists();
}

std::optional<int32_t> RemoteWindow::Call(const char* method, const QList<QVariant>& args,
                                          int timeoutMs) const {
  QDBusMessage m =
      QDBusMessage::createMethodCall(busName_, QString::fromLatin1(kObjectPath),
                                     QString::fromLatin1(kInterface), QString::fromLatin1(method));
  m.setAutoStartService(false);
  m.setArguments(args);
  const QDBusMessage r = QDBusConnection::sessionBus().call(m, QDBus::Block, std::max(timeoutMs, 1));
  if (r.type() != QDBusMessage::ReplyMessage || r.arguments().size() != 1) return std::nullopt;
  bool ok = false;
  const int v = r.arguments().front().toInt(&ok);
  if (!ok) return std::nullopt;
  return v;
}

std::optional<int32_t> RemoteWindow::Send(uint32_t msg, int32_t wParam, int32_t lParam, int timeoutMs) const {
  return Call("Send",
              {QVariant::fromValue(static_cast<uint>(msg)), QVariant::fromValue(static_cast<int>(wParam)),
               QVariant::fromValue(static_cast<int>(lParam))},
              timeoutMs);
}

std::optional<int32_t> RemoteWindow::CopyData(int32_t wParam, uint32_t dwData, const QByteArray& data,
                                              int timeoutMs) const {
  return Call("CopyData",
              {QVariant::fromValue(static_cast<int>(wParam)), QVariant::fromValue(static_cast<uint>(dwData)),
               QVariant::fromValue(data)},
              timeoutMs);
}

std::optional<int32_t> RemoteWindow::DropFiles(const QStringList& paths, int timeoutMs) const {
  return Call("DropFiles", {QVariant::fromValue(paths)}, timeoutMs);
}

}  // namespace sorrel::desktop

#include "BusWindow.moc"
