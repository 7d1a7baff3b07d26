#include "app/core/Navigation.h"

#include <algorithm>
#include <cstdint>

namespace sorrel::app {

int32_t ShuffleSeedFromClock(base::TClock& clock) {
  const uint32_t ticks = static_cast<uint32_t>(clock.TickCount());
  return static_cast<int32_t>(ticks * 134775813u + 1u);
}

int TNavigator::CurrentRow() const {
  const int row = host_.MusicIndex();
  return row >= 0 && row < order_.Count() ? row : 0;
}

int TNavigator::RowBefore(int row) const { return row == 0 ? order_.Count() - 1 : row - 1; }

int TNavigator::LastDirectory() const { return order_.DirectoryOf(order_.Count() - 1); }

// MusicIndex := musicIndex, then play current.  Wide, so that stepping from a stored
// index at the end of the int range cannot overflow.
void TNavigator::Play(int64_t musicIndex) {
  const int count = order_.Count();
  if (count <= 0) return;
  // An index outside the order (past the end after the last song, or before the first)
  // starts over at the first row.
  const int row = musicIndex >= 0 && musicIndex < count ? static_cast<int>(musicIndex) : 0;
  host_.SetMusicIndex(row);
  host_.PlayRow(row);
}

void TNavigator::PlayCurrent() { Play(host_.MusicIndex()); }

void TNavigator::PumpAndSleep(int ms) {
  host_.ProcessMessages();
  clock_.SleepFor(int64_t{ms} * 1000);
}

void TNavigator::StartAfterStartUp(bool resume) {
  PlayCurrent();
  if (!Empty() && resume) BackSeek(host_.CurPos() - 100 * host_.MainLevel());
  if (host_.UseTNLink()) host_.ActivatePositionLink();
}

void TNavigator::NextSong() {
  if (Empty()) return;
  Play(int64_t{host_.MusicIndex()} + 1);
}

void TNavigator::PreviousSong() {
  if (Empty()) return;
  if (player_.Position() < 3001) {
    Play(int64_t{host_.MusicIndex()} - 1);
  } else {
    player_.Seek(0);
  }
}

void TNavigator::BackSeek(int targetMs) {
  if (Empty()) return;
  int64_t target = targetMs;
  // Each round goes back one song.  A song that reports no length (it did not open)
  // would keep the target negative for ever, so the walk ends after one round per row.
  for (int rounds = order_.Count(); target < 0 && rounds > 0; --rounds) {
    Play(int64_t{host_.MusicIndex()} - 1);
    target += std::max(player_.Duration(), 0);
  }
  player_.Seek(static_cast<int>(std::clamp<int64_t>(target, 0, INT32_MAX)));
}

void TNavigator::Back3s() {
  if (Empty()) return;
  const int target = player_.Position() - 3000;
  if (target >= 0) {
    player_.Seek(target);
  } else {
    // Three more seconds back: the restart of the previous song takes that long to
    // be heard.
    BackSeek(target - 3000);
    PumpAndSleep(99);
  }
  PumpAndSleep(19);
}

void TNavigator::Forward3s() {
  if (Empty()) return;
  const int target = player_.Position() + 3000;
  player_.Seek(target);
  // Beyond the end the player ends the song; give it the time to do so.
  PumpAndSleep(target > player_.Duration() ? 99 : 19);
}

void TNavigator::JumpToDirectory(int dir) {
  if (Empty()) return;
  const int dirs = std::max(LastDirectory() + 1, 1);
  dir = (dir % dirs + dirs) % dirs;
  int row = 0;
  for (int i = 0, count = order_.Count(); i < count; ++i) {
    if (order_.DirectoryOf(i) == dir) {
      row = i;
      break;
    }
  }
  Play(row);
}

void TNavigator::NextDirectory() {
  if (Empty()) return;
  if (host_.Shuffle()) {
    NextSong();
  } else if (host_.ListFileMode()) {
    const int64_t row = int64_t{host_.MusicIndex()} + 10;
    Play(row >= order_.Count() ? 0 : row);
  } else {
    JumpToDirectory(order_.DirectoryOf(CurrentRow()) + 1);
  }
}

void TNavigator::PreviousDirectory() {
  if (Empty()) return;
  if (host_.Shuffle()) {
    PreviousSong();
  } else if (host_.ListFileMode()) {
    const int index = host_.MusicIndex();
    int64_t row = int64_t{index} - 10;
    if (row < 0 && index > 0) row = 0;
    Play(row);
  } else {
    // From inside a directory this is its own start; from its first song, the start
    // of the directory before.
    JumpToDirectory(order_.DirectoryOf(RowBefore(CurrentRow())));
  }
}

void TNavigator::ForwardDirectories(int n) {
  if (Empty()) return;
  if (host_.Shuffle() || host_.ListFileMode()) {
    NextDirectory();
    return;
  }
  int target = order_.DirectoryOf(CurrentRow()) + n;
  if (target > LastDirectory()) target = 0;
  JumpToDirectory(target);
}

void TNavigator::BackDirectories(int n) {
  if (Empty()) return;
  if (host_.Shuffle() || host_.ListFileMode()) {
    PreviousDirectory();
    return;
  }
  int target = order_.DirectoryOf(RowBefore(CurrentRow())) - (n - 1);
  if (target < 0 && host_.MusicIndex() > 0) target = 0;
  JumpToDirectory(target);
}

void TNavigator::TogglePause() {
  if (Empty()) return;
  switch (player_.Status()) {
    case TPlayerStatus::mpsPlaying:
      player_.Pause();
      break;
    case TPlayerStatus::mpsPaused:
      player_.Resume();
      break;
    case TPlayerStatus::mpsStopped:
      break;
  }
}

void TNavigator::ToggleShuffle(TShuffleChoice choice) {
  if (Empty()) return;
  const std::string file = host_.CurFile();
  const int dir = order_.DirectoryOf(CurrentRow());
  const bool on = !host_.Shuffle();
  host_.SetShuffle(on);
  if (on) host_.SetShuffleSeed(ShuffleSeedFromClock(clock_));
  order_.ShufflePlayOrder(on);
  host_.SetMusicIndex(-1);

  int found = -1;
  const int count = order_.Count();
  if (choice == TShuffleChoice::kKeepSong) {
    for (int i = 0; i < count && found < 0; ++i) {
      if (order_.PathOf(i) == file) found = i;
    }
    if (found >= 0) {
      host_.SetMusicIndex(found);
      order_.SelectRow(found);
    }
  } else if (choice == TShuffleChoice::kDirectoryStart) {
    for (int i = 0; i < count && found < 0; ++i) {
      if (order_.DirectoryOf(i) == dir) found = i;
    }
    if (found >= 0) Play(found);
  }
  if (found < 0) Play(0);
  host_.RefreshLabels();
  host_.FocusDummy();
}

void TNavigator::EndOfSong(TEndReason reason) {
  switch (reason) {
    case TEndReason::merEndOfFile:
      NextSong();
      break;
    case TEndReason::merError: {
      if (Empty()) return;
      const int row = CurrentRow();
      errorLog_.Log(order_.PathOf(row));
      order_.RemoveRow(row);
      // MusicIndex now names the row that followed (or lies past the end: the first).
      PlayCurrent();
      break;
    }
    case TEndReason::merStop:
      break;
  }
}

}  // namespace sorrel::app
