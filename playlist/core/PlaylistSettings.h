// The play list's sections of the settings file: the resume point ("CurrentMusic"), the
// play list window ("PlayList") and the play file list ("FileList").
#pragma once

#include "base/KeyList.h"

#include <string>

namespace sorrel::playlist {

inline constexpr const char* kCurrentMusicSection = "CurrentMusic";
inline constexpr const char* kPlayListSection = "PlayList";
inline constexpr const char* kFileListSection = "FileList";

struct TCurrentMusic {
  std::string CurFile;  // the song that was playing
  int MusicIndex = 0;   // its row in the play order
  int CurPos = 0;       // ms into it at shutdown
  bool ListFileMode = false;
  bool Shuffle = false;
  int ShuffleSeed = 9999;
  bool operator==(const TCurrentMusic&) const = default;
};

struct TPlayListSettings {
  int PLDirLimit = 2, PLFileLimit = 3;
  std::string OpenDialogInitialDir, SaveDialogInitialDir;
  bool operator==(const TPlayListSettings&) const = default;
};

struct TFileListSettings {
  int FLFileLimit = 3;
  int FLHFontPlus = 0;
  bool FLHFontBold = false;
  bool operator==(const TFileListSettings&) const = default;
};

void CurrentMusicKeys(base::TKeyList& keys, TCurrentMusic& v);
void PlayListKeys(base::TKeyList& keys, TPlayListSettings& v);
void FileListKeys(base::TKeyList& keys, TFileListSettings& v);

}  // namespace sorrel::playlist
