// The association tab's logic against a fake file-type database: the status texts, which
// button may be pressed, and that a failed step leaves the shown status alone.
#include "settings/core/Association.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace sorrel::settings {
namespace {

class FakeStore : public TAssociationStore {
 public:
  bool IsAssociated(std::string_view extension) override {
    ++queries;
    const auto it = associated.find(std::string(extension));
    return it != associated.end() && it->second;
  }
  bool Associate(std::string& message) override {
    if (failWith.size()) {
      message = failWith;
      return false;
    }
    associated[".pdr"] = associated[".pfl"] = true;
    message = note;
    return true;
  }
  bool RemoveAssociation(std::string& message) override {
    if (failWith.size()) {
      message = failWith;
      return false;
    }
    associated.clear();
    return true;
  }

  std::map<std::string, bool> associated;
  std::string failWith, note;
  int queries = 0;
};

TEST(AssociationStatus, TextsAndButtonsForEachCombination) {
  const TAssociationStatus none = MakeAssociationStatus(false, false);
  EXPECT_EQ(none.pdrStatus, ".pdr は 関連付けられていません。");
  EXPECT_EQ(none.pflStatus, ".pfl は 関連付けられていません。");
  EXPECT_TRUE(none.linkSetEnabled);
  EXPECT_FALSE(none.linkResetEnabled);

  const TAssociationStatus both = MakeAssociationStatus(true, true);
  EXPECT_EQ(both.pdrStatus, ".pdr は 関連付けられています。");
  EXPECT_EQ(both.pflStatus, ".pfl は 関連付けられています。");
  EXPECT_FALSE(both.linkSetEnabled);
  EXPECT_TRUE(both.linkResetEnabled);

  // ".pfl" taken over by another program, ".pdr" still ours: both buttons.
  const TAssociationStatus mixed = MakeAssociationStatus(true, false);
  EXPECT_EQ(mixed.pdrStatus, ".pdr は 関連付けられています。");
  EXPECT_EQ(mixed.pflStatus, ".pfl は 関連付けられていません。");
  EXPECT_TRUE(mixed.linkSetEnabled);
  EXPECT_TRUE(mixed.linkResetEnabled);
  EXPECT_TRUE(MakeAssociationStatus(false, true).linkResetEnabled);
}

TEST(AssociationTab, ButtonsRunTheStepThenRefreshTheStatus) {
  FakeStore store;
  TAssociation tab(store);
  store.associated[".pfl"] = true;
  EXPECT_EQ(tab.UpdateAssociationStatus(), MakeAssociationStatus(false, true));
  EXPECT_EQ(store.queries, 2);

  store.note = "update-desktop-database not found";
  EXPECT_TRUE(tab.LinkSetClick());
  EXPECT_EQ(tab.Status(), MakeAssociationStatus(true, true));
  EXPECT_EQ(tab.Message(), "update-desktop-database not found");

  EXPECT_TRUE(tab.LinkResetClick());
  EXPECT_EQ(tab.Status(), MakeAssociationStatus(false, false));
  EXPECT_EQ(tab.Message(), "");  // the last button's note does not linger
}

TEST(AssociationTab, AFailedStepLeavesTheShownStatus) {
  FakeStore store;
  TAssociation tab(store);
  store.associated[".pdr"] = true;
  tab.UpdateAssociationStatus();
  const TAssociationStatus shown = tab.Status();
  const int queries = store.queries;

  store.failWith = "/home/u/.config/mimeapps.list: Permission denied";
  EXPECT_FALSE(tab.LinkSetClick());
  EXPECT_EQ(tab.Status(), shown);
  EXPECT_EQ(tab.Message(), store.failWith);
  EXPECT_FALSE(tab.LinkResetClick());
  EXPECT_EQ(tab.Status(), shown);
  EXPECT_EQ(store.queries, queries);  // the database was not asked again
}

}  // namespace
}  // namespace sorrel::settings
