#pragma once
// The image format library: one ImageFormatWriter per file format, registered
// once in an ImageFormatRegistry together with the numbered options of all
// formats. The registry is the one owner of the options (program-wide state of
// the capture run); tests make a fresh one.
//
// Writers never touch the file system. Each one converts the caller's raster to
// the layout its format stores and sends the bytes to a ByteSink; the registry
// picks the writer by file name and supplies the file sink.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "base/raster_image.h"
#include "base/byte_sink.h"

namespace tallowin {

// Option numbers as the program uses them.
namespace image_option {
inline constexpr int kJpegQuality = 10;
inline constexpr int kJpegProgressive = 11;
inline constexpr int kBmpUseRle = 12;
inline constexpr int kTgaUseRle = 13;
inline constexpr int kPngPreFilter = 25;
inline constexpr int kPngCompressLevel = 26;
inline constexpr int kMngLossyCompression = 28;
inline constexpr int kMngLossyAlpha = 29;
inline constexpr int kMngPreFilter = 30;
inline constexpr int kMngCompressLevel = 31;
inline constexpr int kMngQuality = 32;
inline constexpr int kMngProgressive = 33;
inline constexpr int kJngLossyAlpha = 40;
inline constexpr int kJngPreFilter = 41;
inline constexpr int kJngCompressLevel = 42;
inline constexpr int kJngQuality = 43;
inline constexpr int kJngProgressive = 44;
inline constexpr int kPgmSaveBinary = 50;
inline constexpr int kPpmSaveBinary = 51;
inline constexpr int kJp2Quality = 55;
inline constexpr int kJp2CodeStreamOnly = 56;
inline constexpr int kJp2Lossless = 57;
inline constexpr int kTiffCompression = 65;
inline constexpr int kPsdSaveAsLayer = 70;
}  // namespace image_option

// One option as a format registers it. A value outside [min, max] found when a
// file is about to be written is replaced by `start`, and the replacement stays.
// Which setting of the output dialog an option follows (see AusgabeWerteSetzen).
enum class ImageOptionRole { kNone, kOutputQuality, kProgressive };

struct ImageOptionSpec {
  int number;
  std::string_view name;
  std::int32_t start;
  std::int32_t min;
  std::int32_t max;
  ImageOptionRole role = ImageOptionRole::kNone;
};

// Read access to the current option values for an encoder.
class ImageOptions {
 public:
  explicit ImageOptions(const std::map<int, std::int32_t>& values) : values_(values) {}
  // The value of a registered option; 0 for a number nobody registered.
  std::int32_t Get(int number) const;
  bool On(int number) const { return Get(number) != 0; }

 private:
  const std::map<int, std::int32_t>& values_;
};

// Sends one image to `sink`. Raises std::runtime_error (or the sink's own error)
// when the image cannot be encoded; whatever reached the sink is then incomplete.
using ImageEncoder = void (*)(const RasterImage& raster, const ImageOptions& options, ByteSink& sink);

struct ImageFormatWriter {
  std::string_view name;   // descriptive name
  std::string_view masks;  // "*.tif,*.tiff"
  bool canSave = true;
  std::vector<ImageOptionSpec> options;
  ImageEncoder encode = nullptr;
  // The saveimg_format items of this writer, one per mask, German texts.
  std::vector<std::u16string_view> items;
};

// Wildcard match of `name` against one mask ("*" any run, "?" one character),
// ASCII letters compared without regard to case.
bool MatchesMask(std::string_view name, std::string_view mask);

class ImageFormatRegistry {
 public:
  // Registers the fifteen formats with their options at their start values.
  ImageFormatRegistry();

  const std::vector<ImageFormatWriter>& Writers() const { return writers_; }

  // The first writer one of whose masks matches the file name (the text after
  // the last "/"), or nullptr.
  const ImageFormatWriter* WriterFor(std::string_view path) const;

  // Stores `value` in option `number`; false, and nothing changed, for a number
  // no format registered.
  bool SetImageOption(int number, std::int32_t value);
  // The current value, or 0 for an unregistered number.
  std::int32_t ImageOption(int number) const;

  // Checks the writer's options (see ImageOptionSpec) and encodes `raster` into
  // `sink`. False when the writer cannot save or the raster is unusable, before
  // anything reaches the sink; the encoder's exceptions pass through.
  bool Encode(const ImageFormatWriter& writer, const RasterImage& raster, ByteSink& sink);
  // Replaces each option of `writer` outside its range by its start value, as
  // Encode does first.
  void SettleOptions(const ImageFormatWriter& writer);
  // What SaveRasterToFile(path, a usable raster) does to the options.
  void SettleOptionsForFile(const std::string& path);

  // Writes `raster` to the file `path` (UTF-8). Nothing is written for an ".ico"
  // or ".cur" name (any case), for a name no writer's masks match, or by a
  // writer that cannot save. The file is replaced only by a complete one (built
  // beside it and renamed over it); true when that happened.
  bool SaveRasterToFile(const std::string& path, const RasterImage& raster);

 private:
  void Register(ImageFormatWriter writer);

  std::vector<ImageFormatWriter> writers_;
  std::map<int, std::int32_t> values_;
};

// The saveimg_format items in their order, German texts ("Bild" stands where the
// English texts read "Image").
std::vector<std::u16string> ImageFormatItems();

// The writers of each format, defined in their own files.
ImageFormatWriter BmpFormat();
ImageFormatWriter JpegFormat();
ImageFormatWriter GifFormat();
ImageFormatWriter PngFormat();
ImageFormatWriter MngFormat();
ImageFormatWriter JngFormat();
ImageFormatWriter TiffFormat();
ImageFormatWriter PsdFormat();
ImageFormatWriter PgmFormat();
ImageFormatWriter PpmFormat();
ImageFormatWriter PamFormat();
ImageFormatWriter PfmFormat();
ImageFormatWriter Jp2Format();
ImageFormatWriter DdsFormat();
ImageFormatWriter TgaFormat();

}  // namespace tallowin
