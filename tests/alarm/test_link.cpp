// The position sentence and its validity ranges; the map-match mode, its messages and
// what the status panel and the pop-up show of it.
#include "alarm/core/MapMatch.h"
#include "alarm/core/TNLink.h"

#include <gtest/gtest.h>

#include <string>

namespace sorrel::alarm {
namespace {

TEST(TNLinkSentence, FieldsInAnyOrder) {
  const TTNLinkSentence s = ParseTNLinkSentence("$tnlink_data,vel=42.5,dir=270.0,kei=139.12345,ido=35.12345");
  EXPECT_EQ(s, (TTNLinkSentence{35.12345, 139.12345, 270.0, 42.5}));
  EXPECT_TRUE(s.Valid());
  // The text ends at the first NUL, as copy-data delivers it.
  const std::string withNul("$tnlink_data,ido=35,kei=139,dir=1,vel=2\0,vel=99", 47);
  EXPECT_EQ(ParseTNLinkSentence(withNul).Velocity, 2.0);
  // The first of a repeated key counts; unknown fields and empty ones are skipped.
  EXPECT_EQ(ParseTNLinkSentence("$tnlink_data,ido=30,,x=1,ido=40").Latitude, 30.0);
}

TEST(TNLinkSentence, MissingAndBadFieldsStayAtMinus99_9) {
  // Without the prefix nothing is read.
  for (const char* text :
       {"", "$tnlink_data", "tnlink_data,ido=35,kei=139,dir=0,vel=0",
        "$TNLINK_DATA,ido=35,kei=139,dir=0,vel=0", "$tnlink_data;ido=35,kei=139,dir=0,vel=0"})
    EXPECT_EQ(ParseTNLinkSentence(text), TTNLinkSentence{}) << text;
  const TTNLinkSentence s = ParseTNLinkSentence("$tnlink_data,ido=abc,kei=,dir=1e999,vel=nan");
  EXPECT_EQ(s, TTNLinkSentence{});
  EXPECT_FALSE(s.Valid());
  // A field without its key's "=" is not the key.
  EXPECT_EQ(ParseTNLinkSentence("$tnlink_data,ido35,kei=139").Latitude, kTNLinkMissing);
}

TEST(TNLinkSentence, ValidityRanges) {
  const auto valid = [](const char* fields) {
    return ParseTNLinkSentence(std::string("$tnlink_data,") + fields).Valid();
  };
  EXPECT_TRUE(valid("ido=20,kei=160,dir=0,vel=0"));
  EXPECT_TRUE(valid("ido=50,kei=120,dir=359.9,vel=300"));
  EXPECT_TRUE(valid("ido=35,kei=139,dir=-0.99,vel=-0.99"));
  EXPECT_FALSE(valid("ido=35,kei=139,dir=0,vel=-1"));
  EXPECT_FALSE(valid("ido=35,kei=139,dir=-1,vel=0"));
  EXPECT_FALSE(valid("ido=19.99999,kei=139,dir=0,vel=0"));
  EXPECT_FALSE(valid("ido=50.00001,kei=139,dir=0,vel=0"));
  EXPECT_FALSE(valid("ido=35,kei=119.99999,dir=0,vel=0"));
  EXPECT_FALSE(valid("ido=35,kei=160.00001,dir=0,vel=0"));
  EXPECT_FALSE(valid("ido=35,kei=139,dir=0"));  // velocity missing (-99.9)
}

TEST(MapMatch, CycleAndStartMessages) {
  int mode = 4;
  TMapMatch m(mode);
  EXPECT_EQ(m.StartMessages(), (std::vector<TNavinMessage>{{0x699, 4, 0}, {0x698, 0, 0}}));
  std::vector<int> seen;
  for (int i = 0; i < 4; ++i) {
    const std::vector<TNavinMessage> sent = m.Cycle();
    EXPECT_EQ(sent, (std::vector<TNavinMessage>{{0x699, mode, 0}, {0x698, 1, 0}}));
    seen.push_back(mode);
  }
  EXPECT_EQ(seen, (std::vector<int>{2, 1, 4, 2}));
  // The setting lives in the settings record the mode refers to.
  EXPECT_EQ(mode, 2);
  // Modes that are none of the three: 3 -> 1, 0 -> 4, a large one halves.
  EXPECT_EQ(NextMapMatchMode(3), 1);
  EXPECT_EQ(NextMapMatchMode(0), 4);
  EXPECT_EQ(NextMapMatchMode(-5), 4);
  EXPECT_EQ(NextMapMatchMode(9), 4);
}

TEST(MapMatch, ReportFromNavinYou) {
  int mode = 3;
  TMapMatch m(mode);
  // It runs another mode while the link is on and it is known: set ours again, nothing
  // shown.
  TMapMatchReportAction a = m.Report(4, 1, true, true);
  EXPECT_EQ(a.Post, (std::vector<TNavinMessage>{{0x699, 3, 0}}));
  EXPECT_TRUE(a.PopUp.empty());
  // Without the link (or not known) the panel shows our mode whatever it reports.
  for (const auto& [link, known] : {std::pair{false, true}, std::pair{true, false}}) {
    a = m.Report(4, 1, link, known);
    EXPECT_TRUE(a.Post.empty());
    EXPECT_EQ(a.Style, (TMapMatchStyle{0x800080, false}));
    EXPECT_EQ(a.PopUp, " MapMatch エラー ");
  }
  // No pop-up unless asked for with 1.
  mode = 4;
  a = m.Report(4, 2, true, true);
  EXPECT_EQ(a.Style, (TMapMatchStyle{0xD94FFB, true}));
  EXPECT_TRUE(a.PopUp.empty());

  EXPECT_EQ(MapMatchStyle(1), (TMapMatchStyle{0xC0C0C0, false}));
  EXPECT_EQ(MapMatchStyle(2), (TMapMatchStyle{0x000000, false}));
  EXPECT_EQ(MapMatchPopUp(1), " MapMatch OFF ");
  EXPECT_EQ(MapMatchPopUp(2), " MapMatch 弱 ");
  EXPECT_EQ(MapMatchPopUp(4), " MapMatch 強 ");
}

}  // namespace
}  // namespace sorrel::alarm
