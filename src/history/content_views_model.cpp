#include "history/content_views_model.h"

#include <algorithm>

namespace tallowin {

namespace {

constexpr std::u16string_view kLineBreak = u"\r\n";

}  // namespace

void ContentViewsModel::ClearText() {
  lines_.clear();
  ++textRevision_;  // also when nothing was shown: the view may hold what the user typed
  Changed();
}

void ContentViewsModel::AddTextLine(SharedText text) {
  lines_.push_back(text ? std::move(text) : MakeSharedText({}));
  ++textRevision_;
  Changed();
}

std::u16string ContentViewsModel::Text() const { return TextPrefix(TextSize()); }

std::size_t ContentViewsModel::TextSize() const {
  std::size_t size = 0;
  for (const SharedText& line : lines_) size += line->size() + kLineBreak.size();
  return size;
}

std::u16string ContentViewsModel::TextPrefix(std::size_t units) const {
  std::u16string prefix;
  prefix.reserve(std::min(units, TextSize()));
  for (const SharedText& line : lines_) {
    if (prefix.size() >= units) break;
    prefix.append(std::u16string_view(*line).substr(0, units - prefix.size()));
    prefix.append(kLineBreak.substr(0, units - prefix.size()));
  }
  return prefix;
}

void ContentViewsModel::ShowPage(ContentPage page) {
  page_ = page;
  Changed();
}

void ContentViewsModel::SetTabs(std::u16string first, std::u16string second) {
  tabs_ = {std::move(first), std::move(second)};
  selectedTab_ = -1;
  SelectTab(0);
}

void ContentViewsModel::SelectTab(int index) {
  if (index < 0 || index > 1 || index == selectedTab_) return;
  selectedTab_ = index;
  TabSet1Change(index);
  Changed();
}

void ContentViewsModel::TabSet1Change(int index) {
  if (index == 1) {
    page_ = ContentPage::Details;
  } else {
    page_ = tabs_[0] == u"Text" ? ContentPage::Text : ContentPage::Image;
  }
}

void ContentViewsModel::ShowImage(SharedRaster image) {
  image_ = std::move(image);
  ClampScroll();
  Changed();
}

std::int32_t ContentViewsModel::Clamp(std::int64_t position, std::int32_t range, std::int32_t viewport) {
  const std::int64_t last = std::max<std::int64_t>(0, std::int64_t{range} - std::max(0, viewport));
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(position, 0, last));
}

bool ContentViewsModel::ClampScroll() {
  const std::int32_t x = Clamp(scrollX_, HorizontalRange(), viewportWidth_);
  const std::int32_t y = Clamp(scrollY_, VerticalRange(), viewportHeight_);
  const bool moved = x != scrollX_ || y != scrollY_;
  scrollX_ = x;
  scrollY_ = y;
  return moved;
}

void ContentViewsModel::SetViewportSize(std::int32_t width, std::int32_t height) {
  viewportWidth_ = width;
  viewportHeight_ = height;
  if (ClampScroll()) Changed();
}

void ContentViewsModel::ScrollTo(std::int32_t x, std::int32_t y) { MoveScroll(x, y); }

void ContentViewsModel::MoveScroll(std::int64_t x, std::int64_t y) {
  const std::int32_t newX = Clamp(x, HorizontalRange(), viewportWidth_);
  const std::int32_t newY = Clamp(y, VerticalRange(), viewportHeight_);
  if (newX == scrollX_ && newY == scrollY_) return;
  scrollX_ = newX;
  scrollY_ = newY;
  Changed();
}

void ContentViewsModel::ImageMouseDown(ScreenPoint p) { dragOrigin_ = p; }

void ContentViewsModel::ImageMouseMove(ScreenPoint p, bool leftButtonHeld) {
  if (!leftButtonHeld || !dragOrigin_) return;
  const ScreenPoint origin = *dragOrigin_;
  dragOrigin_ = p;
  MoveScroll(std::int64_t{scrollX_} + origin.x - p.x, std::int64_t{scrollY_} + origin.y - p.y);
}

void ContentViewsModel::ImageMouseUp() { dragOrigin_.reset(); }

}  // namespace tallowin
