#include <gtest/gtest.h>

#include <string>

#include "image/resize_rules.h"

namespace tallowin {
namespace {

ResizeRules Rules(std::int32_t mw, std::int32_t mh, bool bigger, bool smaller, bool turn, bool keep) {
  return ResizeRules{mw, mh, bigger, smaller, turn, keep};
}

struct ResizeCase {
  const char* name;
  PictureSize picture;
  ResizeRules rules;
  bool processed;
  PictureSize target;  // only when processed
};

class ResizeRulesTest : public ::testing::TestWithParam<ResizeCase> {};

TEST_P(ResizeRulesTest, DecisionAndTargetSize) {
  const ResizeCase& c = GetParam();
  EXPECT_EQ(ShouldResize(c.picture.width, c.picture.height, c.rules), c.processed);
  if (c.processed) {
    const PictureSize t = ResizeTarget(c.picture.width, c.picture.height, c.rules);
    EXPECT_EQ(t.width, c.target.width);
    EXPECT_EQ(t.height, c.target.height);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ResizeRulesTest,
    ::testing::Values(
        ResizeCase{"shrinks_wide", {1000, 333}, Rules(640, 480, true, true, false, true), true, {640, 213}},
        ResizeCase{"enlarges_small", {400, 300}, Rules(640, 480, true, true, false, true), true, {640, 480}},
        // 0.5 * 5 = 2.5 rounds to the even 2, not 3
        ResizeCase{"half_rounds_to_even", {4, 5}, Rules(2, 100, true, true, true, true), true, {2, 2}},
        ResizeCase{"half_rounds_up_to_even", {4, 7}, Rules(2, 100, true, true, true, true), true, {2, 4}},
        ResizeCase{"only_bigger_portrait", {400, 600}, Rules(640, 480, true, false, false, true), true, {320, 480}},
        ResizeCase{"only_bigger_portrait_fits_turned_box", {400, 600}, Rules(640, 480, true, false, true, true), false, {}},
        ResizeCase{"only_bigger_exact_size", {640, 480}, Rules(640, 480, true, false, false, true), true, {640, 480}},
        ResizeCase{"only_bigger_both_below", {639, 479}, Rules(640, 480, true, false, false, true), false, {}},
        ResizeCase{"only_smaller_mixed", {800, 300}, Rules(640, 480, false, true, false, true), true, {640, 240}},
        ResizeCase{"only_smaller_both_above", {800, 500}, Rules(640, 480, false, true, false, true), false, {}},
        ResizeCase{"only_smaller_above_turned_box", {500, 700}, Rules(640, 480, false, true, true, true), false, {}},
        ResizeCase{"only_smaller_turned_box_off", {500, 700}, Rules(640, 480, false, true, false, true), true, {343, 480}},
        ResizeCase{"neither", {10, 10}, Rules(640, 480, false, false, true, true), false, {}},
        ResizeCase{"free_portrait_turned", {300, 500}, Rules(640, 480, true, true, true, false), true, {480, 640}},
        ResizeCase{"free_portrait_not_turned", {300, 500}, Rules(640, 480, true, true, false, false), true, {640, 480}},
        ResizeCase{"free_square_counts_as_portrait", {300, 300}, Rules(640, 480, true, true, true, false), true, {480, 640}},
        ResizeCase{"proportional_turned_box", {300, 500}, Rules(640, 480, true, true, true, true), true, {384, 640}},
        ResizeCase{"zero_width_box", {300, 500}, Rules(0, 480, true, true, false, true), true, {0, 0}},
        ResizeCase{"one_third", {3, 300000}, Rules(1, 100000, true, true, false, true), true, {1, 100000}},
        ResizeCase{"huge_box_width", {1, 1}, Rules(INT32_MAX, 2, true, true, false, true), true, {2, 2}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FilterFromNameTest, FirstThreeCharactersDecide) {
  struct Case {
    std::u16string name;
    std::optional<ResampleFilter> filter;
  } cases[] = {{u"Bicubic", ResampleFilter::Bicubic},   {u"Bikubisch", ResampleFilter::Bicubic},
               {u"Bilinear", ResampleFilter::Bilinear}, {u"Bilxyz", ResampleFilter::Bilinear},
               {u"Nearest", ResampleFilter::Nearest},   {u"N\u00e4chster Nachbar", ResampleFilter::Nearest},
               {u"bicubic", std::nullopt},              {u"Bi", std::nullopt},
               {u" Bicubic", std::nullopt},             {u"", std::nullopt},
               {u"Lanczos", std::nullopt}};
  for (const Case& c : cases) {
    EXPECT_EQ(FilterFromName(c.name), c.filter) << std::string(c.name.begin(), c.name.end());
  }
}

}  // namespace
}  // namespace tallowin
