// The windows on Qt's offscreen platform: the settings styling the main window, a
// settings file that cannot be read, the shutdown sequence with and without the
// keyboard tool, command 4, the version dialog.
// Screenshots of the windows land in the build directory.
#include "app/ui/CompanionWindows.h"
#include "app/ui/ForeignWindowScreens.h"
#include "app/ui/MapLinkHost.h"
#include "app/ui/PlayerMain.h"
#include "controls/HintCtrl.h"
#include "controls/MessagePopup.h"
#include "platform/audio/WaveOut.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

using namespace sorrel::app;

namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "app_window_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Songs play on a device that consumes in real time, without sound hardware.
    sorrel::audio::SelectBackend("null");
    return new QApplication(argc, argv);
  }();
  return *app;
}

struct FakeEnv : TPlayerMainEnvironment {
  bool toolRunning = false, navinRunning = false, deviceOpens = true;
  std::vector<int32_t> toolPosts;
  std::vector<std::string> navinPosts;
  std::vector<uint32_t> restored;
  bool KeyboardToolRunning() override { return toolRunning; }
  void PostToKeyboardTool(int32_t w) override { toolPosts.push_back(w); }
  bool NavinYouRunning() override { return navinRunning; }
  void PostToNavinYou(uint32_t m, int32_t w, int32_t l) override {
    navinPosts.push_back(std::to_string(m) + " " + std::to_string(w) + " " + std::to_string(l));
  }
  bool RestoreWaveVolume(uint32_t v) override {
    restored.push_back(v);
    return deviceOpens;
  }
  TNoMappleWindows mappleWindows;
  sorrel::maplink::TMappleWindowsIntf& MappleWindows() override { return mappleWindows; }
  sorrel::maplink::TMappleSessionEndIntf& MappleSessionEnd() override { return mappleWindows; }
  TNoNavinWindows navinWindows;
  sorrel::alarm::TNavinWindowsIntf& NavinWindows() override { return navinWindows; }
};

class Windows : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    char tmpl[] = "/tmp/sorrel-windows-XXXXXX";
    home_ = mkdtemp(tmpl);
  }
  void TearDown() override { std::filesystem::remove_all(home_); }
  void WriteIni(const std::string& text) { std::ofstream(home_ + "/sorrel.ini", std::ios::binary) << text; }
  std::string Ini() const {
    std::ifstream in(home_ + "/sorrel.ini", std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  QString Home() const { return QString::fromStdString(home_); }
  std::string home_;
  FakeEnv env_;
};

void Screenshot(QWidget& w, const char* name) {
  const QString dir = QStringLiteral(SORREL_BUILD_DIR "/screenshots");
  QDir().mkpath(dir);
  w.grab().save(dir + QLatin1Char('/') + QString::fromLatin1(name) + QStringLiteral(".png"));
}

}  // namespace

TEST_F(Windows, SettingsStyleTheMainWindow) {
  WriteIni(
      "[Tarn's MP3PLayer "
      "Version]\nVersion=9.99x\n[PlayerMainForm]\nLeft=40\nTop=30\nOrgSize=0\nWidth=300\nHeight=60\n"
      "TitleFontName=IPAGothic\nTitleFontItalic=1\nArtistFontColor=255\nArtistFontBold=0\nLabelFontColor="
      "65280\n"
      "BackColor=8421376\n[OvisAlarm]\nUseTNLink=1\nNYMapMatchNo=2\n");
  env_.navinRunning = true;
  Tfm_PlayerMain w(Home(), env_);
  EXPECT_EQ(w.pos(), QPoint(40, 30));
  EXPECT_EQ(w.size(), QSize(300, 60));
  auto* title = w.findChild<QLabel*>(QStringLiteral("lb_Title"));
  ASSERT_TRUE(title);
  EXPECT_EQ(title->font().family(), QStringLiteral("IPAGothic"));
  EXPECT_TRUE(title->font().italic());
  EXPECT_TRUE(title->font().bold());
  auto* artist = w.findChild<QLabel*>(QStringLiteral("lb_Artist"));
  EXPECT_EQ(artist->palette().color(QPalette::WindowText), QColor(255, 0, 0));
  EXPECT_FALSE(artist->font().bold());
  EXPECT_EQ(w.findChild<QLabel*>(QStringLiteral("Label2"))->palette().color(QPalette::WindowText),
            QColor(0, 255, 0));
  EXPECT_EQ(w.FadeStep(), -2);
  EXPECT_EQ(env_.navinPosts, (std::vector<std::string>{"1689 2 0", "1688 0 0"}));
  // No keyboard tool: nothing posted at start.
  EXPECT_TRUE(env_.toolPosts.empty());
  EXPECT_EQ(std::string(w.metaObject()->className()), "sorrel::app::Tfm_PlayerMain");
  EXPECT_EQ(w.windowTitle(), QStringLiteral("Tarn's MP3Player"));
  w.show();
  Screenshot(w, "main_styled");
}

TEST_F(Windows, WindowIsKeptOnTheScreen) {
  WriteIni("[PlayerMainForm]\nLeft=-50\nTop=-9\n");
  Tfm_PlayerMain w(Home(), env_);
  EXPECT_EQ(w.pos(), QPoint(0, 0));
}

TEST_F(Windows, ShutdownWritesOnceRestoresVolumeAndSaysGoodbyeToTheTool) {
  env_.toolRunning = true;
  {
    Tfm_PlayerMain w(Home(), env_);
    EXPECT_EQ(env_.toolPosts, std::vector<int32_t>{0});
    // A volume of 0 left by a crash is what gets restored.
    w.Messages().CopyData(kCopySavedWaveVolume, 0, {});
    w.move(12, 34);
    w.Shutdown();
    EXPECT_TRUE(w.Closed());
    EXPECT_TRUE(w.Suspended());
    EXPECT_EQ(env_.restored, std::vector<uint32_t>{0});
    EXPECT_EQ(env_.toolPosts, (std::vector<int32_t>{0, -1}));
    const std::string ini = Ini();
    EXPECT_NE(ini.find("Left=12\r\nTop=34\r\nOrgSize=1\r\n"), std::string::npos);
    // The closed flag makes it run once: nothing is written or posted again.
    std::filesystem::remove(home_ + "/sorrel.ini");
    w.Shutdown();
    EXPECT_FALSE(std::filesystem::exists(home_ + "/sorrel.ini"));
    EXPECT_EQ(env_.toolPosts.size(), 2u);
    // While shutting down, the position sentence is refused and the hand-off still taken.
    EXPECT_EQ(w.Messages().CopyData(kCopyPositionSentence, 0, "$tnlink_data"), 0);
    EXPECT_EQ(w.Messages().CopyData(kCopySavedWaveVolume, 9, {}), 1);
  }
  EXPECT_EQ(env_.restored.size(), 1u);
}

TEST_F(Windows, UnreadableSettingsFileIsSaidOnceAndNeverOverwritten) {
  // A directory where the settings file belongs: the player starts on the defaults.
  std::filesystem::create_directory(home_ + "/sorrel.ini");
  testing::internal::CaptureStderr();
  {
    Tfm_PlayerMain w(Home(), env_);
    EXPECT_EQ(w.FadeStep(), -2);
    EXPECT_EQ(w.Settings().MainLevel, 50);
    w.Shutdown();
    EXPECT_TRUE(w.Closed());
  }
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("sorrel.ini: not a regular file"), std::string::npos) << said;
  EXPECT_EQ(said.find("sorrel.ini"), said.rfind("sorrel.ini")) << said;
  EXPECT_TRUE(std::filesystem::is_directory(home_ + "/sorrel.ini"));
  EXPECT_EQ(env_.restored.size(), 1u);
}

TEST_F(Windows, CommandFourClosesThroughTheShutdown) {
  Tfm_PlayerMain w(Home(), env_);
  Tfm_PlayFileList files;
  Tfm_PlayList list(Home(), w, files.PlayFiles());
  w.SetCompanions(&list, &files, nullptr, nullptr);
  w.show();
  w.SetReady();
  EXPECT_EQ(w.Messages().Message(kMsgCommand, 4, 0), 1);
  EXPECT_TRUE(QTest::qWaitFor([&] { return w.Closed() && !w.isVisible(); }, 5000));
  EXPECT_NE(Ini().find("[Tarn's MP3PLayer Version]\r\nVersion=9.99x\r\n"), std::string::npos);
  EXPECT_EQ(env_.restored, std::vector<uint32_t>{kDefaultSavedWaveVolume});
  EXPECT_TRUE(env_.toolPosts.empty());
}

TEST_F(Windows, HandedOverListOpensAndSetsTheMode) {
  Tfm_PlayerMain w(Home(), env_);
  Tfm_PlayFileList files;
  Tfm_PlayList list(Home(), w, files.PlayFiles());
  w.SetCompanions(&list, &files, nullptr, nullptr);
  const std::string song = SORREL_TEST_DATA "/engine/plain_cbr.mp3";
  std::filesystem::copy_file(song, home_ + "/\xe3\x81\x82.mp3");
  const std::string pfl = home_ + "/songs.pfl";
  std::ofstream(pfl, std::ios::binary) << song << "\r\n\x82\xa0.mp3\r\n";  // a CP932 line
  EXPECT_EQ(w.Messages().CopyData(kCopyOpenListFile, 0, pfl + '\0'), 1);
  EXPECT_TRUE(w.Settings().ListFileMode);
  EXPECT_EQ(list.Entries(), (QStringList{QString::fromStdString(song), Home() + QStringLiteral("/あ.mp3")}));
  // Both songs are in the play order, and the first plays.
  EXPECT_EQ(files.PlayFiles().Count(), 2u);
  EXPECT_EQ(w.Settings().MusicIndex, 0);
  EXPECT_EQ(w.Settings().CurFile, song);
  EXPECT_TRUE(w.Player().IsOpened());
  // An unknown extension changes nothing.
  EXPECT_FALSE(list.OpenListFileAndPlay(Home() + QStringLiteral("/x.txt")));
  EXPECT_EQ(list.Entries().size(), 2);
  w.show();
  Screenshot(w, "main_list_opened");
}

TEST_F(Windows, EnterInThePlayFileListPlaysThatRowThroughTheMainWindow) {
  Tfm_PlayerMain w(Home(), env_);
  Tfm_PlayFileList files;
  Tfm_PlayList list(Home(), w, files.PlayFiles());
  w.SetCompanions(&list, &files, nullptr, nullptr);
  const std::string song = SORREL_TEST_DATA "/engine/plain_cbr.mp3";
  std::filesystem::copy_file(song, home_ + "/second.mp3");
  const std::string pfl = home_ + "/songs.pfl";
  std::ofstream(pfl, std::ios::binary) << song << "\r\n" << home_ << "/second.mp3\r\n";
  ASSERT_TRUE(list.OpenListFileAndPlay(QString::fromStdString(pfl)));
  EXPECT_EQ(w.Settings().MusicIndex, 0);
  files.show();
  QListView* rows = files.ListBox();
  rows->setCurrentIndex(rows->model()->index(1, 0));
  QTest::keyClick(rows, Qt::Key_Return);
  EXPECT_EQ(w.Settings().MusicIndex, 1);
  EXPECT_EQ(w.Settings().CurFile, home_ + "/second.mp3");
  EXPECT_EQ(files.SelectedRow(), 1);
  files.hide();
}

TEST_F(Windows, InputModePicturesAndVersionDialog) {
  Tfm_PlayerMain w(Home(), env_);
  EXPECT_EQ(w.Messages().Message(kMsgInputMode, 0, 7), 1);
  EXPECT_EQ(w.InputMode(), 7);
  EXPECT_EQ(w.Messages().Message(kMsgInputMode, 0, 9), 0);
  EXPECT_EQ(w.InputMode(), 7);
  EXPECT_EQ(w.Messages().Message(kMsgInputMode, 1, 1500), 1);
  EXPECT_EQ(w.ResumeAdjustment(), 1500);
  Tfm_Version v;
  EXPECT_EQ(v.size(), QSize(363, 230));
  EXPECT_EQ(v.windowTitle(), QStringLiteral("Tarn's MP3Player　バージョン情報"));
  v.show();
  Screenshot(v, "version");
  QTest::keyClick(&v, Qt::Key_A);
  EXPECT_FALSE(v.isVisible());
}

TEST_F(Windows, BackgroundPictureLoadsFromItsBytesWhateverItsName) {
  QImage red(40, 20, QImage::Format_RGB32);
  red.fill(Qt::red);
  ASSERT_TRUE(red.save(Home() + QStringLiteral("/back.jpg"), "JPEG"));
  ASSERT_TRUE(red.save(Home() + QStringLiteral("/png-named.jpg"), "PNG"));  // the content decides
  std::ofstream(home_ + "/junk.jpg") << "not a picture";
  WriteIni("[Tarn's MP3PLayer Version]\nVersion=9.99x\n[PlayerMainForm]\nBackPictureFileName=back.jpg\n");
  Tfm_PlayerMain w(Home(), env_);
  auto* image = w.findChild<QLabel*>(QStringLiteral("Image"));
  ASSERT_TRUE(image);
  EXPECT_EQ(image->pixmap().size(), QSize(40, 20));
  EXPECT_TRUE(w.LoadBackPicture("png-named.jpg"));
  EXPECT_EQ(image->pixmap().toImage().pixelColor(5, 5), QColor(Qt::red));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(w.LoadBackPicture("junk.jpg"));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("junk.jpg: not a picture"), std::string::npos);
  EXPECT_TRUE(image->pixmap().isNull());
  EXPECT_FALSE(w.LoadBackPicture("missing.jpg"));
}

namespace {

// A main window with its play file list and editor, playing `songs` as a file list.
struct Playing {
  Playing(const QString& home, TPlayerMainEnvironment& env, const std::vector<std::string>& songs)
      : w(home, env), list(home, w, files.PlayFiles()) {
    w.SetCompanions(&list, &files, nullptr, nullptr);
    const std::string pfl = home.toStdString() + "/songs.pfl";
    std::ofstream out(pfl, std::ios::binary);
    for (const std::string& s : songs) out << s << "\r\n";
    out.close();
    w.show();
    w.SetReady();
    EXPECT_TRUE(list.OpenListFileAndPlay(QString::fromStdString(pfl)));
  }
  Tfm_PlayerMain w;
  Tfm_PlayFileList files;
  Tfm_PlayList list;
};

}  // namespace

TEST_F(Windows, NarrowWindowLaysOutItsControlsAndWideOneRestoresThem) {
  Tfm_PlayerMain w(Home(), env_);
  w.show();
  auto* shuffle = w.findChild<QLabel*>(QStringLiteral("lb_Shuffle"));
  auto* time = w.findChild<QLabel*>(QStringLiteral("lb_Time"));
  auto* album = w.findChild<QLabel*>(QStringLiteral("lb_Album"));
  w.resize(300, 60);
  QCoreApplication::processEvents();
  EXPECT_TRUE(shuffle->isHidden());
  EXPECT_EQ(time->x(), 32);
  EXPECT_EQ(time->width(), 300 - 36);
  EXPECT_TRUE(time->alignment() & Qt::AlignLeft);
  EXPECT_FALSE(w.Settings().OrgSize);
  EXPECT_EQ(w.Settings().Width, 300);
  EXPECT_EQ(w.Settings().Height, 60);
  // No room left of the close image for the album: 300 - 34 - its left is below 9.
  EXPECT_TRUE(album->isHidden());
  // Wide enough, but too low: 36 - 4 - 34 leaves no height.
  w.resize(kFormWidth, 36);
  QCoreApplication::processEvents();
  EXPECT_TRUE(album->isHidden());
  EXPECT_FALSE(shuffle->isHidden());
  w.resize(kFormWidth, kFormHeight);
  QCoreApplication::processEvents();
  EXPECT_FALSE(shuffle->isHidden());
  EXPECT_EQ(time->x(), 98);
  EXPECT_TRUE(time->alignment() & Qt::AlignHCenter);
  EXPECT_TRUE(w.Settings().OrgSize);
  Screenshot(w, "main_form_size");
}

TEST_F(Windows, LyricsOfTheSongShowTheirStatusAndSwitchOff) {
  const std::string song = home_ + "/song.mp3";
  std::filesystem::copy_file(SORREL_TEST_DATA "/engine/plain_cbr.mp3", song);
  std::ofstream(home_ + "/song.lrc", std::ios::binary) << "[00:00:10]first\r\n[00:01:00]second\r\n";
  const std::string plain = home_ + "/plain.mp3";
  std::filesystem::copy_file(SORREL_TEST_DATA "/engine/plain_cbr.mp3", plain);
  Playing p(Home(), env_, {song, plain});
  auto* status = p.w.findChild<QLabel*>(QStringLiteral("pnl_LyricStatus"));
  EXPECT_EQ(status->text(), QStringLiteral("歌詞"));
  // Switched off: silver at the next step; the keys see the lyrics off.
  EXPECT_TRUE(p.w.KeySettings().LyricOn);
  EXPECT_TRUE(p.w.Dispatcher()->Run(20));
  EXPECT_FALSE(p.w.KeySettings().LyricOn);
  EXPECT_EQ(status->palette().color(QPalette::WindowText), QColor(0xC0, 0xC0, 0xC0));
  EXPECT_TRUE(p.w.Dispatcher()->Run(20));
  EXPECT_EQ(status->palette().color(QPalette::WindowText), QColor(0x00, 0xFF, 0x00));
  // The next song has none: the panel is empty.
  EXPECT_TRUE(p.w.Dispatcher()->Run(9));
  EXPECT_EQ(p.w.Settings().CurFile, plain);
  EXPECT_TRUE(status->text().isEmpty());
}

TEST_F(Windows, SongInformationPopsUpWithTheOrderNumbers) {
  const std::string a = home_ + "/a.mp3", b = home_ + "/b.mp3";
  std::filesystem::copy_file(SORREL_TEST_DATA "/engine/plain_cbr.mp3", a);
  std::filesystem::copy_file(SORREL_TEST_DATA "/engine/plain_cbr.mp3", b);
  Playing p(Home(), env_, {a, b});
  EXPECT_TRUE(p.w.Dispatcher()->Run(9));
  EXPECT_TRUE(p.w.Dispatcher()->Run(19));
  EXPECT_TRUE(p.w.Popup().Shown());
  EXPECT_NE(p.w.Popup().Window().Caption().indexOf(QStringLiteral("AllS: 2 / 2")), -1)
      << p.w.Popup().Window().Caption().toStdString();
  // While it is up, the time stays as it was.
  EXPECT_TRUE(p.w.Popup().PopTimer().isActive());
  p.w.Popup().PopTimerTimer();
  EXPECT_FALSE(p.w.Popup().Shown());
}

namespace {

// The screen as the user sees it: every visible top-level window at its place, the main
// window first.
void DesktopShot(QWidget& main, const char* name) {
  QCoreApplication::processEvents();
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  QImage img(screen.size(), QImage::Format_RGB32);
  img.fill(QColor(0x20, 0x30, 0x40));
  QPainter p(&img);
  p.drawPixmap(main.geometry().topLeft() - screen.topLeft(), main.grab());
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w != &main && w->isVisible()) p.drawPixmap(w->geometry().topLeft() - screen.topLeft(), w->grab());
  p.end();
  const QString dir = QStringLiteral(SORREL_BUILD_DIR "/screenshots");
  QDir().mkpath(dir);
  img.save(dir + QLatin1Char('/') + QString::fromLatin1(name) + QStringLiteral(".png"));
}

// The lyric window's text, or empty while it is hidden.
QString LyricShown() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == QStringLiteral("LyricWindow") && w->isVisible())
      return static_cast<sorrel::controls::THintWindowEx*>(w)->Caption();
  return {};
}

}  // namespace

TEST_F(Windows, LyricLinesComeAtTheirTimes) {
  const std::string song = home_ + "/song.mp3";
  std::filesystem::copy_file(SORREL_TEST_DATA "/engine/mono22k_8s.mp3", song);
  std::ofstream(home_ + "/song.lrc", std::ios::binary)
      << "[00:01:00]one\r\n[00:02:00]two\r\n[00:03:00]three\r\n";
  WriteIni("[Lyric]\r\nLyricOffset=0\r\nDeActiveLyricOff=0\r\n");
  Playing p(Home(), env_, {song});
  // Each line as it is drawn, with the position of the step that drew it.
  std::vector<std::pair<std::string, int>> seen;
  std::pair<int, int> last{-1, 0};
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        const std::pair<int, int> now = p.w.LyricDrawnAt();
        if (now != last) {
          last = now;
          for (const char* word : {"one", "two", "three"})
            if (LyricShown().contains(QStringLiteral("♪") + QString::fromLatin1(word)))
              seen.emplace_back(word, now.second);
        }
        return seen.size() >= 3;
      },
      6000));
  ASSERT_EQ(seen.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    // Drawn by the first position report at or after its time: at most one report
    // (100 ms) late, and what a loaded machine adds before the report is handled.
    EXPECT_EQ(seen[i].first, std::vector<std::string>({"one", "two", "three"})[i]);
    EXPECT_GE(seen[i].second, (i + 1) * 1000) << seen[i].first;
    EXPECT_LE(seen[i].second, (i + 1) * 1000 + 100 + 50) << seen[i].first;
  }
}

TEST_F(Windows, ScreenshotsOfTheMainWindowAtWork) {
  const std::string song = home_ + "/song.mp3";
  std::filesystem::copy_file(SORREL_TEST_DATA "/engine/mono22k_8s.mp3", song);
  const bool tagged = std::system(("id3v2 -t 'A title far too long for the label, so it scrolls along' "
                                   "-a 'Artist' -A 'Album' '" +
                                   song + "' >/dev/null 2>&1")
                                      .c_str()) == 0;
  std::ofstream(home_ + "/song.lrc", std::ios::binary)
      << "[00:00:00]最初の行\r\n[00:00:50]二行目の歌詞\r\n[00:05:00]three\r\n[00:06:00]four\r\n";
  WriteIni("[Lyric]\r\nDeActiveLyricOff=0\r\nTarn_Lyric=1\r\nLyricLine=3\r\n");
  Playing p(Home(), env_, {song});
  EXPECT_TRUE(QTest::qWaitFor([&] { return !LyricShown().isEmpty(); }, 3000));
  QTest::qWait(1300);  // a few title ticks: the title has scrolled
  if (tagged) {
    EXPECT_NE(
        p.w.findChild<QLabel*>(QStringLiteral("lb_Title"))->toolTip().indexOf(QStringLiteral("far too long")),
        -1);
  }
  DesktopShot(p.w, "desktop_468x77_playing");
  for (int pos = 0; pos < 4; ++pos) {
    p.w.Settings().LyricPos = pos;
    p.w.RedrawLyricLine(0);
    EXPECT_FALSE(LyricShown().isEmpty());
    DesktopShot(p.w, ("desktop_lyric_pos" + std::to_string(pos)).c_str());
  }
  for (auto [command, mode] : {std::pair{25, 3}, std::pair{26, 5}}) {
    EXPECT_TRUE(p.w.Dispatcher()->Run(command));
    EXPECT_EQ(p.w.Dispatcher()->DisplayMode(), mode);
    EXPECT_FALSE(LyricShown().isEmpty());
    DesktopShot(p.w, ("desktop_lyric_mode" + std::to_string(mode)).c_str());
    EXPECT_TRUE(p.w.Dispatcher()->Run(21));
  }
  EXPECT_TRUE(p.w.Dispatcher()->Run(20));  // lyrics off for the rest
  EXPECT_TRUE(QTest::qWaitFor([&] { return LyricShown().isEmpty(); }, 2000));
  EXPECT_TRUE(p.w.Dispatcher()->Run(19));
  DesktopShot(p.w, "desktop_information");
  p.w.Popup().PopTimerTimer();
  for (auto [w, h] : {std::pair{300, 60}, std::pair{120, 40}}) {
    p.w.resize(w, h);
    QTest::qWait(500);
    DesktopShot(p.w, ("desktop_" + std::to_string(w) + "x" + std::to_string(h)).c_str());
  }
  p.w.resize(kFormWidth, kFormHeight);
  // Inactive and active: the frame and title colours follow within a clock tick.
  QApplication::setActiveWindow(nullptr);
  QTest::qWait(300);
  DesktopShot(p.w, "desktop_inactive");
  p.w.activateWindow();
  QApplication::setActiveWindow(&p.w);
  QTest::qWait(300);
  DesktopShot(p.w, "desktop_active");
}

TEST_F(Windows, SettingsDialogAppliesToTheMainWindowAndItsRecord) {
  Tfm_PlayerMain w(Home(), env_);
  Tfm_Command command;
  Tfm_PlayFileList files;
  Tfm_PlayList list(Home(), w, files.PlayFiles());
  w.SetCompanions(&list, &files, nullptr, &command);
  w.show();
  w.SetReady();
  command.show();
  QLineEdit* labels = command.ColorEdit(sorrel::settings::TColorEdit::med_LabelColor);
  QLineEdit* back = command.ColorEdit(sorrel::settings::TColorEdit::med_BKColor);
  ASSERT_NE(labels, nullptr);
  ASSERT_NE(back, nullptr);
  // What the dialog shows is the main window's record.
  EXPECT_EQ(back->text(), QStringLiteral("$000000"));
  labels->setText(QStringLiteral("$0080FF"));  // blue 00, green 80, red FF
  back->setText(QStringLiteral("$402010"));
  QTest::mouseClick(command.findChild<QPushButton*>(QStringLiteral("bbtn_Set")), Qt::LeftButton);
  EXPECT_EQ(w.Settings().LabelFontColor, 0x0080FF);
  EXPECT_EQ(w.Settings().BackColor, 0x402010);
  EXPECT_EQ(w.findChild<QLabel*>(QStringLiteral("Label1"))->palette().color(QPalette::WindowText),
            QColor(0xFF, 0x80, 0x00));
  EXPECT_EQ(w.grab().toImage().pixelColor(200, 30), QColor(0x10, 0x20, 0x40));
  // And it is what the settings file gets.
  w.Shutdown();
  EXPECT_NE(Ini().find("\nBackColor=" + std::to_string(0x402010) + "\r\n"), std::string::npos) << Ini();
}

// The map link's worker reaches the window only through queued calls, which run on the
// window's thread; the ones still pending when the host goes are dropped with it.
TEST_F(Windows, MapLinkHostCarriesTheWorkersCallsToTheWindowThread) {
  const auto runQueued = [] {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
  };
  QTimer check;
  TNoMappleWindows windows;
  auto host = std::make_unique<TMapLinkHost>(check, windows);
  std::thread([&] {
    host->SetCheckTimer(true);
    host->SetMapWindow(7);
  }).join();
  EXPECT_FALSE(check.isActive());
  EXPECT_EQ(host->MapWindow(), 0u);
  runQueued();
  EXPECT_TRUE(check.isActive());
  EXPECT_EQ(host->MapWindow(), 7u);
  std::thread([&] { host->SetCheckTimer(false); }).join();
  runQueued();
  EXPECT_FALSE(check.isActive());

  // Commands queued one after another show the busy cursor once; the worker's empty
  // queue takes it away.
  host->SetAppStartingCursor();
  host->SetAppStartingCursor();
  ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::BusyCursor);
  std::thread([&] { host->RestoreCursor(); }).join();
  runQueued();
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

  // After the shutdown the worker's last wish for the check timer is not granted.
  std::thread([&] { host->SetCheckTimer(true); }).join();
  host->Shutdown();
  runQueued();
  EXPECT_FALSE(check.isActive());

  // A fresh link's call still pending when its host goes is dropped with it.
  host = std::make_unique<TMapLinkHost>(check, windows);
  std::thread([&] { host->SetCheckTimer(true); }).join();
  host.reset();
  runQueued();
  EXPECT_FALSE(check.isActive());
}
