// Other programs' windows over a private session bus, against peers in processes of
// their own (foreign_peer): the order and handles of several peers' windows, a peer that
// vanishes, answers with wrong sizes, hangs, floods or is ended by force.
#include "platform/desktop/BusWindow.h"
#include "platform/desktop/ForeignWindows.h"

#include "tests/platform/CoreApp.h"
#include "tests/platform/ProcessHelpers.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <set>
#include <sstream>

using namespace sorrel;
using namespace testing_sorrel;
using desktop::ForeignHandle;
using desktop::ForeignWindowClient;
using desktop::ShowCommand;

namespace {

class PeerProcess {
 public:
  explicit PeerProcess(const std::string& tag, std::vector<std::string> options = {}) : dir_(MakeTempDir()) {
    std::vector<std::string> argv{SORREL_BUILD_DIR "/tests/platform/foreign_peer"};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.push_back(tag);
    child_ = Spawn(argv, {}, dir_);
    ready_ = WaitFor([&] { return Out().find("# ready") != std::string::npos; }, 10000);
  }
  ~PeerProcess() {
    Stop();
    std::system(("rm -rf " + dir_).c_str());
  }
  bool ready() const { return ready_; }
  pid_t pid() const { return child_.pid; }
  std::string Out() const { return Slurp(child_.stdoutPath); }
  bool Printed(const std::string& line, int ms = 5000) const {
    return WaitFor([&] { return Out().find(line + "\n") != std::string::npos; }, ms);
  }
  std::optional<int> WaitEnd(int ms) { return WaitExit(child_, ms); }
  void Stop() {
    if (child_.pid > 0) {
      Kill(child_, SIGKILL);
      WaitExit(child_, 5000);
      child_.pid = -1;
    }
  }

 private:
  std::string dir_;
  Child child_;
  bool ready_ = false;
};

std::vector<QString> Titles(const std::vector<desktop::ForeignWindowInfo>& list) {
  std::vector<QString> out;
  for (const auto& w : list) out.push_back(w.title);
  return out;
}

ForeignHandle Top(ForeignWindowClient& client, const QString& title) {
  ForeignWindowClient::Match m;
  m.title = title;
  return client.FindTopLevel(m);
}

int64_t MsSince(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t).count();
}

// How much longer than its time-out a call may take: the bus daemon's own round trips on
// a machine shared with other work.
constexpr int kSlackMs = 1500;

}  // namespace

TEST(ForeignWindows, TwoPeersInJoinOrderWithStableHandlesAndTrees) {
  testing_sorrel::EnsureCoreApp();
  PeerProcess first("p"), second("q");
  ASSERT_TRUE(first.ready() && second.ready());
  ForeignWindowClient client;

  const auto top = client.TopLevelWindows();
  EXPECT_EQ(Titles(top), (std::vector<QString>{"p-A", "p-B", "q-A", "q-B"}));
  std::set<ForeignHandle> handles;
  for (const auto& w : top) handles.insert(w.handle);
  EXPECT_EQ(handles.size(), 4u);
  EXPECT_FALSE(handles.count(0));
  // Asked again, the same windows have the same handles.
  const auto again = client.TopLevelWindows();
  ASSERT_EQ(again.size(), top.size());
  for (size_t i = 0; i < top.size(); ++i) EXPECT_EQ(again[i].handle, top[i].handle);

  const ForeignHandle qa = top[2].handle;
  EXPECT_EQ(top[2].className, "#32770");
  EXPECT_EQ(top[2].rect, QRect(10, 20, 300, 200));
  EXPECT_TRUE(top[2].Visible());
  const auto all = client.ChildWindows(qa, true);
  EXPECT_EQ(Titles(all), (std::vector<QString>{"q-A1", "q-A2", "q-A2x"}));
  EXPECT_EQ(Titles(client.ChildWindows(qa, false)), (std::vector<QString>{"q-A1", "q-A2"}));
  EXPECT_EQ(all[2].parent, all[1].handle);
  EXPECT_FALSE(all[2].Visible());
  EXPECT_TRUE(all[1].shown);
  EXPECT_FALSE(all[2].shown);
  EXPECT_TRUE(client.ChildWindows(top[3].handle).empty());

  // Same class in both peers: class and title prefix pick one; children of one peer's
  // window never include the other's.
  ForeignWindowClient::Match m;
  m.className = QStringLiteral("#32770");
  m.title = QStringLiteral("q-");
  m.titlePrefix = true;
  EXPECT_EQ(client.FindTopLevel(m), qa);
  m.title = QStringLiteral("q-");
  m.titlePrefix = false;
  EXPECT_EQ(client.FindTopLevel(m), 0u);
  ForeignWindowClient::Match child;
  child.title = QStringLiteral("p-A1");
  EXPECT_EQ(client.FindChild(qa, child), 0u);
  child.title = QStringLiteral("q-A2x");
  EXPECT_EQ(client.FindChild(qa, child), all[2].handle);
  const auto info = client.Info(all[0].handle);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->className, "Button");
  EXPECT_EQ(info->parent, qa);

  // Messages reach the window the handle names, in the right peer.
  EXPECT_TRUE(client.Post(all[0].handle, 0xF5, 0, 0));
  EXPECT_TRUE(second.Printed("post 245 0 0 q-A1"));
  EXPECT_EQ(client.Send(top[0].handle, 0x111, 32981, 0, 2000), 0x112);
  EXPECT_TRUE(first.Printed("send 273 32981 0 p-A"));
  EXPECT_EQ(first.Out().find("q-"), std::string::npos);
  EXPECT_EQ(second.Out().find("p-"), std::string::npos);
}

TEST(ForeignWindows, HandlesOfAVanishedPeerAreDeadAndNeverReused) {
  testing_sorrel::EnsureCoreApp();
  PeerProcess stays("p");
  auto gone = std::make_unique<PeerProcess>("q");
  ASSERT_TRUE(stays.ready() && gone->ready());
  ForeignWindowClient client;
  const ForeignHandle qa = Top(client, "q-A");
  ASSERT_NE(qa, 0u);
  const auto children = client.ChildWindows(qa);
  ASSERT_EQ(children.size(), 3u);
  std::set<ForeignHandle> old{qa};
  for (const auto& c : children) old.insert(c.handle);
  for (const auto& w : client.TopLevelWindows()) old.insert(w.handle);

  gone.reset();  // killed
  ASSERT_TRUE(WaitFor([&] { return client.TopLevelWindows().size() == 2; }, 5000));
  EXPECT_EQ(Titles(client.TopLevelWindows()), (std::vector<QString>{"p-A", "p-B"}));
  for (ForeignHandle h : {qa, children[0].handle}) {
    EXPECT_FALSE(client.Info(h));
    EXPECT_TRUE(client.ChildWindows(h).empty());
    EXPECT_FALSE(client.Capture(h, 0, 0, 4, 4));
    EXPECT_FALSE(client.Post(h, 0x111, 1, 0));
    EXPECT_FALSE(client.Send(h, 0x111, 1, 0, 500));
    EXPECT_FALSE(client.Show(h, ShowCommand::Forward));
    EXPECT_FALSE(client.ProcessId(h));
    EXPECT_FALSE(client.Terminate(h));
  }
  EXPECT_FALSE(client.Info(0));
  EXPECT_FALSE(client.Info(987654321));

  // The same windows published again are new windows with new handles.
  PeerProcess back("q");
  ASSERT_TRUE(back.ready());
  for (const auto& w : client.TopLevelWindows()) {
    if (w.title.startsWith("q-")) {
      EXPECT_FALSE(old.count(w.handle)) << w.title.toStdString();
    }
    if (w.title.startsWith("q-A")) {
      for (const auto& c : client.ChildWindows(w.handle)) EXPECT_FALSE(old.count(c.handle));
    }
  }
}

TEST(ForeignWindows, PeerThatVanishesInTheMiddleOfASend) {
  testing_sorrel::EnsureCoreApp();
  PeerProcess peer("p", {"--exit-on-send"});
  ASSERT_TRUE(peer.ready());
  ForeignWindowClient client;
  const ForeignHandle a = Top(client, "p-A");
  ASSERT_NE(a, 0u);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(client.Send(a, 0, 0, 0, 5000));
  EXPECT_LT(MsSince(start), 5000 + kSlackMs);
  EXPECT_FALSE(client.Info(a));
}

TEST(ForeignWindows, CaptureReturnsWhatThePeerSentWhateverItsSize) {
  testing_sorrel::EnsureCoreApp();
  PeerProcess right("p"), wrong("q", {"--capture", "3,2,5"}), huge("r", {"--capture", "-7,100000,0"});
  ASSERT_TRUE(right.ready() && wrong.ready() && huge.ready());
  ForeignWindowClient client;
  const auto good = client.Capture(Top(client, "p-A"), 12, 11, 110, 10);
  ASSERT_TRUE(good);
  EXPECT_EQ(good->width, 110);
  EXPECT_EQ(good->height, 10);
  EXPECT_EQ(good->rgb.size(), 110 * 10 * 3);
  const auto bad = client.Capture(Top(client, "q-A"), 12, 11, 110, 10);
  ASSERT_TRUE(bad);
  EXPECT_EQ(bad->width, 3);
  EXPECT_EQ(bad->height, 2);
  EXPECT_EQ(bad->rgb.size(), 5);
  const auto worse = client.Capture(Top(client, "r-A"), 0, 0, 10, 10);
  ASSERT_TRUE(worse);
  EXPECT_EQ(worse->width, -7);
  EXPECT_TRUE(worse->rgb.isEmpty());
  // Asking a publisher for nonsense gives nothing, not a crash or a huge buffer.
  const auto none = client.Capture(Top(client, "p-A"), 0, 0, -5, 1 << 30);
  ASSERT_TRUE(none);
  EXPECT_TRUE(none->rgb.isEmpty());
  // A window without pixels of its own answers grey of the asked size.
  const auto plain = client.Capture(Top(client, "p-B"), 0, 0, 2, 2);
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->rgb, QByteArray(12, char(0x80)));
}

TEST(ForeignWindows, HangingPeerCostsNoMoreThanTheTimeOut) {
  testing_sorrel::EnsureCoreApp();
  PeerProcess stuck("p", {"--hang-on-send"}), fine("q");
  ASSERT_TRUE(stuck.ready() && fine.ready());
  ForeignWindowClient client(700);
  const ForeignHandle a = Top(client, "p-A");
  ASSERT_NE(a, 0u);
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(client.Send(a, 0, 0, 0, 400));  // WM_NULL, never answered
  EXPECT_LT(MsSince(start), 400 + kSlackMs);
  ASSERT_TRUE(stuck.Printed("send 0 0 0 p-A"));

  // Every later call on the hung peer gives up in time too; the other peer still answers.
  // The hung peer's windows stay as it last told them, so that it can be found and ended.
  start = std::chrono::steady_clock::now();
  EXPECT_EQ(Titles(client.TopLevelWindows()), (std::vector<QString>{"p-A", "p-B", "q-A", "q-B"}));
  EXPECT_LT(MsSince(start), 700 + kSlackMs);
  // Found hung, it is not waited for in full again (four full waits would be 2800 ms).
  start = std::chrono::steady_clock::now();
  EXPECT_FALSE(client.Capture(a, 0, 0, 4, 4));
  EXPECT_FALSE(client.Show(a, ShowCommand::Forward));
  ASSERT_TRUE(client.Info(a));
  EXPECT_EQ(client.Info(a)->title, "p-A");
  EXPECT_LT(MsSince(start), 2 * 700);
  // Posting to it still "works": the bus takes it for a peer that is there.
  EXPECT_TRUE(client.Post(a, 0x111, 1, 0));
}

TEST(ForeignWindows, EndedByForceThroughItsProcessIdFromTheBus) {
  testing_sorrel::EnsureCoreApp();
  PeerProcess stuck("p", {"--hang-on-send"});
  ASSERT_TRUE(stuck.ready());
  ForeignWindowClient client;
  const ForeignHandle b = Top(client, "p-B");
  ASSERT_NE(b, 0u);
  EXPECT_EQ(client.ProcessId(b), uint32_t(stuck.pid()));
  EXPECT_FALSE(client.Send(b, 0, 0, 0, 300));
  EXPECT_TRUE(client.Info(b));  // hung, still there
  EXPECT_TRUE(client.Terminate(b));
  EXPECT_EQ(stuck.WaitEnd(5000), 128 + SIGKILL);
  // Ended, it and its windows are gone.
  EXPECT_TRUE(WaitFor([&] { return client.TopLevelWindows().empty(); }, 5000));
  EXPECT_FALSE(client.Info(b));
  EXPECT_FALSE(client.Terminate(b));
}

namespace {
struct Counter : desktop::WindowReceiver {
  int posts = 0;
  int32_t WindowMessage(uint32_t msg, int32_t, int32_t, bool) override {
    posts += msg == 0x697;
    return 0;
  }
  int32_t WindowCopyData(int32_t, uint32_t, const QByteArray&) override { return 0; }
};
}  // namespace

TEST(ForeignWindows, AFloodOfPostsNeitherBlocksCallsNorGetsLost) {
  testing_sorrel::EnsureCoreApp();
  Counter counter;
  desktop::PublishedWindow mine(QStringLiteral("Tfm_PlayerMain"), QStringLiteral("Tarn's MP3Player"),
                                counter);
  ASSERT_EQ(mine.Publish(), desktop::PublishedWindow::Result::Published);
  constexpr int kFlood = 20000;
  PeerProcess flooder("p", {"--flood", "Tfm_PlayerMain," + std::to_string(kFlood)}), other("q");
  ASSERT_TRUE(flooder.ready() && other.ready());
  ForeignWindowClient client(1000);
  // While the posts pour in (and are not taken off the queue), the client's calls answer.
  for (int i = 0; i < 5; ++i) {
    const auto start = std::chrono::steady_clock::now();
    const auto top = client.TopLevelWindows();
    EXPECT_LT(MsSince(start), 1000 + kSlackMs);
    EXPECT_EQ(Titles(top).back(), "q-B");
    EXPECT_TRUE(client.Capture(Top(client, "q-A"), 0, 0, 8, 8));
  }
  ASSERT_TRUE(flooder.Printed("# flooded", 20000));
  // Then the event loop takes them all; the flood costs nothing but their handling.
  EXPECT_TRUE(WaitFor(
      [&] {
        QCoreApplication::processEvents();
        return counter.posts == kFlood;
      },
      20000))
      << counter.posts;
  EXPECT_EQ(Titles(client.TopLevelWindows()), (std::vector<QString>{"p-A", "p-B", "q-A", "q-B"}));
}

TEST(ForeignWindows, ShowRequestsChangeTheStateAndKeysFollowTheForegroundPeer) {
  testing_sorrel::EnsureCoreApp();
  PeerProcess p("p"), q("q");
  ASSERT_TRUE(p.ready() && q.ready());
  ForeignWindowClient client;
  const ForeignHandle pa = Top(client, "p-A"), qb = Top(client, "q-B");
  EXPECT_FALSE(client.KeyEvent(0x11, false));  // nobody brought forward yet

  EXPECT_TRUE(client.Show(pa, ShowCommand::Minimise));
  EXPECT_TRUE(client.Info(pa)->Minimised());
  EXPECT_TRUE(client.Show(pa, ShowCommand::Maximise));
  EXPECT_FALSE(client.Info(pa)->Minimised());
  EXPECT_TRUE(client.Info(pa)->Maximised());
  EXPECT_TRUE(client.Show(pa, ShowCommand::Minimise));
  EXPECT_TRUE(client.Show(pa, ShowCommand::Restore));  // back to maximised
  EXPECT_TRUE(client.Info(pa)->Maximised());
  EXPECT_FALSE(client.Info(pa)->Minimised());
  EXPECT_TRUE(client.Show(pa, ShowCommand::Normal));
  EXPECT_EQ(client.Info(pa)->state, desktop::kVisible);
  EXPECT_TRUE(p.Printed("show normal p-A"));

  EXPECT_TRUE(client.Show(qb, ShowCommand::Forward));
  EXPECT_TRUE(client.KeyEvent(0x51, false));
  EXPECT_TRUE(q.Printed("key 81 down"));
  EXPECT_EQ(p.Out().find("key"), std::string::npos);
}

TEST(ForeignWindows, ATreeOfNonsenseGivesOnlyItsSoundPart) {
  testing_sorrel::EnsureCoreApp();
  PeerProcess order("x", {"--bad-tree", "order"}), lengths("y", {"--bad-tree", "lengths"}),
      types("z", {"--bad-tree", "types"}), good("p");
  ASSERT_TRUE(order.ready() && lengths.ready() && types.ready() && good.ready());
  ForeignWindowClient client;
  const auto top = client.TopLevelWindows();
  // A child before its parent, a repeated id, id 0 and an orphan are left out; arrays of
  // different lengths or of the wrong types leave the whole peer out.
  EXPECT_EQ(Titles(top), (std::vector<QString>{"top", "p-A", "p-B"}));
  ASSERT_FALSE(top.empty());
  EXPECT_EQ(Titles(client.ChildWindows(top[0].handle)), (std::vector<QString>{"child"}));
  EXPECT_EQ(top[0].rect, QRect(4, 5, 6, 7));
}
