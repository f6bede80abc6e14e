#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "image/image_steps.h"
#include "image_test_support.h"

namespace tallowin {
namespace {

using testing::NumberedRaster;
using testing::PixelAt;

// Stands in for the marquee dialog: hands back scripted margin boxes and
// remembers which pictures it was shown.
class ScriptedMarquee : public MarqueeDialog {
 public:
  void Withdraw() override { ++withdrawn; }
  std::optional<MarginTexts> ChooseCutout(const RasterImage& picture) override {
    shown.push_back({picture.width, picture.height});
    return answer;
  }
  std::optional<MarginTexts> answer;
  std::vector<std::pair<int, int>> shown;
  int withdrawn = 0;
};

class ImageStepsTest : public ::testing::Test {
 protected:
  void SetMainMargins(std::u16string l, std::u16string r, std::u16string t, std::u16string b) {
    settings.SetText(Setting::act_zuschlinks, std::move(l));
    settings.SetText(Setting::act_zuschrechts, std::move(r));
    settings.SetText(Setting::act_zuschoben, std::move(t));
    settings.SetText(Setting::act_zuschunten, std::move(b));
  }
  void CutMode(bool marquee, bool direct) {
    settings.SetFlag(Setting::rb_cutimg_auswahl, marquee);
    settings.SetFlag(Setting::rb_cutimg_direkt, direct);
  }

  CaptureSettings settings;
  ScriptedMarquee marquee;
  ImageSteps steps{settings};
};

TEST_F(ImageStepsTest, FixedMarginsCutFromTheMainWindowBoxes) {
  CutMode(false, true);
  SetMainMargins(u"1", u" 2", u"$1", u"0");
  const RasterImage source = NumberedRaster(10, 4);
  const std::optional<RasterImage> cut = steps.Crop(source);
  ASSERT_TRUE(cut);
  EXPECT_EQ(cut->width, 7);
  EXPECT_EQ(cut->height, 3);
  EXPECT_EQ(std::memcmp(PixelAt(*cut, 0, 0), PixelAt(source, 1, 1), 4), 0);
  EXPECT_TRUE(marquee.shown.empty());
}

TEST_F(ImageStepsTest, MarginsThatAreNoNumbersOrTooLargeKeepThePicture) {
  CutMode(false, true);
  const RasterImage source = NumberedRaster(10, 4);
  for (const MarginTexts& m : {MarginTexts{u"1", u"x", u"0", u"0"}, MarginTexts{u"", u"0", u"0", u"0"},
                               MarginTexts{u"5", u"5", u"0", u"0"}, MarginTexts{u"0", u"0", u"2", u"2"},
                               MarginTexts{u"1a", u"0", u"0", u"0"}}) {
    SetMainMargins(m.left, m.right, m.top, m.bottom);
    const std::optional<RasterImage> result = steps.Crop(source);
    ASSERT_TRUE(result) << "the picture is still written back";
    EXPECT_EQ(*result, source);
  }
}

TEST_F(ImageStepsTest, MarqueeModeCutsTheDialogsMarginsAndIgnoresTheMainWindows) {
  CutMode(true, false);
  marquee.answer = MarginTexts{u"2", u"3", u"1", u"1"};
  steps.SetMarqueeDialog(&marquee);
  SetMainMargins(u"4", u"4", u"0", u"0");
  const RasterImage source = NumberedRaster(10, 5);
  const std::optional<RasterImage> cut = steps.Crop(source);
  ASSERT_TRUE(cut);
  EXPECT_EQ((std::pair{cut->width, cut->height}), (std::pair{5, 3}));
  EXPECT_EQ(std::memcmp(PixelAt(*cut, 0, 0), PixelAt(source, 2, 1), 4), 0);
  ASSERT_EQ(marquee.shown.size(), 1u);
  EXPECT_EQ(marquee.shown[0], (std::pair{10, 5}));

  marquee.answer = MarginTexts{u"0", u"0", u"0", u"0"};  // cancelled
  EXPECT_EQ(steps.Crop(source), source);
}

TEST_F(ImageStepsTest, MarqueeThatCannotBeShownFailsTheStep) {
  CutMode(true, false);
  EXPECT_FALSE(steps.Crop(NumberedRaster(4, 4))) << "no dialog attached";
  steps.SetMarqueeDialog(&marquee);
  marquee.answer = std::nullopt;  // already open
  EXPECT_FALSE(steps.Crop(NumberedRaster(4, 4)));
}

// Newer content while the dialog may be open: the dialog is withdrawn unless
// the newer content's own crop step will take it over.
TEST_F(ImageStepsTest, NewerContentWithdrawsTheDialogUnlessItsCropTakesItOver) {
  steps.SetMarqueeDialog(&marquee);
  struct Case {
    bool marqueeMode;
    bool cropsPicture;
    int withdrawn;
  };
  for (const Case& c : {Case{true, true, 0}, Case{true, false, 1}, Case{false, true, 1}, Case{false, false, 1}}) {
    CutMode(c.marqueeMode, !c.marqueeMode);
    marquee.withdrawn = 0;
    steps.NewerContentArrived(c.cropsPicture);
    EXPECT_EQ(marquee.withdrawn, c.withdrawn) << c.marqueeMode << c.cropsPicture;
  }
}

TEST_F(ImageStepsTest, BothCutModesOffWritesThePictureBackUnchanged) {
  CutMode(false, false);
  steps.SetMarqueeDialog(&marquee);
  SetMainMargins(u"1", u"1", u"1", u"1");
  const RasterImage source = NumberedRaster(6, 6);
  EXPECT_EQ(steps.Crop(source), source);
  EXPECT_TRUE(marquee.shown.empty());
}

TEST_F(ImageStepsTest, ResizeReadsTheMaximumSizeAndRules) {
  settings.SetText(Setting::act_sizebenutzer_x, u"640");
  settings.SetText(Setting::act_sizebenutzer_y, u"480");
  settings.SetFlag(Setting::act_sizehochquerformat, false);
  const std::optional<RasterImage> resized = steps.Resize(NumberedRaster(1000, 333));
  ASSERT_TRUE(resized);
  EXPECT_EQ((std::pair{resized->width, resized->height}), (std::pair{640, 213}));
}

TEST_F(ImageStepsTest, EmptyMaximumWidthMeansThePicturesOwnWidth) {
  settings.SetText(Setting::act_sizebenutzer_x, u"");
  settings.SetText(Setting::act_sizebenutzer_y, u"100");
  const std::optional<RasterImage> resized = steps.Resize(NumberedRaster(300, 200));
  ASSERT_TRUE(resized);
  EXPECT_EQ((std::pair{resized->width, resized->height}), (std::pair{150, 100}));
}

TEST_F(ImageStepsTest, ZeroMaximumFailsAndRulesThatSkipKeepThePicture) {
  settings.SetText(Setting::act_sizebenutzer_x, u"0");
  EXPECT_FALSE(steps.Resize(NumberedRaster(30, 20))) << "a target side of 0 fails the step";

  settings.SetFlag(Setting::act_sizebigger, false);
  settings.SetFlag(Setting::act_sizekleiner, false);
  const RasterImage source = NumberedRaster(30, 20);
  EXPECT_EQ(steps.Resize(source), source);
}

TEST_F(ImageStepsTest, FilterNameSelectsTheFilterAndAnUnknownNameKeepsTheLastOne) {
  EXPECT_EQ(steps.CurrentResampleFilter(), ResampleFilter::Nearest);
  settings.SetText(Setting::act_sizemethode, u"Bilinear");
  steps.KonvertierWerteSetzen();
  EXPECT_EQ(steps.CurrentResampleFilter(), ResampleFilter::Bilinear);
  settings.SetText(Setting::act_sizemethode, u"Lanczos");
  steps.KonvertierWerteSetzen();
  EXPECT_EQ(steps.CurrentResampleFilter(), ResampleFilter::Bilinear);

  // The resize step sets the filter itself: nearest keeps the pixels' exact values.
  settings.SetText(Setting::act_sizemethode, u"N\u00e4chster Nachbar");
  settings.SetText(Setting::act_sizebenutzer_x, u"8");
  settings.SetText(Setting::act_sizebenutzer_y, u"2");
  const RasterImage source = NumberedRaster(4, 1);
  const std::optional<RasterImage> doubled = steps.Resize(source);
  ASSERT_TRUE(doubled);
  EXPECT_EQ(steps.CurrentResampleFilter(), ResampleFilter::Nearest);
  ASSERT_EQ(doubled->width, 8);
  EXPECT_EQ(std::memcmp(PixelAt(*doubled, 3, 1), PixelAt(source, 1, 0), 4), 0);
}

// The halves a pass runs apart (the work possibly on another thread): the plan
// fixes what the settings say when it is made, the work leaves the shared
// picture alone and gives the picture itself back when nothing changes.
TEST_F(ImageStepsTest, PlannedWorkMatchesTheStepUsesThePlanAloneAndSharesAnUnchangedPicture) {
  CutMode(true, false);
  steps.SetMarqueeDialog(&marquee);
  marquee.answer = MarginTexts{u"1", u"2", u"0", u"1"};
  settings.SetText(Setting::act_sizebenutzer_x, u"3");
  settings.SetText(Setting::act_sizebenutzer_y, u"3");
  const RasterImage source = NumberedRaster(10, 6);
  const SharedRaster picture = std::make_shared<const RasterImage>(source);

  const std::optional<CropPlan> crop = steps.PlanCrop(*picture);
  const std::optional<ResizePlan> resize = steps.PlanResize(*picture);
  ASSERT_TRUE(crop && resize);
  const std::optional<RasterImage> cutByStep = steps.Crop(source);
  const std::optional<RasterImage> scaledByStep = steps.Resize(source);
  // Settings changed after planning (a newer pass may do so) do not reach the work.
  settings.SetText(Setting::act_sizebenutzer_x, u"1");

  const SharedRaster cut = ApplyCrop(picture, *crop);
  const SharedRaster scaled = ApplyResize(picture, *resize);
  ASSERT_TRUE(cut && scaled && cutByStep && scaledByStep);
  EXPECT_EQ(*cut, *cutByStep);
  EXPECT_EQ((std::pair{cut->width, cut->height}), (std::pair{7, 5}));
  EXPECT_EQ((std::pair{scaled->width, scaled->height}), (std::pair{3, 2}));
  EXPECT_EQ(*scaled, *scaledByStep);
  EXPECT_EQ(*picture, source) << "the work changed the shared picture";

  // Nothing to do: the same picture, not a copy.
  EXPECT_EQ(ApplyCrop(picture, CropPlan{}), picture);
  EXPECT_EQ(ApplyCrop(picture, CropPlan{MarginTexts{u"x", u"0", u"0", u"0"}, std::nullopt}), picture);
  EXPECT_EQ(ApplyResize(picture, ResizePlan{}), picture);
}

}  // namespace
}  // namespace tallowin
