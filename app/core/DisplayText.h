// The texts of the main window's display: the elapsed time, the clock, the song's
// title, artist and album, the information text of the song information pop-up (command
// 19), the numbers of the play file list window and Label4's messages.  Plain functions
// of the song, the play order and the settings; the window only shows what they return.
#pragma once

#include "app/core/Settings.h"
#include "base/Clock.h"

#include <cstdint>
#include <string>

namespace sorrel::app {

// lb_Time and lb_CurTime before the first position and the first clock tick.
inline constexpr const char* kTimeCaption = "00:00 / ??:??";
inline constexpr const char* kClockCaption = "AM ??:??";
// A length the player does not know (its Duration is 0).
inline constexpr const char* kUnknownLength = "??:??";

// Label4: shown until the first song starts, and when nothing can be played.
inline constexpr const char* kLabel4Waiting = "♪待ってね";
inline constexpr const char* kLabel4NoPlayFiles = "再生ファイルなし";

// lb_DirNo of the play file list with shuffle on (grey) and off.
inline constexpr TColor kDirNoShuffleColor = 0x708090;
inline constexpr TColor kDirNoColor = 0x000000;

// "nn:ss": the minutes and seconds of the time of day that `ms` makes, so 75 minutes
// show as 15:00.  A negative time shows as 00:00.
std::string MinutesSeconds(int64_t ms);

// lb_Time: position and length joined by " / "; a length of 0 (unknown) shows "??:??".
std::string ElapsedTimeText(int64_t positionMs, int64_t durationMs);

// lb_CurTime: "AM hh:nn" or "PM hh:nn", with ":ss" when `showSeconds` ("CurTimeShowSec");
// the hour of the 12-hour clock, 12 at noon and midnight.
std::string ClockText(const base::TLocalTime& time, bool showSeconds);

// The width that holds `n` with thousands separators: its decimal digits plus one for
// each full group of three digits (so 999 gets 4 and 1,000 gets 5).
int NumberWidth(int64_t n);

// "%*.0n": `value` with thousands separators (","), no decimals, right-aligned in
// `width` characters (never cut).
std::string FormatNumber(int64_t value, int width);

// What the tags of the current song say (the player's texts).
struct TSongFacts {
  std::string Title;
  std::string Artist;
  std::string Album;
  std::string Year;
};

// Where the current song stands in the play order.
struct TPlayOrderFacts {
  bool ListFileMode = false;
  bool Shuffle = false;
  int MusicIndex = 0;          // row of the current song
  int SongCount = 0;           // N: rows of the play order
  int DirectoryCount = 0;      // D: directories of the play files
  int DirectoryNo = 0;         // the song's directory, from 0
  int FileNo = 1;              // the song's number within its directory, from 1
  int DirectorySongCount = 0;  // songs of that directory
};

// Everything the refresh of the labels sets.
struct TLabelTexts {
  // The full texts, kept as the labels' hints; the scroll setup makes the captions.
  std::string TitleHint;
  std::string ArtistHint;
  std::string AlbumHint;
  // The song information pop-up's text (command 19), lines joined by CR LF.
  std::string InfoText;
  // The play file list window: lb_FileNo's caption and hint, and lb_DirNo's with
  // Label2, which show only in directory mode.
  std::string FileNoText;
  std::string DirNoText;
  bool DirNoVisible = false;
  TColor DirNoColor = kDirNoColor;
  bool operator==(const TLabelTexts&) const = default;
};

// The artist's line: the artist, with " (year)" when "ArtistAddYear" is on and the
// trimmed year is not empty.
std::string ArtistText(const std::string& artist, const std::string& year, bool addYear);

// The refresh of the labels (after a song starts and after shuffle changes), steps 2 to
// 6.  Hiding a shown pop-up first is the window's part.
TLabelTexts RefreshLabelTexts(const TSongFacts& song, const TPlayOrderFacts& order,
                              const TMainFormSettings& settings);

// The message pop-up's highlighted line: 3 (the "AllS: " line) for the information
// pop-up in directory mode with shuffle, where the song's place in its directory means
// little; 1 otherwise.
int PopUpHighlightLine(bool informationPopUp, const TPlayOrderFacts& order);

}  // namespace sorrel::app
