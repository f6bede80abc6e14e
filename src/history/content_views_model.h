#pragma once
// The content area of the main window: the text view display_txt, the image
// view display_img in its scroll box, the page shown and the tab strip TabSet1.
//
// The tab strip always holds two tabs, a content tab ("Text", "Bild" or
// "Image") and "Details". The page shown is state of its own: the pipeline and
// a selected text entry of the history set it directly, the tab strip only when
// its selection really changes. So the tab strip can read "Details" while the
// text page is shown.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "clipboard/clipboard.h"
#include "base/raster_image.h"

namespace tallowin {

enum class ContentPage { Text, Image, Details };

struct ScreenPoint {
  std::int32_t x = 0;
  std::int32_t y = 0;
  friend bool operator==(const ScreenPoint&, const ScreenPoint&) = default;
};

// DragOrigin while no drag is in progress.
inline constexpr ScreenPoint kNoDragOrigin{-1, -1};

class ContentViewsModel {
 public:
  ContentViewsModel() : tabs_{u"Text", u"Details"} {}

  // The text view is emptied at the start of every processed change.
  void ClearText();
  // Adds `text` as a new line of the text view (followed by CR LF). The view
  // keeps the shared buffer; a null text is an empty line.
  void AddTextLine(SharedText text);
  void ShowPage(ContentPage page);
  // Replaces both tab texts, which leaves no tab selected, then selects the
  // first, so the tab change runs and shows the page the first tab names.
  void SetTabs(std::u16string first, std::u16string second);
  // The picture keeps being shown until a new one arrives; the scroll ranges
  // follow its size and the scroll positions stay, clamped to the new ranges.
  void ShowImage(SharedRaster image);
  void ShowImage(RasterImage image) { ShowImage(std::make_shared<const RasterImage>(std::move(image))); }

  // The text view's whole content. Built on request: a view shows only what
  // fits, so it reads TextPrefix and TextSize instead.
  std::u16string Text() const;
  std::size_t TextSize() const;
  // The first `units` units of the content (all when shorter).
  std::u16string TextPrefix(std::size_t units) const;
  // Advances with every clearing and every added line, also when the text ends
  // up as it was, so a view redraws only then and can tell that its own edits
  // are to be replaced.
  std::uint64_t TextRevision() const { return textRevision_; }
  ContentPage VisiblePage() const { return page_; }
  const std::vector<std::u16string>& Tabs() const { return tabs_; }
  // -1 while no tab is selected.
  int SelectedTab() const { return selectedTab_; }
  // Selects tab `index` (0 or 1; others are ignored). Only a real change runs
  // TabSet1Change: tab 1 shows the details list; tab 0 the text page when the
  // first tab reads "Text", else the image page.
  void SelectTab(int index);

  // The picture shown, shared with the clipboard: null before the first one.
  const SharedRaster& Image() const { return image_; }
  std::int32_t HorizontalRange() const { return image_ ? image_->width : 0; }
  std::int32_t VerticalRange() const { return image_ ? image_->height : 0; }

  // The scroll box's client size in pixels, as the window lays it out. A scroll
  // position runs from 0 to range - client size (0 when the picture fits).
  void SetViewportSize(std::int32_t width, std::int32_t height);
  std::int32_t HorizontalPosition() const { return scrollX_; }
  std::int32_t VerticalPosition() const { return scrollY_; }
  // The user moved the scroll bars; clamped to the ranges.
  void ScrollTo(std::int32_t x, std::int32_t y);

  // Panning by dragging, in screen pixels. Any button pressed on the picture
  // starts a drag at `p`; moving with the left button held scrolls by the
  // distance moved since the last position, so the picture follows the pointer;
  // releasing any button ends the drag.
  void ImageMouseDown(ScreenPoint p);
  void ImageMouseMove(ScreenPoint p, bool leftButtonHeld);
  void ImageMouseUp();
  // The last pointer position of the drag, or kNoDragOrigin.
  ScreenPoint DragOrigin() const { return dragOrigin_.value_or(kNoDragOrigin); }

  std::function<void()> onChanged;

 private:
  void Changed() {
    if (onChanged) onChanged();
  }
  void TabSet1Change(int index);
  bool ClampScroll();
  void MoveScroll(std::int64_t x, std::int64_t y);
  static std::int32_t Clamp(std::int64_t position, std::int32_t range, std::int32_t viewport);

  std::vector<SharedText> lines_;  // each followed by CR LF
  std::uint64_t textRevision_ = 0;
  ContentPage page_ = ContentPage::Text;
  std::vector<std::u16string> tabs_;
  int selectedTab_ = 0;
  SharedRaster image_;
  std::int32_t viewportWidth_ = 0;
  std::int32_t viewportHeight_ = 0;
  std::int32_t scrollX_ = 0;
  std::int32_t scrollY_ = 0;
  // Kept apart from the position so that a press at the screen position
  // (-1, -1), which exists left of and above the primary screen, still drags.
  std::optional<ScreenPoint> dragOrigin_;
};

}  // namespace tallowin
