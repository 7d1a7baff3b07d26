// Coordinate arithmetic: distance and bearing on the 6,370 km sphere, angle differences,
// the navigation program's coordinate text and the point file's D'M'S'T form.  Expected
// figures are worked out by hand in the comments.
#include "alarm/core/GpsUtil.h"
#include "alarm/core/Numbers.h"

#include <gtest/gtest.h>

namespace sorrel::alarm {
namespace {

// One degree of arc is 6,370,000 x pi / 180 = 111,177.47 m.
TEST(DistanceAndBearing, AlongMeridianAndEquator) {
  // North and south along a meridian: s = sin(0) = 0, so the bearing is 0, or 180°
  // when the target lies south.
  EXPECT_EQ(DistanceAndBearing(3500000, 13900000, 3600000, 13900000), (TDistanceAndBearing{111177, 0}));
  EXPECT_EQ(DistanceAndBearing(3600000, 13900000, 3500000, 13900000),
            (TDistanceAndBearing{111177, 18000000}));
  // Due east on the equator: s = 1, moved to 0.999999, arcsin = 89.9189715° (the small
  // shift keeps arcsin off its vertical end); due west: -89.9189715° + 360°.
  EXPECT_EQ(DistanceAndBearing(0, 0, 0, 100000), (TDistanceAndBearing{111177, 8991897}));
  EXPECT_EQ(DistanceAndBearing(0, 100000, 0, 0), (TDistanceAndBearing{111177, 27008103}));
  // South-west of the start: arcsin gives about -44.9956°, the southern half flips it to
  // 180° + 44.9956°.  Distance: arccos(cos²1°) x R = 1.41413° x 111,177.47 = 157,224 m.
  EXPECT_EQ(DistanceAndBearing(0, 0, -100000, -100000), (TDistanceAndBearing{157224, 22499555}));
  EXPECT_EQ(DistanceAndBearing(0, 0, 100000, 100000), (TDistanceAndBearing{157224, 4499555}));
}

TEST(DistanceAndBearing, CoincidentAndNearbyPoints) {
  // The same point: 0 m (not a failure from a cosine rounded past 1), and no bearing.
  EXPECT_EQ(DistanceAndBearing(3568945, 13969861, 3568945, 13969861), (TDistanceAndBearing{0, -1}));
  // One unit (1.11 m) apart is already far enough for a bearing.
  EXPECT_EQ(DistanceAndBearing(3568945, 13969861, 3568946, 13969861), (TDistanceAndBearing{1, 0}));
  // Extreme inputs never overflow or crash.
  const TDistanceAndBearing far = DistanceAndBearing(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX);
  EXPECT_GE(far.Distance, -1);
  EXPECT_GE(far.Bearing, -1);
  EXPECT_LE(far.Bearing, kFullCircle);
}

TEST(AngleDifference, TakesTheSmallerWayRound) {
  EXPECT_EQ(AngleDifference(1000000, 35000000), 2000000);  // 10° and 350°: 20°
  EXPECT_EQ(AngleDifference(35000000, 1000000), 2000000);
  EXPECT_EQ(AngleDifference(0, 18000000), 18000000);
  EXPECT_EQ(AngleDifference(0, 18000001), 17999999);
  EXPECT_EQ(AngleDifference(kUnknownDirection, 0), 9999999);
  EXPECT_EQ(AngleDifference(INT32_MIN, INT32_MAX), kFullCircle - (int64_t(INT32_MAX) - INT32_MIN));
}

TEST(ParseNavinCoordinate, ScreenTexts) {
  // 35 + 41/60 + 23.5/3600 = 35.6898611°
  EXPECT_EQ(ParseNavinCoordinate("N35\xEF\xBE\x9F"
                                 "41'23.5\""),
            3568986);
  EXPECT_EQ(ParseNavinCoordinate("E139\xEF\xBE\x9F"
                                 "41'23.5\""),
            13968986);
  EXPECT_EQ(ParseNavinCoordinate("N0\xEF\xBE\x9F"
                                 "00'00.0\""),
            0);
  for (const char* bad : {"", "N",
                          "S35\xEF\xBE\x9F"
                          "41'23.5\"",
                          "35\xEF\xBE\x9F"
                          "41'23.5\"",
                          "N35\xEF\xBE\x9F"
                          "41'23.5",        // no closing quote
                          "N35 41'23.5\"",  // no degree mark
                          "N35\xEF\xBE\x9F"
                          "4123.5\"",  // no minutes mark
                          "N\xEF\xBE\x9F"
                          "41'23.5\"",  // no degrees
                          "N35\xEF\xBE\x9F"
                          "4-1'23.5\"",  // minutes not a number
                          "N35\xEF\xBE\x9F"
                          "41'2.3.5\"",
                          "N3'5\xEF\xBE\x9F"
                          "41'23.5\""})  // an apostrophe before the mark
    EXPECT_EQ(ParseNavinCoordinate(bad), kNavinCoordinateFailure) << bad;
}

TEST(Dmst, FormatTruncatesAtEveryStep) {
  // 35.68945°: 0.68945 x 60 = 41.367', 0.367 x 60 = 22.02", 0.02 x 10 = 0.2 tenths.
  EXPECT_EQ(FormatDmst(3568945), "35'41'22'0");
  // 139.68986°: 41.3916', 23.496", 4.96 tenths: truncated to 4, not rounded to 5.
  EXPECT_EQ(FormatDmst(13968986), "139'41'23'4");
  // Minutes and seconds always take two digits.
  EXPECT_EQ(FormatDmst(105000), "1'03'00'0");
  EXPECT_EQ(FormatDmst(0), "0'00'00'0");
}

TEST(Dmst, ParseAndItsFailures) {
  // 35 + 41/60 + 22.0/3600 = 35.6894444° -> 3568944 (truncated).
  EXPECT_EQ(ParseDmst("35'41'22'0"), 3568944);
  EXPECT_EQ(ParseDmst("139'41'23'5"), 13968986);
  // An empty tenths field reads the seconds alone.
  EXPECT_EQ(ParseDmst("35'41'22'"), 3568944);
  // Whatever follows the third apostrophe is the tenths, and must be a number.
  EXPECT_EQ(ParseDmst("35'41'22'0'9"), 0);
  for (const char* bad : {"", "35", "35'41'22", "a'41'22'0", "35'4b'22'0", "35''22'0", "35'41'22'x"})
    EXPECT_EQ(ParseDmst(bad), 0) << bad;
  // Beyond 32 bits is no coordinate either.
  EXPECT_EQ(ParseDmst("99999'0'0'0"), 0);
}

TEST(Numbers, DecimalAndIntegerForms) {
  EXPECT_EQ(ParseDecimal(" 42.5 "), 42.5);
  EXPECT_EQ(ParseDecimal("-1e2"), -100.0);
  EXPECT_EQ(ParseDecimal("22."), 22.0);
  EXPECT_EQ(ParseDecimal(".5"), 0.5);
  for (const char* bad : {"", ".", "-", "1e", "inf", "nan", "0x10", "1,5", "1e400", "+-1"})
    EXPECT_FALSE(ParseDecimal(bad)) << bad;
  EXPECT_EQ(ParseInteger("359"), 359);
  EXPECT_EQ(ParseInteger("+0"), 0);
  for (const char* bad : {"", "abc", "1.0", "2147483648", "+-1", "12a"})
    EXPECT_FALSE(ParseInteger(bad)) << bad;
  EXPECT_EQ(TruncToInt32(-2.9), -2);
  EXPECT_FALSE(TruncToInt32(2147483648.0));
  EXPECT_EQ(SaturateToInt32(1e300), INT32_MAX);
}

}  // namespace
}  // namespace sorrel::alarm
