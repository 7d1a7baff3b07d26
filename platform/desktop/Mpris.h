// MPRIS 2 on the session bus: the desktop's media controls and `playerctl` drive the
// player through TMprisHost and are told of changes through TMprisNotifier.
//
//   bus name   org.mpris.MediaPlayer2.sorrel (org.mpris.MediaPlayer2.sorrel.instance<pid>
//              when another process owns it)
//   path       /org/mpris/MediaPlayer2
//   interfaces org.mpris.MediaPlayer2, org.mpris.MediaPlayer2.Player (no track list)
//
// Requests are handled on the thread that owns the TMpris (the GUI thread), one at a
// time from its event loop, each with a bounded amount of work.  Without a session bus
// Publish() reports NoBus and everything else does nothing.
//
// The window creates one TMpris after its dispatcher and play order exist, publishes
// it, and keeps it until its own end; it must not destroy it from inside a host call
// (Quit runs command 4 there: end through the event loop, or deleteLater).
#pragma once

#include "platform/desktop/MprisHost.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <cstdint>
#include <optional>

namespace sorrel::desktop {

inline constexpr const char* kMprisBusName = "org.mpris.MediaPlayer2.sorrel";
inline constexpr const char* kMprisObjectPath = "/org/mpris/MediaPlayer2";
inline constexpr const char* kMprisRootInterface = "org.mpris.MediaPlayer2";
inline constexpr const char* kMprisPlayerInterface = "org.mpris.MediaPlayer2.Player";
// Track ids are /org/sorrel/track/<row of the play order>.
inline constexpr const char* kMprisTrackPrefix = "/org/sorrel/track/";

class TMprisRootAdaptor;
class TMprisPlayerAdaptor;

class TMpris : public QObject, public TMprisNotifier {
  Q_OBJECT
 public:
  enum class Result { Published, NoBus };

  explicit TMpris(TMprisHost& host, QObject* parent = nullptr);
  ~TMpris() override;  // gives the name up

  Result Publish();
  bool IsPublished() const { return published_; }
  QString BusName() const { return busName_; }  // the name owned, empty before
  TMprisHost& Host() const { return host_; }

  // TMprisNotifier
  void Changed() override;
  void Seeked(int64_t positionUs) override;

  // What a request for an MP3 file or a list file names: the local path (bytes), or
  // nothing when the URI is not an absolute file: URI of this machine, or the file is
  // not an existing regular file (directories, FIFOs and devices are refused) with one
  // of the extensions played.
  struct TOpenTarget {
    std::string path;
    bool list = false;
  };
  static std::optional<TOpenTarget> OpenTarget(const QString& uri, QString* why = nullptr);
  // xesam:url of a path: file:// and the path's bytes, percent-encoded where needed.
  static QString FileUrl(const std::string& path);
  static QString TrackId(int row);

 private:
  friend class TMprisPlayerAdaptor;
  // The values announced by PropertiesChanged, as last sent.
  struct TSnapshot {
    TMprisStatus status = TMprisStatus::Stopped;
    TMprisTrack track;
    bool shuffle = false;
    int level = 0;
    bool hasSongs = false;
  };
  QDBusConnection Connection() const;
  TSnapshot Take() const;
  void Flush();

  TMprisHost& host_;
  TMprisRootAdaptor* root_;
  TMprisPlayerAdaptor* player_;
  QString connectionName_;
  QString busName_;
  bool published_ = false;
  bool flushQueued_ = false;
  TSnapshot sent_;
  std::optional<int64_t> seeked_;
};

}  // namespace sorrel::desktop
