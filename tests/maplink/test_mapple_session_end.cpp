// The end of the desktop session: the map program ended and its leftover dialogs
// answered "いいえ(&N)" one by one, never endlessly.
#include "maplink/core/MappleLink.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sorrel::maplink {
namespace {

// A desktop of numbered windows: the map program's window 7, `dialogs` dialogs
// "Super Mapple Digital" (handles 100, 101, ...) each with its buttons, gone once
// clicked "いいえ(&N)".
struct Desktop final : TMappleSessionEndIntf {
  int dialogs = 0;
  bool withNoButton = true;
  bool clickHangs = false;
  bool dialogsStay = false;  // a dialog that a click does not close
  std::vector<std::string> log;

  bool TerminateOwner(TMapWindow w) override {
    log.push_back("terminate " + std::to_string(w));
    return true;
  }
  TMapWindow FindDialog(const std::string& title) override {
    if (title != "Super Mapple Digital" || dialogs == 0) return 0;
    return 100 + TMapWindow(dialogs - 1);
  }
  TMapWindow FindButton(TMapWindow dialog, const std::string& title) override {
    return withNoButton && title == "いいえ(&N)" ? dialog * 10 : 0;
  }
  bool SendClick(TMapWindow button, int timeoutMs) override {
    log.push_back("click " + std::to_string(button) + " " + std::to_string(timeoutMs));
    if (clickHangs) return false;
    if (!dialogsStay) --dialogs;
    return true;
  }
  void Sleep(int ms) override { log.push_back("sleep " + std::to_string(ms)); }
};

TEST(MappleSessionEnd, EndsTheProgramThenAnswersEachDialogNo) {
  Desktop d;
  d.dialogs = 2;
  EXPECT_EQ(EndMappleProgram(d, 7), 2);
  EXPECT_EQ(d.log, (std::vector<std::string>{"terminate 7", "sleep 999", "click 1010 4999", "sleep 99",
                                             "click 1000 4999", "sleep 99"}));
  EXPECT_EQ(d.dialogs, 0);
}

TEST(MappleSessionEnd, NothingWithoutAKnownMapWindow) {
  Desktop d;
  d.dialogs = 1;
  EXPECT_EQ(EndMappleProgram(d, 0), 0);
  EXPECT_TRUE(d.log.empty());
}

TEST(MappleSessionEnd, StopsAtADialogWithoutTheButtonOrAFailedClick) {
  Desktop noButton;
  noButton.dialogs = 1;
  noButton.withNoButton = false;
  EXPECT_EQ(EndMappleProgram(noButton, 7), 0);
  EXPECT_EQ(noButton.log, (std::vector<std::string>{"terminate 7", "sleep 999"}));

  Desktop hanging;
  hanging.dialogs = 3;
  hanging.clickHangs = true;
  EXPECT_EQ(EndMappleProgram(hanging, 7), 0);
  EXPECT_EQ(hanging.log.back(), "click 1020 4999");
  EXPECT_EQ(hanging.log.size(), 3u);
}

TEST(MappleSessionEnd, ADialogThatNeverGoesAwayIsAnsweredABoundedNumberOfTimes) {
  Desktop d;
  d.dialogs = 1;
  d.dialogsStay = true;
  EXPECT_EQ(EndMappleProgram(d, 7), kMaxSessionEndDialogs);
  EXPECT_EQ(d.log.size(), 2u + 2u * kMaxSessionEndDialogs);
}

}  // namespace
}  // namespace sorrel::maplink
