// sorrel-send against peers that are absent, stuck, busy for a while or captioned
// otherwise: the exit status tells them apart, and the caption look-up waits as long as
// --timeout allows.  Runs inside a private session bus.
#include "tests/platform/ProcessHelpers.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

using namespace testing_sorrel;

namespace {

const std::string kSend = SORREL_BUILD_DIR "/tools/send/sorrel-send";
const std::string kFake = SORREL_BUILD_DIR "/tests/platform/fake_window";

class SendProcess : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = MakeTempDir(); }
  void TearDown() override {
    Kill(peer_, SIGKILL);
    WaitExit(peer_, 5000);
    std::system(("rm -rf " + dir_).c_str());
  }
  // A peer posing as the player; `options` are fake_window's (--hang, --busy MS ...).
  void StartPeer(std::vector<std::string> options, const std::string& caption = "Tarn's MP3Player") {
    std::vector<std::string> argv{kFake};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.insert(argv.end(), {"Tfm_PlayerMain", caption, Log()});
    peer_ = Spawn(argv, {}, dir_);
    ASSERT_TRUE(WaitFor([&] { return access((Log() + ".ready").c_str(), F_OK) == 0; }, 10000));
  }
  std::string Log() const { return dir_ + "/peer.log"; }
  int Send(const std::vector<std::string>& args) {
    std::vector<std::string> argv{kSend};
    argv.insert(argv.end(), args.begin(), args.end());
    out_.clear();
    err_.clear();
    return testing_sorrel::Run(argv, {}, dir_, 30000, &out_, &err_);
  }

  std::string dir_, out_, err_;
  Child peer_;
};

}  // namespace

TEST_F(SendProcess, AbsentPlayerIsOneAndAStuckPlayerIsFourForEveryVerb) {
  EXPECT_EQ(Send({"--timeout", "300", "find"}), 1);
  EXPECT_NE(err_.find("no player is running"), std::string::npos) << err_;

  StartPeer({"--hang"});
  for (const auto& verb : std::vector<std::vector<std::string>>{{"find"},
                                                                {"post", "0x599", "4", "0"},
                                                                {"send", "0x599", "4", "0"},
                                                                {"copydata", "99", "/a.pdr"},
                                                                {"drop", "/a.pdr"}}) {
    std::vector<std::string> args{"--timeout", "300"};
    args.insert(args.end(), verb.begin(), verb.end());
    EXPECT_EQ(Send(args), 4) << verb[0] << ": " << err_;
    EXPECT_NE(err_.find("sorrel-send: no answer in time"), std::string::npos) << verb[0] << ": " << err_;
    EXPECT_EQ(err_.find("no player is running"), std::string::npos) << verb[0] << ": " << err_;
  }
  // Without a caption to check the look-up asks nothing; the delivery still times out.
  EXPECT_EQ(Send({"--timeout", "300", "--any-caption", "send", "0x599", "4", "0"}), 4) << err_;
  EXPECT_EQ(Send({"--timeout", "300", "--any-caption", "post", "0x599", "4", "0"}), 0) << err_;
  EXPECT_EQ(Slurp(Log()), "");
}

TEST_F(SendProcess, CaptionLookUpWaitsAsLongAsTheTimeout) {
  // Busy for longer than any fixed look-up would wait, shorter than the time-out.
  StartPeer({"--busy", "2500"});
  EXPECT_EQ(Send({"--timeout", "20000", "send", "0x599", "4", "0"}), 0) << err_;
  EXPECT_EQ(out_, "7\n");
  EXPECT_EQ(Slurp(Log()), "send 1433 4 0\n");
}

TEST_F(SendProcess, AnotherCaptionIsNoSuchWindow) {
  StartPeer({"--answer", "0"}, "Other Player");
  EXPECT_EQ(Send({"copydata", "99", "/a.pdr"}), 1);
  EXPECT_NE(err_.find("\"Other Player\""), std::string::npos) << err_;
  EXPECT_EQ(Send({"--caption", "Other Player", "find"}), 0) << err_;
  EXPECT_EQ(out_, "org.sorrel.Window.Tfm_PlayerMain\tOther Player\n");
  // A refused copy-data is delivered: the answer says it was ignored.
  EXPECT_EQ(Send({"--any-caption", "copydata", "99", "/a.pdr"}), 0) << err_;
  EXPECT_EQ(out_, "0\n");
  EXPECT_EQ(Slurp(Log()), "copydata 99 0 7\n");
}
