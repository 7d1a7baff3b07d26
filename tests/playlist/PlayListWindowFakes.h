// The main window as the play list windows' tests see it: a record of what was asked
// of it, and the offscreen application.
#pragma once

#include "controls/core/Drives.h"
#include "playlist/core/PlayListController.h"

#include <QApplication>
#include <QDir>
#include <QWidget>

#include <string>
#include <vector>

namespace sorrel::playlist::test {

inline QApplication& OffscreenApp(const char* name) {
  static int argc = 1;
  static char* argv[] = {const_cast<char*>(name), nullptr};
  static QApplication* app = [] {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    return new QApplication(argc, argv);
  }();
  return *app;
}

inline void Screenshot(QWidget& w, const char* name) {
  const QString dir = QStringLiteral(SORREL_BUILD_DIR "/screenshots");
  QDir().mkpath(dir);
  w.grab().save(dir + QLatin1Char('/') + QString::fromLatin1(name) + QStringLiteral(".png"));
}

class FakeHost : public TPlayListHost {
 public:
  TCurrentMusic music;
  bool tarnLyric = false, playWithLyric = false;
  std::string playerFile;
  bool playerOpened = false;
  int beeps = 0, starts = 0, closes = 0, selects = 0, changes = 0;
  bool mainShuffle = false;

  TCurrentMusic& CurrentMusic() override { return music; }
  bool TarnLyric() const override { return tarnLyric; }
  bool PlayWithLyric() const override { return playWithLyric; }
  void SetPlayWithLyric(bool on) override { playWithLyric = on; }
  void SetMainShuffle(bool checked) override { mainShuffle = checked; }
  void ShowShuffle(bool checked) override { mainShuffle = checked; }
  std::string PlayerFileName() const override { return playerFile; }
  bool PlayerIsOpened() const override { return playerOpened; }
  // Playing opens the song, as the main window's player does.
  void StartPlaying() override {
    ++starts;
    playerOpened = true;
  }
  void StartAfterStartUp(bool) override { ++starts; }
  void SelectCurrentRow() override { ++selects; }
  void RefreshDisplay() override {}
  void CloseEditor() override { ++closes; }
  void SetLabel4(TLabel4) override {}
  void WarningBeep() override { ++beeps; }
  void NoLyricSongsMessage() override {}
  void PlayFilesChanged() override { ++changes; }
  void Report(const std::string&) override {}
};

class FakeVolumes : public controls::TVolumeSource {
 public:
  explicit FakeVolumes(std::vector<controls::TVolume>& volumes) : volumes_(volumes) {}
  std::vector<controls::TVolume> MountedVolumes() override { return volumes_; }

 private:
  std::vector<controls::TVolume>& volumes_;
};

}  // namespace sorrel::playlist::test
