#include "image/image_steps.h"

#include "image/raster_ops.h"
#include "image/resize_rules.h"
#include "base/integer_text.h"

namespace tallowin {

MarginTexts MainWindowMargins(const CaptureSettings& s) {
  return {s.Text(Setting::act_zuschlinks), s.Text(Setting::act_zuschrechts), s.Text(Setting::act_zuschoben),
          s.Text(Setting::act_zuschunten)};
}

bool CutByMarginTexts(RasterImage& raster, const MarginTexts& m) {
  const auto left = ParseIntegerText(m.left), right = ParseIntegerText(m.right);
  const auto top = ParseIntegerText(m.top), bottom = ParseIntegerText(m.bottom);
  if (!left || !right || !top || !bottom) return false;
  return CutMargins(raster, {*left, *top, *right, *bottom});
}

std::optional<RasterImage> ImageSteps::Crop(RasterImage raster) {
  if (!raster.Usable()) return std::nullopt;
  if (settings_.Flag(Setting::rb_cutimg_auswahl)) {
    if (!dialog_) return std::nullopt;
    const std::optional<MarginTexts> chosen = dialog_->ChooseCutout(raster);
    if (!chosen) return std::nullopt;
    CutByMarginTexts(raster, *chosen);
  }
  if (settings_.Flag(Setting::rb_cutimg_direkt)) CutByMarginTexts(raster, MainWindowMargins(settings_));
  return raster;
}

void ImageSteps::NewerContentArrived(bool cropsPicture) {
  if (dialog_ && !(cropsPicture && settings_.Flag(Setting::rb_cutimg_auswahl))) dialog_->Withdraw();
}

void ImageSteps::KonvertierWerteSetzen() {
  if (auto filter = FilterFromName(settings_.Text(Setting::act_sizemethode))) currentFilter_ = *filter;
}

std::optional<RasterImage> ImageSteps::Resize(RasterImage raster) {
  KonvertierWerteSetzen();
  if (!raster.Usable()) return std::nullopt;
  const CaptureSettings& s = settings_;
  ResizeRules rules;
  rules.maxWidth = ParseIntegerText(s.Text(Setting::act_sizebenutzer_x)).value_or(raster.width);
  rules.maxHeight = ParseIntegerText(s.Text(Setting::act_sizebenutzer_y)).value_or(raster.height);
  rules.whenBigger = s.Flag(Setting::act_sizebigger);
  rules.whenSmaller = s.Flag(Setting::act_sizekleiner);
  rules.turnBox = s.Flag(Setting::act_sizehochquerformat);
  rules.keepProportions = s.Flag(Setting::act_resizeimg_prop);
  if (!ShouldResize(raster.width, raster.height, rules)) return raster;
  const PictureSize target = ResizeTarget(raster.width, raster.height, rules);
  if (!WithinPictureBudget(target.width, target.height)) return std::nullopt;
  if (!ScaleRaster(raster, target.width, target.height, currentFilter_)) return std::nullopt;
  return raster;
}

}  // namespace tallowin
