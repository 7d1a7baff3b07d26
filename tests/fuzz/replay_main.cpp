// Replays a fuzz target's saved corpus, so that every input that once found a fault
// (and the seeds) keeps being checked by the ordinary test run.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

TEST(CorpusReplay, EveryInputRunsClean) {
  namespace fs = std::filesystem;
  const fs::path dir = SORREL_CORPUS;
  ASSERT_TRUE(fs::is_directory(dir)) << dir;
  size_t count = 0;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    if (!e.is_regular_file()) continue;
    std::ifstream in(e.path(), std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    SCOPED_TRACE(e.path().string());
    EXPECT_EQ(LLVMFuzzerTestOneInput(bytes.data(), bytes.size()), 0);
    ++count;
  }
  EXPECT_GT(count, 0u) << "empty corpus";
}
