// Tags written by real taggers read back: mid3v2 and the mutagen library (python3-mutagen)
// and eyeD3 write ID3v2.4, Debian's id3v2 writes ID3v2.3 and ID3v1.  A tagger that is not
// installed skips its test (scripts/test.sh installs them).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/MP3Info.h"
#include "tests/common/Files.h"
#include "tests/engine/tag_builder.h"

using namespace sorrel::engine;
using namespace sorrel::engine::test;

extern char** environ;

using sorrel::test::ReadBytes;

namespace {

// Runs a program with its output discarded; its exit status, -1 when it did not run.
int RunTool(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid;
  const int r = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (r != 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// The encoding byte of the first frame `id`, or -1.
int EncodingOf(const Bytes& file, const std::string& id) {
  const auto at = std::search(file.begin(), file.end(), id.begin(), id.end());
  return at == file.end() || file.end() - at < 11 ? -1 : at[10];
}

class Taggers : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("sorrel-taggers-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    audio_ = ReadBytes(SORREL_TEST_DATA "/engine/plain_cbr.mp3");
    ASSERT_GT(audio_.size(), 10000u);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // A fresh copy of the untagged audio.
  std::string Song(const std::string& name) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(audio_.data()), audio_.size());
    return path;
  }

  static bool Installed(const std::string& program) { return access(program.c_str(), X_OK) == 0; }

  // The tag ends where the untagged audio begins, and the audio runs to the file's end.
  void ExpectAudioAfterTheTag(const Parsed& p, size_t tail = 0) {
    const int64_t start = int64_t(p.data.size() - tail - audio_.size());
    EXPECT_EQ(p.info.AudioStart(), start);
    ASSERT_TRUE(std::equal(audio_.begin(), audio_.end(), p.data.begin() + start));
    if (p.reader.Seekable()) {
      EXPECT_EQ(p.info.AudioLength(), int64_t(audio_.size() + tail));
    }
  }

  std::filesystem::path dir_;
  Bytes audio_;
};

const char kMid3v2[] = "/usr/bin/mid3v2";
const char kPython[] = "/usr/bin/python3";
const char kEyeD3[] = "/usr/bin/eyeD3";
const char kId3v2[] = "/usr/bin/id3v2";

}  // namespace

TEST_F(Taggers, Mid3v2WritesID3v24InUTF8) {
  if (!Installed(kMid3v2)) GTEST_SKIP() << "mid3v2 (python3-mutagen) is not installed";
  const std::string song = Song("m.mp3");
  ASSERT_EQ(RunTool({kMid3v2, "-t", "夜空の歌", "-a", "アーティスト", "-A", "Ålbum", "-y", "2021-05-03", "-T",
                     "3/12", "-c", "d:コメント:jpn", song}),
            0);
  Bytes file = ReadBytes(song);
  ASSERT_EQ(file[3], 4);
  EXPECT_EQ(EncodingOf(file, "TIT2"), 3);
  Parsed p(file);
  ExpectAudioAfterTheTag(p);
  EXPECT_EQ(p.info.Title(), "夜空の歌");
  EXPECT_EQ(p.info.Artist(), "アーティスト");
  EXPECT_EQ(p.info.Album(), "Ålbum");
  EXPECT_EQ(p.info.Year(), "2021");
  EXPECT_EQ(p.info.Track(), 3);
  EXPECT_EQ(p.info.ID3V2().Values("COMM"), "コメント");

  // With an ID3v1 tag as well the longer text wins, counted in characters.
  Append(file, ID3v1("Night song", "Ar", 0, 9));
  Parsed q(file);
  ExpectAudioAfterTheTag(q, 128);
  EXPECT_EQ(q.info.Title(), "Night song");
  EXPECT_EQ(q.info.Artist(), "アーティスト");
  EXPECT_EQ(q.info.Track(), 3);
}

TEST_F(Taggers, Mid3v2PictureLargerThanTheRing) {
  if (!Installed(kMid3v2)) GTEST_SKIP() << "mid3v2 (python3-mutagen) is not installed";
  Bytes picture(400000);
  for (size_t i = 0; i < picture.size(); ++i) picture[i] = uint8_t(i * 2654435761u >> 13);
  const std::string pic = (dir_ / "cover.jpg").string();
  std::ofstream(pic, std::ios::binary).write(reinterpret_cast<const char*>(picture.data()), picture.size());
  const std::string song = Song("p.mp3");
  ASSERT_EQ(
      RunTool({kMid3v2, "-p", pic + ":cover:3:image/jpeg", "-t", "With a cover", "--TCOM", "作曲者", song}),
      0);
  const Bytes file = ReadBytes(song);
  ASSERT_GT(file.size(), 400000 + audio_.size());
  for (bool seekable : {true, false}) {
    Parsed p(file, mitID3V1 | mitID3V2 | mitRiff, seekable);
    ExpectAudioAfterTheTag(p);
    EXPECT_EQ(p.info.Title(), "With a cover");
    EXPECT_EQ(p.info.ID3V2().Values("TCOM"), "作曲者");
    EXPECT_FALSE(p.info.ID3V2().HasName("APIC"));
  }
}

TEST_F(Taggers, MutagenEncodingsAndSeveralValues) {
  if (!Installed(kPython) || RunTool({kPython, "-c", "import mutagen.id3"}) != 0)
    GTEST_SKIP() << "python3-mutagen is not installed";
  // Every text encoding, two values each; saved as ID3v2.4 and as ID3v2.3 (which joins
  // the values with "/" itself).
  const char* script = R"(
import sys
from mutagen.id3 import ID3, TIT2, TPE1, TALB, TCOM, TRCK
t = ID3()
t.add(TIT2(encoding=3, text=['一', '二']))
t.add(TPE1(encoding=1, text=['Ab€', 'Zé']))
t.add(TALB(encoding=2, text=['アル', 'バム']))
t.add(TCOM(encoding=0, text=['Ann', 'Bob']))
t.add(TRCK(encoding=0, text=['12/20']))
t.save(sys.argv[1], v2_version=int(sys.argv[2]))
)";
  for (int version : {4, 3}) {
    const std::string song = Song("v" + std::to_string(version) + ".mp3");
    ASSERT_EQ(RunTool({kPython, "-c", script, song, std::to_string(version)}), 0);
    const Bytes file = ReadBytes(song);
    ASSERT_EQ(file[3], version);
    Parsed p(file);
    ExpectAudioAfterTheTag(p);
    EXPECT_EQ(p.info.Title(), "一/二") << version;
    EXPECT_EQ(p.info.Artist(), "Ab€/Zé") << version;
    EXPECT_EQ(p.info.ID3V2().Values("TCOM"), "Ann/Bob") << version;
    EXPECT_EQ(p.info.Track(), 12) << version;
    // ID3v2.3 knows no big-endian UTF-16: mutagen writes it with a mark.
    EXPECT_EQ(p.info.Album(), "アル/バム") << version;
  }
}

TEST_F(Taggers, EyeD3InEveryEncoding) {
  if (!Installed(kEyeD3)) GTEST_SKIP() << "eyeD3 is not installed";
  const struct {
    const char* name;
    int encoding;
    const char* title;
    const char* artist;
  } cases[] = {{"utf8", 3, "夜空の歌", "アーティスト"},
               {"utf16", 1, "夜空の歌", "アーティスト"},
               {"utf16-be", 2, "夜空の歌", "アーティスト"},
               {"latin1", 0, "Night Song", "Artist"}};
  for (const auto& c : cases) {
    const std::string song = Song(std::string(c.name) + ".mp3");
    ASSERT_EQ(RunTool({kEyeD3, "--to-v2.4", "--encoding", c.name, "-t", c.title, "-a", c.artist, "-A",
                       "Album", "-n", "3", "-N", "12", "--recording-date", "2020-04-05", song}),
              0)
        << c.name;
    const Bytes file = ReadBytes(song);
    ASSERT_EQ(file[3], 4) << c.name;
    EXPECT_EQ(EncodingOf(file, "TIT2"), c.encoding) << c.name;
    Parsed p(file);
    ExpectAudioAfterTheTag(p);
    EXPECT_EQ(p.info.Title(), c.title) << c.name;
    EXPECT_EQ(p.info.Artist(), c.artist) << c.name;
    EXPECT_EQ(p.info.Album(), "Album") << c.name;
    EXPECT_EQ(p.info.Year(), "2020") << c.name;
    EXPECT_EQ(p.info.Track(), 3) << c.name;
  }
  // eyeD3's year alone goes to the release time.
  const std::string song = Song("year.mp3");
  ASSERT_EQ(RunTool({kEyeD3, "--to-v2.4", "-t", "T", "-Y", "2019", song}), 0);
  Parsed p(ReadBytes(song));
  EXPECT_EQ(p.info.Year(), "2019");
}

TEST_F(Taggers, Id3v2WritesID3v23AndID3v1) {
  if (!Installed(kId3v2)) GTEST_SKIP() << "id3v2 is not installed";
  const std::string song = Song("i.mp3");
  ASSERT_EQ(RunTool({kId3v2, "-t", "A Title", "-a", "An Artist", "-A", "An Album", "-y", "2021", "-T", "3/12",
                     song}),
            0);
  const Bytes file = ReadBytes(song);
  ASSERT_EQ(file[3], 3);
  Parsed p(file);
  ASSERT_TRUE(p.info.Found() & mitID3V1);
  ExpectAudioAfterTheTag(p, 128);
  EXPECT_EQ(p.info.ID3V2().Values("TIT2"), "A Title");
  EXPECT_EQ(p.info.ID3V1().Values("TITLE"), "A Title");
  EXPECT_EQ(p.info.Artist(), "An Artist");
  EXPECT_EQ(p.info.Album(), "An Album");
  EXPECT_EQ(p.info.Year(), "2021");
  EXPECT_EQ(p.info.Track(), 3);
}
