#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <tuple>

#include "image/marquee_selection.h"

namespace tallowin {
namespace {

// Records what the marquee does to the dialog. Drawing toggles an outline, as
// XOR does: an outline drawn twice is gone.
class FakeView : public MarqueeView {
 public:
  void DrawSelectionRect(const SelectionRect& r) override {
    const auto key = std::tuple{std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
                                std::max(r.top, r.bottom)};
    if (!outlines.erase(key)) outlines[key] = true;
  }
  void ConfinePointer(std::int32_t w, std::int32_t h) override { confined = std::pair{w, h}; }
  void ReleasePointer() override { confined.reset(); }
  ScrollState Scroll() const override { return scroll; }
  void ScrollTo(std::int32_t h, std::int32_t v) override {
    scroll.horizontalPosition = std::clamp(h, 0, std::max(0, scroll.horizontalRange - scroll.boxWidth));
    scroll.verticalPosition = std::clamp(v, 0, std::max(0, scroll.verticalRange - scroll.boxHeight));
  }
  void SetTitle(const std::u16string& t) override { title = t; }
  MarginTexts Margins() const override { return margins; }
  void SetMargins(const MarginTexts& m) override { margins = m; }
  void FocusOk() override { okFocused = true; }

  // The one outline on the picture, normalised.
  SelectionRect Drawn() const {
    EXPECT_EQ(outlines.size(), 1u) << "the rectangle must be drawn exactly once";
    if (outlines.empty()) return {};
    const auto [l, t, r, b] = outlines.begin()->first;
    return {l, t, r, b};
  }

  std::map<std::tuple<int, int, int, int>, bool> outlines;
  std::optional<std::pair<int, int>> confined;
  ScrollState scroll{0, 0, 400, 900, 300, 200};
  std::u16string title;
  MarginTexts margins{u"0", u"0", u"0", u"0"};
  bool okFocused = false;
};

class MarqueeSelectionTest : public ::testing::Test {
 protected:
  MarqueeSelectionTest() { marquee.ShowPicture(400, 900); }
  void Drag(int x0, int y0, int x1, int y1) {
    marquee.MouseDown(MouseButton::Left, x0, y0);
    marquee.MouseMove((x0 + x1) / 2, (y0 + y1) / 2);
    marquee.MouseMove(x1, y1);
    marquee.MouseUp();
  }
  FakeView view;
  MarqueeSelection marquee{view};
};

TEST_F(MarqueeSelectionTest, DragSetsMarginsInEitherDirection) {
  Drag(10, 20, 110, 220);
  EXPECT_EQ(view.margins, (MarginTexts{u"10", u"290", u"20", u"680"}));
  EXPECT_EQ(view.Drawn(), (SelectionRect{10, 20, 110, 220}));
  EXPECT_FALSE(view.confined);
  EXPECT_TRUE(view.okFocused);

  Drag(110, 220, 10, 20);
  EXPECT_EQ(view.margins, (MarginTexts{u"10", u"290", u"20", u"680"}));
  EXPECT_EQ(marquee.Rect(), (SelectionRect{10, 20, 110, 220}));
  EXPECT_EQ(view.Drawn(), (SelectionRect{10, 20, 110, 220}));
}

TEST_F(MarqueeSelectionTest, ClickOrLineSelectsNothing) {
  view.margins = {u"5", u"5", u"5", u"5"};
  marquee.MouseDown(MouseButton::Left, 50, 60);
  marquee.MouseUp();
  EXPECT_EQ(view.margins, (MarginTexts{u"0", u"0", u"0", u"0"}));
  Drag(50, 60, 150, 60);  // ends on the start row
  EXPECT_EQ(view.margins, (MarginTexts{u"0", u"0", u"0", u"0"}));
}

TEST_F(MarqueeSelectionTest, PointerIsConfinedWhileDraggingAndNegativePositionsStopAtZero) {
  marquee.MouseDown(MouseButton::Left, 30, 40);
  EXPECT_EQ(view.confined, (std::pair{400, 900}));
  marquee.MouseMove(-5, -7);
  EXPECT_EQ(view.Drawn(), (SelectionRect{0, 0, 30, 40}));
  marquee.MouseUp();
  EXPECT_EQ(view.margins, (MarginTexts{u"0", u"370", u"0", u"860"}));
}

TEST_F(MarqueeSelectionTest, PastTheFarEdgeGivesZeroMarginNotNegative) {
  Drag(300, 800, 450, 950);
  EXPECT_EQ(view.margins, (MarginTexts{u"300", u"0", u"800", u"0"}));
}

TEST_F(MarqueeSelectionTest, RightButtonStartsNothingButDisarmsScrolling) {
  marquee.MouseDown(MouseButton::Left, 10, 10);
  marquee.MouseMove(20, 20);  // first move after a press never scrolls
  EXPECT_EQ(view.scroll.verticalPosition, 0);
  marquee.MouseDown(MouseButton::Right, 5, 5);  // during the drag: no new selection
  EXPECT_TRUE(marquee.Selecting());
  marquee.MouseMove(100, 850);  // disarmed by the right press: no scroll
  EXPECT_EQ(view.scroll.verticalPosition, 0);
  marquee.MouseMove(100, 850);  // armed now: past the last third, scroll to the end
  EXPECT_EQ(view.scroll.verticalPosition, 700);
  marquee.MouseMove(100, 500);  // else 100 pixels below the pointer stay visible
  EXPECT_EQ(view.scroll.verticalPosition, 400);
  EXPECT_EQ(view.title, u"100:500 0:400 0:900");
  marquee.MouseUp();
  EXPECT_EQ(view.Drawn(), (SelectionRect{10, 10, 100, 500}));
}

TEST_F(MarqueeSelectionTest, RectangleFollowsTheMarginBoxesWhenAllAreNumbers) {
  view.margins = {u"10", u"20", u"30", u"x"};
  marquee.MarginsChanged();
  EXPECT_EQ(view.Drawn(), (SelectionRect{0, 0, 0, 0}));
  view.margins = {u"10", u"20", u"30", u"40"};
  marquee.MarginsChanged();
  EXPECT_EQ(view.Drawn(), (SelectionRect{10, 30, 380, 860}));
}

TEST_F(MarqueeSelectionTest, KeptBetweenPicturesAndCancelLeavesTheRectangle) {
  Drag(10, 20, 110, 220);
  marquee.Cancel();
  EXPECT_EQ(view.margins, (MarginTexts{u"0", u"0", u"0", u"0"}));
  view.outlines.clear();  // a new picture has no outline on it yet
  marquee.ShowPicture(200, 300);
  EXPECT_EQ(view.Drawn(), (SelectionRect{10, 20, 110, 220}));
  marquee.MouseDown(MouseButton::Left, 1, 1);
  EXPECT_EQ(view.confined, (std::pair{200, 300}));
}

}  // namespace
}  // namespace tallowin
