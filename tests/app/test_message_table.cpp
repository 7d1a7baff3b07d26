// The main window's message table: routing, ranges, payload checks and the suspended rules.
#include "app/core/MessageTable.h"

#include <gtest/gtest.h>

using namespace sorrel::app;

namespace {

struct Handler : TMainMessageHandler {
  bool suspended = false, linkActive = false;
  std::vector<std::string> calls;
  bool Suspended() const override { return suspended; }
  bool PositionLinkActive() const override { return linkActive; }
  void SetSavedWaveVolume(uint32_t v) override { calls.push_back("volume " + std::to_string(v)); }
  void OpenListFileAndPlay(const std::string& p, bool hide) override {
    calls.push_back(std::string(hide ? "open+hide " : "open ") + p);
  }
  void ParkCursor() override { calls.push_back("park"); }
  void PositionSentence(const std::string& s) override { calls.push_back("sentence " + s); }
  void ShowInputMode(int m) override { calls.push_back("mode " + std::to_string(m)); }
  void SetResumeAdjustment(int32_t ms) override { calls.push_back("adjust " + std::to_string(ms)); }
  void RunCommand(int c, int32_t a) override {
    calls.push_back("command " + std::to_string(c) + " " + std::to_string(a));
  }
  void MapMatchStatus(int32_t m, bool show) override {
    calls.push_back("mapmatch " + std::to_string(m) + (show ? " show" : ""));
  }
  void QueryEndSession() override { calls.push_back("endsession"); }
  void PowerBroadcast(int32_t e) override { calls.push_back("power " + std::to_string(e)); }
  void AppCommand(uint32_t l) override { calls.push_back("appcommand " + std::to_string(l)); }
};

std::string Nul(const char* s) { return std::string(s) + '\0'; }

}  // namespace

TEST(MessageTable, CopyDataRouting) {
  Handler h;
  TMessageTable t(h);
  EXPECT_EQ(t.CopyData(9, 0xFFFF0000u, {}), 1);
  EXPECT_EQ(t.CopyData(99, 0, Nul("/m/list.pdr")), 1);
  EXPECT_EQ(t.CopyData(999, 0, {}), 1);
  EXPECT_EQ(t.CopyData(9999, 0, Nul("$tnlink_data,1")), 0);  // the link is off
  h.linkActive = true;
  EXPECT_EQ(t.CopyData(9999, 0, Nul("$tnlink_data,1")), 1);
  for (int32_t w : {0, 1, 98, 100, -99, 99999, INT32_MIN}) EXPECT_EQ(t.CopyData(w, 1, "x"), 0) << w;
  EXPECT_EQ(h.calls, (std::vector<std::string>{"volume 4294901760", "open+hide /m/list.pdr", "park",
                                               "sentence $tnlink_data,1"}));
}

TEST(MessageTable, SuspendedPlayerStillTakesHandOffButNoPosition) {
  Handler h;
  h.suspended = true;
  h.linkActive = true;
  TMessageTable t(h);
  EXPECT_EQ(t.CopyData(9, 5, {}), 1);
  EXPECT_EQ(t.CopyData(99, 0, "a.pfl"), 1);
  EXPECT_EQ(t.CopyData(999, 0, {}), 1);
  EXPECT_EQ(t.CopyData(9999, 0, "$tnlink_data,1"), 0);
  EXPECT_EQ(h.calls.size(), 3u);
}

TEST(MessageTable, HostilePayloadsAreIgnored) {
  Handler h;
  TMessageTable t(h);
  EXPECT_EQ(t.CopyData(99, 0, {}), 0);
  EXPECT_EQ(t.CopyData(99, 0, std::string(1, '\0')), 0);
  EXPECT_EQ(t.CopyData(99, 0, "\xFF\xFE/list.pdr"), 0);
  EXPECT_EQ(t.CopyData(99, 0, "\x82\xA0.pdr"), 0);
  EXPECT_EQ(t.CopyData(99, 0, std::string(kMaxCopyDataBytes + 1, 'a')), 0);
  EXPECT_EQ(t.CopyData(99, 0, std::string(kMaxCopyDataBytes, 'a')), 1);
  // Text after the first NUL is not part of the path.
  EXPECT_EQ(t.CopyData(99, 0, std::string("/a.pdr\0\xFF junk", 13)), 1);
  ASSERT_EQ(h.calls.size(), 2u);
  EXPECT_EQ(h.calls[1], "open+hide /a.pdr");
  EXPECT_EQ(t.DropFiles({}), 0);
  EXPECT_EQ(t.DropFiles({"\xC0\x80"}), 0);
  EXPECT_EQ(t.DropFiles({"/d/x.m3u", "/d/y.pfl"}), 1);
  EXPECT_EQ(h.calls.back(), "open /d/x.m3u");
}

TEST(MessageTable, NumberedMessages) {
  Handler h;
  TMessageTable t(h);
  EXPECT_EQ(t.Message(kMsgInputMode, 0, 0), 1);
  EXPECT_EQ(t.Message(kMsgInputMode, 0, 8), 1);
  EXPECT_EQ(t.Message(kMsgInputMode, 0, 9), 0);
  EXPECT_EQ(t.Message(kMsgInputMode, 0, -1), 0);
  EXPECT_EQ(t.Message(kMsgInputMode, 1, -1500), 1);
  EXPECT_EQ(t.Message(kMsgInputMode, 2, 0), 0);
  EXPECT_EQ(t.Message(kMsgCommand, 0, 7), 1);
  EXPECT_EQ(t.Message(kMsgCommand, 75, -1), 1);
  // Every number goes on: the dispatcher's low 7 bits decide (133 is 5, 76 nothing).
  EXPECT_EQ(t.Message(kMsgCommand, 133, 2), 1);
  EXPECT_EQ(t.Message(kMsgCommand, -1, 0), 1);
  EXPECT_EQ(t.Message(kMsgMapMatchStatus, 3, 1), 1);
  EXPECT_EQ(t.Message(WM_QUERYENDSESSION, 0, 0), 1);
  EXPECT_EQ(t.Message(WM_APPCOMMAND, 0, static_cast<int32_t>(0x80010000u)), 1);
  for (uint32_t m : {0u, 0x598u, 0x59Au, 0x4Au, 0xFFFFFFFFu}) EXPECT_EQ(t.Message(m, 1, 1), 0) << m;
  EXPECT_EQ(h.calls, (std::vector<std::string>{"mode 0", "mode 8", "adjust -1500", "command 0 7",
                                               "command 75 -1", "command 133 2", "command -1 0",
                                               "mapmatch 3 show", "endsession", "appcommand 2147549184"}));
}
