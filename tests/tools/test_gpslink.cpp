// The position link: gpsd's fixes as TNLink sentences, and the real tool between gpsfake
// (Debian's gpsd-clients, its own gpsd on a private port) and a stand-in player in a
// private session bus.
#include "tests/platform/ProcessHelpers.h"
#include "tools/gpslink/Sentence.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

using namespace testing_sorrel;
using sorrel::tools::TGpsFix;
using sorrel::tools::TNLinkSentence;

namespace {

TEST(GpsLinkSentence, PositionsWithTheirDirectionAndSpeedInKmh) {
  double last = 0;
  EXPECT_EQ(TNLinkSentence({3, 35.6894512, 139.6917, 271.25, 16.6667}, last),
            "$tnlink_data,ido=35.689451,kei=139.691700,dir=271.2,vel=60.0");
  // No fix, or a fix without a position: nothing.
  EXPECT_FALSE(TNLinkSentence({1, 35, 139, 0, 0}, last));
  EXPECT_FALSE(TNLinkSentence({2, NAN, 139, 0, 0}, last));
  // A direction not known is the last one; a speed not known is 0.
  EXPECT_EQ(TNLinkSentence({2, 35, 139, NAN, NAN}, last),
            "$tnlink_data,ido=35.000000,kei=139.000000,dir=271.2,vel=0.0");
  EXPECT_EQ(TNLinkSentence({2, -33.5, -70.25, 720.5, -1}, last),
            "$tnlink_data,ido=-33.500000,kei=-70.250000,dir=0.5,vel=0.0");
}

// NMEA with checksums: a car heading north at 32.4 knots (60 km/h) from 35° N 139° E.
std::string Drive(int fixes) {
  std::string out;
  const auto sentence = [&](const std::string& body) {
    int c = 0;
    for (char ch : body) c ^= static_cast<unsigned char>(ch);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", c);
    out += "$" + body + tail;
  };
  for (int i = 0; i < fixes; ++i) {
    char t[16], lat[16];
    std::snprintf(t, sizeof t, "12%02d%02d.00", 35 + i / 60, i % 60);
    std::snprintf(lat, sizeof lat, "%09.4f", 3500.0 + i * 0.01);
    sentence(std::string("GPGGA,") + t + "," + lat + ",N,13900.0000,E,1,08,0.9,10.0,M,39.0,M,,");
    sentence(std::string("GPRMC,") + t + ",A," + lat + ",N,13900.0000,E,032.4,000.0,071226,,,A");
  }
  return out;
}

TEST(GpsLinkProcess, FixesFromGpsdReachThePlayerOnceItIsThere) {
  const std::string gpsfake = Which("gpsfake");
  if (gpsfake.empty() || Which("gpsd").empty()) GTEST_SKIP() << "gpsfake or gpsd is not installed";
  const std::string dir = MakeTempDir();
  std::ofstream(dir + "/drive.nmea", std::ios::binary) << Drive(120);
  const std::string port = std::to_string(20000 + getpid() % 20000);
  Child fake = Spawn({gpsfake, "-q", "-P", port, "-c", "0.1", dir + "/drive.nmea"}, {}, dir);
  // The link first: it waits for the player.
  Child link =
      Spawn({SORREL_BUILD_DIR "/tools/gpslink/sorrel-gpslink", "--port", port, "--count", "3"}, {}, dir);
  EXPECT_TRUE(WaitFor(
      [&] { return Slurp(link.stderrPath).find("waiting for the player") != std::string::npos; }, 15000))
      << Slurp(link.stderrPath);
  const std::string log = dir + "/player.log";
  Child player = Spawn(
      {SORREL_BUILD_DIR "/tests/platform/fake_window", "--text", "Tfm_PlayerMain", "Tarn's MP3Player", log},
      {}, dir);
  const auto rc = WaitExit(link, 20000);
  EXPECT_EQ(rc, std::optional<int>(0)) << Slurp(link.stderrPath);
  Kill(player, SIGTERM);
  WaitExit(player, 5000);
  Kill(fake, SIGTERM);
  WaitExit(fake, 5000);
  std::istringstream lines(Slurp(log));
  const std::regex kLine(
      R"(copydata 9999 0 (\d+) \$tnlink_data,ido=(35\.\d{6}),kei=139\.000000,dir=0\.0,vel=(60\.0|0\.0))");
  int n = 0;
  for (std::string line; std::getline(lines, line); ++n) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, kLine)) << line;
    EXPECT_EQ(std::stoul(m[1]), line.size() - line.find('$') + 1);  // the text and its NUL
    EXPECT_LT(std::stod(m[2]), 35.1);
  }
  EXPECT_EQ(n, 3);
  std::system(("rm -rf " + dir).c_str());
}

}  // namespace
