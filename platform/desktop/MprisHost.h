// The player as the desktop's media controls see it (MPRIS 2: media keys, desktop
// widgets, phone remotes, playerctl).  The main window implements TMprisHost; the bus
// side (platform/desktop/Mpris.h) reads it when a client asks and calls it for the
// client's requests, and the window tells it through TMprisNotifier what changed.
// No Qt here, so the window's Qt-free parts may implement or drive either side.
#pragma once

#include <cstdint>
#include <string>

namespace sorrel::desktop {

enum class TMprisStatus { Stopped, Paused, Playing };

// The current song.
struct TMprisTrack {
  int row = -1;          // its row in the play order; below 0 when there is no current song
  int64_t lengthUs = 0;  // 0 while not known
  std::string title;     // UTF-8, empty when unknown
  std::string artist;
  std::string album;
  std::string fileName;  // absolute path, bytes as the file system has them
};

// Everything is called on the window's (GUI) thread, from its event loop, one client
// request at a time; each call is expected to return promptly.
class TMprisHost {
 public:
  virtual ~TMprisHost() = default;

  // State.
  virtual TMprisStatus Status() const = 0;
  virtual TMprisTrack CurrentTrack() const = 0;
  virtual int64_t PositionUs() const = 0;  // in the current song
  virtual bool Shuffle() const = 0;
  virtual int MasterLevel() const = 0;  // the sound desk's master level, 0..100
  virtual bool HasSongs() const = 0;    // the play order is not empty
  // True while the dispatcher runs a command.  The requests that are not commands
  // (PlayCurrent, Stop, SetPositionUs, SetMasterLevel, OpenList, PlaySong, Raise) are
  // dropped then, as the dispatcher drops a command.
  virtual bool Busy() const = 0;

  // Actions.
  // Through the one dispatcher (it drops the command while busy): 4 close, 5 pause or
  // resume, 8 previous song, 9 next song, 18 toggle shuffle keeping the song.
  virtual void RunCommand(int number, int32_t argument) = 0;
  virtual void PlayCurrent() = 0;  // stopped: play the current row from its start
  virtual void Stop() = 0;         // close the player, staying on the current row
  // Seek in the current song; `us` lies within 0..its length.
  virtual void SetPositionUs(int64_t us) = 0;
  // Moves the sound desk's master bar (which applies the level), `level` in 0..100.
  virtual void SetMasterLevel(int level) = 0;
  // An existing regular file: a play list (.pdr, .pfl, .m3u) to open and play as a
  // list handed over by a second start, or an MP3 file to play as a one-file list.
  virtual void OpenList(const std::string& path) = 0;
  virtual void PlaySong(const std::string& path) = 0;
  virtual void Raise() = 0;  // show the main window and bring it to the front
};

// What the window calls when something a client may show has changed.  Calling it
// more often than needed is harmless: changes are gathered until the event loop runs
// again and only the values that really differ are announced.
class TMprisNotifier {
 public:
  virtual ~TMprisNotifier() = default;
  // After anything that may change the status, the current song (a new row, its tags
  // or length read), shuffle, the master level or whether there are songs at all.
  virtual void Changed() = 0;
  // After every seek of the player, whoever asked for it (commands 6 and 7, the
  // back-seek, the resume, SetPositionUs), with the position reached.
  virtual void Seeked(int64_t positionUs) = 0;
};

}  // namespace sorrel::desktop
