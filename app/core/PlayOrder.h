// The navigator's play order over the play files, and its player over the engine's
// player interface.
#pragma once

#include "app/core/Navigation.h"
#include "engine/MP3PlayerIntf.h"
#include "playlist/core/PlayFiles.h"
#include "playlist/core/PlaylistSettings.h"

#include <functional>

namespace sorrel::app {

// The play file list window as the order needs it.
class TPlayFileView {
 public:
  virtual ~TPlayFileView() = default;
  // The rows changed (shuffled, put back in order, one removed).
  virtual void RowsChanged() = 0;
  // Selects `row` alone, with row - 5 the top row shown.
  virtual void SelectRow(int row) = 0;
};

// TPlayOrder over PlayFileList: rows are the play order, shuffling takes ShuffleSeed
// from the settings record (the navigator stores a new one before it shuffles).
class TPlayFilesOrder : public TPlayOrder {
 public:
  TPlayFilesOrder(playlist::PlayFileList& files, const playlist::TCurrentMusic& settings, TPlayFileView& view)
      : files_(files), settings_(settings), view_(view) {}

  int Count() const override;
  int DirectoryOf(int row) const override;
  std::string PathOf(int row) const override;
  void ShufflePlayOrder(bool shuffle) override;
  void RemoveRow(int row) override;
  void SelectRow(int row) override { view_.SelectRow(row); }

 private:
  bool Valid(int row) const { return row >= 0 && static_cast<size_t>(row) < files_.Count(); }

  playlist::PlayFileList& files_;
  const playlist::TCurrentMusic& settings_;
  TPlayFileView& view_;
};

// TPlayerControl over the engine's player.  Every seek is reported with the position
// reached, whoever asked for it (the desktop's media controls announce seeks).
class TEnginePlayerControl : public TPlayerControl {
 public:
  explicit TEnginePlayerControl(engine::TMP3PlayerIntf& player, std::function<void(int)> onSeeked = {})
      : player_(player), onSeeked_(std::move(onSeeked)) {}

  TPlayerStatus Status() const override { return player_.Status(); }
  int Position() const override { return player_.Position(); }
  int Duration() const override { return player_.Duration(); }
  void Seek(int ms) override;
  void Pause() override { player_.Pause(); }
  void Resume() override { player_.Resume(); }

 private:
  engine::TMP3PlayerIntf& player_;
  std::function<void(int)> onSeeked_;
};

}  // namespace sorrel::app
