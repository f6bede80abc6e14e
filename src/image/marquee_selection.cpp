#include "image/marquee_selection.h"

#include <algorithm>
#include <climits>
#include <utility>

#include "base/integer_text.h"

namespace tallowin {
namespace {

// Scrolls one axis so that the pointer's neighbourhood is visible: past the
// last third of the range straight to the end, otherwise 100 pixels of context
// below the pointer.
std::int32_t AutoScrollPosition(std::int32_t pointer, std::int32_t range, std::int32_t box) {
  if (pointer > range - box / 3.0) return range;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(std::int64_t{pointer} - box + 100, INT32_MIN, INT32_MAX));
}

}  // namespace

std::u16string MarqueeTitle(std::int32_t x, std::int32_t y, const ScrollState& s) {
  auto pair = [](std::int64_t a, std::int64_t b) { return DecimalText(a) + u":" + DecimalText(b); };
  return pair(x, y) + u" " + pair(s.horizontalPosition, s.verticalPosition) + u" " + pair(0, s.verticalRange);
}

void MarqueeSelection::Redraw(const SelectionRect& next) {
  view_.DrawSelectionRect(rect_);
  rect_ = next;
  view_.DrawSelectionRect(rect_);
}

void MarqueeSelection::ShowPicture(std::int32_t width, std::int32_t height) {
  width_ = width;
  height_ = height;
  view_.DrawSelectionRect(rect_);
}

void MarqueeSelection::MouseDown(MouseButton button, std::int32_t x, std::int32_t y) {
  autoScrollArmed_ = false;
  if (button != MouseButton::Left || selecting_) return;
  Redraw({x, y, x, y});
  selecting_ = true;
  view_.ConfinePointer(width_, height_);
}

void MarqueeSelection::MouseMove(std::int32_t x, std::int32_t y) {
  if (selecting_) {
    x = std::max(x, 0);
    y = std::max(y, 0);
    SelectionRect next = rect_;
    next.right = x;
    next.bottom = y;
    Redraw(next);
    if (autoScrollArmed_) {
      const ScrollState s = view_.Scroll();
      view_.ScrollTo(AutoScrollPosition(x, s.horizontalRange, s.boxWidth),
                     AutoScrollPosition(y, s.verticalRange, s.boxHeight));
    }
    view_.SetTitle(MarqueeTitle(x, y, view_.Scroll()));
  }
  autoScrollArmed_ = true;
}

void MarqueeSelection::MouseUp() {
  if (selecting_) {
    // Normalising does not move the outline, so no redraw is needed.
    if (rect_.right < rect_.left) std::swap(rect_.left, rect_.right);
    if (rect_.bottom < rect_.top) std::swap(rect_.top, rect_.bottom);
    view_.ReleasePointer();
    selecting_ = false;
    if (rect_.left == rect_.right || rect_.top == rect_.bottom) {
      view_.SetMargins({u"0", u"0", u"0", u"0"});
    } else {
      // A drag that scrolled past the picture's far edge gives a negative margin: none is cut there.
      auto margin = [](std::int64_t v) { return DecimalText(std::max<std::int64_t>(v, 0)); };
      view_.SetMargins({margin(rect_.left), margin(std::int64_t{width_} - rect_.right), margin(rect_.top),
                        margin(std::int64_t{height_} - rect_.bottom)});
    }
  }
  view_.FocusOk();
}

void MarqueeSelection::MarginsChanged() {
  const MarginTexts m = view_.Margins();
  const auto left = ParseIntegerText(m.left), right = ParseIntegerText(m.right);
  const auto top = ParseIntegerText(m.top), bottom = ParseIntegerText(m.bottom);
  if (!left || !right || !top || !bottom) return;
  auto clamp32 = [](std::int64_t v) { return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX)); };
  Redraw({*left, *top, clamp32(std::int64_t{width_} - *right), clamp32(std::int64_t{height_} - *bottom)});
}

void MarqueeSelection::Cancel() { view_.SetMargins({u"0", u"0", u"0", u"0"}); }

}  // namespace tallowin
