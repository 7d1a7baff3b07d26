// fm_SearchSts: the small status window of the "add all directories" search.  It shows
// the directory being looked at, offers "中 止" (any key does the same), and runs the
// search of playlist/core/DirectorySearch.h, keeping the interface alive meanwhile.
#pragma once

#include "playlist/core/DirectorySearch.h"

#include <QElapsedTimer>
#include <QWidget>

#include <atomic>
#include <string>

class QLabel;
class QPushButton;

namespace sorrel::playlist {

class Tfm_SearchSts : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kClientWidth = 442;
  static constexpr int kClientHeight = 72;
  // Events are processed at most this often while the search runs: often enough for
  // the cancel button and repaints, rarely enough not to slow the walk.
  static constexpr int kEventIntervalMs = 25;

  explicit Tfm_SearchSts(QWidget* parent = nullptr);

  // `SearchAllDirectories(StartDir)` with this window shown, centred on `over` and 200
  // pixels below its top: the walk, the checking pass, and on failure the error state
  // until the button is pressed.  The caller disables its window meanwhile.
  TSearchResult Search(const std::string& startDir, const QWidget* over, const TSearchOptions& options = {});

  bool Cancelled() const { return cancelled_; }
  // `btn_CancelClick`: cancels and closes.
  void btn_CancelClick();

  // How many times the search let events be processed, and the longest time between
  // two such times (for the benchmark).
  int EventRounds() const { return eventRounds_; }
  double LongestGapMs() const { return longestGapMs_; }

 protected:
  void keyPressEvent(QKeyEvent* e) override;

 private:
  void Progress(const TSearchProgress& p);
  void ProcessEvents();

  QLabel* lb_Status;
  QPushButton* btn_Cancel;
  std::atomic<bool> cancelled_{false};
  TSearchPhase phase_ = TSearchPhase::kSearching;
  QElapsedTimer sinceEvents_;
  int eventRounds_ = 0;
  double longestGapMs_ = 0;
};

}  // namespace sorrel::playlist
