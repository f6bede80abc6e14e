#include "image/image_output.h"

#include "base/errors.h"
#include "base/integer_text.h"
#include "base/utf.h"

namespace tallowin {

void AusgabeWerteSetzen(const CaptureSettings& settings, ImageFormatRegistry& registry) {
  const std::u16string& text = settings.Text(Setting::out_quality);
  const std::optional<std::int32_t> quality = ParseIntegerText(text);
  if (!quality) throw TallowinError("'" + Utf16ToUtf8(text) + "' is not a valid integer value");
  const std::int32_t progressive = settings.Flag(Setting::progressivaktiv) ? 1 : 0;
  // Every writer says which of its options follow the dialog's two settings.
  for (const ImageFormatWriter& writer : registry.Writers()) {
    for (const ImageOptionSpec& option : writer.options) {
      if (option.role == ImageOptionRole::kOutputQuality) registry.SetImageOption(option.number, *quality);
      if (option.role == ImageOptionRole::kProgressive) registry.SetImageOption(option.number, progressive);
    }
  }
}

bool SaveRasterToPath(ImageFormatRegistry& registry, std::u16string_view path, const RasterImage& raster) {
  return PrepareRasterSave(registry, path)(raster);
}

RasterSave PrepareRasterSave(ImageFormatRegistry& registry, std::u16string_view path) {
  if (path.find(u'\0') != std::u16string_view::npos) return [](const RasterImage&) { return false; };
  std::string file = Utf16ToUtf8(path);
  registry.SettleOptionsForFile(file);
  return [registry, file = std::move(file)](const RasterImage& raster) mutable {
    return registry.SaveRasterToFile(file, raster);
  };
}

}  // namespace tallowin
