// Moving through the play order: which song plays next, the previous-song and seek
// rules, directory jumps, switching shuffle, resuming after start-up and the end of a
// song.  The play list, the player and the main window are reached through the small
// interfaces below, so every rule is tested with fakes and virtual time.
#pragma once

#include "app/core/ErrorLog.h"
#include "base/Clock.h"
#include "engine/MP3PlayerIntf.h"

#include <cstdint>
#include <string>

namespace sorrel::app {

// The play order: row i is the i-th song to play; each row refers to an entry of
// PlayFiles.  Implemented over the play list's PlayFiles and PlayFileListBox.
class TPlayOrder {
 public:
  virtual ~TPlayOrder() = default;
  virtual int Count() const = 0;
  // The directory number of the row's PlayFiles entry (the low 16 bits of its tag).
  virtual int DirectoryOf(int row) const = 0;
  virtual std::string PathOf(int row) const = 0;
  // ShufflePlayOrder: shuffled with the ShuffleSeed just stored, or back in list order.
  virtual void ShufflePlayOrder(bool shuffle) = 0;
  // Removes the row and its PlayFiles entry, renumbering the other rows' tags and
  // DirFileCounts (a directory left empty is dropped).
  virtual void RemoveRow(int row) = 0;
  // Selects this row alone in the play file list; the song is not restarted.
  virtual void SelectRow(int row) = 0;
};

// The player's own status and end-of-play reason.
using TPlayerStatus = engine::TMP3PlayerStatus;
using TEndReason = engine::TMP3EndPlayReason;

// The player component, as far as moving through songs needs it.  Times in ms.
class TPlayerControl {
 public:
  virtual ~TPlayerControl() = default;
  virtual TPlayerStatus Status() const = 0;
  virtual int Position() const = 0;
  virtual int Duration() const = 0;
  virtual void Seek(int ms) = 0;
  virtual void Pause() = 0;
  virtual void Resume() = 0;
};

// The main window's side: its settings record and what starting a song does there.
class TNavigationHost {
 public:
  virtual ~TNavigationHost() = default;
  virtual int MusicIndex() const = 0;
  virtual void SetMusicIndex(int row) = 0;
  virtual std::string CurFile() const = 0;
  virtual bool Shuffle() const = 0;
  // Sets Shuffle and checks or unchecks cbx_Shuffle without running its click handler.
  virtual void SetShuffle(bool on) = 0;
  virtual void SetShuffleSeed(int32_t seed) = 0;
  virtual bool ListFileMode() const = 0;
  virtual int CurPos() const = 0;
  virtual int MainLevel() const = 0;
  virtual bool UseTNLink() const = 0;
  // Starts the song of `row`, which is MusicIndex and a valid row: clear Label4, stop
  // TitleTimer, close the player, take the row's path as CurFile and give it to the
  // player's FileName, refresh the labels, mark the scroll setup pending, run one fade
  // step while the fade-in runs, load the lyrics, select the row alone in the play file
  // list with row - 5 at the top, start TitleTimer.  The player's Duration is the new
  // song's when this returns.
  virtual void PlayRow(int row) = 0;
  virtual void RefreshLabels() = 0;
  virtual void FocusDummy() = 0;  // lbx_Dummy
  // Processes the window messages that are waiting (the first half of a wait).
  virtual void ProcessMessages() = 0;
  // The position link of the navigation program (built later; nothing until then).
  virtual void ActivatePositionLink() {}
};

// Which row plays after switching shuffle.
enum class TShuffleChoice {
  kFirstRow,        // 16: the first row of the new order
  kDirectoryStart,  // 17: the first row of the current song's directory
  kKeepSong,        // 18 and the clicks: the current song keeps playing
};

// A new ShuffleSeed from the clock: one step of the shuffle's generator from the tick
// count.
int32_t ShuffleSeedFromClock(base::TClock& clock);

class TNavigator {
 public:
  TNavigator(TPlayOrder& order, TPlayerControl& player, TNavigationHost& host, TErrorLog& errorLog,
             base::TClock& clock)
      : order_(order), player_(player), host_(host), errorLog_(errorLog), clock_(clock) {}

  // Every operation does nothing while the play order is empty.
  void PlayCurrent();
  // Once, from the play list's start-up: play, resume at CurPos - 100 x MainLevel ms
  // when asked (into the previous songs when negative), then the position link.
  void StartAfterStartUp(bool resume);
  void NextSong();                            // 9
  void PreviousSong();                        // 8
  void BackSeek(int targetMs);                // a negative target plays the previous songs
  void Back3s();                              // 6
  void Forward3s();                           // 7
  void JumpToDirectory(int dir);              // directory mode without shuffle
  void NextDirectory();                       // 11
  void PreviousDirectory();                   // 10
  void ForwardDirectories(int n);             // 13 (10), 15 (50)
  void BackDirectories(int n);                // 12 (10), 14 (50)
  void TogglePause();                         // 5
  void ToggleShuffle(TShuffleChoice choice);  // 16, 17, 18, clicks on lb_Shuffle / cbx_Shuffle
  // The player's OnEndPlay: the next song after the end of a file; after an error the
  // song is logged and removed and the following row plays; a stop does nothing.
  void EndOfSong(TEndReason reason);

 private:
  bool Empty() const { return order_.Count() <= 0; }
  // MusicIndex, or 0 when it is not a row.
  int CurrentRow() const;
  int RowBefore(int row) const;
  int LastDirectory() const;
  void Play(int64_t musicIndex);
  void PumpAndSleep(int ms);

  TPlayOrder& order_;
  TPlayerControl& player_;
  TNavigationHost& host_;
  TErrorLog& errorLog_;
  base::TClock& clock_;
};

}  // namespace sorrel::app
