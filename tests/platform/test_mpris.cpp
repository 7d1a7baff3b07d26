// MPRIS 2 as the desktop sees it: a real client (Debian's playerctl) and direct bus
// calls against a fake main window.  Runs inside a private session bus; while a client
// runs, this process keeps its event loop going so the player's object can answer.
#include "platform/desktop/Mpris.h"

#include "tests/platform/CoreApp.h"
#include "tests/platform/ProcessHelpers.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

using namespace sorrel::desktop;
using namespace testing_sorrel;

namespace {

// Runs the event loop until `pred` holds or `ms` have passed.
template <class F>
bool Spin(F pred, int ms = 10000) {
  if (pred()) return true;
  QEventLoop loop;
  QElapsedTimer clock;
  clock.start();
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (pred() || clock.elapsed() > ms) loop.quit();
  });
  poll.start(5);
  loop.exec();
  return pred();
}

// Lets queued work (the notifier's announcement, signals on their way) run.
void Settle() {
  bool done = false;
  QTimer::singleShot(100, [&] { done = true; });
  Spin([&] { return done; });
}

const QString kPath = QString::fromLatin1(kMprisObjectPath);
const QString kPlayer = QString::fromLatin1(kMprisPlayerInterface);
const QString kRoot = QString::fromLatin1(kMprisRootInterface);
const QString kProps = QStringLiteral("org.freedesktop.DBus.Properties");

// The main window as MPRIS sees it: a play order, a dispatcher with its busy flag that
// runs commands 4, 5, 8, 9 and 18, and the notifier told after every change, as the
// window does.  `during` runs inside a command, like a wait that processes messages.
class FakeWindow : public TMprisHost {
 public:
  struct Song {
    std::string title, artist, album, file;
    int64_t lengthUs;
  };
  std::vector<Song> songs;
  int row = 0;
  TMprisStatus status = TMprisStatus::Playing;
  int64_t positionUs = 0;
  bool shuffle = false;
  int level = 70;
  TMprisNotifier* notifier = nullptr;
  std::function<void(int)> during;

  std::vector<int> commands;     // run by the dispatcher
  int dropped = 0;               // commands that arrived while it was busy
  std::vector<std::string> log;  // the other requests
  int whileBusy = 0;             // other requests that arrived while busy (must stay 0)
  mutable int offThread = 0;     // calls on another thread than the GUI thread (must stay 0)

  TMprisStatus Status() const override { return Check(), status; }
  TMprisTrack CurrentTrack() const override {
    Check();
    TMprisTrack t;
    if (row < 0 || row >= static_cast<int>(songs.size())) return t;
    const Song& s = songs[row];
    t = {row, s.lengthUs, s.title, s.artist, s.album, s.file};
    return t;
  }
  int64_t PositionUs() const override { return Check(), positionUs; }
  bool Shuffle() const override { return Check(), shuffle; }
  int MasterLevel() const override { return Check(), level; }
  bool HasSongs() const override { return Check(), !songs.empty(); }
  bool Busy() const override { return Check(), busy_; }

  void RunCommand(int number, int32_t) override {
    Check();
    if (busy_) {
      ++dropped;
      return;
    }
    busy_ = true;
    commands.push_back(number);
    if (during) during(number);
    const int count = static_cast<int>(songs.size());
    switch (number) {
      case 5:
        if (status == TMprisStatus::Playing)
          status = TMprisStatus::Paused;
        else if (status == TMprisStatus::Paused)
          status = TMprisStatus::Playing;
        break;
      case 8:
      case 9:
        if (count > 0) {
          row = ((row + (number == 9 ? 1 : -1)) % count + count) % count;
          positionUs = 0;
          status = TMprisStatus::Playing;
        }
        break;
      case 18:
        shuffle = !shuffle;
        break;
    }
    busy_ = false;
    if (notifier) notifier->Changed();
  }
  void PlayCurrent() override {
    Note("PlayCurrent");
    status = TMprisStatus::Playing;
    positionUs = 0;
    if (notifier) notifier->Changed();
  }
  void Stop() override {
    Note("Stop");
    status = TMprisStatus::Stopped;
    positionUs = 0;
    if (notifier) notifier->Changed();
  }
  void SetPositionUs(int64_t us) override {
    Note("Seek " + std::to_string(us));
    positionUs = us;
    if (notifier) notifier->Seeked(us);
  }
  void SetMasterLevel(int l) override {
    Note("Level " + std::to_string(l));
    level = l;
    if (notifier) notifier->Changed();
  }
  void OpenList(const std::string& path) override { Note("List " + path); }
  void PlaySong(const std::string& path) override { Note("Song " + path); }
  void Raise() override { Note("Raise"); }

 private:
  void Check() const {
    if (QThread::currentThread() != QCoreApplication::instance()->thread()) ++offThread;
  }
  void Note(const std::string& what) {
    Check();
    if (busy_) ++whileBusy;
    log.push_back(what);
  }
  bool busy_ = false;
};

struct CtlResult {
  int code = -1;
  std::string out, err;
};

bool HavePlayerctl() { return !QStandardPaths::findExecutable(QStringLiteral("playerctl")).isEmpty(); }

// playerctl against our player, with our event loop running meanwhile.
CtlResult Ctl(const QStringList& args) {
  QProcess p;
  p.setProgram(QStringLiteral("playerctl"));
  p.setArguments(QStringList{QStringLiteral("--player=sorrel")} + args);
  p.start();
  if (!Spin([&] { return p.state() == QProcess::NotRunning; }, 20000)) {
    p.kill();
    p.waitForFinished();
  }
  CtlResult r;
  if (p.exitStatus() == QProcess::NormalExit) r.code = p.exitCode();
  r.out = p.readAllStandardOutput().trimmed().toStdString();
  r.err = p.readAllStandardError().trimmed().toStdString();
  return r;
}
std::string Out(const QStringList& args) { return Ctl(args).out; }

// A method call from another connection (as any client), waited for with the loop running.
QDBusMessage Call(const QString& iface, const QString& method, const QVariantList& args = {}) {
  QDBusMessage m = QDBusMessage::createMethodCall(QString::fromLatin1(kMprisBusName), kPath, iface, method);
  m.setArguments(args);
  QDBusPendingCall pc = QDBusConnection::sessionBus().asyncCall(m, 10000);
  Spin([&] { return pc.isFinished(); }, 15000);
  return pc.reply();
}

QVariant Plain(const QVariant& v) {
  if (v.canConvert<QDBusArgument>()) {
    const QDBusArgument a = v.value<QDBusArgument>();
    if (a.currentSignature() == QLatin1String("a{sv}")) return qdbus_cast<QVariantMap>(a);
    if (a.currentSignature() == QLatin1String("as")) return qdbus_cast<QStringList>(a);
  }
  return v;
}

QVariant Get(const QString& iface, const QString& name) {
  const QDBusMessage r = Call(kProps, QStringLiteral("Get"), {iface, name});
  if (r.type() != QDBusMessage::ReplyMessage || r.arguments().isEmpty()) return {};
  return Plain(r.arguments().front().value<QDBusVariant>().variant());
}

QDBusMessage Set(const QString& name, const QVariant& value) {
  return Call(kProps, QStringLiteral("Set"), {kPlayer, name, QVariant::fromValue(QDBusVariant(value))});
}

// What the player announces, in order of arrival.
class Announcements : public QObject {
  Q_OBJECT
 public:
  struct Event {
    QString what;  // "changed" or "seeked"
    QVariantMap props;
    QStringList invalidated;
    qlonglong position = 0;
  };
  std::vector<Event> events;

  bool Listen() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString service = QString::fromLatin1(kMprisBusName);
    return bus.connect(service, kPath, kProps, QStringLiteral("PropertiesChanged"), this,
                       SLOT(OnChanged(QString, QVariantMap, QStringList))) &&
           bus.connect(service, kPath, kPlayer, QStringLiteral("Seeked"), this, SLOT(OnSeeked(qlonglong)));
  }

 public Q_SLOTS:
  void OnChanged(const QString& iface, const QVariantMap& props, const QStringList& invalidated) {
    QVariantMap plain;
    for (auto it = props.begin(); it != props.end(); ++it) plain.insert(it.key(), Plain(it.value()));
    events.push_back({iface == kPlayer ? QStringLiteral("changed") : QStringLiteral("changed elsewhere"),
                      plain, invalidated, 0});
  }
  void OnSeeked(qlonglong position) { events.push_back({QStringLiteral("seeked"), {}, {}, position}); }
};

class Mpris : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_sorrel::EnsureCoreApp();
    dir_ = MakeTempDir();
    window_.songs = {
        {"ドライブ", "Tarn", "夜の道", dir_ + "/My Song #1.mp3", 201'500'000},
        {"Second", "", "", dir_ + "/b\xff.mp3", 60'000'000},
        {"", "", "", dir_ + "/c.mp3", 0},
    };
    window_.positionUs = 12'345'678;
    mpris_ = std::make_unique<TMpris>(window_);
    window_.notifier = mpris_.get();
    ASSERT_EQ(mpris_->Publish(), TMpris::Result::Published);
    ASSERT_EQ(mpris_->BusName(), QString::fromLatin1(kMprisBusName));
  }
  void TearDown() override {
    mpris_.reset();
    std::system(("rm -rf '" + dir_ + "'").c_str());
    EXPECT_EQ(window_.offThread, 0);
    EXPECT_EQ(window_.whileBusy, 0);
  }
  // Starts listening; true once the announcements reach `seen`.
  bool Listen(Announcements& seen) {
    if (!seen.Listen()) return false;
    // The bus takes the subscription in its own time: announce until one arrives.
    for (int i = 0; i < 50 && seen.events.empty(); ++i) {
      mpris_->Seeked(kMarker);
      Spin([&] { return !seen.events.empty(); }, 200);
    }
    const bool ok = !seen.events.empty();
    Drain(seen);
    seen.events.clear();
    return ok;
  }
  // Everything announced so far and nothing else: the pending announcement goes out,
  // then a marker seek, which arrives after it (one sender's signals keep their order).
  // Markers are left out of the answer.
  std::vector<Announcements::Event> Drain(Announcements& seen) {
    QCoreApplication::sendPostedEvents(mpris_.get(), QEvent::MetaCall);
    const qlonglong marker = kMarker + ++markers_;
    mpris_->Seeked(marker);
    EXPECT_TRUE(Spin([&] {
      return std::any_of(seen.events.begin(), seen.events.end(),
                         [&](const auto& e) { return e.position == marker; });
    }));
    std::vector<Announcements::Event> out;
    for (const Announcements::Event& e : seen.events)
      if (e.what != "seeked" || e.position < kMarker) out.push_back(e);
    seen.events.clear();
    return out;
  }
  static constexpr qlonglong kMarker = 900'000'000'000;
  qlonglong markers_ = 0;

  std::string Touch(const std::string& name) {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path) << "x";
    return path;
  }

  std::string dir_;
  FakeWindow window_;
  std::unique_ptr<TMpris> mpris_;
};

#define NEED_PLAYERCTL() \
  if (HavePlayerctl()) { \
  } else                 \
    GTEST_SKIP() << "playerctl is not installed (scripts/deps.sh installs it)"

}  // namespace

TEST_F(Mpris, RootAndFixedPlayerProperties) {
  EXPECT_EQ(Get(kRoot, "Identity"), QString("Tarn's MP3Player"));
  EXPECT_EQ(Get(kRoot, "DesktopEntry"), QString("sorrel"));
  EXPECT_EQ(Get(kRoot, "CanQuit"), true);
  EXPECT_EQ(Get(kRoot, "CanRaise"), true);
  EXPECT_EQ(Get(kRoot, "HasTrackList"), false);
  EXPECT_EQ(Get(kRoot, "SupportedUriSchemes"), QStringList{"file"});
  EXPECT_EQ(
      Get(kRoot, "SupportedMimeTypes"),
      (QStringList{"audio/mpeg", "audio/x-mpegurl", "application/x-sorrel-pdr", "application/x-sorrel-pfl"}));
  EXPECT_EQ(Get(kPlayer, "Rate"), 1.0);
  EXPECT_EQ(Get(kPlayer, "MinimumRate"), 1.0);
  EXPECT_EQ(Get(kPlayer, "MaximumRate"), 1.0);
  EXPECT_EQ(Get(kPlayer, "LoopStatus"), QString("Playlist"));
  EXPECT_EQ(Get(kPlayer, "CanControl"), true);
  // Writing the fixed ones is accepted and changes nothing.
  EXPECT_EQ(Set("Rate", 2.0).type(), QDBusMessage::ReplyMessage);
  EXPECT_EQ(Set("LoopStatus", QString("None")).type(), QDBusMessage::ReplyMessage);
  EXPECT_EQ(Get(kPlayer, "Rate"), 1.0);
  EXPECT_EQ(Get(kPlayer, "LoopStatus"), QString("Playlist"));
  // Read-only ones refuse.
  EXPECT_EQ(Set("PlaybackStatus", QString("Stopped")).type(), QDBusMessage::ErrorMessage);
  EXPECT_EQ(window_.status, TMprisStatus::Playing);

  // Exactly the methods and signal of the standard: no setter or helper leaks out.
  const QDBusMessage xml = Call("org.freedesktop.DBus.Introspectable", "Introspect");
  ASSERT_EQ(xml.type(), QDBusMessage::ReplyMessage);
  QXmlStreamReader r(xml.arguments().value(0).toString());
  QString iface;
  QStringList members;
  while (!r.atEnd()) {
    if (r.readNext() != QXmlStreamReader::StartElement) continue;
    if (r.name() == QLatin1String("interface")) iface = r.attributes().value("name").toString();
    if (iface.startsWith("org.mpris") &&
        (r.name() == QLatin1String("method") || r.name() == QLatin1String("signal")))
      members << iface.mid(10) + "." + r.attributes().value("name").toString();
  }
  members.sort();
  EXPECT_EQ(members,
            (QStringList{
                "MediaPlayer2.Player.Next", "MediaPlayer2.Player.OpenUri", "MediaPlayer2.Player.Pause",
                "MediaPlayer2.Player.Play", "MediaPlayer2.Player.PlayPause", "MediaPlayer2.Player.Previous",
                "MediaPlayer2.Player.Seek", "MediaPlayer2.Player.Seeked", "MediaPlayer2.Player.SetPosition",
                "MediaPlayer2.Player.Stop", "MediaPlayer2.Quit", "MediaPlayer2.Raise"}));

  EXPECT_EQ(Call(kRoot, "Raise").type(), QDBusMessage::ReplyMessage);
  EXPECT_EQ(Call(kRoot, "Quit").type(), QDBusMessage::ReplyMessage);
  EXPECT_EQ(window_.log, std::vector<std::string>{"Raise"});
  EXPECT_EQ(window_.commands, std::vector<int>{4});

  if (HavePlayerctl()) {
    EXPECT_EQ(Out({"-l"}), "sorrel");
  }
}

TEST_F(Mpris, PlayerctlReadsStatusMetadataAndPosition) {
  NEED_PLAYERCTL();
  EXPECT_EQ(Out({"status"}), "Playing");
  EXPECT_EQ(Out({"metadata", "--format",
                 "{{title}}|{{artist}}|{{album}}|{{mpris:length}}|{{xesam:url}}|{{mpris:trackid}}"}),
            "ドライブ|Tarn|夜の道|201500000|file://" + dir_ + "/My%20Song%20%231.mp3|'/org/sorrel/track/0'");
  window_.status = TMprisStatus::Paused;  // (playerctl moves a playing position on by itself)
  EXPECT_EQ(Out({"position"}), "12.345678");
  EXPECT_EQ(Get(kPlayer, "Position"), qlonglong(12'345'678));

  // Bytes that are not UTF-8 stay exact in the URL; missing tags are left out.
  window_.row = 1;
  EXPECT_EQ(Out({"status"}), "Paused");
  const QVariantMap m = Get(kPlayer, "Metadata").toMap();
  EXPECT_EQ(m.value("xesam:url").toString().toStdString(), "file://" + dir_ + "/b%FF.mp3");
  EXPECT_EQ(m.value("xesam:title"), QString("Second"));
  EXPECT_FALSE(m.contains("xesam:artist"));
  EXPECT_FALSE(m.contains("xesam:album"));
  EXPECT_EQ(m.value("mpris:trackid").value<QDBusObjectPath>().path(), QString("/org/sorrel/track/1"));

  // Malformed UTF-8 and NUL in a tag reach the client replaced, never break the reply.
  window_.songs[0].title = std::string("a\xc3\x28z\0q", 6);
  window_.songs[0].artist = "\xed\xa0\x80";  // a UTF-16 surrogate, not allowed in UTF-8
  window_.row = 0;
  const QVariantMap bad = Get(kPlayer, "Metadata").toMap();
  EXPECT_TRUE(bad.value("xesam:title").toString().startsWith("a\uFFFD(z"));
  EXPECT_EQ(bad.value("xesam:artist").toStringList().size(), 1);
  EXPECT_EQ(Out({"status"}), "Paused");

  // No current song: no metadata, position 0; a song of unknown length has no length.
  window_.row = 2;
  EXPECT_FALSE(Get(kPlayer, "Metadata").toMap().contains("mpris:length"));
  EXPECT_EQ(Get(kPlayer, "CanSeek"), false);
  window_.row = -1;
  window_.status = TMprisStatus::Stopped;
  EXPECT_EQ(Out({"status"}), "Stopped");
  EXPECT_TRUE(Get(kPlayer, "Metadata").toMap().isEmpty());
  EXPECT_EQ(Get(kPlayer, "Position"), qlonglong(0));
  EXPECT_EQ(Get(kPlayer, "CanPause"), false);
  EXPECT_EQ(Get(kPlayer, "CanPlay"), true);
  window_.songs.clear();
  EXPECT_EQ(Get(kPlayer, "CanPlay"), false);
  EXPECT_EQ(Get(kPlayer, "CanGoNext"), false);
}

TEST_F(Mpris, PlayerctlCommandsGoThroughTheDispatcher) {
  NEED_PLAYERCTL();
  Ctl({"next"});
  EXPECT_EQ(window_.row, 1);
  Ctl({"previous"});
  Ctl({"previous"});
  EXPECT_EQ(window_.row, 2);  // the order wraps
  Ctl({"play-pause"});
  EXPECT_EQ(window_.status, TMprisStatus::Paused);
  Ctl({"pause"});  // already paused: nothing
  Ctl({"play"});
  EXPECT_EQ(window_.status, TMprisStatus::Playing);
  Ctl({"play"});  // already playing: nothing
  Ctl({"pause"});
  EXPECT_EQ(window_.status, TMprisStatus::Paused);
  EXPECT_EQ(window_.commands, (std::vector<int>{9, 8, 8, 5, 5, 5}));
  EXPECT_TRUE(window_.log.empty());

  Ctl({"stop"});
  EXPECT_EQ(window_.status, TMprisStatus::Stopped);
  Ctl({"stop"});   // already stopped: nothing
  Ctl({"pause"});  // nothing to pause
  Ctl({"play"});   // stopped: the current row from its start
  EXPECT_EQ(window_.status, TMprisStatus::Playing);
  Ctl({"stop"});
  Ctl({"play-pause"});  // command 5 would do nothing when stopped; the key starts the song
  EXPECT_EQ(window_.status, TMprisStatus::Playing);
  EXPECT_EQ(window_.log, (std::vector<std::string>{"Stop", "PlayCurrent", "Stop", "PlayCurrent"}));
  EXPECT_EQ(window_.commands.size(), 6u);
}

TEST_F(Mpris, ShuffleAndVolume) {
  NEED_PLAYERCTL();
  EXPECT_EQ(Out({"shuffle"}), "Off");
  Ctl({"shuffle", "Toggle"});
  EXPECT_EQ(Out({"shuffle"}), "On");
  Ctl({"shuffle", "On"});  // already on: no command
  Ctl({"shuffle", "Off"});
  EXPECT_EQ(Out({"shuffle"}), "Off");
  Ctl({"shuffle", "Off"});
  EXPECT_EQ(window_.commands, (std::vector<int>{18, 18}));

  EXPECT_EQ(Out({"volume"}), "0.700000");
  Ctl({"volume", "0.25"});
  EXPECT_EQ(window_.level, 25);
  Ctl({"volume", "0.1+"});
  EXPECT_EQ(window_.level, 35);
  EXPECT_EQ(Out({"volume"}), "0.350000");
  // Out of range clamps, rounding goes to the nearest level, NaN is ignored, the same
  // level does not move the bar.
  Set("Volume", -1.0);
  EXPECT_EQ(window_.level, 0);
  Set("Volume", 7.5);
  EXPECT_EQ(window_.level, 100);
  Set("Volume", 0.555);
  EXPECT_EQ(window_.level, 56);
  Set("Volume", std::nan(""));
  Set("Volume", 0.5551);
  EXPECT_EQ(window_.level, 56);
  EXPECT_EQ(Set("Volume", QString("loud")).type(), QDBusMessage::ErrorMessage);
  EXPECT_EQ(window_.log,
            (std::vector<std::string>{"Level 25", "Level 35", "Level 0", "Level 100", "Level 56"}));
  EXPECT_EQ(window_.commands.size(), 2u);
}

TEST_F(Mpris, SeekAndSetPosition) {
  NEED_PLAYERCTL();
  Ctl({"position", "10"});  // SetPosition with the current track id
  Ctl({"position", "5+"});  // Seek
  Ctl({"position", "20-"});
  EXPECT_EQ(window_.log, (std::vector<std::string>{"Seek 10000000", "Seek 15000000", "Seek 0"}));
  window_.log.clear();

  const auto setPosition = [](const QString& track, qlonglong us) {
    return Call(kPlayer, "SetPosition", {QVariant::fromValue(QDBusObjectPath(track)), us});
  };
  // A stale track id, a negative position or one beyond the end: ignored.
  EXPECT_EQ(setPosition("/org/sorrel/track/1", 1000).type(), QDBusMessage::ReplyMessage);
  setPosition("/org/sorrel/track/0", -1);
  setPosition("/org/sorrel/track/0", 201'500'001);
  setPosition("/org/mpris/MediaPlayer2/TrackList/NoTrack", 1000);
  EXPECT_TRUE(window_.log.empty());
  setPosition("/org/sorrel/track/0", 201'500'000);  // the very end is allowed
  EXPECT_EQ(window_.log, std::vector<std::string>{"Seek 201500000"});

  // Seeking past either end: to 0 at the start, to the next song at the end; offsets
  // that would overflow do neither harm.
  window_.log.clear();
  window_.positionUs = 1'000'000;
  Call(kPlayer, "Seek", {qlonglong(std::numeric_limits<qlonglong>::min())});
  window_.positionUs = 1'000'000;
  Call(kPlayer, "Seek", {qlonglong(std::numeric_limits<qlonglong>::max())});
  EXPECT_EQ(window_.log, std::vector<std::string>{"Seek 0"});
  EXPECT_EQ(window_.commands, std::vector<int>{9});
  EXPECT_EQ(window_.row, 1);

  // Nothing to seek in: a song of unknown length, or stopped.
  window_.log.clear();
  window_.row = 2;
  Call(kPlayer, "Seek", {qlonglong(1)});
  window_.row = 0;
  window_.status = TMprisStatus::Stopped;
  Call(kPlayer, "Seek", {qlonglong(1)});
  setPosition("/org/sorrel/track/0", 5);
  EXPECT_TRUE(window_.log.empty());
}

TEST_F(Mpris, OpenUriPlaysMp3FilesAndListsAndRefusesTheRest) {
  NEED_PLAYERCTL();
  const std::string song = Touch("a b.MP3");
  const std::string list = Touch("car.pdr");
  const std::string files = Touch("mix.m3u");
  const std::string odd = Touch("x\xe9.pfl");  // a Latin-1 name, not UTF-8
  Ctl({"open", "file://" + QString::fromStdString(dir_) + "/a%20b.MP3"});
  Ctl({"open", "file://localhost" + QString::fromStdString(dir_) + "/car.pdr"});
  Call(kPlayer, "OpenUri", {"file:" + QString::fromStdString(dir_) + "/mix.m3u"});
  Call(kPlayer, "OpenUri", {"file://" + QString::fromStdString(dir_) + "/x%E9.pfl"});
  EXPECT_EQ(window_.log,
            (std::vector<std::string>{"Song " + song, "List " + list, "List " + files, "List " + odd}));
  window_.log.clear();

  mkfifo((dir_ + "/pipe.mp3").c_str(), 0644);
  mkdir((dir_ + "/folder.pdr").c_str(), 0755);
  Touch("notes.txt");
  symlink((dir_ + "/car.pdr").c_str(), (dir_ + "/link.pdr").c_str());
  const QString d = QString::fromStdString(dir_);
  const QStringList bad = {
      "http://example.com/a.mp3",
      "ftp:///" + d + "/car.pdr",
      "a.mp3",
      d + "/car.pdr",  // a path, not a URI
      "file:car.pdr",
      "file://otherhost" + d + "/car.pdr",
      "file://" + d + "/missing.mp3",
      "file://" + d + "/pipe.mp3",
      "file://" + d + "/folder.pdr",
      "file://" + d + "/notes.txt",
      "file://" + d + "/car.pdr%00.mp3",
      "file://" + d + "/%%%.mp3",
      "file://" + d + "/" + QString(20000, 'x') + ".mp3",
      "",
      "file://",
      QString::fromUtf8("\xef\xbf\xbf"),
  };
  for (const QString& uri : bad) {
    const QDBusMessage r = Call(kPlayer, "OpenUri", {uri});
    EXPECT_EQ(r.type(), QDBusMessage::ErrorMessage) << uri.left(80).toStdString();
    EXPECT_EQ(r.errorName(), "org.freedesktop.DBus.Error.InvalidArgs") << uri.left(80).toStdString();
  }
  EXPECT_TRUE(window_.log.empty());
  const CtlResult refused = Ctl({"open", "http://example.com/a.mp3"});  // a real client sees the refusal
  EXPECT_NE(refused.code, 0);
  EXPECT_NE(refused.err.find("only file: URIs are played"), std::string::npos) << refused.err;
  EXPECT_TRUE(window_.log.empty());
  Call(kPlayer, "OpenUri", {"file://" + d + "/link.pdr"});  // a link to a list is the list
  EXPECT_EQ(window_.log, std::vector<std::string>{"List " + dir_ + "/link.pdr"});
}

TEST_F(Mpris, ChangesAreAnnouncedOnceWithOnlyWhatChanged) {
  Announcements seen;
  ASSERT_TRUE(Listen(seen));

  // Nothing changed: nothing announced, however often the window says so.
  mpris_->Changed();
  mpris_->Changed();
  EXPECT_TRUE(Drain(seen).empty());

  window_.status = TMprisStatus::Paused;
  mpris_->Changed();
  auto events = Drain(seen);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].what, "changed");
  EXPECT_EQ(events[0].props.keys(), QStringList{"PlaybackStatus"});
  EXPECT_EQ(events[0].props.value("PlaybackStatus"), QString("Paused"));
  EXPECT_TRUE(events[0].invalidated.isEmpty());

  // Several changes before the loop runs again: one announcement with all of them.
  window_.shuffle = true;
  mpris_->Changed();
  window_.level = 40;
  mpris_->Changed();
  events = Drain(seen);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].props.keys(), (QStringList{"Shuffle", "Volume"}));
  EXPECT_EQ(events[0].props.value("Volume"), 0.4);

  // A change undone before the loop runs: nothing.
  window_.level = 90;
  mpris_->Changed();
  window_.level = 40;
  EXPECT_TRUE(Drain(seen).empty());

  // A new song: its metadata, and what it can do (song 2 has no length to seek in).
  window_.row = 2;
  mpris_->Changed();
  events = Drain(seen);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].props.keys(), (QStringList{"CanSeek", "Metadata"}));
  EXPECT_EQ(events[0].props.value("Metadata").toMap().value("mpris:trackid").value<QDBusObjectPath>().path(),
            QString("/org/sorrel/track/2"));

  // The same row with new tags (read after the song started) is new metadata too.
  window_.songs[2].title = "Late tag";
  mpris_->Changed();
  events = Drain(seen);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].props.keys(), QStringList{"Metadata"});
  EXPECT_EQ(events[0].props.value("Metadata").toMap().value("xesam:title"), QString("Late tag"));

  // The list emptied: no song, nothing to play.
  window_.songs.clear();
  window_.status = TMprisStatus::Stopped;
  mpris_->Changed();
  events = Drain(seen);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].props.keys(),
            (QStringList{"CanGoNext", "CanGoPrevious", "CanPause", "CanPlay", "Metadata", "PlaybackStatus"}));
  EXPECT_TRUE(events[0].props.value("Metadata").toMap().isEmpty());
  EXPECT_EQ(events[0].props.value("CanPlay"), false);
}

TEST_F(Mpris, SeekedFollowsTheNewSongsMetadata) {
  Announcements seen;
  ASSERT_TRUE(Listen(seen));
  // A back-seek into the previous song: the song changes, then the position is set.
  window_.row = 1;
  mpris_->Changed();
  mpris_->Seeked(3'000'000);
  mpris_->Seeked(55'000'000);  // only where the seeks ended counts
  auto events = Drain(seen);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].what, "changed");
  EXPECT_TRUE(events[0].props.contains("Metadata"));
  EXPECT_EQ(events[1].what, "seeked");
  EXPECT_EQ(events[1].position, 55'000'000);

  mpris_->Seeked(-5);
  events = Drain(seen);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].position, 0);

  // A client's seek is announced through the window's own notification.
  Call(kPlayer, "Seek", {qlonglong(-60'000'000)});
  events = Drain(seen);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].what, "seeked");
  EXPECT_EQ(events[0].position, 0);

  if (!HavePlayerctl()) return;
  Ctl({"next"});
  events = Drain(seen);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].props.value("Metadata").toMap().value("xesam:url").toString().toStdString(),
            "file://" + dir_ + "/c.mp3");
  EXPECT_EQ(window_.row, 2);
}

TEST_F(Mpris, AFloodOfCallsIsAnsweredAndDroppedWhileBusy) {
  Announcements seen;
  ASSERT_TRUE(seen.Listen());
  const std::string song = Touch("s.mp3");
  // The first next song waits inside the command, processing messages, until the
  // flood has reached it: what arrives meanwhile must not run.
  bool waited = false;
  window_.during = [&](int n) {
    if (n != 9 || waited) return;
    waited = true;
    Spin([&] { return window_.dropped >= 50; }, 20000);
  };
  QDBusConnection bus = QDBusConnection::sessionBus();
  const auto call = [&](const QString& iface, const QString& method, const QVariantList& args) {
    QDBusMessage m = QDBusMessage::createMethodCall(QString::fromLatin1(kMprisBusName), kPath, iface, method);
    m.setArguments(args);
    return bus.asyncCall(m, 60000);
  };
  std::vector<QDBusPendingCall> calls;
  std::vector<bool> mayFail;
  for (int i = 0; i < 1000; ++i) {
    QDBusPendingCall c = [&]() {
      switch (i % 10) {
        case 0:
          return call(kPlayer, "Next", {});
        case 1:
          return call(kPlayer, "PlayPause", {});
        case 2:
          return call(kPlayer, "Seek", {qlonglong(1'000'000)});
        case 3:
          return call(kProps, "Set",
                      {kPlayer, "Volume", QVariant::fromValue(QDBusVariant((i % 100) / 100.0))});
        case 4:
          return call(kPlayer, "OpenUri", {QString("http://x/%1.mp3").arg(i)});
        case 5:
          return call(kProps, "GetAll", {kPlayer});
        case 6:
          return call(kPlayer, "Previous", {});
        case 7:
          return call(kPlayer, "Stop", {});
        case 8:
          return call(kPlayer, "OpenUri", {QString::fromStdString("file://" + song)});
        default:
          return call(kPlayer, "Play", {});
      }
    }();
    calls.push_back(c);
    mayFail.push_back(i % 10 == 4);
  }
  ASSERT_TRUE(Spin(
      [&] {
        return std::all_of(calls.begin(), calls.end(),
                           [](const QDBusPendingCall& c) { return c.isFinished(); });
      },
      60000));
  int errors = 0;
  for (size_t i = 0; i < calls.size(); ++i) {
    const QDBusMessage r = calls[i].reply();
    if (mayFail[i]) {
      EXPECT_EQ(r.errorName(), "org.freedesktop.DBus.Error.InvalidArgs");
    } else if (r.type() != QDBusMessage::ReplyMessage) {
      ++errors;
      ADD_FAILURE() << i << ": " << r.errorName().toStdString() << " " << r.errorMessage().toStdString();
      if (errors > 5) break;
    }
  }
  EXPECT_TRUE(waited);
  EXPECT_GE(window_.dropped, 50);
  EXPECT_EQ(window_.whileBusy, 0);  // checked again in TearDown
  // Once the busy command has returned, commands run again.  (How many of the flood ran
  // depends on how fast the machine drained it while the first one waited.)
  const size_t ran = window_.commands.size();
  QDBusPendingCall after = call(kPlayer, "Next", {});
  ASSERT_TRUE(Spin([&] { return after.isFinished(); }, 60000));
  EXPECT_EQ(after.reply().type(), QDBusMessage::ReplyMessage);
  EXPECT_EQ(window_.commands.size(), ran + 1);
  EXPECT_EQ(Get(kPlayer, "CanControl"), true);
}

TEST_F(Mpris, ASecondPlayerTakesAnInstanceNameAndNamesAreGivenUp) {
  FakeWindow other;
  auto second = std::make_unique<TMpris>(other);
  ASSERT_EQ(second->Publish(), TMpris::Result::Published);
  EXPECT_EQ(second->BusName(), QString("%1.instance%2").arg(kMprisBusName).arg(getpid()));
  if (HavePlayerctl()) {
    const std::string list = Out({"-l"});
    EXPECT_NE(list.find("sorrel\n"), std::string::npos) << list;
    EXPECT_NE(list.find("sorrel.instance"), std::string::npos) << list;
  }
  const auto owned = [](const QString& name) {
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(name).value();
  };
  const QString instance = second->BusName();
  second.reset();
  EXPECT_TRUE(Spin([&] { return !owned(instance); }));
  mpris_.reset();
  EXPECT_TRUE(Spin([&] { return !owned(QString::fromLatin1(kMprisBusName)); }));
}

// Without a session bus: in a child process of this test program, with every way of
// finding a bus taken away.
TEST(MprisNoBus, NothingHappensAndNothingFails) {
  if (std::getenv("SORREL_MPRIS_NO_BUS_CHILD")) {
    testing_sorrel::EnsureCoreApp();
    FakeWindow window;
    TMpris mpris(window);
    window.notifier = &mpris;
    EXPECT_EQ(mpris.Publish(), TMpris::Result::NoBus);
    EXPECT_FALSE(mpris.IsPublished());
    EXPECT_TRUE(mpris.BusName().isEmpty());
    mpris.Changed();
    mpris.Seeked(1);
    Settle();
    EXPECT_TRUE(window.commands.empty());
    return;
  }
  const std::string dir = MakeTempDir();
  std::string out, err;
  const int rc = testing_sorrel::Run({"/proc/self/exe", "--gtest_filter=MprisNoBus.*"},
                                     {"SORREL_MPRIS_NO_BUS_CHILD=1", "DBUS_SESSION_BUS_ADDRESS=", "DISPLAY=",
                                      "XDG_RUNTIME_DIR=" + dir, "DBUS_STARTER_ADDRESS="},
                                     dir, 30000, &out, &err);
  EXPECT_EQ(rc, 0) << out << err;
  EXPECT_NE(out.find("[  PASSED  ] 1 test"), std::string::npos) << out;
  std::system(("rm -rf '" + dir + "'").c_str());
}

#include "test_mpris.moc"
