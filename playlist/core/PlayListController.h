// The operations that turn a play list into something playing: the Play button's steps
// (btb_PlayClick), opening a list file and playing it (OpenListFileAndPlay, for a list
// named on the command line, dropped, handed over or opened by the desktop), the
// start-up restore, and loading and saving the play list and the default lists.
//
// The play list (entries and FileMode) belongs to the play list editor, the play files
// and their order to the play file list window, the resume point (MusicIndex, CurFile,
// CurPos, ListFileMode, Shuffle, ShuffleSeed) to the main window's settings record; this
// class works on all of them and reaches the windows through TPlayListHost.
//
// Lists that cannot be used change nothing: a list file that yields no entries leaves the
// play list, its mode and the default list as they were, and a build that yields no play
// files leaves the play files (and the song that plays) as they were.
#pragma once

#include "playlist/core/ListFile.h"
#include "playlist/core/PlayFiles.h"
#include "playlist/core/PlaylistSettings.h"

#include <string>
#include <vector>

namespace sorrel::playlist {

// The play list as the editor holds it.
struct TPlayList {
  std::vector<std::string> Entries;  // PlayListBox, in the user's order
  bool FileMode = false;             // true: files; false: directories
};

// The editor's choices that the Play button compares with the main window's.
struct TEditorChoice {
  bool Shuffle = false;        // the editor's cbx_Shuffle
  bool PlayWithLyric = false;  // cbx_PlayWithLyric
};

// What the main window's Label4 shows.
enum class TLabel4 { kClear, kWaiting, kNoPlayFiles };

class TPlayListHost {
 public:
  virtual ~TPlayListHost() = default;

  // The main window's record: ListFileMode, Shuffle, ShuffleSeed, MusicIndex, CurFile,
  // CurPos.
  virtual TCurrentMusic& CurrentMusic() = 0;
  // "Tarn_Lyric" and "PlayWithLyric": with both on only songs with a lyric file play.
  virtual bool TarnLyric() const = 0;
  virtual bool PlayWithLyric() const = 0;
  virtual void SetPlayWithLyric(bool on) = 0;
  // The main window's cbx_Shuffle set as a click sets it: when that changes it, the play
  // order is reshuffled or put back in list order, keeping the song that plays.
  virtual void SetMainShuffle(bool checked) = 0;
  // Shows Shuffle (just set in the record) in cbx_Shuffle without the rebuild.
  virtual void ShowShuffle(bool checked) = 0;

  // The player.
  virtual std::string PlayerFileName() const = 0;
  virtual bool PlayerIsOpened() const = 0;

  // The main window.
  virtual void StartPlaying() = 0;  // play at MusicIndex (0 when it is no row)
  virtual void StartAfterStartUp(bool resume) = 0;
  virtual void SelectCurrentRow() = 0;  // in the play file list
  virtual void RefreshDisplay() = 0;
  virtual void CloseEditor() = 0;
  virtual void SetLabel4(TLabel4 text) = 0;
  virtual void WarningBeep() = 0;
  // "歌詞付のMP3ファイルがありません" in a message box captioned "演奏不可".
  virtual void NoLyricSongsMessage() = 0;
  // The play files or their order changed: the play file list shows them again.
  virtual void PlayFilesChanged() = 0;
  // A line for standard error (lists read, lists refused).
  virtual void Report(const std::string& message) = 0;
};

class TPlayListController {
 public:
  TPlayListController(std::string homeDir, TPlayList& list, PlayFileList& files, TPlayListHost& host)
      : homeDir_(std::move(homeDir)), list_(list), files_(files), host_(host) {}

  // Replaces the play list by the file's entries read in the editor's mode; a file that
  // is missing or refused leaves it empty (a refusal is reported).
  void LoadListFile(const std::string& path);
  // Writes the play list whole or not at all; false (and reported) when it failed.
  bool SaveListFile(const std::string& path);
  // The default list of the editor's mode ("Default.tfl" / "Default.tdr").
  void LoadDefaultList() { LoadListFile(DefaultListPath(homeDir_, list_.FileMode)); }
  bool SaveDefaultList() { return SaveListFile(DefaultListPath(homeDir_, list_.FileMode)); }

  // Builds the play files from the play list in `fileMode`, with the lyric filter when
  // "Tarn_Lyric" and "PlayWithLyric" are on.  False when that gave none: the play files
  // stay as they were, and with "PlayWithLyric" on Label4 says so, a warning beep sounds
  // and the message box comes.
  bool BuildPlayFiles(bool fileMode);
  // The order shuffled with ShuffleSeed, or back in list order.
  void ShufflePlayOrder(bool shuffle);

  // btb_PlayClick.  A play list that gives no play files keeps the editor open and
  // the previous "PlayWithLyric".
  void PlayClick(const TEditorChoice& editor);

  // ".pfl" and ".m3u" open in file mode, ".pdr" in directory mode (the extension in any
  // case); anything else, and a list that gives nothing to play, gives a warning beep
  // and changes nothing.  Otherwise: shuffle off, the play files built, the list saved
  // as the default list of its mode, and playing from the first row.  True then.
  bool OpenListFileAndPlay(const std::string& path) { return OpenListFile(path, true); }
  // The same for entries at hand (an MP3 file opened by the desktop is a one-file list).
  bool OpenEntriesAndPlay(std::vector<std::string> entries, bool fileMode);

  // Once, after the settings are read: the first argument opened (without starting: the
  // restore starts once), else the default list of the stored mode with the stored
  // shuffle; then playing from MusicIndex, resumed at CurPos when the default list was
  // loaded, or "再生ファイルなし" when there is nothing to play.
  void StartUpRestore(const std::string& firstArgument);

  const TPlayList& PlayList() const { return list_; }

 private:
  bool OpenListFile(const std::string& path, bool start);
  bool UseEntries(std::vector<std::string> entries, bool fileMode, bool start);
  // Reads a list file; refusals are reported.
  ListFileRead Read(const std::string& path, bool fileMode);
  bool LyricFilter() const { return host_.TarnLyric() && host_.PlayWithLyric(); }

  std::string homeDir_;
  TPlayList& list_;
  PlayFileList& files_;
  TPlayListHost& host_;
};

}  // namespace sorrel::playlist
