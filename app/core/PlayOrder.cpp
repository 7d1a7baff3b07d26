#include "app/core/PlayOrder.h"

#include <cstdint>

namespace sorrel::app {

int TPlayFilesOrder::Count() const {
  // A play order is far below 2^31 songs; clamp rather than wrap all the same.
  return files_.Count() > size_t(INT32_MAX) ? INT32_MAX : static_cast<int>(files_.Count());
}

int TPlayFilesOrder::DirectoryOf(int row) const {
  return Valid(row) ? static_cast<int>(files_.AtRow(static_cast<size_t>(row)).directoryNumber) : 0;
}

std::string TPlayFilesOrder::PathOf(int row) const {
  return Valid(row) ? files_.AtRow(static_cast<size_t>(row)).path : std::string();
}

void TPlayFilesOrder::ShufflePlayOrder(bool shuffle) {
  files_.ShufflePlayOrder(shuffle, static_cast<uint32_t>(settings_.ShuffleSeed));
  view_.RowsChanged();
}

void TPlayFilesOrder::RemoveRow(int row) {
  if (!Valid(row)) return;
  files_.RemoveSong(static_cast<size_t>(row));
  view_.RowsChanged();
}

void TEnginePlayerControl::Seek(int ms) {
  player_.Seek(ms);
  if (onSeeked_) onSeeked_(player_.Position());
}

}  // namespace sorrel::app
