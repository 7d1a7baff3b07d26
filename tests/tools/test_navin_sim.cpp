// The navigation program's simulator on its own: its digits read back by the player's
// glyph recognition, its coordinate texts, its drive along a route and its route files.
#include "tools/navin-sim/NavinSim.h"

#include "alarm/core/Glyphs.h"
#include "alarm/core/GpsUtil.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

using namespace sorrel;

namespace {

// The columns as a 10-row strip: white on dark blue, with a blank column in front.
alarm::TRgbImage Strip(const std::vector<uint16_t>& columns, int width) {
  alarm::TRgbImage image;
  image.Width = width;
  image.Height = alarm::kGlyphHeight;
  image.Pixels.assign(size_t(width) * image.Height * 3, 0);
  for (size_t i = 0; i < image.Pixels.size(); i += 3) image.Pixels[i + 2] = 80;
  for (size_t c = 0; c < columns.size() && int(c) + 1 < width; ++c)
    for (int row = 0; row < 10; ++row)
      if (columns[c] & (1u << (9 - row)))
        for (int k = 0; k < 3; ++k) image.Pixels[(size_t(row) * width + c + 1) * 3 + k] = 255;
  return image;
}

std::string WriteFile(const std::string& text) {
  char name[] = "/tmp/navin_routeXXXXXX";
  const int fd = mkstemp(name);
  std::FILE* f = fdopen(fd, "w");
  std::fputs(text.c_str(), f);
  std::fclose(f);
  return name;
}

}  // namespace

TEST(NavinSimGlyphs, EveryTableCharacterDrawnIsReadBackByThePlayer) {
  // All the characters of the table, in one strip, at both thresholds.
  const std::string text = "N0123456789.-E\xEF\xBE\x9F'\"";
  for (int threshold : {256, 384})
    EXPECT_EQ(alarm::RecognizeGlyphs(Strip(tools::GlyphColumns(text), 110), threshold), text);
  // Characters without a glyph are not drawn at all (a blank would change the reading).
  EXPECT_EQ(tools::GlyphColumns("1 x1"), tools::GlyphColumns("11"));
}

TEST(NavinSimGlyphs, CoordinateTextsInTenthsOfASecondTruncated) {
  // 35.6894512° = 35° 41.367072' = 35° 41' 22.02"; 139.6917064° = 139° 41' 30.143".
  EXPECT_EQ(tools::CoordinateText('N', 35.6894512),
            "N35\xEF\xBE\x9F"
            "41'22.0\"");
  EXPECT_EQ(tools::CoordinateText('E', 139.6917064),
            "E139\xEF\xBE\x9F"
            "41'30.1\"");
  // Exact halves and whole degrees are not drawn a tenth short.
  EXPECT_EQ(tools::CoordinateText('N', 35.5),
            "N35\xEF\xBE\x9F"
            "30'00.0\"");
  EXPECT_EQ(tools::CoordinateText('E', 140.0),
            "E140\xEF\xBE\x9F"
            "00'00.0\"");
  // 0.99999° is 59' 59.964": the tenths truncate to 59.9, never round up to 60.0.
  EXPECT_EQ(tools::CoordinateText('N', 20.99999),
            "N20\xEF\xBE\x9F"
            "59'59.9\"");

  // The full round trip through the player's parser: within the tenth of a second
  // (2.8 units of 1/100000 degree) below the true value.
  for (double v : {20.0, 35.6894512, 45.123456, 49.99999}) {
    const std::string t = tools::CoordinateText('N', v);
    const int32_t read =
        alarm::ParseNavinCoordinate(alarm::RecognizeGlyphs(Strip(tools::GlyphColumns(t), 110), 384));
    EXPECT_LE(read, int32_t(v * 100000 + 1e-6)) << t;
    EXPECT_GE(read, int32_t(v * 100000) - 3) << t;
  }
}

TEST(NavinSimRoute, DrivesAtItsSpeedAndStopsAtTheEnd) {
  // 0.01° of latitude is 0.01 × π / 180 × 6,370,000 m = 1111.77 m.
  const std::vector<tools::TRoutePoint> route{{35.00, 139.0}, {35.01, 139.0}, {35.01, 139.01}};
  // 40 km/h for 50 s: 555.56 m, 0.49971 of the first leg.
  EXPECT_NEAR(tools::PositionAlong(route, 40, 50).Latitude, 35.0049971, 1e-6);
  EXPECT_DOUBLE_EQ(tools::PositionAlong(route, 40, 50).Longitude, 139.0);
  // 1111.77 m + 0.01° of longitude at 35.01° (910.6 m) = 2022.4 m; at 36 km/h, 202.2 s.
  const auto second = tools::PositionAlong(route, 36, 150);  // 1500 m: 388.2 m into leg two
  EXPECT_DOUBLE_EQ(second.Latitude, 35.01);
  EXPECT_NEAR(second.Longitude, 139.0 + 0.01 * 388.23 / 910.6, 2e-6);
  EXPECT_DOUBLE_EQ(tools::PositionAlong(route, 36, 203).Longitude, 139.01);
  EXPECT_DOUBLE_EQ(tools::PositionAlong(route, 36, 1e9).Latitude, 35.01);
  // Standing, or before the start: the first point.
  EXPECT_DOUBLE_EQ(tools::PositionAlong(route, 0, 100).Latitude, 35.0);
  EXPECT_DOUBLE_EQ(tools::PositionAlong(route, 40, -5).Latitude, 35.0);
  EXPECT_DOUBLE_EQ(tools::PositionAlong({{35.5, 139.5}}, 40, 100).Latitude, 35.5);
}

TEST(NavinSimRoute, RouteFilesAndTheirErrors) {
  const std::string good = WriteFile("# a drive\n35.1 139.2\n\n  35.2\t139.3\r\n");
  const tools::TRouteFile r = tools::ReadRoute(good);
  EXPECT_EQ(r.Error, "");
  ASSERT_EQ(r.Points.size(), 2u);
  EXPECT_DOUBLE_EQ(r.Points[1].Longitude, 139.3);
  for (const char* bad : {"35.1 139.2\n35.2\n", "35.1 139.2 7\n", "91 139\n", "35 east\n"}) {
    const std::string path = WriteFile(bad);
    const tools::TRouteFile b = tools::ReadRoute(path);
    EXPECT_TRUE(b.Points.empty()) << bad;
    EXPECT_NE(b.Error.find(path + ":"), std::string::npos) << b.Error;
    std::remove(path.c_str());
  }
  EXPECT_NE(tools::ReadRoute("/nonexistent/route").Error, "");
  const std::string empty = WriteFile("# nothing\n");
  EXPECT_NE(tools::ReadRoute(empty).Error.find("no points"), std::string::npos);
  std::remove(good.c_str());
  std::remove(empty.c_str());
}
