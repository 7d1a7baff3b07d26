// Fakes of the play list, the player, the main window and the sound desk for the tests
// of the commands: they record what the core asks of them, in one call log.
#pragma once

#include "app/core/Commands.h"
#include "app/core/Keyboard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace sorrel::app::testing {

class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/sorrel-commands-XXXXXX";
    path_ = mkdtemp(tmpl);
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

struct FakeSong {
  std::string path;
  int dir = 0;
  int lengthMs = 60000;
};

// Songs named "/m/d<dir>/<n>.mp3", `perDir` in each of `dirs` directories, 60 s long.
inline std::vector<FakeSong> Directories(int dirs, int perDir) {
  std::vector<FakeSong> songs;
  for (int d = 0; d < dirs; ++d) {
    for (int n = 1; n <= perDir; ++n) {
      songs.push_back({"/m/d" + std::to_string(d) + "/" + std::to_string(n) + ".mp3", d, 60000});
    }
  }
  return songs;
}

class FakePlayOrder : public TPlayOrder {
 public:
  std::vector<FakeSong> rows;
  std::vector<FakeSong> listOrder;  // what ShufflePlayOrder(false) restores
  std::vector<std::string>* log = nullptr;

  void Set(std::vector<FakeSong> songs) { rows = listOrder = std::move(songs); }

  int Count() const override { return static_cast<int>(rows.size()); }
  int DirectoryOf(int row) const override { return rows.at(row).dir; }
  std::string PathOf(int row) const override { return rows.at(row).path; }
  // The fake's "shuffle" reverses the list order: easy to predict.
  void ShufflePlayOrder(bool shuffle) override {
    Log(shuffle ? "shuffle on" : "shuffle off");
    rows = listOrder;
    if (shuffle) std::reverse(rows.begin(), rows.end());
  }
  void RemoveRow(int row) override {
    Log("remove " + std::to_string(row));
    const std::string path = rows.at(row).path;
    rows.erase(rows.begin() + row);
    std::erase_if(listOrder, [&](const FakeSong& s) { return s.path == path; });
  }
  void SelectRow(int row) override { Log("select " + std::to_string(row)); }

 private:
  void Log(const std::string& s) const {
    if (log) log->push_back(s);
  }
};

class FakePlayer : public TPlayerControl {
 public:
  TPlayerStatus status = TPlayerStatus::mpsStopped;
  int position = 0;
  int duration = 0;
  std::vector<std::string>* log = nullptr;

  TPlayerStatus Status() const override { return status; }
  int Position() const override { return position; }
  int Duration() const override { return duration; }
  void Seek(int ms) override {
    position = ms;
    log->push_back("seek " + std::to_string(ms));
  }
  void Pause() override {
    status = TPlayerStatus::mpsPaused;
    log->push_back("pause");
  }
  void Resume() override {
    status = TPlayerStatus::mpsPlaying;
    log->push_back("resume");
  }
};

class FakeNavigationHost : public TNavigationHost {
 public:
  FakePlayOrder& order;
  FakePlayer& player;
  std::vector<std::string>* log;
  int musicIndex = 0;
  std::string curFile;
  bool shuffle = false;
  int32_t shuffleSeed = 9999;
  bool listFileMode = false;
  int curPos = 0;
  int mainLevel = 50;
  bool useTNLink = false;
  std::vector<int> played;  // rows given to PlayRow
  std::function<void()> onProcessMessages;

  FakeNavigationHost(FakePlayOrder& o, FakePlayer& p, std::vector<std::string>* l)
      : order(o), player(p), log(l) {}

  int MusicIndex() const override { return musicIndex; }
  void SetMusicIndex(int row) override { musicIndex = row; }
  std::string CurFile() const override { return curFile; }
  bool Shuffle() const override { return shuffle; }
  void SetShuffle(bool on) override { shuffle = on; }
  void SetShuffleSeed(int32_t seed) override { shuffleSeed = seed; }
  bool ListFileMode() const override { return listFileMode; }
  int CurPos() const override { return curPos; }
  int MainLevel() const override { return mainLevel; }
  bool UseTNLink() const override { return useTNLink; }
  void PlayRow(int row) override {
    EXPECT_EQ(row, musicIndex);
    played.push_back(row);
    log->push_back("play " + std::to_string(row));
    curFile = order.PathOf(row);
    player.duration = order.rows.at(row).lengthMs;
    player.position = 0;
    player.status = TPlayerStatus::mpsPlaying;
  }
  void RefreshLabels() override { log->push_back("labels"); }
  void FocusDummy() override { log->push_back("focus"); }
  void ProcessMessages() override {
    log->push_back("messages");
    if (onProcessMessages) onProcessMessages();
  }
  void ActivatePositionLink() override { log->push_back("position link"); }
};

class FakePopUp : public TMessagePopUp {
 public:
  std::vector<std::string> shown;
  void ShowMessage(const std::string& text) override { shown.push_back(text); }
};

// Bars with the ranges and line sizes of the real sound desk.
class FakeSoundDesk : public TSoundDeskIntf {
 public:
  int prePosition = 0;      // -30..70
  int masterPosition = 50;  // 0..100
  TEqLevels levels;
  std::vector<TEqLevels> setLevels;
  std::vector<std::string>* log = nullptr;

  int Position(TDeskBar bar) const override {
    return bar == TDeskBar::tb_PreLevel ? prePosition : masterPosition;
  }
  int LineSize(TDeskBar) const override { return 5; }
  int Min(TDeskBar bar) const override { return bar == TDeskBar::tb_PreLevel ? -30 : 0; }
  int Max(TDeskBar bar) const override { return bar == TDeskBar::tb_PreLevel ? 70 : 100; }
  void SetPosition(TDeskBar bar, int position) override {
    EXPECT_GE(position, Min(bar));
    EXPECT_LE(position, Max(bar));
    (bar == TDeskBar::tb_PreLevel ? prePosition : masterPosition) = position;
    if (log)
      log->push_back((bar == TDeskBar::tb_PreLevel ? "pre bar " : "master bar ") + std::to_string(position));
  }
  TEqLevels Levels() const override { return levels; }
  void SetLevels(const TEqLevels& l) override { setLevels.push_back(l); }
};

class FakePresetHost : public TPresetHost {
 public:
  std::array<std::string, 10> names;
  std::array<TEqLevels, 10> eq;
  std::array<TWindowSize, 3> sizes{TWindowSize{197, 30}, TWindowSize{197, 53}, TWindowSize{249, 77}};
  TWindowSize freeSize{300, 60};
  TWindowSize window = kFormSize;
  std::vector<TWindowSize> resized;

  std::string EqPresetName(int n) const override { return names.at(n); }
  TEqLevels EqPreset(int n) const override { return eq.at(n); }
  void SetEqPreset(int n, const TEqLevels& l) override { eq.at(n) = l; }
  TWindowSize SizePreset(int n) const override { return sizes.at(n); }
  void SetSizePreset(int n, TWindowSize s) override { sizes.at(n) = s; }
  TWindowSize FreeSize() const override { return freeSize; }
  TWindowSize WindowSize() const override { return window; }
  void ResizeWindow(TWindowSize s) override {
    resized.push_back(s);
    window = s;
  }
};

// Records every action; `reenter` lets an action run a command from inside it, as a
// message processed during a wait would.
class FakeCommandHost : public TCommandHost {
 public:
  std::vector<std::string>* log;
  bool tarnLyric = false;
  bool alarmIdle = true;
  std::function<void()> reenter;

  explicit FakeCommandHost(std::vector<std::string>* l) : log(l) {}
  bool TarnLyric() const override { return tarnLyric; }
  bool AlarmIdle() const override { return alarmIdle; }
  void ParkCursor() override { Log("park"); }
  void MoveCursorOutside() override { Log("cursor outside"); }
  void Close() override { Log("close"); }
  void ShowSongInformation() override { Log("song info"); }
  void ToggleLyrics() override { Log("lyrics"); }
  void RedrawLyricLine(int mode) override { Log("redraw " + std::to_string(mode)); }
  void ToggleAlarm() override { Log("alarm"); }
  void StoreAlarmPoint() override { Log("new point"); }
  void PowerCommand() override { Log("power"); }
  void NavinYou(int c) override { Log("navin " + std::to_string(c)); }
  void MapLink(char letter) override { Log(std::string("map ") + letter); }

 private:
  void Log(const std::string& s) {
    log->push_back(s);
    if (reenter) reenter();
  }
};

// Everything wired together as the main window will wire it.
struct CommandRig {
  std::vector<std::string> log;
  TempDir dir;
  base::TFakeClock clock{0};
  FakePlayOrder order;
  FakePlayer player;
  FakeNavigationHost nav{order, player, &log};
  FakePopUp popUp;
  TErrorLog errorLog{dir.path() + "/sorrel_Error.log", clock, popUp};
  TNavigator navigator{order, player, nav, errorLog, clock};
  FakeSoundDesk desk;
  FakePresetHost presetHost;
  TPresets presets{desk, presetHost, popUp};
  FakeCommandHost commandHost{&log};
  TCommandDispatcher dispatcher{navigator, presets, commandHost};

  CommandRig() {
    order.log = &log;
    player.log = &log;
    clock.SetAutoAdvance(true);
  }
  // Plays `row` as the current song, `positionMs` into it, and clears the log.
  void At(int row, int positionMs) {
    nav.musicIndex = row;
    navigator.PlayCurrent();
    player.position = positionMs;
    log.clear();
    nav.played.clear();
  }
  int64_t ElapsedMs() { return clock.NowMicros() / 1000; }
};

}  // namespace sorrel::app::testing
