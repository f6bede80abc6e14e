#pragma once
// The pixel work of the two transforming image steps of a capture pass:
// cropping (by the marquee dialog and/or by the fixed margins of the main
// window) and resizing to the maximum size. The pass finds, reads and writes
// back the picture; these functions take the picture and the current settings
// and return the result, or std::nullopt when the step fails and the clipboard
// is to keep what it holds.

#include <optional>
#include <string>

#include "settings/capture_settings.h"
#include "base/raster_image.h"
#include "image/resize_rules.h"
#include "image/scale_raster.h"

namespace tallowin {

// The texts of the four margin boxes, as typed (they need not be numbers).
struct MarginTexts {
  std::u16string left;
  std::u16string right;
  std::u16string top;
  std::u16string bottom;
  friend bool operator==(const MarginTexts&, const MarginTexts&) = default;
};

// The marquee dialog as the crop step sees it: shows the picture modally and,
// when the dialog closes (by OK, cancel or the close box), hands back its
// margin boxes. std::nullopt: the dialog could not be shown.
//
// A newer copy can arrive while the dialog is open; its pass runs inside the
// dialog's wait. Its ChooseCutout shows the newer picture in the open dialog
// (rectangle and margins as they stand) and waits for the same close; the
// older call then returns too, and its pass, superseded, uses nothing of it.
class MarqueeDialog {
 public:
  virtual ~MarqueeDialog() = default;
  virtual std::optional<MarginTexts> ChooseCutout(const RasterImage& picture) = 0;
  // Closes an open dialog without a choice, the margins left as they stand:
  // the picture it shows is no longer on the clipboard.
  virtual void Withdraw() = 0;
};

// The margin boxes of the main window.
MarginTexts MainWindowMargins(const CaptureSettings& settings);

// Applies one source of margins to a picture that stays as it is: when all four
// texts are integers, the cut they make if they leave at least one pixel;
// std::nullopt when nothing is cut.
std::optional<RasterImage> MarginTextsCut(const RasterImage& raster, const MarginTexts& margins);

// What a crop step will cut, chosen before any pixel is touched.
struct CropPlan {
  std::optional<MarginTexts> chosen;  // the marquee dialog's margins
  std::optional<MarginTexts> fixed;   // the main window's margins
};
// The marquee's margins first, then the fixed ones on the result of the first.
// The picture itself comes back when nothing was cut.
SharedRaster ApplyCrop(const SharedRaster& picture, const CropPlan& plan);

// What a resize step will do: nothing (the rules leave the picture alone), or
// scale to `target` with `filter`.
struct ResizePlan {
  bool scale = false;
  PictureSize target;
  ResampleFilter filter = ResampleFilter::Nearest;
};
// The picture itself when the plan does not scale; null when the scaling fails.
SharedRaster ApplyResize(const SharedRaster& picture, const ResizePlan& plan);

class ImageSteps {
 public:
  // `settings` must outlive this object.
  explicit ImageSteps(const CaptureSettings& settings) : settings_(settings) {}

  // The dialog used in marquee mode; none makes that mode fail the step.
  // `dialog` must outlive its use here.
  void SetMarqueeDialog(MarqueeDialog* dialog) { dialog_ = dialog; }

  // Plan and work in one call (see below): marquee first (when rb_cutimg_auswahl
  // is on), then the fixed margins (when rb_cutimg_direkt is on) on the result.
  std::optional<RasterImage> Crop(RasterImage raster);
  // Sets the filter from act_sizemethode, then resizes by the rules; an image
  // the rules leave alone comes back unchanged.
  std::optional<RasterImage> Resize(RasterImage raster);
  // The two halves of each: the plan reads the settings and, in marquee mode,
  // waits for the dialog (std::nullopt: the step fails); applying it reads
  // nothing else and may run on any thread.
  std::optional<CropPlan> PlanCrop(const RasterImage& raster);
  std::optional<ResizePlan> PlanResize(const RasterImage& raster);
  // Newer content arrived while a crop may be waiting for the dialog: unless
  // that content's crop step will take the dialog over (`cropsPicture` and the
  // marquee mode on), the dialog is withdrawn.
  void NewerContentArrived(bool cropsPicture);

  // Sets CurrentResampleFilter from the text of act_sizemethode; a name that
  // selects no filter keeps the last one.
  void KonvertierWerteSetzen();
  ResampleFilter CurrentResampleFilter() const { return currentFilter_; }

 private:
  const CaptureSettings& settings_;
  MarqueeDialog* dialog_ = nullptr;
  ResampleFilter currentFilter_ = ResampleFilter::Nearest;
};

}  // namespace tallowin
