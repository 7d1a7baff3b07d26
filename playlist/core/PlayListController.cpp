#include "playlist/core/PlayListController.h"

#include <utility>

namespace sorrel::playlist {

ListFileRead TPlayListController::Read(const std::string& path, bool fileMode) {
  host_.SetLabel4(TLabel4::kWaiting);
  ListFileRead r = ReadListFile(path, fileMode, homeDir_);
  host_.SetLabel4(TLabel4::kClear);
  if (r.ok()) {
    host_.Report("play list " + path + ": " + std::to_string(r.entries.size()) + " entries (" +
                 (fileMode ? "file" : "directory") + " mode)");
  } else if (r.status != base::TReadStatus::kMissing) {
    host_.Report("play list not opened: " + r.error);
  }
  return r;
}

void TPlayListController::LoadListFile(const std::string& path) {
  list_.Entries = Read(path, list_.FileMode).entries;
}

bool TPlayListController::SaveListFile(const std::string& path) {
  std::string error;
  if (WriteListFile(path, list_.Entries, &error)) return true;
  host_.Report("play list not saved: " + error);
  return false;
}

bool TPlayListController::BuildPlayFiles(bool fileMode) {
  host_.SetLabel4(TLabel4::kWaiting);
  // Built aside, so that a play list that gives nothing leaves the order that plays.
  PlayFileList built;
  built.BuildPlayFiles(list_.Entries, fileMode, LyricFilter());
  host_.SetLabel4(TLabel4::kClear);
  if (built.Empty()) {
    if (host_.PlayWithLyric()) {
      host_.SetLabel4(TLabel4::kNoPlayFiles);
      host_.WarningBeep();
      host_.NoLyricSongsMessage();
    }
    return false;
  }
  files_ = std::move(built);
  host_.PlayFilesChanged();
  return true;
}

void TPlayListController::ShufflePlayOrder(bool shuffle) {
  files_.ShufflePlayOrder(shuffle, static_cast<uint32_t>(host_.CurrentMusic().ShuffleSeed));
  host_.PlayFilesChanged();
}

void TPlayListController::PlayClick(const TEditorChoice& editor) {
  TCurrentMusic& cm = host_.CurrentMusic();
  SaveDefaultList();
  if (cm.MusicIndex < 0) cm.MusicIndex = 0;
  bool same = list_.FileMode == cm.ListFileMode && editor.Shuffle == cm.Shuffle &&
              editor.PlayWithLyric == host_.PlayWithLyric();
  const bool oldPlayWithLyric = host_.PlayWithLyric();
  host_.SetPlayWithLyric(editor.PlayWithLyric);
  if (!BuildPlayFiles(list_.FileMode)) {
    host_.SetPlayWithLyric(oldPlayWithLyric);
    return;
  }
  const bool shufflesAgree = editor.Shuffle == cm.Shuffle;
  // The kept seed gives the order that was shuffled before.
  if (shufflesAgree && cm.Shuffle) ShufflePlayOrder(true);
  if (same) {
    const std::string playing = host_.PlayerFileName();
    same = !playing.empty() && cm.MusicIndex < static_cast<int64_t>(files_.Count()) &&
           files_.AtRow(static_cast<size_t>(cm.MusicIndex)).path == playing;
  }
  if (same) {
    // The song that plays is still at its place: it plays on undisturbed.
    host_.SelectCurrentRow();
    host_.RefreshDisplay();
  } else {
    cm.ListFileMode = list_.FileMode;
    cm.CurPos = 0;
    if (shufflesAgree) {
      cm.MusicIndex = 0;
      host_.StartPlaying();
    }
    host_.SetMainShuffle(editor.Shuffle);
  }
  if (!host_.PlayerIsOpened()) {
    cm.MusicIndex = 0;
    host_.StartPlaying();
  }
  host_.CloseEditor();
}

bool TPlayListController::OpenListFile(const std::string& path, bool start) {
  const std::optional<bool> mode = ListFileModeOf(path);
  if (!mode) {
    host_.WarningBeep();
    return false;
  }
  return UseEntries(Read(path, *mode).entries, *mode, start);
}

bool TPlayListController::OpenEntriesAndPlay(std::vector<std::string> entries, bool fileMode) {
  return UseEntries(std::move(entries), fileMode, true);
}

bool TPlayListController::UseEntries(std::vector<std::string> entries, bool fileMode, bool start) {
  if (entries.empty()) {
    host_.WarningBeep();
    return false;
  }
  // The list and its mode are taken only once there is something to take, so the mode
  // and the default list that the next start reads stay consistent.
  TPlayList previous = std::move(list_);
  list_.Entries = std::move(entries);
  list_.FileMode = fileMode;
  if (!BuildPlayFiles(fileMode)) {
    list_ = std::move(previous);
    host_.WarningBeep();
    return false;
  }
  TCurrentMusic& cm = host_.CurrentMusic();
  cm.ListFileMode = fileMode;
  cm.Shuffle = false;
  host_.ShowShuffle(false);
  SaveDefaultList();
  cm.MusicIndex = 0;
  if (start) host_.StartPlaying();
  return true;
}

void TPlayListController::StartUpRestore(const std::string& firstArgument) {
  TCurrentMusic& cm = host_.CurrentMusic();
  list_.FileMode = cm.ListFileMode;
  if (!firstArgument.empty()) {
    OpenListFile(firstArgument, false);
    cm.CurPos = 0;
  }
  bool fresh = false;
  if (files_.Empty()) {
    LoadDefaultList();
    if (BuildPlayFiles(list_.FileMode) && cm.Shuffle) ShufflePlayOrder(true);
    fresh = true;
  }
  if (files_.Empty() || cm.MusicIndex < 0) {
    host_.SetLabel4(TLabel4::kNoPlayFiles);
    return;
  }
  if (cm.MusicIndex >= static_cast<int64_t>(files_.Count())) cm.MusicIndex = 0;
  if (files_.AtRow(static_cast<size_t>(cm.MusicIndex)).path != cm.CurFile) {
    cm.MusicIndex = 0;
    cm.CurPos = 0;
  }
  host_.StartAfterStartUp(fresh);
}

}  // namespace sorrel::playlist
