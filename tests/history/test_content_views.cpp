#include <gtest/gtest.h>

#include "history/content_views_model.h"

namespace tallowin {
namespace {

TEST(TabStrip, TheFirstTabShowsThePageItNamesAndDetailsTheList) {
  ContentViewsModel v;
  v.SetTabs(u"Image", u"Details");
  EXPECT_EQ(v.SelectedTab(), 0);
  EXPECT_EQ(v.VisiblePage(), ContentPage::Image);
  v.SelectTab(1);
  EXPECT_EQ(v.VisiblePage(), ContentPage::Details);
  v.SelectTab(0);
  EXPECT_EQ(v.VisiblePage(), ContentPage::Image);

  v.SetTabs(u"Text", u"Details");
  EXPECT_EQ(v.VisiblePage(), ContentPage::Text);
  v.SetTabs(u"Bild", u"Details");
  EXPECT_EQ(v.VisiblePage(), ContentPage::Image);
}

// Replacing the tab texts leaves no tab selected, so selecting the first one is
// a change even when it was selected before, and the page follows the new text.
TEST(TabStrip, NewTabTextsRunTheTabChangeAlthoughTabZeroWasSelected) {
  ContentViewsModel v;
  v.ShowPage(ContentPage::Details);
  ASSERT_EQ(v.SelectedTab(), 0);
  v.SetTabs(u"Text", u"Details");
  EXPECT_EQ(v.VisiblePage(), ContentPage::Text);
}

// A text entry selected in the history shows the text page; the tab strip keeps
// "Details" selected, and clicking it again is no change, so the page stays.
TEST(TabStrip, OnlyARealChangeOfTheSelectedTabSwitchesThePage) {
  ContentViewsModel v;
  v.SetTabs(u"Image", u"Details");
  v.SelectTab(1);
  v.ShowPage(ContentPage::Text);
  v.SelectTab(1);
  EXPECT_EQ(v.VisiblePage(), ContentPage::Text);
  v.SelectTab(2);  // no such tab
  v.SelectTab(-1);
  EXPECT_EQ(v.SelectedTab(), 1);
  v.SelectTab(0);
  EXPECT_EQ(v.VisiblePage(), ContentPage::Image);
}

class ImagePanningTest : public ::testing::Test {
 protected:
  ImagePanningTest() {
    views.ShowImage(CreateRaster(500, 400));
    views.SetViewportSize(200, 100);  // scrollable to 300 x 300
    views.ScrollTo(100, 100);
  }
  void Drag(ScreenPoint from, ScreenPoint to, bool left = true) {
    views.ImageMouseDown(from);
    views.ImageMouseMove(to, left);
    views.ImageMouseUp();
  }
  ContentViewsModel views;
};

TEST_F(ImagePanningTest, ThePictureFollowsThePointer) {
  Drag({50, 50}, {70, 80});  // 20 right, 30 down
  EXPECT_EQ(views.HorizontalPosition(), 80);
  EXPECT_EQ(views.VerticalPosition(), 70);
  EXPECT_EQ(views.DragOrigin(), kNoDragOrigin);
}

TEST_F(ImagePanningTest, EachMoveScrollsByTheDistanceSinceTheLastPosition) {
  views.ImageMouseDown({10, 10});
  views.ImageMouseMove({5, 10}, true);
  EXPECT_EQ(views.DragOrigin(), (ScreenPoint{5, 10}));
  views.ImageMouseMove({0, 0}, true);
  EXPECT_EQ(views.HorizontalPosition(), 110);
  EXPECT_EQ(views.VerticalPosition(), 110);
}

TEST_F(ImagePanningTest, PositionsStayWithinTheRanges) {
  Drag({0, 0}, {-1000, -1000});
  EXPECT_EQ(views.HorizontalPosition(), 300);
  EXPECT_EQ(views.VerticalPosition(), 300);
  Drag({0, 0}, {1000, 1000});
  EXPECT_EQ(views.HorizontalPosition(), 0);
  EXPECT_EQ(views.VerticalPosition(), 0);
}

TEST_F(ImagePanningTest, OnlyTheLeftButtonDuringADragScrolls) {
  Drag({50, 50}, {0, 0}, false);
  views.ImageMouseMove({0, 0}, true);  // no drag in progress
  EXPECT_EQ(views.HorizontalPosition(), 100);
  EXPECT_EQ(views.VerticalPosition(), 100);

  views.ImageMouseDown({-1, -1});  // a real position left of and above the primary screen
  views.ImageMouseMove({-11, -1}, true);
  EXPECT_EQ(views.HorizontalPosition(), 110);
}

TEST_F(ImagePanningTest, ASmallerPictureOrALargerViewClampsThePosition) {
  views.ShowImage(CreateRaster(250, 1000));
  EXPECT_EQ(views.HorizontalRange(), 250);
  EXPECT_EQ(views.VerticalRange(), 1000);
  EXPECT_EQ(views.HorizontalPosition(), 50);
  EXPECT_EQ(views.VerticalPosition(), 100);
  views.SetViewportSize(300, 950);
  EXPECT_EQ(views.HorizontalPosition(), 0);
  EXPECT_EQ(views.VerticalPosition(), 50);
}

// A view shows the beginning of a long content without building all of it.
TEST(TextView, ThePrefixIsTheBeginningOfTheWholeContent) {
  ContentViewsModel v;
  EXPECT_EQ(v.Text(), u"");
  EXPECT_EQ(v.TextSize(), 0u);
  v.AddTextLine(MakeSharedText(u"abc"));
  v.AddTextLine(nullptr);  // a format without text is an empty line
  v.AddTextLine(MakeSharedText(u"de"));
  const std::u16string whole = u"abc\r\n\r\nde\r\n";
  EXPECT_EQ(v.Text(), whole);
  EXPECT_EQ(v.TextSize(), whole.size());
  for (std::size_t units : {0u, 2u, 3u, 4u, 5u, 7u, 9u, 11u, 12u, 100u}) {
    EXPECT_EQ(v.TextPrefix(units), whole.substr(0, units)) << units << " units";
  }
}

TEST(TextView, EveryContentChangeCountsUpTheRevision) {
  ContentViewsModel v;
  const std::uint64_t start = v.TextRevision();
  v.ClearText();  // nothing to clear, but the view may hold what the user typed
  const std::uint64_t cleared = v.TextRevision();
  EXPECT_NE(cleared, start);
  v.AddTextLine(MakeSharedText(u"x"));
  const std::uint64_t added = v.TextRevision();
  EXPECT_NE(added, cleared);
  v.ShowPage(ContentPage::Details);
  EXPECT_EQ(v.TextRevision(), added);
  v.ClearText();
  EXPECT_NE(v.TextRevision(), added);
}

}  // namespace
}  // namespace tallowin
