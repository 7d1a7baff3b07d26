// Lyrics of the current song: the lyric file beside it, its timed lines, and the lyric
// step that picks the line to show as the song plays.  Time is the song's position in
// ms, as the player reports it; nothing here reads a clock.  What the lyric window
// looks like and where it goes is in LyricLayout.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sorrel::app {

// Lyric files are small; anything larger is not one (and would only cost memory).
inline constexpr uint64_t kMaxLyricFileBytes = 1ull << 20;
// A longer line is junk, and the window would spend its time wrapping it.
inline constexpr size_t kMaxLyricTextBytes = 1024;
// The blank entries around the lyrics, so that the rows above and below the current
// line always have an entry, and the last line stays until the song ends.
inline constexpr int kLeadingLyricEntries = 20;
inline constexpr int kTrailingLyricEntries = 40;
inline constexpr int32_t kTrailingLyricSpacing = 1999;
inline constexpr int kFinalLyricEntries = 10;
inline constexpr int32_t kFinalLyricDistance = 3600000;
// Guards against absurd settings: blanks of a blank line, rows of the window.
inline constexpr int kMaxLyricNilSpace = 256;
inline constexpr int kMaxLyricRows = 1000;

struct TLyricReadOptions {
  int LyricOffset = -299;   // "LyricOffset": added to every time stamp
  bool StandardLrc = true;  // "StandardLrc": read the common LRC form too
};

// The timed lines of one lyric file: the 20 leading blank entries, the file's lines,
// and the 40 + 10 trailing blank entries; empty when the file has no timed line.
class TLyricTimeline {
 public:
  size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  int32_t Time(size_t i) const { return entries_[i].Time; }
  // The line's text; "" for a blank line (shown as "LyricNilSpace" blanks).
  std::string_view Text(size_t i) const { return texts_[entries_[i].Text]; }

  // The first entry i with Time(i) <= position < Time(i + 1), or -1.  A binary search
  // when the times never go down (the usual file), else the scan itself.
  int Find(int32_t position) const;
  // The plain scan, for the tests and the fuzz target to compare with.
  int FindByScan(int32_t position) const;

  // The file's header values as read (1.0 and 0 when absent): "@TIMERATIO", "@OFFSET"
  // and, with StandardLrc, "[offset:]" (in ms that move the lyrics earlier).
  double TimeRatio() const { return timeRatio_; }
  int32_t FileOffset() const { return fileOffset_; }
  int32_t LrcOffset() const { return lrcOffset_; }

 private:
  friend TLyricTimeline ParseLyrics(std::string_view bytes, const TLyricReadOptions& options);

  struct TEntry {
    int32_t Time;
    uint32_t Text;  // index into texts_; 0 is the blank line
  };
  std::vector<TEntry> entries_;
  std::vector<std::string> texts_{std::string()};
  bool ordered_ = true;
  double timeRatio_ = 1.0;
  int32_t fileOffset_ = 0;
  int32_t lrcOffset_ = 0;
};

// Reads a lyric file's bytes (UTF-8, else CP932, decided line by line; UTF-16 with its
// byte-order mark or its NULs).  Never fails: what cannot be read is left out.
//
// A line that begins with "[" is a timed line: the stamp up to the first "]" is
// minutes ":" seconds ":" hundredths (the last may be empty), and the text after it is
// the line (blank when only blanks).  A stamp without two ":" has the value -1; one
// whose fields are not decimal integers, or whose time does not fit 32 bits, drops the
// line.  Every other line is a header line, upper-cased: the real number after the
// first "=" after "@TIMERATIO" is the time ratio (only a positive one), the integer
// after the first "=" after "@OFFSET" the file offset.  Each time is the stamp +
// LyricOffset; then, when the ratio is not 1 or the offset not 0, every time becomes
// time / ratio + offset, rounded to the nearest integer (ties to even).  Times stop at
// the ends of the 32-bit range instead of wrapping.
//
// With StandardLrc, a stamp that the rule above gives no time (-1, or fields that are
// no numbers) is read as LRC: "mm:ss", "mm:ss.x", "mm:ss.xx", "mm:ss.xxx".  Further
// stamps right after the first put the same line at each of their times, "[offset:+n]"
// moves every line n ms earlier (as LRC means it; after "@OFFSET" is added), and
// every other bracket line ("[ar:...]", "[ti:...]", "[al:...]", "[Chorus]") is no
// line.  The lines are then put in time order, stably, since a line with several stamps
// stands at several places.  "[m:s:cs]" stamps read the same either way.
//
// A file without any timed line gives an empty timeline (no lyrics).
TLyricTimeline ParseLyrics(std::string_view bytes, const TLyricReadOptions& options);

// The lyric file of a song: its path with the extension replaced by ".lrc", else by
// ".txt", whichever is a regular file first; since files made on the original platform
// often carry ".LRC" or ".TXT", the extension is matched without regard to case when
// the exact name is missing.  "" when there is none.
std::string FindLyricFile(const std::string& songPath);

// What the lyric window shows: `Text` holds the rows joined by CR LF, each row the
// prefix ("♪" on the marked row, the full-width blank "　" on the others and on the last
// row) and the entry's text; `MarkedRow` (from 1) is the row to highlight.
struct TLyricPage {
  std::string Text;
  int Rows = 0;
  int MarkedRow = 0;
  bool operator==(const TLyricPage&) const = default;
};

// The page for `line` with `rows` rows (limited to 1..kMaxLyricRows): the marked row is
// (rows - 1) div 4 + 1, and row k shows entry line - marked + k.  Entries outside the
// timeline, and blank lines, show as `nilSpace` blanks ("LyricNilSpace", limited to
// 0..kMaxLyricNilSpace).
TLyricPage LyricPage(const TLyricTimeline& timeline, int line, int rows, int nilSpace);

// What the lyric window must do after a lyric step.
enum class TLyricAction {
  kNone,   // leave it as it is
  kClose,  // close it (hide it and put the main window back on top, not activated)
  kDraw,   // show the page of the current line (LyricLayout.h)
};

// The main window's state that the lyric step reads.
struct TLyricStepContext {
  bool CompanionShown = false;   // the play list, play file list or settings window
  bool MainActive = true;        // the main window is the active window
  bool DeActiveLyricOff = true;  // the setting
};

// The lyrics of the current song and which line is shown.  Owned by the main window;
// the display mode stays with the command dispatcher and is passed in when drawing.
class TLyricEngine {
 public:
  // Song change ("load lyrics"): forgets the old lyrics, the current line becomes -1,
  // and the new song's lyric file is read.  The caller closes the lyric window and
  // refreshes `pnl_LyricStatus`.  Returns "" or, for a lyric file that exists but
  // cannot be read (too large, a read error), why.
  std::string Load(const std::string& songPath, const TLyricReadOptions& options);
  // The same with the lyrics already read (and without them: Clear).
  void Load(TLyricTimeline timeline);
  void Clear() { Load(TLyricTimeline{}); }

  const TLyricTimeline& Timeline() const { return timeline_; }
  bool HasLyrics() const { return !timeline_.empty(); }
  // The lyric file read by the last Load, or "".
  const std::string& Path() const { return path_; }

  // The lyrics-off flag: command 20 and the double click on `pnl_LyricStatus`.  It is
  // kept from song to song.
  bool LyricsOff() const { return lyricsOff_; }
  void ToggleLyrics() { lyricsOff_ = !lyricsOff_; }

  // Forces a redraw at the next step (current line -1): after window moves and
  // resizes, display-mode changes, activation changes, a companion window hidden.
  void Invalidate() { current_ = -1; }
  int CurrentLine() const { return current_; }

  // The lyric step, on every position change while no pop-up is shown: closes the
  // window while a companion window is shown, or the main window is inactive with
  // "DeActiveLyricOff", or the lyrics are off; else draws when the line for `position`
  // differs from the current one.  Whatever closed the window also forces a redraw,
  // so the window comes back at the first step after it may.
  TLyricAction Step(int32_t position, const TLyricStepContext& context);

  // The page of the current line.
  TLyricPage Page(int rows, int nilSpace) const { return LyricPage(timeline_, current_, rows, nilSpace); }

 private:
  TLyricTimeline timeline_;
  std::string path_;
  int current_ = -1;
  bool lyricsOff_ = false;
};

}  // namespace sorrel::app
