// The windows on Qt's offscreen platform: the settings styling the main window, a
// settings file that cannot be read, the shutdown sequence with and without the
// keyboard tool, command 4, the version dialog.
// Screenshots of the windows land in the build directory.
#include "app/ui/CompanionWindows.h"
#include "app/ui/PlayerMain.h"
#include "platform/audio/WaveOut.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

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
  bool MapViewKnown() override { return false; }
  void PostToMapView(uint32_t, int32_t, int32_t) override {}
  bool RestoreWaveVolume(uint32_t v) override {
    restored.push_back(v);
    return deviceOpens;
  }
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
  EXPECT_EQ(env_.navinPosts, std::vector<std::string>{"1689 2 0"});
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
