#include "platform/desktop/ForeignWindows.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCall>
#include <QDBusReply>
#include <QMetaObject>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <set>

namespace sorrel::desktop {

namespace {

// Enough for any screen; a caller asking for more gets nothing rather than gigabytes.
constexpr int kMaxCaptureSide = 8192;
// A peer's tree beyond this is nonsense and is not read.
constexpr qsizetype kMaxWindows = 65536;
// How long a call to a peer found hung waits, until it answers again.
constexpr int kHungPeerTimeoutMs = 100;

const char* const kNoWindowError = "org.sorrel.ForeignWindows.Error.NoWindow";

QDBusMessage Call(const QString& owner, const char* method, const QList<QVariant>& args) {
  QDBusMessage m =
      QDBusMessage::createMethodCall(owner, QString::fromLatin1(kForeignPath),
                                     QString::fromLatin1(kForeignInterface), QString::fromLatin1(method));
  m.setAutoStartService(false);
  m.setArguments(args);
  return m;
}

QDBusMessage DaemonCall(const char* method, const QString& argument) {
  QDBusMessage m = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
      QStringLiteral("org.freedesktop.DBus"), QString::fromLatin1(method));
  if (!argument.isNull()) m << argument;
  return m;
}

// ":1.42" as (1, 42), so that peers sort in the order they connected.
std::pair<qint64, qint64> ConnectionOrder(const QString& unique) {
  const QStringList parts = unique.mid(1).split(QLatin1Char('.'));
  if (parts.size() != 2) return {-1, -1};
  return {parts[0].toLongLong(), parts[1].toLongLong()};
}

template <class T>
bool Take(const QVariant& v, T& out) {
  if (v.userType() == qMetaTypeId<T>()) {
    out = v.value<T>();
    return true;
  }
  if (v.userType() != qMetaTypeId<QDBusArgument>()) return false;
  out = qdbus_cast<T>(v);
  return true;
}

}  // namespace

const char* ShowCommandName(uint32_t command) {
  switch (static_cast<ShowCommand>(command)) {
    case ShowCommand::Forward:
      return "forward";
    case ShowCommand::Minimise:
      return "minimise";
    case ShowCommand::Restore:
      return "restore";
    case ShowCommand::Maximise:
      return "maximise";
    case ShowCommand::Normal:
      return "normal";
  }
  return "?";
}

// The bus face of a publisher: scriptable slots on an object that knows the message it
// answers, so that a call about a window that is not there gets an error reply.
class ForeignWindowsFace : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.sorrel.ForeignWindows")

 public:
  explicit ForeignWindowsFace(ForeignWindowPublisher* p) : QObject(p), publisher_(p) {}

 public Q_SLOTS:
  Q_SCRIPTABLE QList<uint> Tree(QList<uint>& parents, QStringList& classes, QStringList& titles,
                                QList<int>& rects, QList<uint>& states) {
    ForeignWindowPublisher::TreeReply t = publisher_->Tree();
    parents = t.parents;
    classes = t.classes;
    titles = t.titles;
    rects = t.rects;
    states = t.states;
    return t.ids;
  }
  Q_SCRIPTABLE int Capture(uint id, int x, int y, int width, int height, int& heightOut, QByteArray& rgb) {
    if (!publisher_->Exists(id)) return NoWindow<int>();
    const ForeignImage image = publisher_->Capture(id, x, y, width, height);
    heightOut = image.height;
    rgb = image.rgb;
    return image.width;
  }
  Q_SCRIPTABLE Q_NOREPLY void Post(uint id, uint msg, int wParam, int lParam) {
    // Seen from the event loop, after the sender has gone on.
    QMetaObject::invokeMethod(
        this,
        [this, id, msg, wParam, lParam] {
          if (publisher_->Exists(id)) publisher_->Receiver().Message(id, msg, wParam, lParam, true);
        },
        Qt::QueuedConnection);
  }
  Q_SCRIPTABLE int Send(uint id, uint msg, int wParam, int lParam) {
    if (!publisher_->Exists(id)) return NoWindow<int>();
    return publisher_->Receiver().Message(id, msg, wParam, lParam, false);
  }
  Q_SCRIPTABLE Q_NOREPLY void Key(uint virtualKey, bool up) {
    QMetaObject::invokeMethod(
        this, [this, virtualKey, up] { publisher_->Receiver().Key(virtualKey, up); }, Qt::QueuedConnection);
  }
  Q_SCRIPTABLE bool Show(uint id, uint command) {
    if (!publisher_->Exists(id)) return NoWindow<bool>();
    if (command < 1 || command > 5) return false;
    return publisher_->Show(id, static_cast<ShowCommand>(command));
  }

 private:
  template <class T>
  T NoWindow() {
    sendErrorReply(QString::fromLatin1(kNoWindowError), QStringLiteral("no such window"));
    return T{};
  }

  ForeignWindowPublisher* publisher_;
};

ForeignWindowPublisher::ForeignWindowPublisher(ForeignWindowReceiver& receiver, QObject* parent)
    : QObject(parent), receiver_(receiver) {
  static std::atomic<int> serial{0};
  const int n = serial.fetch_add(1);
  connectionName_ = QStringLiteral("sorrel-foreign-%1").arg(n);
  busName_ = QStringLiteral("%1P%2_%3").arg(QString::fromLatin1(kForeignBusPrefix)).arg(getpid()).arg(n);
  new ForeignWindowsFace(this);
}

ForeignWindowPublisher::~ForeignWindowPublisher() {
  if (published_) {
    QDBusConnection c(connectionName_);
    c.unregisterService(busName_);
    c.unregisterObject(QString::fromLatin1(kForeignPath));
  }
  QDBusConnection::disconnectFromBus(connectionName_);
}

ForeignWindowPublisher::Result ForeignWindowPublisher::Publish() {
  if (published_) return Result::Published;
  QDBusConnection c = QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName_);
  if (!c.isConnected()) return Result::NoBus;
  auto* face = findChild<ForeignWindowsFace*>();
  if (!c.registerObject(QString::fromLatin1(kForeignPath), face, QDBusConnection::ExportScriptableSlots))
    return Result::NoBus;
  if (!c.registerService(busName_)) {
    c.unregisterObject(QString::fromLatin1(kForeignPath));
    return Result::NoBus;
  }
  published_ = true;
  return Result::Published;
}

uint32_t ForeignWindowPublisher::Add(uint32_t parent, const QString& className, const QString& title,
                                     const QRect& screenRect, uint32_t state, PixelProvider pixels) {
  if (parent != 0 && !Exists(parent)) parent = 0;
  const uint32_t id = nextId_++;
  Window w;
  w.parent = parent;
  w.className = className;
  w.title = title;
  w.rect = screenRect;
  w.state = state;
  w.pixels = std::move(pixels);
  windows_.emplace(id, std::move(w));
  (parent ? windows_[parent].children : topLevel_).push_back(id);
  return id;
}

void ForeignWindowPublisher::Remove(uint32_t id) {
  auto it = windows_.find(id);
  if (it == windows_.end()) return;
  const std::vector<uint32_t> children = it->second.children;
  for (uint32_t c : children) Remove(c);
  it = windows_.find(id);
  auto& siblings = it->second.parent ? windows_[it->second.parent].children : topLevel_;
  siblings.erase(std::remove(siblings.begin(), siblings.end(), id), siblings.end());
  windows_.erase(it);
}

void ForeignWindowPublisher::SetTitle(uint32_t id, const QString& title) {
  if (auto it = windows_.find(id); it != windows_.end()) it->second.title = title;
}
void ForeignWindowPublisher::SetRect(uint32_t id, const QRect& screenRect) {
  if (auto it = windows_.find(id); it != windows_.end()) it->second.rect = screenRect;
}
void ForeignWindowPublisher::SetState(uint32_t id, uint32_t state) {
  if (auto it = windows_.find(id); it != windows_.end()) it->second.state = state;
}
void ForeignWindowPublisher::SetPixels(uint32_t id, PixelProvider pixels) {
  if (auto it = windows_.find(id); it != windows_.end()) it->second.pixels = std::move(pixels);
}
uint32_t ForeignWindowPublisher::State(uint32_t id) const {
  auto it = windows_.find(id);
  return it == windows_.end() ? 0 : it->second.state;
}
QRect ForeignWindowPublisher::Rect(uint32_t id) const {
  auto it = windows_.find(id);
  return it == windows_.end() ? QRect() : it->second.rect;
}
QString ForeignWindowPublisher::Title(uint32_t id) const {
  auto it = windows_.find(id);
  return it == windows_.end() ? QString() : it->second.title;
}

QString ForeignWindowPublisher::ClassName(uint32_t id) const {
  auto it = windows_.find(id);
  return it == windows_.end() ? QString() : it->second.className;
}

void ForeignWindowPublisher::AppendTree(uint32_t id, TreeReply& out) const {
  const Window& w = windows_.at(id);
  out.ids << id;
  out.parents << w.parent;
  out.classes << w.className;
  out.titles << w.title;
  out.rects << w.rect.x() << w.rect.y() << w.rect.width() << w.rect.height();
  out.states << w.state;
  for (uint32_t c : w.children) AppendTree(c, out);
}

ForeignWindowPublisher::TreeReply ForeignWindowPublisher::Tree() const {
  TreeReply out;
  for (uint32_t id : topLevel_) AppendTree(id, out);
  return out;
}

ForeignImage ForeignWindowPublisher::Capture(uint32_t id, int x, int y, int width, int height) const {
  ForeignImage image;
  auto it = windows_.find(id);
  if (it == windows_.end() || width <= 0 || height <= 0 || width > kMaxCaptureSide ||
      height > kMaxCaptureSide)
    return image;
  if (it->second.pixels) return it->second.pixels(x, y, width, height);
  // A window that draws nothing of its own is grey.
  image.width = width;
  image.height = height;
  image.rgb = QByteArray(qsizetype(width) * height * 3, char(0x80));
  return image;
}

bool ForeignWindowPublisher::Show(uint32_t id, ShowCommand command) {
  if (!Exists(id) || !receiver_.Show(id, command)) return false;
  uint32_t& state = windows_[id].state;
  switch (command) {
    case ShowCommand::Forward:
      break;
    case ShowCommand::Minimise:
      state |= kMinimised;
      break;
    case ShowCommand::Restore:
      // Back to what it was before it was minimised.
      state = (state & ~kMinimised) | kVisible;
      break;
    case ShowCommand::Maximise:
      state = (state & ~kMinimised) | kMaximised | kVisible;
      break;
    case ShowCommand::Normal:
      state = (state & ~(kMinimised | kMaximised)) | kVisible;
      break;
  }
  return true;
}

// ---- client ----------------------------------------------------------------------------

bool ForeignWindowClient::Match::Accepts(const ForeignWindowInfo& w) const {
  if (className && w.className != *className) return false;
  if (!title) return true;
  if (titleContains) return w.title.contains(*title);
  if (titlePrefix) return w.title.startsWith(*title);
  return w.title == *title;
}

ForeignHandle ForeignWindowClient::HandleFor(const QString& owner, uint32_t id) {
  std::lock_guard lock(mutex_);
  const auto key = std::make_pair(owner, id);
  if (auto it = byRef_.find(key); it != byRef_.end()) return it->second;
  const ForeignHandle h = next_++;
  byRef_.emplace(key, h);
  byHandle_.emplace(h, Ref{owner, id});
  return h;
}

std::optional<ForeignWindowClient::Ref> ForeignWindowClient::RefOf(ForeignHandle h) {
  std::lock_guard lock(mutex_);
  auto it = byHandle_.find(h);
  if (it == byHandle_.end()) return std::nullopt;
  return it->second;
}

std::vector<QString> ForeignWindowClient::PeerOwners() {
  std::vector<QString> owners;
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return owners;
  const QDBusMessage names = bus.call(DaemonCall("ListNames", QString()), QDBus::Block, timeoutMs_);
  if (names.type() != QDBusMessage::ReplyMessage || names.arguments().size() != 1) return owners;
  for (const QString& n : names.arguments().front().toStringList()) {
    if (!n.startsWith(QLatin1String(kForeignBusPrefix))) continue;
    const QDBusMessage r = bus.call(DaemonCall("GetNameOwner", n), QDBus::Block, timeoutMs_);
    if (r.type() == QDBusMessage::ReplyMessage && r.arguments().size() == 1)
      owners.push_back(r.arguments().front().toString());
  }
  std::sort(owners.begin(), owners.end(),
            [](const QString& a, const QString& b) { return ConnectionOrder(a) < ConnectionOrder(b); });
  owners.erase(std::unique(owners.begin(), owners.end()), owners.end());
  return owners;
}

std::vector<ForeignWindowClient::Peer> ForeignWindowClient::Trees(const std::vector<QString>& owners) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  std::vector<QDBusPendingCall> calls;
  calls.reserve(owners.size());
  for (const QString& o : owners) calls.push_back(bus.asyncCall(Call(o, "Tree", {}), PeerTimeoutMs(o)));
  std::vector<Peer> peers;
  for (size_t i = 0; i < owners.size(); ++i) {
    calls[i].waitForFinished();
    const QDBusMessage r = calls[i].reply();
    if (r.type() == QDBusMessage::ErrorMessage) {
      // A peer that hangs keeps its windows, as a window system keeps a hung program's:
      // its last tree stands while its connection is on the bus.  Gone, it is forgotten.
      const bool hung =
          r.errorName() == QLatin1String("org.freedesktop.DBus.Error.NoReply") && OnBus(owners[i]);
      std::lock_guard lock(mutex_);
      if (hung)
        hung_.insert(owners[i]);
      else
        hung_.erase(owners[i]);
      if (auto it = lastTrees_.find(owners[i]); it != lastTrees_.end()) {
        if (hung)
          peers.push_back(it->second);
        else
          lastTrees_.erase(it);
      }
      continue;
    }
    {
      std::lock_guard lock(mutex_);
      hung_.erase(owners[i]);
    }
    if (r.type() != QDBusMessage::ReplyMessage || r.signature() != QLatin1String("auauasasaiau")) continue;
    const QList<QVariant> a = r.arguments();
    QList<uint> ids, parents, states;
    QStringList classes, titles;
    QList<int> rects;
    if (!Take(a[0], ids) || !Take(a[1], parents) || !Take(a[2], classes) || !Take(a[3], titles) ||
        !Take(a[4], rects) || !Take(a[5], states))
      continue;
    const qsizetype n = ids.size();
    if (n > kMaxWindows || parents.size() != n || classes.size() != n || titles.size() != n ||
        rects.size() != 4 * n || states.size() != n)
      continue;
    Peer peer;
    peer.owner = owners[i];
    // A parent must come before its children; entries that break this (or repeat an id)
    // are left out, and with them whatever hangs below them.
    std::map<uint, bool> shown;  // by id, of the entries taken
    for (qsizetype k = 0; k < n; ++k) {
      if (ids[k] == 0 || shown.count(ids[k]) || (parents[k] != 0 && !shown.count(parents[k]))) continue;
      shown[ids[k]] = (states[k] & kVisible) && (parents[k] == 0 || shown[parents[k]]);
      ForeignWindowInfo w;
      w.handle = HandleFor(peer.owner, ids[k]);
      w.parent = parents[k] ? HandleFor(peer.owner, parents[k]) : 0;
      w.className = classes[k];
      w.title = titles[k];
      w.rect = QRect(rects[4 * k], rects[4 * k + 1], rects[4 * k + 2], rects[4 * k + 3]);
      w.state = states[k];
      w.shown = shown[ids[k]];
      peer.windows.push_back(std::move(w));
    }
    {
      std::lock_guard lock(mutex_);
      lastTrees_[peer.owner] = peer;
    }
    peers.push_back(std::move(peer));
  }
  return peers;
}

std::optional<ForeignWindowClient::Peer> ForeignWindowClient::PeerOf(ForeignHandle h) {
  const auto ref = RefOf(h);
  if (!ref) return std::nullopt;
  std::vector<Peer> peers = Trees({ref->owner});
  if (peers.empty()) return std::nullopt;
  return std::move(peers.front());
}

int ForeignWindowClient::PeerTimeoutMs(const QString& owner) {
  // A peer found hung is not waited for in full again until it answers: a window system
  // does not wait on a hung program either.
  std::lock_guard lock(mutex_);
  return hung_.count(owner) ? std::min(timeoutMs_, kHungPeerTimeoutMs) : timeoutMs_;
}

bool ForeignWindowClient::OnBus(const QString& owner) {
  const QDBusMessage there =
      QDBusConnection::sessionBus().call(DaemonCall("NameHasOwner", owner), QDBus::Block, timeoutMs_);
  return there.type() == QDBusMessage::ReplyMessage && there.signature() == QLatin1String("b") &&
         there.arguments().front().toBool();
}

std::vector<ForeignWindowInfo> ForeignWindowClient::TopLevelWindows() {
  std::vector<ForeignWindowInfo> out;
  const std::vector<QString> owners = PeerOwners();
  {
    // Peers that left the bus are not asked again: their trees go here.
    std::lock_guard lock(mutex_);
    std::erase_if(lastTrees_, [&](const auto& t) {
      return std::find(owners.begin(), owners.end(), t.first) == owners.end();
    });
  }
  for (Peer& p : Trees(owners))
    for (ForeignWindowInfo& w : p.windows)
      if (w.parent == 0) out.push_back(std::move(w));
  return out;
}

std::vector<ForeignWindowInfo> ForeignWindowClient::ChildWindows(ForeignHandle parent, bool allLevels) {
  std::vector<ForeignWindowInfo> out;
  const auto peer = PeerOf(parent);
  if (!peer) return out;
  std::set<ForeignHandle> below{parent};
  for (const ForeignWindowInfo& w : peer->windows) {
    if (!below.count(w.parent)) continue;
    if (allLevels) below.insert(w.handle);
    out.push_back(w);
  }
  // Direct children only: those whose parent is `parent` itself.
  if (!allLevels)
    out.erase(std::remove_if(out.begin(), out.end(), [&](const auto& w) { return w.parent != parent; }),
              out.end());
  return out;
}

std::optional<ForeignWindowInfo> ForeignWindowClient::Info(ForeignHandle window) {
  const auto peer = PeerOf(window);
  if (!peer) return std::nullopt;
  for (const ForeignWindowInfo& w : peer->windows)
    if (w.handle == window) return w;
  return std::nullopt;
}

ForeignHandle ForeignWindowClient::FindTopLevel(const Match& match) {
  for (const ForeignWindowInfo& w : TopLevelWindows())
    if (match.Accepts(w)) return w.handle;
  return 0;
}

ForeignHandle ForeignWindowClient::FindChild(ForeignHandle parent, const Match& match) {
  for (const ForeignWindowInfo& w : ChildWindows(parent, true))
    if (match.Accepts(w)) return w.handle;
  return 0;
}

std::optional<ForeignImage> ForeignWindowClient::Capture(ForeignHandle window, int x, int y, int width,
                                                         int height) {
  const auto ref = RefOf(window);
  if (!ref) return std::nullopt;
  const QDBusMessage r = QDBusConnection::sessionBus().call(
      Call(ref->owner, "Capture", {ref->id, x, y, width, height}), QDBus::Block, PeerTimeoutMs(ref->owner));
  if (r.type() != QDBusMessage::ReplyMessage || r.signature() != QLatin1String("iiay")) return std::nullopt;
  ForeignImage image;
  image.width = r.arguments()[0].toInt();
  image.height = r.arguments()[1].toInt();
  image.rgb = r.arguments()[2].toByteArray();
  return image;
}

bool ForeignWindowClient::Post(ForeignHandle window, uint32_t msg, int32_t wParam, int32_t lParam) {
  const auto ref = RefOf(window);
  if (!ref) return false;
  QDBusConnection bus = QDBusConnection::sessionBus();
  QDBusMessage m = Call(ref->owner, "Post", {ref->id, msg, wParam, lParam});
  if (!bus.send(m)) return false;
  // A round trip to the bus daemon after the post: it has routed the post by then, and
  // says whether the peer is still there.
  return OnBus(ref->owner);
}

std::optional<int32_t> ForeignWindowClient::Send(ForeignHandle window, uint32_t msg, int32_t wParam,
                                                 int32_t lParam, int timeoutMs) {
  const auto ref = RefOf(window);
  if (!ref) return std::nullopt;
  const QDBusMessage r = QDBusConnection::sessionBus().call(
      Call(ref->owner, "Send", {ref->id, msg, wParam, lParam}), QDBus::Block, std::max(timeoutMs, 1));
  if (r.type() != QDBusMessage::ReplyMessage || r.signature() != QLatin1String("i")) return std::nullopt;
  return r.arguments().front().toInt();
}

bool ForeignWindowClient::KeyEvent(uint32_t virtualKey, bool up) {
  std::optional<QString> owner;
  {
    std::lock_guard lock(mutex_);
    owner = keyboardOwner_;
  }
  if (!owner) return false;
  QDBusMessage m = Call(*owner, "Key", {virtualKey, up});
  return QDBusConnection::sessionBus().send(m);
}

bool ForeignWindowClient::Show(ForeignHandle window, ShowCommand command) {
  const auto ref = RefOf(window);
  if (!ref) return false;
  const QDBusMessage r =
      QDBusConnection::sessionBus().call(Call(ref->owner, "Show", {ref->id, static_cast<uint>(command)}),
                                         QDBus::Block, PeerTimeoutMs(ref->owner));
  if (r.type() != QDBusMessage::ReplyMessage || r.signature() != QLatin1String("b") ||
      !r.arguments().front().toBool())
    return false;
  if (command != ShowCommand::Minimise) {
    std::lock_guard lock(mutex_);
    keyboardOwner_ = ref->owner;
  }
  return true;
}

std::optional<uint32_t> ForeignWindowClient::ProcessId(ForeignHandle window) {
  const auto ref = RefOf(window);
  if (!ref) return std::nullopt;
  const QDBusMessage r = QDBusConnection::sessionBus().call(
      DaemonCall("GetConnectionUnixProcessID", ref->owner), QDBus::Block, timeoutMs_);
  if (r.type() != QDBusMessage::ReplyMessage || r.signature() != QLatin1String("u")) return std::nullopt;
  return r.arguments().front().toUInt();
}

bool ForeignWindowClient::Terminate(ForeignHandle window) {
  const auto pid = ProcessId(window);
  if (!pid || *pid <= 1 || pid_t(*pid) == getpid()) return false;
  return kill(pid_t(*pid), SIGKILL) == 0;
}

}  // namespace sorrel::desktop

#include "ForeignWindows.moc"
