#include "app/core/Commands.h"

namespace sorrel::app {

bool TCommandDispatcher::Run(int number, int32_t argument) {
  if (busy_) return false;
  busy_ = true;
  struct TClearBusy {
    bool& busy;
    ~TClearBusy() { busy = false; }
  } clearBusy{busy_};

  Execute(number & 0x7F, argument);
  if (displayMode_ != shownDisplayMode_) {
    shownDisplayMode_ = displayMode_;
    host_.RedrawLyricLine(displayMode_);
  }
  return true;
}

void TCommandDispatcher::ChooseDisplayMode(int mode) { displayMode_ = displayMode_ == mode ? 0 : mode; }

void TCommandDispatcher::Execute(int command, int32_t argument) {
  switch (command) {
    case 2:
      host_.ParkCursor();
      break;
    case 3:
      host_.MoveCursorOutside();
      break;
    case 4:
      host_.Close();
      break;
    case 5:
      navigator_.TogglePause();
      break;
    case 6:
      navigator_.Back3s();
      break;
    case 7:
      navigator_.Forward3s();
      break;
    case 8:
      navigator_.PreviousSong();
      break;
    case 9:
      navigator_.NextSong();
      break;
    case 10:
      navigator_.PreviousDirectory();
      break;
    case 11:
      navigator_.NextDirectory();
      break;
    case 12:
      navigator_.BackDirectories(10);
      break;
    case 13:
      navigator_.ForwardDirectories(10);
      break;
    case 14:
      navigator_.BackDirectories(50);
      break;
    case 15:
      navigator_.ForwardDirectories(50);
      break;
    case 16:
      navigator_.ToggleShuffle(TShuffleChoice::kFirstRow);
      break;
    case 17:
      navigator_.ToggleShuffle(TShuffleChoice::kDirectoryStart);
      break;
    case 18:
      navigator_.ToggleShuffle(TShuffleChoice::kKeepSong);
      break;
    case 19:
      host_.ShowSongInformation();
      break;
    case 20:
      host_.ToggleLyrics();
      break;
    case 21:
      displayMode_ = 0;
      break;
    case 22:
    case 23:
    case 26:
    case 27:
      if (host_.TarnLyric()) ChooseDisplayMode(command == 22 ? 2 : command == 23 ? 1 : command - 21);
      break;
    case 24:
      ChooseDisplayMode(4);
      break;
    case 25:
      ChooseDisplayMode(3);
      break;
    case 28:
    case 29:
    case 30:
    case 31:
      if (host_.AlarmIdle()) presets_.LevelStep(static_cast<TLevelStep>(command - 28));
      break;
    case 32:
      presets_.RecallEqPreset(argument);
      break;
    case 33:
      presets_.ToggleSize();
      break;
    case 34:
      presets_.ApplySizePreset(argument);
      break;
    case 35:
      presets_.StoreSizePreset(argument);
      break;
    case 36:
      host_.ToggleAlarm();
      break;
    case 37:
      host_.StoreAlarmPoint();
      break;
    case 38:
      host_.PowerCommand();
      break;
    default:
      if (command >= 39 && command <= 68) {
        host_.NavinYou(command);
      } else if (command >= 69 && command <= kLastCommand) {
        host_.MapLink(static_cast<char>(command));  // 'E' is 69
      }
      // 0, 1 (the swallow code) and numbers above 75: nothing.
      break;
  }
}

}  // namespace sorrel::app
