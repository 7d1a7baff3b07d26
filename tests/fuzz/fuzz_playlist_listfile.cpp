// The list-file reader on arbitrary bytes (the first byte picks file or directory mode):
// it must never fail, must give the same entries however the bytes are cut into reads,
// must keep only entries that follow the rules, and must read back what its writer
// makes of them.  Lines name a small library made once in a temporary directory.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "playlist/core/ListFile.h"

using namespace sorrel::playlist;

namespace {

struct Library {
  std::string home;
  Library() {
    namespace fs = std::filesystem;
    home = (fs::temp_directory_path() / ("sorrel-fuzz-listfile-" + std::to_string(getpid()))).string();
    fs::remove_all(home);
    for (const char* dir : {"", "/d", "/e", "/d/sub"}) fs::create_directories(home + dir);
    for (const std::string name : {"/a.mp3", "/B.MP3", "/d/x.mp3", "/d/y.Mp3", "/d/sub/z.mp3", "/e/note.txt",
                                   "/\xe6\x97\xa5\xe6\x9c\xac.mp3",  // UTF-8 name
                                   "/\x83\x4e.mp3"})                 // CP932 bytes as the name
      std::ofstream(home + name) << "";
    symlink("loop.mp3", (home + "/loop.mp3").c_str());
    symlink("loopdir", (home + "/loopdir").c_str());
    symlink("d", (home + "/linked").c_str());
    mkfifo((home + "/fifo.mp3").c_str(), 0600);
  }
  ~Library() { std::filesystem::remove_all(home); }
};

// The entries inside the library: ".." can climb out of it, and what other programs
// do to the rest of the file system between two reads is no fault of the reader.
std::vector<std::string> Inside(const std::vector<std::string>& entries, const std::string& home) {
  std::vector<std::string> inside;
  for (const std::string& e : entries)
    if (e == home || e.starts_with(home + "/")) inside.push_back(e);
  return inside;
}

bool FollowsTheRules(const std::string& e, bool fileMode) {
  if (e.empty() || e.front() != '/' || e.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
    return false;
  if (fileMode) return e.ends_with(".mp3");
  return e == "/" || e.back() != '/';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const Library library;
  if (size == 0) return 0;
  const bool fileMode = data[0] & 1;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

  const std::vector<std::string> whole = ParseListText(bytes, fileMode, library.home);
  for (const std::string& e : whole)
    if (!FollowsTheRules(e, fileMode)) std::abort();

  // Cut into reads of 1 to 8 bytes, the lengths taken from the input itself.
  ListFileParser pieces(fileMode, library.home);
  for (size_t at = 0, i = 0; at < bytes.size(); ++i) {
    const size_t n = std::min<size_t>(1 + (uint8_t(bytes[i % bytes.size()]) & 7), bytes.size() - at);
    pieces.Feed(bytes.substr(at, n));
    at += n;
  }
  pieces.Finish();
  const std::vector<std::string> inside = Inside(whole, library.home);
  if (Inside(pieces.Entries(), library.home) != inside) std::abort();

  if (Inside(ParseListText(FormatListFile(whole), fileMode, library.home), library.home) != inside)
    std::abort();
  return 0;
}
