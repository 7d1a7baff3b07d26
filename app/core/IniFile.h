// A profile ("INI") file held in memory: sections of key=value lines, matched without
// regard to (ASCII) case, with every other line kept as it stands.  Writing a key
// replaces the value of its first occurrence, or appends the key to the end of its
// section (the section to the end of the file), so keys this program does not know
// survive a rewrite.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorrel::app {

class IniFile {
 public:
  // Parses text (UTF-8 or CP932, see DecodeText).  Never fails: lines that are neither a
  // section nor a key are kept verbatim and otherwise ignored.
  static IniFile Parse(std::string_view bytes);
  // Reads a file; a missing or unreadable file gives an empty one.
  static IniFile Load(const std::string& path);

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

  // UTF-8 text, lines ended by CR LF.
  std::string Text() const;
  // Writes to a temporary file beside `path`, flushes it and renames it over `path`, so
  // a crash leaves either the old or the new file.  False when any step fails.
  bool Save(const std::string& path, std::string* error = nullptr) const;

  static bool ParseInteger(std::string_view text, int& out);

 private:
  struct Line {
    enum Kind { kOther, kSection, kKey } kind = kOther;
    std::string text;   // the whole line for kOther; the name for kSection and kKey
    std::string value;  // kKey only
  };
  struct Section {
    std::optional<size_t> header;  // line index of "[name]"; none for the lines before any
    std::string name;
    std::vector<size_t> lines;
  };

  const Section* FindSection(std::string_view name) const;
  std::optional<size_t> FindKey(const Section& s, std::string_view key) const;
  void Reindex();

  std::vector<Line> lines_;
  std::vector<Section> sections_;  // in file order; lookup takes the first of a name
};

bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace sorrel::app
