// The map arithmetic: class, zoom and denominator over their whole ranges, the scale
// list, the zoom step, the recentring threshold, the icon number, map coordinates and
// the distance.  Expected values are worked out by hand or from independent formulas.
#include "maplink/core/MappleMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace sorrel::maplink {
namespace {

TEST(MappleScale, DenominatorOfEachClass) {
  EXPECT_EQ(ScaleDenominator(0, 200), 100000);
  EXPECT_EQ(ScaleDenominator(1, 200), 25000);
  EXPECT_EQ(ScaleDenominator(2, 200), 5000);
  EXPECT_EQ(ScaleDenominator(0, 3), 6666666);  // truncated
  EXPECT_EQ(ScaleDenominator(2, 1000000), 1);
  EXPECT_EQ(ScaleDenominator(2, 1000001), 0);
  for (int bad : {-1, 3, 100}) EXPECT_EQ(ScaleDenominator(bad, 200), std::nullopt) << bad;
  for (int zoom : {0, -50}) EXPECT_EQ(ScaleDenominator(0, zoom), std::nullopt) << zoom;
}

TEST(MappleScale, ClassBoundariesOfADenominator) {
  EXPECT_EQ(ScaleFromDenominator(50001), (TMapScale{0, 399}));
  EXPECT_EQ(ScaleFromDenominator(50000), (TMapScale{1, 100}));
  EXPECT_EQ(ScaleFromDenominator(10001), (TMapScale{1, 499}));
  EXPECT_EQ(ScaleFromDenominator(10000), (TMapScale{2, 100}));
  EXPECT_EQ(ScaleFromDenominator(1), (TMapScale{2, 1000000}));
  EXPECT_EQ(ScaleFromDenominator(0), (TMapScale{2, 1000000}));
  EXPECT_EQ(ScaleFromDenominator(-7), (TMapScale{2, 1000000}));
  EXPECT_EQ(ScaleFromDenominator(INT32_MAX), (TMapScale{0, 0}));
}

TEST(MappleScale, EveryDenominatorOfTheListRangeRoundTripsToAFixedPoint) {
  // Whatever N is, the scale shown for it is close to 1:N and showing it again changes
  // nothing: the map program's classes cover the range without gaps.
  for (int n = 1000; n <= 400000; ++n) {
    const TMapScale s = ScaleFromDenominator(n);
    const auto shown = ScaleDenominator(s.MapClass, s.Zoom);
    ASSERT_TRUE(shown) << n;
    // The zoom is truncated, so the map shows at most one zoom step less detail.
    ASSERT_GE(*shown, n) << n;
    ASSERT_LE(double(*shown), double(n) * (s.Zoom + 1) / s.Zoom) << n;
    ASSERT_EQ(ScaleFromDenominator(*shown), s) << n;
  }
}

TEST(MappleScaleList, NormalisesDefaultsLimitsAndOrder) {
  std::array<int, kScaleListSize> list{0, 0, 0, 500, 500000, -1, -1, -1, -1, -1};
  EXPECT_EQ(NormaliseScaleList(list), 5);
  EXPECT_EQ(list, (std::array<int, kScaleListSize>{1000, 5000, 25000, 100000, 400000, -1, -1, -1, -1, -1}));
}

TEST(MappleScaleList, ShowableScalesWithoutDuplicates) {
  // Unsorted; -5 in the first three becomes 25000 and duplicates the next; 7777 is not
  // showable (1,000,000 / 7777 = zoom 128, shown as 1,000,000 / 128 = 7812) and then
  // equals 7812; 25001 is shown as 5,000,000 / 199 = 25125; 3 and 1000 both as 1000;
  // 999999 as 400000; 0 is dropped.
  std::array<int, kScaleListSize> mixed{200000, -5, 25000, 7777, 7812, 3, 25001, 0, 999999, 1000};
  const int count = NormaliseScaleList(mixed);
  EXPECT_EQ(count, 6);
  EXPECT_EQ(mixed,
            (std::array<int, kScaleListSize>{1000, 7812, 25000, 25125, 200000, 400000, -1, -1, -1, -1}));
  for (int i = 0; i < kScaleListSize; ++i) EXPECT_EQ(mixed[i] == kNoScale, i >= count) << i;
  // Normalising again keeps it.
  auto again = mixed;
  EXPECT_EQ(NormaliseScaleList(again), count);
  EXPECT_EQ(again, mixed);
  // A full list of distinct scales keeps all ten.
  std::array<int, kScaleListSize> full{400000, 200000, 100000, 50000, 25000, 12500, 10000, 5000, 2000, 1000};
  EXPECT_EQ(NormaliseScaleList(full), 10);
  EXPECT_EQ(full.front(), 1000);
  EXPECT_EQ(full.back(), 400000);
}

TEST(MappleScaleList, StepsToTheNextEntry) {
  const std::array<int, kScaleListSize> list{1000, 5000, 25000, 100000, 400000, -1, -1, -1, -1, -1};
  EXPECT_EQ(NextLargerScale(list, 5, 5000), 25000);
  EXPECT_EQ(NextLargerScale(list, 5, 4999), 5000);
  EXPECT_EQ(NextLargerScale(list, 5, 400000), std::nullopt);
  EXPECT_EQ(NextSmallerScale(list, 5, 5000), 1000);
  EXPECT_EQ(NextSmallerScale(list, 5, 5001), 5000);
  EXPECT_EQ(NextSmallerScale(list, 5, 1000), std::nullopt);
  // The empty tail (-1) is never a smaller scale.
  EXPECT_EQ(NextSmallerScale(list, 5, 500), std::nullopt);
  EXPECT_EQ(NextSmallerScale(list, 0, 500000), std::nullopt);
}

TEST(MappleZoomStep, PassesToTheNeighbouringClass) {
  // 380 + 50 = 430: class 1 at (430 - 400) / 20 * 5 + 100 = 105.
  EXPECT_EQ(ZoomStep({0, 380}, +50), (TMapScale{1, 105}));
  EXPECT_EQ(ZoomStep({0, 349}, +50), (TMapScale{0, 399}));
  EXPECT_EQ(ZoomStep({0, 350}, +50), (TMapScale{1, 100}));
  EXPECT_EQ(ZoomStep({1, 149}, -50), (TMapScale{0, 399}));
  EXPECT_EQ(ZoomStep({1, 150}, -50), (TMapScale{1, 100}));
  EXPECT_EQ(ZoomStep({1, 450}, +50), (TMapScale{1, 500}));
  EXPECT_EQ(ZoomStep({1, 451}, +50), (TMapScale{2, 100}));
  EXPECT_EQ(ZoomStep({1, 490}, +50), (TMapScale{2, 110}));
  EXPECT_EQ(ZoomStep({2, 149}, -50), (TMapScale{1, 499}));
  EXPECT_EQ(ZoomStep({2, 150}, -50), (TMapScale{2, 100}));
  EXPECT_EQ(ZoomStep({2, 5000}, +50), (TMapScale{2, 5050}));
}

TEST(MappleZoomStep, KeepsTheScaleFromClassZeroToOne) {
  // At zoom 400 + 20k of class 0 the map shows exactly what class 1 shows at 100 + 5k.
  for (int k = 0; k < 40; ++k) {
    const int z0 = 400 + 20 * k;
    const TMapScale a = ZoomStep({0, z0 - 50}, +50);
    EXPECT_EQ(a.MapClass, 1);
    EXPECT_EQ(ScaleDenominator(a.MapClass, a.Zoom), ScaleDenominator(0, z0)) << z0;
  }
}

TEST(MappleThreshold, MapAreaScaleAndClass) {
  // 480 x 480: m = min(413, 426) = 413; class 0 zoom 200: 413 * 5120 / 200 = 10572, / 3.
  EXPECT_EQ(RecentreThreshold({0, 200}, 480, 480), 3524);
  // 800 x 600: m = 546; class 1 zoom 100: 546 * 1280 / 100 = 6988, / 3.
  EXPECT_EQ(RecentreThreshold({1, 100}, 800, 600), 2329);
  // class 2 zoom 1000: 413 * 256 / 1000 = 105, / 3.
  EXPECT_EQ(RecentreThreshold({2, 1000}, 480, 480), 35);
  // A window smaller than the bars: negative, so every draw recentres.
  EXPECT_LT(*RecentreThreshold({0, 200}, 50, 480), 0);
  // No overflow with the largest window and zoom 1.
  EXPECT_EQ(RecentreThreshold({0, 1}, 100000, 100000), int64_t(99933) * 5120 / 3);
  EXPECT_EQ(RecentreThreshold({-1, 200}, 480, 480), std::nullopt);
  EXPECT_EQ(RecentreThreshold({0, 0}, 480, 480), std::nullopt);
}

TEST(MappleIcon, SixteenDirections) {
  EXPECT_EQ(IconNumber(355), 1);  // 17 becomes 1
  EXPECT_EQ(IconNumber(10), 1);
  EXPECT_EQ(IconNumber(12), 2);
  EXPECT_EQ(IconNumber(0), 1);
  EXPECT_EQ(IconNumber(11.24), 1);
  EXPECT_EQ(IconNumber(11.25), 2);
  EXPECT_EQ(IconNumber(90), 5);
  EXPECT_EQ(IconNumber(348.74), 16);
  EXPECT_EQ(IconNumber(348.75), 1);
  EXPECT_EQ(IconNumber(-5), 1);
  EXPECT_EQ(IconNumber(-30), 1);
  EXPECT_EQ(IconNumber(720), 1);
  EXPECT_EQ(IconNumber(std::nan("")), 1);
  EXPECT_EQ(IconNumber(1e300), 1);
  // Every heading gets the icon whose direction, (n - 1) * 22.5, is nearest to it.
  for (int tenth = 0; tenth < 3600; ++tenth) {
    const double dir = tenth / 10.0;
    const int n = IconNumber(dir);
    ASSERT_GE(n, 1);
    ASSERT_LE(n, 16);
    double off = std::fabs(dir - (n - 1) * 22.5);
    off = std::min(off, 360 - off);
    ASSERT_LE(off, 11.25) << dir;
  }
}

TEST(MappleCoordinates, ThousandthsOfAnArcSecondTruncated) {
  EXPECT_EQ(MapCoordinate(35.25), 126900000);
  EXPECT_EQ(MapCoordinate(139.75), 503100000);
  EXPECT_EQ(MapCoordinate(-35.25), -126900000);
  EXPECT_EQ(MapCoordinate(0.0000003), 1);    // 1.08
  EXPECT_EQ(MapCoordinate(-0.0000003), -1);  // toward zero
  EXPECT_EQ(MapCoordinate(0.0000002), 0);    // 0.72
  EXPECT_EQ(MapCoordinate(180), 648000000);
  EXPECT_EQ(MapCoordinate(1e10), INT32_MAX);
  EXPECT_EQ(MapCoordinate(-1e10), INT32_MIN);
  EXPECT_EQ(MapCoordinate(std::nan("")), 0);
}

TEST(MappleDistance, GreatCircleMetres) {
  // Independently: the haversine formula on the same sphere.
  const auto haversine = [](double la1, double lo1, double la2, double lo2) {
    const double r = std::numbers::pi / 180;
    const double a = std::pow(std::sin((la2 - la1) * r / 2), 2) +
                     std::cos(la1 * r) * std::cos(la2 * r) * std::pow(std::sin((lo2 - lo1) * r / 2), 2);
    return 2 * 6370000.0 * std::asin(std::sqrt(a));
  };
  // One degree of latitude: 6,370,000 * pi / 180 = 111,177.47 m.
  EXPECT_EQ(DistanceMetres(35, 139, 36, 139), 111177);
  for (auto [la1, lo1, la2, lo2] :
       {std::array{35.0, 139.0, 35.01, 139.02}, std::array{35.6, 139.7, 34.7, 135.5},
        std::array{43.06, 141.35, 26.21, 127.68}}) {
    EXPECT_NEAR(double(DistanceMetres(la1, lo1, la2, lo2)), haversine(la1, lo1, la2, lo2), 2.0);
    EXPECT_EQ(DistanceMetres(la1, lo1, la2, lo2), DistanceMetres(la2, lo2, la1, lo1));
  }
  // The absolute cosine folds a longitude difference beyond 90 degrees back (139 counts
  // as 41): from "no position" (0, 0) the car is still thousands of kilometres away.
  EXPECT_NEAR(double(DistanceMetres(0, 0, 35, 139)), haversine(0, 0, 35, 41), 2.0);
  EXPECT_EQ(DistanceMetres(std::nan(""), 0, 35, 139), -1);
}

}  // namespace
}  // namespace sorrel::maplink
