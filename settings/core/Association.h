// The association tab's logic: whether ".pdr" and ".pfl" open in the player from the
// desktop, the status labels and which of the two buttons may be pressed.  The desktop's
// file-type database is reached through TAssociationStore, which the platform layer
// implements (platform/mime) and tests fake.
#pragma once

#include <string>
#include <string_view>

namespace sorrel::settings {

inline constexpr const char* kAssociationTabCaption = " 関連付け ";
// The tab's explanation, one text per line.
inline constexpr const char* kAssociationExplanation[] = {
    "関連付けを行うと '.pdr' '.pfl' ファイルが",
    "ダブルクリックで開くようになります。",
    "レジストリに書き込みますので、お好きに。",
};
inline constexpr const char* kAssociationGroupCaption = " 関連付け状況 ";
inline constexpr const char* kLinkSetCaption = " 関連付け";  // bbtn_LinkSet
inline constexpr const char* kLinkResetCaption = "解 除";    // bbtn_LinkReset
inline constexpr const char* kAssociatedText = "関連付けられています。";
inline constexpr const char* kNotAssociatedText = "関連付けられていません。";

// The list file extensions, in the order of the status labels.
inline constexpr const char* kPdrExtension = ".pdr";
inline constexpr const char* kPflExtension = ".pfl";

// The desktop's file-type database as the tab sees it.
class TAssociationStore {
 public:
  virtual ~TAssociationStore() = default;
  // True when a double click on a file with `extension` (".pdr", ".pfl") starts this
  // program; false for an unknown extension and when the database cannot be read.
  virtual bool IsAssociated(std::string_view extension) = 0;
  // Register / unregister both extensions.  False when a step failed; `message` then
  // says why.  `message` may also carry a note on success (a refresh tool missing).
  virtual bool Associate(std::string& message) = 0;
  virtual bool RemoveAssociation(std::string& message) = 0;
};

// What the tab shows.
struct TAssociationStatus {
  bool pdrAssociated = false;
  bool pflAssociated = false;
  std::string pdrStatus;          // lb_pdrStatus: ".pdr は " and the state's text
  std::string pflStatus;          // lb_pflStatus
  bool linkSetEnabled = true;     // bbtn_LinkSet: unless both are associated
  bool linkResetEnabled = false;  // bbtn_LinkReset: when at least one is
  bool operator==(const TAssociationStatus&) const = default;
};

TAssociationStatus MakeAssociationStatus(bool pdrAssociated, bool pflAssociated);

// The tab's handlers.  The window calls UpdateAssociationStatus when the dialog is
// shown and shows Status(); the button handlers return false when a step failed, and
// then leave the shown status as it was (Message() says why, for the error log).
class TAssociation {
 public:
  explicit TAssociation(TAssociationStore& store) : store_(store) {}

  const TAssociationStatus& UpdateAssociationStatus();
  // bbtn_LinkSetClick: Associate, then UpdateAssociationStatus.
  bool LinkSetClick();
  // bbtn_LinkResetClick: RemoveAssociation, then UpdateAssociationStatus.
  bool LinkResetClick();

  const TAssociationStatus& Status() const { return status_; }
  // The last button's failure or note; empty when there was nothing to say.
  const std::string& Message() const { return message_; }

 private:
  TAssociationStore& store_;
  TAssociationStatus status_ = MakeAssociationStatus(false, false);
  std::string message_;
};

}  // namespace sorrel::settings
