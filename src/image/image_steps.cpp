#include "image/image_steps.h"

#include "image/raster_ops.h"
#include "base/integer_text.h"

namespace tallowin {

MarginTexts MainWindowMargins(const CaptureSettings& s) {
  return {s.Text(Setting::act_zuschlinks), s.Text(Setting::act_zuschrechts), s.Text(Setting::act_zuschoben),
          s.Text(Setting::act_zuschunten)};
}

std::optional<RasterImage> MarginTextsCut(const RasterImage& raster, const MarginTexts& m) {
  const auto left = ParseIntegerText(m.left), right = ParseIntegerText(m.right);
  const auto top = ParseIntegerText(m.top), bottom = ParseIntegerText(m.bottom);
  if (!left || !right || !top || !bottom) return std::nullopt;
  return MarginsCut(raster, {*left, *top, *right, *bottom});
}

std::optional<CropPlan> ImageSteps::PlanCrop(const RasterImage& raster) {
  if (!raster.Usable()) return std::nullopt;
  CropPlan plan;
  if (settings_.Flag(Setting::rb_cutimg_auswahl)) {
    if (!dialog_) return std::nullopt;
    plan.chosen = dialog_->ChooseCutout(raster);
    if (!plan.chosen) return std::nullopt;
  }
  if (settings_.Flag(Setting::rb_cutimg_direkt)) plan.fixed = MainWindowMargins(settings_);
  return plan;
}

SharedRaster ApplyCrop(const SharedRaster& picture, const CropPlan& plan) {
  SharedRaster result = picture;
  for (const std::optional<MarginTexts>& margins : {plan.chosen, plan.fixed}) {
    if (!margins) continue;
    if (std::optional<RasterImage> cut = MarginTextsCut(*result, *margins)) {
      result = std::make_shared<const RasterImage>(std::move(*cut));
    }
  }
  return result;
}

std::optional<RasterImage> ImageSteps::Crop(RasterImage raster) {
  const std::optional<CropPlan> plan = PlanCrop(raster);
  if (!plan) return std::nullopt;
  return *ApplyCrop(std::make_shared<const RasterImage>(std::move(raster)), *plan);
}

void ImageSteps::NewerContentArrived(bool cropsPicture) {
  if (dialog_ && !(cropsPicture && settings_.Flag(Setting::rb_cutimg_auswahl))) dialog_->Withdraw();
}

void ImageSteps::KonvertierWerteSetzen() {
  if (auto filter = FilterFromName(settings_.Text(Setting::act_sizemethode))) currentFilter_ = *filter;
}

std::optional<ResizePlan> ImageSteps::PlanResize(const RasterImage& raster) {
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
  ResizePlan plan;
  plan.filter = currentFilter_;
  if (!ShouldResize(raster.width, raster.height, rules)) return plan;
  plan.scale = true;
  plan.target = ResizeTarget(raster.width, raster.height, rules);
  if (!WithinPictureBudget(plan.target.width, plan.target.height)) return std::nullopt;
  return plan;
}

SharedRaster ApplyResize(const SharedRaster& picture, const ResizePlan& plan) {
  if (!plan.scale) return picture;
  std::optional<RasterImage> scaled = ScaledRaster(*picture, plan.target.width, plan.target.height, plan.filter);
  if (!scaled) return nullptr;
  return std::make_shared<const RasterImage>(std::move(*scaled));
}

std::optional<RasterImage> ImageSteps::Resize(RasterImage raster) {
  const std::optional<ResizePlan> plan = PlanResize(raster);
  if (!plan) return std::nullopt;
  const SharedRaster result = ApplyResize(std::make_shared<const RasterImage>(std::move(raster)), *plan);
  if (!result) return std::nullopt;
  return *result;
}

}  // namespace tallowin
