#include "image/formats/image_format.h"

#include <exception>

#include "base/atomic_file.h"

namespace tallowin {

std::int32_t ImageOptions::Get(int number) const {
  const auto it = values_.find(number);
  return it == values_.end() ? 0 : it->second;
}

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool Match(std::string_view name, std::string_view mask) {
  // Iterative matcher with one backtrack point per "*": linear in practice and
  // never recursive, whatever the file name.
  std::size_t n = 0, m = 0, starMask = std::string_view::npos, starName = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == '?' || (mask[m] != '*' && Lower(mask[m]) == Lower(name[n])))) {
      ++n;
      ++m;
    } else if (m < mask.size() && mask[m] == '*') {
      starMask = m++;
      starName = n;
    } else if (starMask != std::string_view::npos) {
      m = starMask + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

std::string_view BaseName(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool HasExtension(std::string_view name, std::string_view lowerExtension) {
  if (name.size() < lowerExtension.size()) return false;
  const std::string_view tail = name.substr(name.size() - lowerExtension.size());
  for (std::size_t i = 0; i < tail.size(); ++i) {
    if (Lower(tail[i]) != lowerExtension[i]) return false;
  }
  return true;
}

}  // namespace

bool MatchesMask(std::string_view name, std::string_view mask) { return Match(name, mask); }

ImageFormatRegistry::ImageFormatRegistry() {
  for (ImageFormatWriter (*make)() : {BmpFormat, JpegFormat, GifFormat, PngFormat, MngFormat, JngFormat, TiffFormat,
                                      PsdFormat, PgmFormat, PpmFormat, PamFormat, PfmFormat, Jp2Format, DdsFormat,
                                      TgaFormat}) {
    Register(make());
  }
}

void ImageFormatRegistry::Register(ImageFormatWriter writer) {
  for (const ImageOptionSpec& o : writer.options) values_[o.number] = o.start;
  writers_.push_back(std::move(writer));
}

const ImageFormatWriter* ImageFormatRegistry::WriterFor(std::string_view path) const {
  const std::string_view name = BaseName(path);
  for (const ImageFormatWriter& w : writers_) {
    std::string_view masks = w.masks;
    while (!masks.empty()) {
      const std::size_t comma = masks.find(',');
      if (Match(name, masks.substr(0, comma))) return &w;
      masks = comma == std::string_view::npos ? std::string_view() : masks.substr(comma + 1);
    }
  }
  return nullptr;
}

bool ImageFormatRegistry::SetImageOption(int number, std::int32_t value) {
  const auto it = values_.find(number);
  if (it == values_.end()) return false;
  it->second = value;
  return true;
}

std::int32_t ImageFormatRegistry::ImageOption(int number) const { return ImageOptions(values_).Get(number); }

bool ImageFormatRegistry::Encode(const ImageFormatWriter& writer, const RasterImage& raster, ByteSink& sink) {
  if (!writer.canSave || !writer.encode || !raster.Usable()) return false;
  SettleOptions(writer);
  writer.encode(raster, ImageOptions(values_), sink);
  return true;
}

void ImageFormatRegistry::SettleOptions(const ImageFormatWriter& writer) {
  for (const ImageOptionSpec& o : writer.options) {
    std::int32_t& value = values_[o.number];
    if (value < o.min || value > o.max) value = o.start;
  }
}

void ImageFormatRegistry::SettleOptionsForFile(const std::string& path) {
  const std::string_view name = BaseName(path);
  if (HasExtension(name, ".ico") || HasExtension(name, ".cur")) return;
  const ImageFormatWriter* writer = WriterFor(path);
  if (writer && writer->canSave && writer->encode) SettleOptions(*writer);
}

bool ImageFormatRegistry::SaveRasterToFile(const std::string& path, const RasterImage& raster) {
  const std::string_view name = BaseName(path);
  if (HasExtension(name, ".ico") || HasExtension(name, ".cur")) return false;
  const ImageFormatWriter* writer = WriterFor(path);
  if (!writer || !writer->canSave || !raster.Usable()) return false;
  try {
    AtomicFileSink file(path);
    if (!Encode(*writer, raster, file)) return false;
    file.Commit();
    return true;
  } catch (const std::exception&) {
    // The temporary file is gone with the sink; the target was never touched.
    return false;
  }
}

std::vector<std::u16string> ImageFormatItems() {
  const ImageFormatRegistry registry;
  std::vector<std::u16string> items;
  for (const ImageFormatWriter& w : registry.Writers()) {
    for (std::u16string_view item : w.items) items.emplace_back(item);
  }
  return items;
}

}  // namespace tallowin
