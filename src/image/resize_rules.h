#pragma once
// The rules that decide whether and to what size a captured picture is resized,
// and the choice of the resampling filter by name.

#include <cstdint>
#include <optional>
#include <string_view>

#include "image/scale_raster.h"

namespace tallowin {

struct ResizeRules {
  std::int32_t maxWidth = 640;
  std::int32_t maxHeight = 480;
  bool whenBigger = true;         // act_sizebigger
  bool whenSmaller = true;        // act_sizekleiner
  bool turnBox = true;            // act_sizehochquerformat: the box may be turned to the picture's orientation
  bool keepProportions = true;    // act_resizeimg_prop
};

struct PictureSize {
  std::int32_t width = 0;
  std::int32_t height = 0;
  friend bool operator==(const PictureSize&, const PictureSize&) = default;
};

// Whether a width x height picture is resized at all. Comparisons are strict
// and signed: only a picture below the box in both sides escapes "only bigger",
// only one above it in both sides escapes "only smaller".
bool ShouldResize(std::int32_t width, std::int32_t height, const ResizeRules& rules);

// The target size. With proportions the smaller of the two side ratios
// (computed in long double) scales both sides, each rounded half to even and
// clamped to the (possibly turned) box; a side may come out below 1, which the
// scaler refuses.
PictureSize ResizeTarget(std::int32_t width, std::int32_t height, const ResizeRules& rules);

// The filter a name selects by its first three characters, compared exactly:
// "Bic"/"Bik" bicubic, "Bil" bilinear, "Näc"/"Nea" nearest; anything else none.
std::optional<ResampleFilter> FilterFromName(std::u16string_view name);

}  // namespace tallowin
