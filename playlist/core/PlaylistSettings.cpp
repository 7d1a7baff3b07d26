#include "playlist/core/PlaylistSettings.h"

namespace sorrel::playlist {

void CurrentMusicKeys(base::TKeyList& keys, TCurrentMusic& v) {
  keys.Section(kCurrentMusicSection);
  keys.Str("CurFile", v.CurFile);
  keys.Int("MusicIndex", v.MusicIndex);
  keys.Int("CurPos", v.CurPos);
  keys.Bool("ListFileMode", v.ListFileMode);
  keys.Bool("Shuffle", v.Shuffle);
  keys.Int("ShuffleSeed", v.ShuffleSeed);
}

void PlayListKeys(base::TKeyList& keys, TPlayListSettings& v) {
  keys.Section(kPlayListSection);
  keys.Int("PLDirLimit", v.PLDirLimit);
  keys.Int("PLFileLimit", v.PLFileLimit);
  keys.Str("OpenDialogInitialDir", v.OpenDialogInitialDir);
  keys.Str("SaveDialogInitialDir", v.SaveDialogInitialDir);
}

void FileListKeys(base::TKeyList& keys, TFileListSettings& v) {
  keys.Section(kFileListSection);
  keys.Int("FLFileLimit", v.FLFileLimit);
  keys.Int("FLHFontPlus", v.FLHFontPlus);
  keys.Bool("FLHFontBold", v.FLHFontBold);
}

}  // namespace sorrel::playlist
