#include "platform/desktop/BusAutomation.h"

#include "platform/desktop/BusWindow.h"

#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusReply>
#include <QDBusVariant>
#include <QList>
#include <QStringList>
#include <QVariant>

#include <algorithm>
#include <atomic>
#include <cstring>

namespace sorrel::desktop {

using base::TAutoArg;
using base::TAutoResult;
using base::TAutoStatus;
using base::TAutoValue;
using base::TInvokeKind;

namespace {

constexpr qsizetype kMaxBusName = 255;
const char* const kErrUnknownName = "org.sorrel.Automation.Error.UnknownName";
const char* const kErrBadArguments = "org.sorrel.Automation.Error.BadArguments";
const char* const kErrFailed = "org.sorrel.Automation.Error.Failed";

QVariant ToQVariant(const TAutoValue& v) {
  if (const auto* i = std::get_if<int32_t>(&v)) return QVariant(int(*i));
  if (const auto* b = std::get_if<bool>(&v)) return QVariant(*b);
  if (const auto* s = std::get_if<std::string>(&v)) return QVariant(QString::fromStdString(*s));
  return {};
}

// nullopt for a type outside the three.
std::optional<TAutoValue> FromQVariant(QVariant v) {
  if (v.metaType() == QMetaType::fromType<QDBusVariant>()) v = v.value<QDBusVariant>().variant();
  switch (v.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::UChar:
      return TAutoValue(int32_t(v.toInt()));
    case QMetaType::UInt: {
      // Values above INT32_MAX are not integers of this interface.
      const uint u = v.toUInt();
      if (u > uint(INT32_MAX)) return std::nullopt;
      return TAutoValue(int32_t(u));
    }
    case QMetaType::Bool:
      return TAutoValue(v.toBool());
    case QMetaType::QString:
      return TAutoValue(v.toString().toStdString());
    default:
      return std::nullopt;
  }
}

QVariantList ToList(const QVariant& v) {
  if (v.metaType() == QMetaType::fromType<QDBusArgument>()) return qdbus_cast<QVariantList>(v);
  return v.toList();
}

bool IsNoReply(const QString& e) {
  return e == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
         e == QLatin1String("org.freedesktop.DBus.Error.Timeout") ||
         e == QLatin1String("org.freedesktop.DBus.Error.TimedOut");
}

TAutoStatus StatusOfError(const QString& e) {
  if (IsNoReply(e)) return TAutoStatus::TimedOut;
  if (e == QLatin1String(kErrUnknownName) || e == QLatin1String("org.freedesktop.DBus.Error.UnknownMethod") ||
      e == QLatin1String("org.freedesktop.DBus.Error.UnknownObject") ||
      e == QLatin1String("org.freedesktop.DBus.Error.UnknownInterface"))
    return TAutoStatus::UnknownName;
  if (e == QLatin1String(kErrBadArguments) || e == QLatin1String("org.freedesktop.DBus.Error.InvalidArgs"))
    return TAutoStatus::BadArguments;
  if (e == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
      e == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner") ||
      e == QLatin1String("org.freedesktop.DBus.Error.Disconnected"))
    return TAutoStatus::Gone;
  return TAutoStatus::Failed;
}

TAutoResult Failure(TAutoStatus s, QString message) { return {s, {}, message.toStdString()}; }

// A call to the bus daemon itself, with our own time-out rather than its 25 s default.
QDBusMessage CallDaemon(const QDBusConnection& bus, const char* method, const QList<QVariant>& args,
                        int timeoutMs) {
  QDBusMessage m = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
      QStringLiteral("org.freedesktop.DBus"), QString::fromLatin1(method));
  m.setArguments(args);
  return bus.call(m, QDBus::Block, std::max(timeoutMs, 1));
}

class BusAutoObject final : public base::TAutoObjectIntf {
 public:
  BusAutoObject(QString owner, int callMs) : owner_(std::move(owner)), callMs_(callMs) {}

  TAutoResult Invoke(const std::string& name, TInvokeKind kind, std::vector<TAutoArg>& args) override {
    QVariantList in;
    QList<int> byRef;
    for (size_t i = 0; i < args.size(); ++i) {
      QVariant v = ToQVariant(args[i].value);
      if (!v.isValid()) return Failure(TAutoStatus::BadArguments, QStringLiteral("argument without a value"));
      in.push_back(v);
      if (args[i].byRef) byRef.push_back(int(i));
    }
    QDBusMessage m =
        QDBusMessage::createMethodCall(owner_, QString::fromLatin1(kAutomationPath),
                                       QString::fromLatin1(kAutomationInterface), QStringLiteral("Invoke"));
    m.setAutoStartService(false);
    m << QString::fromStdString(name) << int(kind) << QVariant::fromValue(in) << QVariant::fromValue(byRef);
    const QDBusMessage r = QDBusConnection::sessionBus().call(m, QDBus::Block, std::max(callMs_, 1));
    if (r.type() == QDBusMessage::ErrorMessage)
      return Failure(StatusOfError(r.errorName()), r.errorMessage());
    if (r.type() != QDBusMessage::ReplyMessage || r.arguments().size() != 2)
      return Failure(TAutoStatus::Failed, QStringLiteral("malformed answer"));
    const QVariantList result = ToList(r.arguments()[0]);
    const QVariantList out = ToList(r.arguments()[1]);
    TAutoResult res;
    if (!result.isEmpty()) {
      auto v = FromQVariant(result.front());
      if (!v) return Failure(TAutoStatus::Failed, QStringLiteral("result of an unknown type"));
      res.value = std::move(*v);
    }
    // Only the by-reference arguments come back, and only as what they went in as.
    for (int i : byRef) {
      if (i >= out.size())
        return Failure(TAutoStatus::Failed, QStringLiteral("by-reference argument missing"));
      auto v = FromQVariant(out[i]);
      if (!v || v->index() != args[size_t(i)].value.index())
        return Failure(TAutoStatus::Failed, QStringLiteral("by-reference argument of another type"));
      args[size_t(i)].value = std::move(*v);
    }
    return res;
  }

 private:
  QString owner_;
  int callMs_;
};

}  // namespace

QString BusNameForProgId(const QString& progId) {
  if (progId.isEmpty()) return {};
  const qsizetype prefixLength = qsizetype(strlen(kBusNamePrefix));
  QString out = QString::fromLatin1(kAutomationNamePrefix);
  const QStringList parts = progId.split(QLatin1Char('.'));
  for (qsizetype i = 0; i < parts.size(); ++i) {
    // An element is encoded as a window class is.
    const QString element = BusNameForClass(parts[i]);
    if (element.isEmpty()) return {};
    if (i > 0) out += QLatin1Char('.');
    out += element.mid(prefixLength);
  }
  if (out.size() > kMaxBusName) return {};
  return out;
}

std::unique_ptr<base::TAutoObjectIntf> BusAutomation::CreateObject(const std::string& progId,
                                                                   TAutoStatus* status) {
  auto fail = [&](TAutoStatus s) -> std::unique_ptr<base::TAutoObjectIntf> {
    if (status) *status = s;
    return nullptr;
  };
  const QString name = BusNameForProgId(QString::fromStdString(progId));
  if (name.isEmpty()) return fail(TAutoStatus::NoServer);
  const QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return fail(TAutoStatus::NoServer);
  QDBusMessage r = CallDaemon(bus, "GetNameOwner", {name}, callMs_);
  if (r.type() != QDBusMessage::ReplyMessage) {
    if (IsNoReply(r.errorName())) return fail(TAutoStatus::TimedOut);
    // Nobody owns it: the bus starts the program if a service file names it.
    const QDBusMessage s = CallDaemon(bus, "StartServiceByName", {name, 0u}, startMs_);
    if (s.type() != QDBusMessage::ReplyMessage)
      return fail(IsNoReply(s.errorName()) ? TAutoStatus::TimedOut : TAutoStatus::NoServer);
    r = CallDaemon(bus, "GetNameOwner", {name}, callMs_);
    if (r.type() != QDBusMessage::ReplyMessage) return fail(TAutoStatus::NoServer);
  }
  if (r.arguments().size() != 1) return fail(TAutoStatus::NoServer);
  const QString owner = r.arguments().front().toString();
  if (owner.isEmpty()) return fail(TAutoStatus::NoServer);
  if (status) *status = TAutoStatus::Ok;
  return std::make_unique<BusAutoObject>(owner, callMs_);
}

// The bus face of a served object.
class AutomationAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.sorrel.Automation")

 public:
  explicit AutomationAdaptor(AutomationServer* s) : QDBusAbstractAdaptor(s), server_(s) {}

 public Q_SLOTS:
  QVariantList Invoke(const QString& name, int kind, const QVariantList& args, const QList<int>& byRef,
                      const QDBusMessage& message, QVariantList& argsOut) {
    auto error = [&](const char* errorName, const QString& text) {
      message.setDelayedReply(true);
      QDBusConnection(server_->ConnectionName())
          .send(message.createErrorReply(QString::fromLatin1(errorName), text));
      return QVariantList{};
    };
    if (kind != int(TInvokeKind::Method) && kind != int(TInvokeKind::PropertyGet) &&
        kind != int(TInvokeKind::PropertyPut))
      return error(kErrBadArguments, QStringLiteral("unknown kind %1").arg(kind));
    std::vector<TAutoArg> in;
    for (const QVariant& a : args) {
      auto v = FromQVariant(a);
      if (!v) return error(kErrBadArguments, QStringLiteral("argument of an unknown type"));
      in.push_back({std::move(*v), false});
    }
    for (int i : byRef) {
      if (i < 0 || i >= int(in.size()))
        return error(kErrBadArguments, QStringLiteral("bad by-reference index"));
      in[size_t(i)].byRef = true;
    }
    const TAutoResult r = server_->Object().Invoke(name.toStdString(), TInvokeKind(kind), in);
    switch (r.status) {
      case TAutoStatus::Ok:
        break;
      case TAutoStatus::UnknownName:
        return error(kErrUnknownName, QString::fromStdString(r.message));
      case TAutoStatus::BadArguments:
        return error(kErrBadArguments, QString::fromStdString(r.message));
      default:
        return error(kErrFailed, QString::fromStdString(r.message));
    }
    argsOut.clear();
    for (const TAutoArg& a : in) argsOut.push_back(ToQVariant(a.value));
    QVariantList result;
    if (!std::holds_alternative<std::monostate>(r.value)) result.push_back(ToQVariant(r.value));
    return result;
  }

 private:
  AutomationServer* server_;
};

AutomationServer::AutomationServer(QString progId, base::TAutoObjectIntf& object, QObject* parent)
    : QObject(parent), progId_(std::move(progId)), object_(object) {
  new AutomationAdaptor(this);
  static std::atomic<int> serial{0};
  connectionName_ = QStringLiteral("sorrel-automation-%1").arg(serial.fetch_add(1));
}

AutomationServer::~AutomationServer() {
  if (published_) {
    QDBusConnection c(connectionName_);
    c.unregisterService(BusNameForProgId(progId_));
    c.unregisterObject(QString::fromLatin1(kAutomationPath));
  }
  QDBusConnection::disconnectFromBus(connectionName_);
}

AutomationServer::Result AutomationServer::Publish() {
  if (published_) return Result::Published;
  const QString name = BusNameForProgId(progId_);
  if (name.isEmpty()) return Result::BadName;
  QDBusConnection c = QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName_);
  if (!c.isConnected()) return Result::NoBus;
  if (!c.registerObject(QString::fromLatin1(kAutomationPath), this, QDBusConnection::ExportAdaptors))
    return Result::NoBus;
  const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> r = c.interface()->registerService(
      name, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
  if (!r.isValid() || r.value() != QDBusConnectionInterface::ServiceRegistered) {
    c.unregisterObject(QString::fromLatin1(kAutomationPath));
    return r.isValid() ? Result::NameTaken : Result::NoBus;
  }
  published_ = true;
  return Result::Published;
}

}  // namespace sorrel::desktop

#include "BusAutomation.moc"
