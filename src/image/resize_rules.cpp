#include "image/resize_rules.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <utility>

namespace tallowin {
namespace {

bool Landscape(std::int64_t width, std::int64_t height) { return width > height; }

// Rounds half to even whatever rounding mode the process runs in.
std::int64_t RoundHalfEven(long double v) {
  const long double down = std::floor(v);
  const long double rest = v - down;
  auto result = static_cast<std::int64_t>(down);
  if (rest > 0.5L || (rest == 0.5L && (result % 2 != 0))) ++result;
  return result;
}

std::int32_t ClampToBox(std::int64_t side, std::int32_t boxSide) {
  side = std::min<std::int64_t>(side, boxSide);
  return static_cast<std::int32_t>(std::max<std::int64_t>(side, INT32_MIN));
}

}  // namespace

bool ShouldResize(std::int32_t w, std::int32_t h, const ResizeRules& r) {
  const std::int32_t mw = r.maxWidth, mh = r.maxHeight;
  if (r.whenBigger && r.whenSmaller) return true;
  if (!r.whenBigger && !r.whenSmaller) return false;
  if (r.whenBigger) {
    if (w < mw && h < mh) return false;
    if (r.turnBox && w < mh && h < mw) return false;
    return true;
  }
  if (w > mw && h > mh) return false;
  if (r.turnBox && w > mh && h > mw) return false;
  return true;
}

PictureSize ResizeTarget(std::int32_t w, std::int32_t h, const ResizeRules& r) {
  std::int32_t mw = r.maxWidth, mh = r.maxHeight;
  const bool orientationsDiffer = Landscape(w, h) != Landscape(mw, mh);
  if (!r.keepProportions) {
    if (r.turnBox && orientationsDiffer) return {mh, mw};
    return {mw, mh};
  }
  if (r.turnBox && orientationsDiffer) std::swap(mw, mh);
  const long double ratioW = static_cast<long double>(mw) / w;
  const long double ratioH = static_cast<long double>(mh) / h;
  const long double ratio = ratioH <= ratioW ? ratioH : ratioW;
  return {ClampToBox(RoundHalfEven(w * ratio), mw), ClampToBox(RoundHalfEven(h * ratio), mh)};
}

std::optional<ResampleFilter> FilterFromName(std::u16string_view name) {
  const std::u16string_view prefix = name.substr(0, 3);
  if (prefix == u"Bic" || prefix == u"Bik") return ResampleFilter::Bicubic;
  if (prefix == u"Bil") return ResampleFilter::Bilinear;
  if (prefix == u"N\u00e4c" || prefix == u"Nea") return ResampleFilter::Nearest;
  return std::nullopt;
}

}  // namespace tallowin
