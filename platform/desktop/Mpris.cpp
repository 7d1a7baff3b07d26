#include "platform/desktop/Mpris.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QMetaObject>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

namespace sorrel::desktop {

namespace {

// The longest URI looked at: a maximal path with every byte percent-encoded, and room
// for the scheme and host.
constexpr qsizetype kMaxUri = 3 * 4096 + 64;

QString StatusText(TMprisStatus s) {
  switch (s) {
    case TMprisStatus::Playing:
      return QStringLiteral("Playing");
    case TMprisStatus::Paused:
      return QStringLiteral("Paused");
    case TMprisStatus::Stopped:
      break;
  }
  return QStringLiteral("Stopped");
}

bool SameTrack(const TMprisTrack& a, const TMprisTrack& b) {
  return a.row == b.row && a.lengthUs == b.lengthUs && a.title == b.title && a.artist == b.artist &&
         a.album == b.album && a.fileName == b.fileName;
}

bool HasTrack(const TMprisTrack& t) { return t.row >= 0; }

QVariantMap MetadataOf(const TMprisTrack& t) {
  QVariantMap m;
  if (!HasTrack(t)) return m;
  m.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(TMpris::TrackId(t.row))));
  if (t.lengthUs > 0) m.insert(QStringLiteral("mpris:length"), static_cast<qlonglong>(t.lengthUs));
  // QString::fromStdString replaces malformed UTF-8, so the bus library never sees it.
  if (!t.title.empty()) m.insert(QStringLiteral("xesam:title"), QString::fromStdString(t.title));
  if (!t.artist.empty())
    m.insert(QStringLiteral("xesam:artist"), QStringList{QString::fromStdString(t.artist)});
  if (!t.album.empty()) m.insert(QStringLiteral("xesam:album"), QString::fromStdString(t.album));
  if (!t.fileName.empty()) m.insert(QStringLiteral("xesam:url"), TMpris::FileUrl(t.fileName));
  return m;
}

// Seek and SetPosition need a song with a known length that is open (not stopped).
bool Seekable(TMprisStatus s, const TMprisTrack& t) {
  return s != TMprisStatus::Stopped && HasTrack(t) && t.lengthUs > 0;
}

double VolumeOf(int level) { return std::clamp(level, 0, 100) / 100.0; }

int64_t SaturatingAdd(int64_t a, int64_t b) {
  int64_t r = 0;
  if (__builtin_add_overflow(a, b, &r))
    return b < 0 ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
  return r;
}

}  // namespace

// org.mpris.MediaPlayer2
class TMprisRootAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
  Q_PROPERTY(bool CanQuit READ CanQuit)
  Q_PROPERTY(bool CanRaise READ CanRaise)
  Q_PROPERTY(bool HasTrackList READ HasTrackList)
  Q_PROPERTY(QString Identity READ Identity)
  Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
  Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
  Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)

 public:
  explicit TMprisRootAdaptor(TMpris* m) : QDBusAbstractAdaptor(m), mpris_(m) {}

  bool CanQuit() const { return true; }
  bool CanRaise() const { return true; }
  bool HasTrackList() const { return false; }
  QString Identity() const { return QStringLiteral("Tarn's MP3Player"); }
  QString DesktopEntry() const { return QStringLiteral("sorrel"); }
  QStringList SupportedUriSchemes() const { return {QStringLiteral("file")}; }
  QStringList SupportedMimeTypes() const {
    return {QStringLiteral("audio/mpeg"), QStringLiteral("audio/x-mpegurl"),
            QStringLiteral("application/x-sorrel-pdr"), QStringLiteral("application/x-sorrel-pfl")};
  }

 public Q_SLOTS:
  void Raise() {
    if (!mpris_->Host().Busy()) mpris_->Host().Raise();
  }
  void Quit() { mpris_->Host().RunCommand(4, 0); }

 private:
  TMpris* mpris_;
};

// org.mpris.MediaPlayer2.Player.  The property setters are not slots, so that they do
// not turn into methods of the interface.
class TMprisPlayerAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
  Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
  Q_PROPERTY(QString LoopStatus READ LoopStatus WRITE SetLoopStatus)
  Q_PROPERTY(double Rate READ Rate WRITE SetRate)
  Q_PROPERTY(bool Shuffle READ Shuffle WRITE SetShuffle)
  Q_PROPERTY(QVariantMap Metadata READ Metadata)
  Q_PROPERTY(double Volume READ Volume WRITE SetVolume)
  Q_PROPERTY(qlonglong Position READ Position)
  Q_PROPERTY(double MinimumRate READ Rate)
  Q_PROPERTY(double MaximumRate READ Rate)
  Q_PROPERTY(bool CanGoNext READ CanGoNext)
  Q_PROPERTY(bool CanGoPrevious READ CanGoPrevious)
  Q_PROPERTY(bool CanPlay READ CanPlay)
  Q_PROPERTY(bool CanPause READ CanPause)
  Q_PROPERTY(bool CanSeek READ CanSeek)
  Q_PROPERTY(bool CanControl READ CanControl)

 public:
  explicit TMprisPlayerAdaptor(TMpris* m) : QDBusAbstractAdaptor(m), mpris_(m) {}

  QString PlaybackStatus() const { return StatusText(Host().Status()); }
  // The play order wraps after its last song.
  QString LoopStatus() const { return QStringLiteral("Playlist"); }
  void SetLoopStatus(const QString&) {}
  double Rate() const { return 1.0; }
  void SetRate(double) {}
  bool Shuffle() const { return Host().Shuffle(); }
  void SetShuffle(bool on) {
    if (on != Host().Shuffle()) Host().RunCommand(18, 0);
  }
  QVariantMap Metadata() const { return MetadataOf(Host().CurrentTrack()); }
  double Volume() const { return VolumeOf(Host().MasterLevel()); }
  void SetVolume(double v) {
    if (std::isnan(v) || Host().Busy()) return;
    const int level = static_cast<int>(std::lround(std::clamp(v, 0.0, 1.0) * 100));
    if (level != Host().MasterLevel()) Host().SetMasterLevel(level);
  }
  qlonglong Position() const {
    return HasTrack(Host().CurrentTrack()) ? std::max<int64_t>(Host().PositionUs(), 0) : 0;
  }
  bool CanGoNext() const { return Host().HasSongs(); }
  bool CanGoPrevious() const { return Host().HasSongs(); }
  bool CanPlay() const { return Host().HasSongs(); }
  bool CanPause() const { return HasTrack(Host().CurrentTrack()); }
  bool CanSeek() const { return Seekable(Host().Status(), Host().CurrentTrack()); }
  bool CanControl() const { return true; }

 public Q_SLOTS:
  void Next() { Host().RunCommand(9, 0); }
  void Previous() { Host().RunCommand(8, 0); }
  void Pause() {
    if (Host().Status() == TMprisStatus::Playing) Host().RunCommand(5, 0);
  }
  void PlayPause() {
    // Command 5 does nothing when stopped; the media key should start the song then.
    if (Host().Status() == TMprisStatus::Stopped)
      Play();
    else
      Host().RunCommand(5, 0);
  }
  void Play() {
    TMprisHost& h = Host();
    if (!h.HasSongs()) return;
    switch (h.Status()) {
      case TMprisStatus::Paused:
        h.RunCommand(5, 0);
        break;
      case TMprisStatus::Stopped:
        if (!h.Busy()) h.PlayCurrent();
        break;
      case TMprisStatus::Playing:
        break;
    }
  }
  void Stop() {
    if (!Host().Busy() && Host().Status() != TMprisStatus::Stopped) Host().Stop();
  }
  void Seek(qlonglong offset) {
    TMprisHost& h = Host();
    const TMprisTrack t = h.CurrentTrack();
    if (h.Busy() || !Seekable(h.Status(), t)) return;
    const int64_t target = SaturatingAdd(h.PositionUs(), offset);
    if (target > t.lengthUs)
      h.RunCommand(9, 0);  // beyond the end: as the song's end, the next song
    else
      h.SetPositionUs(std::max<int64_t>(target, 0));
  }
  void SetPosition(const QDBusObjectPath& trackId, qlonglong position) {
    TMprisHost& h = Host();
    const TMprisTrack t = h.CurrentTrack();
    if (h.Busy() || !Seekable(h.Status(), t)) return;
    // A client that read the metadata before the song changed means another song.
    if (trackId.path() != TMpris::TrackId(t.row)) return;
    if (position < 0 || position > t.lengthUs) return;
    h.SetPositionUs(position);
  }
  // The message is Qt's, not an argument of the method: it lets a refusal be answered
  // with an error.
  void OpenUri(const QString& uri, const QDBusMessage& call) {
    QString why;
    const auto target = TMpris::OpenTarget(uri, &why);
    if (!target) {
      call.setDelayedReply(true);
      mpris_->Connection().send(call.createErrorReply(QDBusError::InvalidArgs, why));
      return;
    }
    if (Host().Busy()) return;
    if (target->list)
      Host().OpenList(target->path);
    else
      Host().PlaySong(target->path);
  }

 Q_SIGNALS:
  void Seeked(qlonglong Position);

 private:
  TMprisHost& Host() const { return mpris_->Host(); }
  TMpris* mpris_;
};

TMpris::TMpris(TMprisHost& host, QObject* parent)
    : QObject(parent),
      host_(host),
      root_(new TMprisRootAdaptor(this)),
      player_(new TMprisPlayerAdaptor(this)) {
  static std::atomic<int> serial{0};
  connectionName_ = QStringLiteral("sorrel-mpris-%1").arg(serial.fetch_add(1));
}

TMpris::~TMpris() {
  if (published_) {
    QDBusConnection c = Connection();
    c.unregisterService(busName_);
    c.unregisterObject(QString::fromLatin1(kMprisObjectPath));
  }
  QDBusConnection::disconnectFromBus(connectionName_);
}

QDBusConnection TMpris::Connection() const { return QDBusConnection(connectionName_); }

TMpris::Result TMpris::Publish() {
  if (published_) return Result::Published;
  QDBusConnection c = QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName_);
  if (!c.isConnected()) return Result::NoBus;
  const QString path = QString::fromLatin1(kMprisObjectPath);
  if (!c.registerObject(path, this, QDBusConnection::ExportAdaptors)) return Result::NoBus;
  // A second process of ours (another session's bus is not shared) takes the instance
  // name the MPRIS rules give for it.
  const QString names[] = {
      QString::fromLatin1(kMprisBusName),
      QStringLiteral("%1.instance%2").arg(QString::fromLatin1(kMprisBusName)).arg(getpid())};
  for (const QString& name : names) {
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> r = c.interface()->registerService(
        name, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
    if (!r.isValid()) break;
    if (r.value() == QDBusConnectionInterface::ServiceRegistered) {
      busName_ = name;
      published_ = true;
      sent_ = Take();
      return Result::Published;
    }
  }
  c.unregisterObject(path);
  return Result::NoBus;
}

void TMpris::Changed() {
  if (!published_ || flushQueued_) return;
  flushQueued_ = true;
  QMetaObject::invokeMethod(this, &TMpris::Flush, Qt::QueuedConnection);
}

void TMpris::Seeked(int64_t positionUs) {
  if (!published_) return;
  seeked_ = std::max<int64_t>(positionUs, 0);
  Changed();
}

TMpris::TSnapshot TMpris::Take() const {
  TSnapshot s;
  s.status = host_.Status();
  s.track = host_.CurrentTrack();
  s.shuffle = host_.Shuffle();
  s.level = std::clamp(host_.MasterLevel(), 0, 100);
  s.hasSongs = host_.HasSongs();
  return s;
}

void TMpris::Flush() {
  flushQueued_ = false;
  if (!published_) return;
  const TSnapshot now = Take();
  QVariantMap changed;
  if (now.status != sent_.status) changed.insert(QStringLiteral("PlaybackStatus"), StatusText(now.status));
  if (!SameTrack(now.track, sent_.track)) changed.insert(QStringLiteral("Metadata"), MetadataOf(now.track));
  if (now.shuffle != sent_.shuffle) changed.insert(QStringLiteral("Shuffle"), now.shuffle);
  if (now.level != sent_.level) changed.insert(QStringLiteral("Volume"), VolumeOf(now.level));
  if (now.hasSongs != sent_.hasSongs) {
    for (const char* name : {"CanGoNext", "CanGoPrevious", "CanPlay"})
      changed.insert(QString::fromLatin1(name), now.hasSongs);
  }
  if (HasTrack(now.track) != HasTrack(sent_.track))
    changed.insert(QStringLiteral("CanPause"), HasTrack(now.track));
  const bool canSeek = Seekable(now.status, now.track);
  if (canSeek != Seekable(sent_.status, sent_.track)) changed.insert(QStringLiteral("CanSeek"), canSeek);
  sent_ = now;

  QDBusConnection c = Connection();
  if (!changed.isEmpty()) {
    QDBusMessage m = QDBusMessage::createSignal(QString::fromLatin1(kMprisObjectPath),
                                                QStringLiteral("org.freedesktop.DBus.Properties"),
                                                QStringLiteral("PropertiesChanged"));
    m << QString::fromLatin1(kMprisPlayerInterface) << changed << QStringList();
    c.send(m);
  }
  // After the new song's metadata, so that clients place the position in it.
  if (seeked_) {
    emit player_->Seeked(static_cast<qlonglong>(*seeked_));
    seeked_.reset();
  }
}

QString TMpris::TrackId(int row) { return QString::fromLatin1(kMprisTrackPrefix) + QString::number(row); }

QString TMpris::FileUrl(const std::string& path) {
  const QByteArray bytes(path.data(), static_cast<qsizetype>(path.size()));
  return QStringLiteral("file://") + QString::fromLatin1(bytes.toPercentEncoding("/"));
}

std::optional<TMpris::TOpenTarget> TMpris::OpenTarget(const QString& uri, QString* why) {
  const auto refuse = [why](const char* text) -> std::optional<TOpenTarget> {
    if (why) *why = QString::fromLatin1(text);
    return std::nullopt;
  };
  if (uri.size() > kMaxUri) return refuse("URI too long");
  const QUrl url(uri, QUrl::StrictMode);
  if (!url.isValid()) return refuse("not a valid URI");
  if (url.scheme().compare(QLatin1String("file"), Qt::CaseInsensitive) != 0)
    return refuse("only file: URIs are played");
  const QString host = url.host();
  if (!host.isEmpty() && host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0)
    return refuse("not a file of this machine");
  // The path's own bytes: file names need not be UTF-8.
  const QByteArray path = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
  if (!path.startsWith('/')) return refuse("not an absolute path");
  if (path.contains('\0')) return refuse("not a valid path");

  const qsizetype slash = path.lastIndexOf('/');
  const qsizetype dot = path.lastIndexOf('.');
  const QByteArray ext = dot > slash ? path.mid(dot + 1).toLower() : QByteArray();
  TOpenTarget target;
  if (ext == "mp3")
    target.list = false;
  else if (ext == "pdr" || ext == "pfl" || ext == "m3u")
    target.list = true;
  else
    return refuse("not an MP3 file or a play list (.pdr, .pfl, .m3u)");

  // stat does not open, so a FIFO or a device cannot block us here.
  struct stat st {};
  if (stat(path.constData(), &st) != 0) return refuse("no such file");
  if (!S_ISREG(st.st_mode)) return refuse("not a regular file");
  target.path.assign(path.constData(), static_cast<size_t>(path.size()));
  return target;
}

}  // namespace sorrel::desktop

#include "Mpris.moc"
