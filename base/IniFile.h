// A profile ("INI") file held in memory: sections of key=value lines, matched without
// regard to (ASCII) case, with every other line kept as it stands.  Writing a key
// replaces the value of its first occurrence, or adds the key after the last key of its
// section (the section to the end of the file), so keys this program does not know
// survive a rewrite.
//
// Each line is decoded on its own (see DecodeText), so one stray byte damages one line.
// A line that decoding damaged keeps its original bytes, and they are what is written
// back, unless the program gives the key another value: a value the program only read
// and stored again is never replaced by its damaged reading.
//
// Reading and writing every key of a file costs time in proportion to its size:
// sections and keys are found through hash indexes, and the lines point into the file's
// own bytes instead of holding copies.  Files up to 1 GiB; not for use by several
// threads at once, not even for reading (a section's key index is built on first use).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace sorrel::base {

bool EqualsNoCase(std::string_view a, std::string_view b);

class IniFile {
 public:
  IniFile();

  // Parses text, line by line UTF-8 or CP932.  Never fails: lines that are neither a
  // section nor a key are kept verbatim and otherwise ignored.  ParseMoved keeps
  // the bytes instead of copying them.
  static IniFile Parse(std::string_view bytes);
  static IniFile ParseMoved(std::string&& bytes);

  std::optional<std::string> Value(std::string_view section, std::string_view key) const;
  std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
  // Decimal with an optional sign, within 32 bits; anything else gives the default.
  int ReadInteger(std::string_view section, std::string_view key, int def) const;
  // Read as an integer: any value but 0 is true.
  bool ReadBool(std::string_view section, std::string_view key, bool def) const;

  // Line breaks in a value would make another line of the file; they are cut off there.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int value);
  void WriteBool(std::string_view section, std::string_view key, bool value);

  // Drops every line.  The original bytes of damaged values are remembered: writing the
  // same key with the same value again still stores them.
  void Clear();

  // The bytes it was parsed from (until Clear).
  const std::string& SourceBytes() const { return source_; }
  // True when some line is a section or a key line.
  bool HasEntries() const { return entries_ > 0; }
  // True when some line could not be decoded without damage.
  bool Damaged() const { return damagedLines_ > 0; }

  // Lines ended by CR LF; UTF-8 except for the damaged lines kept as they were read.
  std::string Text() const;
  // Replaces the file whole or not at all (WriteFileAtomically: a symbolic link is
  // written through).  False, with the reason, when it could not be written.
  bool Save(const std::string& path, std::string* error = nullptr) const;

  static bool ParseInteger(std::string_view text, int& out);

 private:
  // A piece of text by offset (the buffers may move as they grow): in source_, or, with
  // kOwnText set, in text_.
  static constexpr uint32_t kOwnText = 0x80000000u;
  struct Span {
    uint32_t at = 0, size = 0;
  };
  struct Line {
    enum Kind : uint8_t { kOther, kSection, kKey } kind = kOther;
    bool keepRaw = false;  // decoding damaged it: `raw` is written, not the decoded text
    Span text;             // the whole line for kOther; the name for kSection and kKey
    Span value;            // kKey only
    Span raw;              // in raws_: the original bytes of a damaged line
  };
  // Names, compared without case, to entry numbers (sections, lines), by open
  // addressing: nothing is allocated per name and the names stay where they are.
  class NameIndex {
   public:
    // The entry of `name`, or -1.  nameOf(entry) gives an entry's name.
    template <class NameOf>
    int64_t Find(std::string_view name, const NameOf& nameOf) const;
    // Adds `entry` under `name` unless the name is there already: the first one stays.
    template <class NameOf>
    void Add(uint32_t entry, std::string_view name, const NameOf& nameOf);
    void Reserve(size_t names);
    void Clear();

   private:
    struct Slot {
      uint32_t entry = 0;  // the entry + 1; 0 when the slot is free
      uint32_t hash = 0;
    };
    void Grow(size_t slots);
    std::vector<Slot> slots_;
    size_t used_ = 0;
  };
  // Lines of a section as read lie in lines_: [begin, keysEnd) up to its last key, then
  // [keysEnd, end) the blank lines and comments that close it.  Keys written since go
  // into `added`, between the two, so nothing that follows moves.
  struct Section {
    bool hasHeader = false;  // false only for the lines before the first section
    int64_t header = -1;     // its line in lines_; -1 for a section made by a write
    Span name;
    uint32_t begin = 0, keysEnd = 0, end = 0;
    std::vector<Line> added;
    // Key name -> line (KeyLine); built when the section is first looked into, so that
    // the sections nobody asks for cost nothing.
    mutable NameIndex keys;
    mutable bool indexed = false;
  };
  struct Original {
    std::string value;
    std::string raw;
  };

  std::string_view View(Span s) const;
  char At(uint32_t at) const;  // the byte at an offset of View's kind
  Span Own(std::string_view s);
  Span Within(Span whole, std::string_view part) const;
  void ParseAll();
  void AddLine(std::string_view raw);
  void FinishSection();
  Section* FindSection(std::string_view name);
  const Section* FindSection(std::string_view name) const;
  int64_t FindSectionIndex(std::string_view name) const;
  static constexpr uint32_t kAdded = 0x80000000u;  // key entries in `added`
  const Line& KeyLine(const Section& s, uint32_t entry) const;
  Line& KeyLine(Section& s, uint32_t entry);
  const NameIndex& KeyIndex(const Section& s) const;
  int64_t FindKey(const Section& s, std::string_view key) const;
  void AppendLine(std::string& out, const Line& l) const;

  // The file as read; text_ holds the lines that decoding changed (CP932) and what the
  // program wrote since; raws_ the original bytes of damaged lines.
  std::string source_;
  std::string text_;
  std::string raws_;
  std::vector<Line> lines_;
  std::vector<Section> sections_;                        // file order; [0] holds what precedes any section
  NameIndex sectionIndex_;                               // name -> first section of that name
  std::unordered_map<std::string, Original> originals_;  // see Clear
  size_t entries_ = 0;
  size_t damagedLines_ = 0;
};

}  // namespace sorrel::base
