#pragma once
// The image save step's use of the format library: the output options pushed
// from the settings before each save run, and the save of one raster under a
// UTF-16 path.

#include <functional>
#include <string_view>

#include "settings/capture_settings.h"
#include "image/formats/image_format.h"
#include "base/raster_image.h"

namespace tallowin {

// AusgabeWerteSetzen: out_quality as an integer into the options whose writers
// give them the output-quality role (JPEG 10, MNG 32, JNG 43), progressivaktiv
// as 1 or 0 into those of the progressive role (11, 33, 44). JPEG 2000's
// quality (55) has no role and is left alone. Raises TallowinError("'<text>' is not a valid
// integer value") for a quality text that is no integer, before any option
// changes. A quality outside 1..100 is stored as it is; the writers replace it
// when they write.
void AusgabeWerteSetzen(const CaptureSettings& settings, ImageFormatRegistry& registry);

// SaveRasterToFile with a UTF-16 path (a lone surrogate becomes U+FFFD); a path
// holding U+0000 writes nothing.
bool SaveRasterToPath(ImageFormatRegistry& registry, std::u16string_view path, const RasterImage& raster);

// The same save in two halves. The first settles the options of the writer the
// name selects (as a save does) and takes a copy of them; the save it returns
// uses that copy alone, so it may run on another thread while the options are
// pushed anew for a newer pass.
using RasterSave = std::function<bool(const RasterImage&)>;
RasterSave PrepareRasterSave(ImageFormatRegistry& registry, std::u16string_view path);

}  // namespace tallowin
