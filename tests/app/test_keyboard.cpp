// Key down and key up: commands at key down repeat with the key, the others run once at
// key up, keys during a pending command are ignored, and keys without a command reach
// Navin'You's map view once, at key up.
#include "app/core/Keyboard.h"
#include "tests/app/CommandFakes.h"

#include <gtest/gtest.h>

using namespace sorrel::app;
using namespace sorrel::app::testing;
using Log = std::vector<std::string>;

namespace {

struct FakeKeyboardHost : TKeyboardHost {
  Log* log;
  TKeyContext settings;
  bool canForward = true;
  explicit FakeKeyboardHost(Log* l) : log(l) { settings.LyricOn = true; }
  TKeyContext KeySettings() const override { return settings; }
  bool CanForwardKeys() const override { return canForward; }
  void ForwardKey(uint16_t key) override { log->push_back("forward " + std::to_string(key)); }
  void ClickTime() override { log->push_back("click lb_Time"); }
  void ClickCurTime() override { log->push_back("click lb_CurTime"); }
};

class Keyboard : public ::testing::Test {
 protected:
  Keyboard() {
    rig.order.Set(Directories(3, 4));
    rig.At(0, 10000);
  }
  void Down(uint16_t key, TModifiers m = {}, uint8_t held = 0) { keys.KeyDown({key, m, held}); }
  void Up(uint16_t key) { keys.KeyUp(key); }
  void Press(uint16_t key, TModifiers m = {}, uint8_t held = 0) {
    Down(key, m, held);
    Up(key);
  }

  CommandRig rig;
  FakeKeyboardHost host{&rig.log};
  TKeyboard keys{rig.dispatcher, host};
};

}  // namespace

TEST(KeyDownCommands, AreExactlyTheListedOnes) {
  std::vector<int> atKeyDown;
  for (int c = 0; c <= 75; ++c) {
    if (RunsAtKeyDown(c)) atKeyDown.push_back(c);
  }
  EXPECT_EQ(atKeyDown, (std::vector<int>{0, 1, 5, 6, 7, 8, 9, 10, 11, 19, 28, 29, 30, 31, 41, 42, 43, 44}));
}

TEST_F(Keyboard, RightHeldDownSkipsSongsRepeatedly) {
  Down(VK_RIGHT);
  Down(VK_RIGHT);  // auto-repeat
  Down(VK_RIGHT);
  EXPECT_EQ(rig.nav.played, (std::vector<int>{1, 2, 3}));
  Up(VK_RIGHT);
  EXPECT_EQ(rig.nav.played.size(), 3u);
  EXPECT_EQ(keys.PendingCommand(), 0);
}

TEST_F(Keyboard, CHeldDownTogglesTheSizeOnceAtKeyUp) {
  Down('C');
  Down('C');
  Down('C');
  EXPECT_TRUE(rig.presetHost.resized.empty());
  EXPECT_EQ(keys.PendingCommand(), 33);
  Up('C');
  EXPECT_EQ(rig.presetHost.resized, (std::vector<TWindowSize>{{300, 60}}));
  Up('C');
  EXPECT_EQ(rig.presetHost.resized.size(), 1u);
}

TEST_F(Keyboard, PendingCommandKeepsItsArgument) {
  Down('V', {false, true, false});  // Ctrl+V: store the size as preset 2
  EXPECT_EQ(keys.PendingCommand(), 35);
  Up('V');
  EXPECT_EQ(rig.presetHost.sizes[2], kFormSize);
  EXPECT_EQ(rig.popUp.shown, (Log{"Size3 Saved"}));

  Down(VK_NUMPAD0 + 7, {}, kHeldSlash);  // slash + 7: equaliser preset 7
  rig.presetHost.names[7] = "Rock";
  Up(VK_NUMPAD0 + 7);
  EXPECT_EQ(rig.popUp.shown.back(), "Set Rock");
}

TEST_F(Keyboard, KeyDuringAPendingCommandIsIgnored) {
  Down('C');
  Down(VK_RIGHT);  // would skip a song at once
  EXPECT_TRUE(rig.nav.played.empty());
  Down('B');     // would be forwarded
  Up(VK_RIGHT);  // the pending command runs at the next key up
  EXPECT_EQ(rig.presetHost.resized.size(), 1u);
  Up('B');
  Up('C');
  EXPECT_TRUE(rig.nav.played.empty());
  EXPECT_EQ(rig.presetHost.resized.size(), 1u);
  for (const auto& entry : rig.log) EXPECT_EQ(entry.find("forward"), std::string::npos) << entry;
}

TEST_F(Keyboard, KeyWithoutCommandReachesTheMapViewOnceAtKeyUp) {
  Down('B');
  EXPECT_TRUE(rig.log.empty());
  Down('B');  // auto-repeat
  Up('B');
  EXPECT_EQ(rig.log, (Log{"forward 66"}));
  Press(VK_SHIFT, {true, false, false});
  EXPECT_EQ(rig.log, (Log{"forward 66"}));

  rig.log.clear();
  host.canForward = false;  // no map view, or Navin'You minimised
  Press('B');
  host.canForward = true;
  Press(VK_CONTROL, {false, true, false});
  EXPECT_TRUE(rig.log.empty());
}

TEST_F(Keyboard, ModifierKeysAreNotForwarded) {
  Press(VK_SHIFT, {true, false, false});
  Press(VK_CONTROL, {false, true, false});
  Press(VK_MENU, {false, false, true});
  EXPECT_TRUE(rig.log.empty());
  // With Alt held, B goes on alone; the modifiers do not travel.
  Down(VK_MENU, {false, false, true});
  Down('B', {false, false, true});
  Up('B');
  Up(VK_MENU);
  EXPECT_EQ(rig.log, (Log{"forward 66"}));
}

TEST_F(Keyboard, ACommandClearsTheForwardKey) {
  Down('B');
  Down(VK_RIGHT);  // runs 9 at key down
  Up(VK_RIGHT);
  Up('B');
  EXPECT_EQ(rig.log, (Log{"play 1"}));
}

TEST_F(Keyboard, KeypadPlusAloneDoesNothing) {
  Down(VK_ADD);
  Down(VK_ADD);
  Up(VK_ADD);
  EXPECT_TRUE(rig.log.empty());
  EXPECT_EQ(keys.PendingCommand(), 0);
  EXPECT_EQ(keys.ForwardKey(), 0);
  // And it is a chord key: plus held with keypad 6 is the next directory.
  Down(VK_ADD);
  Down(VK_NUMPAD0 + 6, {}, kHeldPlus);
  EXPECT_EQ(rig.log, (Log{"play 4"}));
}

TEST_F(Keyboard, NumLockIsIgnored) {
  Down('C');
  Press(VK_NUMLOCK);
  EXPECT_EQ(keys.PendingCommand(), 33);
  Up('C');
  EXPECT_EQ(keys.PendingCommand(), 0);
  Press(VK_NUMLOCK);
  EXPECT_TRUE(rig.log.empty());
}

TEST_F(Keyboard, AltLAndAltSClickTheirLabels) {
  Down('L', {false, false, true});
  EXPECT_EQ(rig.log, (Log{"click lb_Time"}));
  Up('L');
  rig.log.clear();
  Down('S', {false, false, true});
  EXPECT_EQ(rig.log, (Log{"click lb_CurTime"}));
  EXPECT_EQ(keys.PendingCommand(), 0);
}

TEST_F(Keyboard, KeypadOneWithLyricsOffReturnsToModeZeroAndSwitchesThemOn) {
  host.settings.LyricOn = false;
  rig.dispatcher.SetDisplayMode(4);
  rig.dispatcher.Run(21);  // drawn at mode 0 ...
  rig.dispatcher.Run(24);  // ... and at 4
  rig.log.clear();
  Down(VK_NUMPAD0 + 1);
  EXPECT_EQ(rig.dispatcher.DisplayMode(), 0);
  EXPECT_EQ(keys.PendingCommand(), 20);
  Up(VK_NUMPAD0 + 1);
  EXPECT_EQ(rig.log, (Log{"lyrics", "redraw 0"}));

  host.settings.LyricOn = true;
  rig.log.clear();
  Press(VK_NUMPAD0 + 1);  // lyrics on, mode 0: display mode 3
  EXPECT_EQ(rig.dispatcher.DisplayMode(), 3);
  Press(VK_NUMPAD0 + 1);  // mode 3: the lyrics go off
  EXPECT_EQ(rig.log, (Log{"redraw 3", "lyrics"}));
}

TEST_F(Keyboard, KeyDownCommandsAreDroppedWhileACommandRuns) {
  // A key arriving during the wait inside "back 3 s" (messages are processed there).
  rig.nav.onProcessMessages = [&] { Down(VK_RIGHT); };
  Press(VK_OEM_COMMA);
  EXPECT_TRUE(rig.nav.played.empty());
  EXPECT_EQ(rig.player.position, 7000);
}
