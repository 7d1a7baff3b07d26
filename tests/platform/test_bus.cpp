// Windows on the bus: names, the exclusive lock, finding by class and caption, and the
// three ways of delivering a message.  Runs inside a private session bus.
#include "platform/desktop/BusWindow.h"

#include "tests/platform/CoreApp.h"
#include "tests/platform/ProcessHelpers.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

using namespace sorrel::desktop;

using namespace testing_sorrel;

namespace {

struct Null : WindowReceiver {
  int32_t WindowMessage(uint32_t, int32_t, int32_t, bool) override { return 0; }
  int32_t WindowCopyData(int32_t, uint32_t, const QByteArray&) override { return 0; }
};

// A fake peer in its own process, so that blocking calls to it cannot wait on ourselves.
class Peer {
 public:
  Peer(const std::string& cls, const std::string& caption) : dir_(MakeTempDir()), log_(dir_ + "/log.txt") {
    child_ = Spawn({SORREL_BUILD_DIR "/tests/platform/fake_window", cls, caption, log_}, {}, dir_);
    ready_ = WaitFor([&] { return access((log_ + ".ready").c_str(), F_OK) == 0; }, 10000);
  }
  ~Peer() {
    Kill(child_, SIGKILL);
    WaitExit(child_, 5000);
    std::system(("rm -rf " + dir_).c_str());
  }
  bool ready() const { return ready_; }
  std::string Log() const { return Slurp(log_); }
  void Stop() {
    Kill(child_, SIGTERM);
    WaitExit(child_, 5000);
  }

 private:
  std::string dir_, log_;
  Child child_;
  bool ready_ = false;
};

}  // namespace

TEST(BusNames, DerivedFromClassNames) {
  EXPECT_EQ(BusNameForClass("Tfm_PlayerMain"), "org.sorrel.Window.Tfm_PlayerMain");
  EXPECT_EQ(BusNameForClass("Navin' You"), "org.sorrel.Window.Navin-27-20You");
  EXPECT_EQ(BusNameForClass("7up"), "org.sorrel.Window.-37up");
  EXPECT_EQ(BusNameForClass("a-b.c"), "org.sorrel.Window.a-2Db-2Ec");
  EXPECT_EQ(BusNameForClass("設定"), "org.sorrel.Window.-E8-A8-AD-E5-AE-9A");
  EXPECT_EQ(BusNameForClass(""), "");
  EXPECT_EQ(BusNameForClass(QString(300, QChar('x'))), "");
  for (const QString& cls : {QStringLiteral("Tfm_TTBMain"), QStringLiteral("Navin' You"),
                             QStringLiteral("#32770"), QStringLiteral("設定 - x")})
    EXPECT_EQ(ClassForBusName(BusNameForClass(cls)), cls) << cls.toStdString();
  for (const char* bad : {"org.sorrel.Window.", "org.sorrel.Window.a-2", "org.sorrel.Window.a-zz",
                          "org.sorrel.Window.a-2d", "org.other.Tfm_PlayerMain", ":1.42"})
    EXPECT_EQ(ClassForBusName(QString::fromLatin1(bad)), std::nullopt) << bad;
}

TEST(BusWindow, OwningTheNameIsExclusiveAndEndsWithTheWindow) {
  testing_sorrel::EnsureCoreApp();
  Null r;
  auto first = std::make_unique<PublishedWindow>("Tfm_LockTest", "one", r);
  ASSERT_EQ(first->Publish(), PublishedWindow::Result::Published);
  PublishedWindow second("Tfm_LockTest", "two", r);
  EXPECT_EQ(second.Publish(), PublishedWindow::Result::NameTaken);
  first.reset();
  EXPECT_TRUE(WaitFor([&] { return !RemoteWindow::Find("Tfm_LockTest").has_value(); }, 3000));
  PublishedWindow third("Tfm_LockTest", "three", r);
  EXPECT_EQ(third.Publish(), PublishedWindow::Result::Published);
}

TEST(BusWindow, FindNeedsClassAndCaptionBothToMatch) {
  testing_sorrel::EnsureCoreApp();
  Peer tool("Tfm_TTBMain", " TenTarnBoard 設定");
  ASSERT_TRUE(tool.ready());
  EXPECT_TRUE(RemoteWindow::Find("Tfm_TTBMain", QString::fromUtf8(" TenTarnBoard 設定")).has_value());
  EXPECT_TRUE(RemoteWindow::Find("Tfm_TTBMain").has_value());
  EXPECT_FALSE(RemoteWindow::Find("Tfm_TTBMain", QString::fromUtf8("TenTarnBoard 設定")).has_value());
  EXPECT_FALSE(RemoteWindow::Find("Tfm_TTBMain", QString::fromUtf8(" TenTarnBoard 設定 ")).has_value());
  EXPECT_FALSE(RemoteWindow::Find("Tfm_ttbmain").has_value());  // class names compare exactly
  const auto w = RemoteWindow::Find("Tfm_TTBMain");
  ASSERT_TRUE(w);
  EXPECT_EQ(w->Caption(), QString::fromUtf8(" TenTarnBoard 設定"));
  tool.Stop();
  EXPECT_FALSE(w->Exists());
  EXPECT_EQ(w->Caption(), std::nullopt);
  EXPECT_FALSE(w->Post(1, 2, 3));
  EXPECT_EQ(w->Send(1, 2, 3, 1000), std::nullopt);
  EXPECT_FALSE(RemoteWindow::Find("Tfm_TTBMain").has_value());
}

TEST(BusWindow, NavigationWindowByClassOrTitlePrefix) {
  testing_sorrel::EnsureCoreApp();
  EXPECT_FALSE(RemoteWindow::FindByCaptionPrefix("Navin' You - ").has_value());
  Peer byClass("Navin' You", "anything");
  ASSERT_TRUE(byClass.ready());
  EXPECT_TRUE(RemoteWindow::Find("Navin' You").has_value());
  Peer byTitle("NYMainFrame", "Navin' You - 東京");
  ASSERT_TRUE(byTitle.ready());
  const auto w = RemoteWindow::FindByCaptionPrefix("Navin' You - ");
  ASSERT_TRUE(w);
  EXPECT_EQ(w->ClassName(), "NYMainFrame");
  EXPECT_FALSE(RemoteWindow::FindByCaptionPrefix("Navin' You - 大阪").has_value());
}

TEST(BusWindow, PostSendAndCopyDataArrive) {
  testing_sorrel::EnsureCoreApp();
  Peer peer("Tfm_Recorder", "rec");
  ASSERT_TRUE(peer.ready());
  const auto w = RemoteWindow::Find("Tfm_Recorder", QStringLiteral("rec"));
  ASSERT_TRUE(w);
  EXPECT_TRUE(w->Post(0x598, -1, 0));
  EXPECT_TRUE(WaitFor([&] { return peer.Log().find("post") != std::string::npos; }, 5000));
  EXPECT_EQ(w->Send(0x599, 4, 123, 5000), 7);
  EXPECT_EQ(w->CopyData(99, 0xFFFFFFFFu, QByteArray("abc\0", 4), 5000), 1);
  EXPECT_EQ(w->CopyData(999, 0, QByteArray(), 5000), 1);
  EXPECT_TRUE(WaitFor([&] { return peer.Log().find("copydata 999") != std::string::npos; }, 5000));
  EXPECT_EQ(peer.Log(), "post 1432 -1 0\nsend 1433 4 123\ncopydata 99 4294967295 4\ncopydata 999 0 0\n");
}
