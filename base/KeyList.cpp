#include "base/KeyList.h"

namespace sorrel::base {

void TKeyList::Int(std::string_view key, int& v) {
  if (in_)
    v = in_->ReadInteger(section_, key, v);
  else
    out_->WriteInteger(section_, key, v);
}

void TKeyList::Bool(std::string_view key, bool& v) {
  if (in_)
    v = in_->ReadBool(section_, key, v);
  else
    out_->WriteBool(section_, key, v);
}

void TKeyList::Str(std::string_view key, std::string& v) {
  if (in_)
    v = in_->ReadString(section_, key, v);
  else
    out_->WriteString(section_, key, v);
}

void TKeyList::Ranged(std::string_view key, int& v, int lo, int hi) {
  int t = v;
  Int(key, t);
  if (t >= lo && t <= hi) v = t;
}

std::string IndexedKey(std::string_view prefix, int n) {
  std::string key(prefix);
  key += std::to_string(n);
  key += ']';
  return key;
}

}  // namespace sorrel::base
