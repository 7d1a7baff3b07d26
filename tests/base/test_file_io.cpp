#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "base/FileIO.h"

using namespace sorrel::base;
namespace fs = std::filesystem;

namespace {

class FileIO : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("sorrel-fileio-" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string P(const std::string& name) const { return (dir_ / name).string(); }
  static std::string Slurp(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  fs::path dir_;
};

}  // namespace

TEST_F(FileIO, RefusesWhatIsNotARegularFileWithoutBlocking) {
  ASSERT_EQ(mkfifo(P("fifo").c_str(), 0600), 0);
  // Opening a FIFO for reading without O_NONBLOCK would wait for a writer for ever.
  TReadResult r = ReadRegularFile(P("fifo"));
  EXPECT_EQ(r.status, TReadStatus::kNotRegular);
  EXPECT_NE(r.error.find("not a regular file"), std::string::npos);

  fs::create_directory(P("dir"));
  EXPECT_EQ(ReadRegularFile(P("dir")).status, TReadStatus::kNotRegular);
  EXPECT_EQ(ReadRegularFile("/dev/zero").status, TReadStatus::kNotRegular);
  EXPECT_EQ(ReadRegularFile(P("missing")).status, TReadStatus::kMissing);
}

TEST_F(FileIO, ReadsWholeFilesUpToTheCap) {
  std::ofstream(P("a")) << "0123456789";
  TReadResult r = ReadRegularFile(P("a"), 10);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.data, "0123456789");
  r = ReadRegularFile(P("a"), 9);
  EXPECT_EQ(r.status, TReadStatus::kTooLarge);
  EXPECT_TRUE(r.data.empty());
}

TEST_F(FileIO, AtomicWriteReplacesWholeAndKeepsMode) {
  std::ofstream(P("s.ini")) << "old";
  chmod(P("s.ini").c_str(), 0600);
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(P("s.ini"), "new contents", &error)) << error;
  EXPECT_EQ(Slurp(P("s.ini")), "new contents");
  struct stat st {};
  stat(P("s.ini").c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_FALSE(fs::exists(TempFileName(P("s.ini"))));
}

TEST_F(FileIO, AtomicWriteGoesThroughSymbolicLinks) {
  fs::create_directory(P("real"));
  std::ofstream(P("real/s.ini")) << "old";
  fs::create_symlink("real/s.ini", P("link.ini"));
  ASSERT_TRUE(WriteFileAtomically(P("link.ini"), "through"));
  EXPECT_TRUE(fs::is_symlink(P("link.ini")));
  EXPECT_EQ(Slurp(P("real/s.ini")), "through");
}

TEST_F(FileIO, FailedWriteLeavesTheOldFile) {
  std::ofstream(P("keep")) << "precious";
  // The temporary name is taken by a directory, so the write cannot even start.
  fs::create_directory(TempFileName(P("keep")));
  std::string error;
  EXPECT_FALSE(WriteFileAtomically(P("keep"), "replacement", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(Slurp(P("keep")), "precious");
}

TEST_F(FileIO, StaleTempFilesOfDeadWritersGo) {
  std::ofstream(P("s.ini")) << "x";
  // A process id far above pid_max cannot be running.
  std::ofstream(P("s.ini.tmp999999999")) << "half";
  std::ofstream(P("s.ini.tmp" + std::to_string(getpid()))) << "mine";
  std::ofstream(P("s.ini.tmp1")) << "init's";  // pid 1 runs
  std::ofstream(P("s.ini.tmpx")) << "not ours";
  EXPECT_EQ(RemoveStaleTempFiles(P("s.ini")), 1);
  EXPECT_FALSE(fs::exists(P("s.ini.tmp999999999")));
  EXPECT_TRUE(fs::exists(P("s.ini.tmp" + std::to_string(getpid()))));
  EXPECT_TRUE(fs::exists(P("s.ini.tmp1")));
  EXPECT_TRUE(fs::exists(P("s.ini.tmpx")));
}

TEST_F(FileIO, APieceByPieceWriteReplacesOnlyWhenCommitted) {
  std::ofstream(P("out.wav")) << "precious";
  {
    TAtomicFileWriter w;
    ASSERT_TRUE(w.Open(P("out.wav")));
    ASSERT_TRUE(w.Write("0123456789", 10));
    EXPECT_EQ(Slurp(P("out.wav")), "precious");
    // Abandoned: the old file stays and no temporary file is left.
  }
  EXPECT_EQ(Slurp(P("out.wav")), "precious");
  EXPECT_FALSE(fs::exists(TempFileName(P("out.wav"))));
  TAtomicFileWriter w;
  ASSERT_TRUE(w.Open(P("out.wav")));
  ASSERT_TRUE(w.Write("0123456789", 10));
  ASSERT_TRUE(w.WriteAt(2, "ab", 2));  // a header filled in at the end
  std::string error;
  ASSERT_TRUE(w.Commit(&error)) << error;
  EXPECT_EQ(Slurp(P("out.wav")), "01ab456789");
  EXPECT_FALSE(fs::exists(TempFileName(P("out.wav"))));
  EXPECT_FALSE(w.Commit(&error));  // once only
}
