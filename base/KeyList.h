// One list of keys serves both directions of a settings file.  A module names the keys
// of its section once, in the file's order, in a function that takes a TKeyList: run
// over a reader it fills the record, run over a writer it stores the record.  What
// reading a key does besides storing it goes between the keys, under Reading().
#pragma once

#include "base/IniFile.h"

#include <string>
#include <string_view>

namespace sorrel::base {

class TKeyList {
 public:
  // The list keeps a pointer to the file: it must outlive the list.
  static TKeyList Reader(const IniFile& in) { return TKeyList(&in, nullptr); }
  static TKeyList Reader(const IniFile&&) = delete;
  static TKeyList Writer(IniFile& out) { return TKeyList(nullptr, &out); }

  bool Reading() const { return in_ != nullptr; }
  void Section(std::string_view name) { section_ = name; }

  void Int(std::string_view key, int& v);
  void Bool(std::string_view key, bool& v);
  void Str(std::string_view key, std::string& v);
  // An integer that must lie in lo..hi: outside it, reading keeps what `v` held.
  void Ranged(std::string_view key, int& v, int lo, int hi);

 private:
  TKeyList(const IniFile* in, IniFile* out) : in_(in), out_(out) {}

  const IniFile* in_;
  IniFile* out_;
  std::string section_;
};

// Keys of numbered entries: IndexedKey("AEQName[", 3) is "AEQName[3]" (decimal, no
// blanks, no leading zeros).
std::string IndexedKey(std::string_view prefix, int n);

}  // namespace sorrel::base
