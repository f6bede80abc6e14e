// TIFF through libtiff: one RGBA image, 8 bits per sample, the fourth sample
// flagged as unassociated alpha, contiguous samples. Compression from option
// 65: 0 none, 1 LZW (start value), 2 PackBits, 3 Deflate, 4 JPEG.
//
// libtiff needs to seek while it writes, so the file is built in memory and
// then sent to the sink whole.
#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "image/formats/byte_writer.h"
#include "image/formats/image_format.h"

namespace tallowin {
namespace {

using namespace image_bytes;

struct MemoryFile {
  std::string data;
  toff_t position = 0;
};

MemoryFile* FileOf(thandle_t h) { return static_cast<MemoryFile*>(h); }

tmsize_t OnRead(thandle_t h, void* buffer, tmsize_t size) {
  MemoryFile* f = FileOf(h);
  if (f->position >= f->data.size()) return 0;
  const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(size), f->data.size() - f->position);
  std::memcpy(buffer, f->data.data() + f->position, n);
  f->position += n;
  return static_cast<tmsize_t>(n);
}

tmsize_t OnWrite(thandle_t h, void* buffer, tmsize_t size) {
  MemoryFile* f = FileOf(h);
  const std::size_t n = static_cast<std::size_t>(size);
  const char* bytes = static_cast<const char*>(buffer);
  try {
    // Strips arrive one after another at the end: append them without first
    // filling the new room with zeros. Only the header and directory are
    // written over earlier bytes or past a gap.
    if (f->position == f->data.size()) {
      f->data.append(bytes, n);
    } else {
      if (f->data.size() < f->position + n) f->data.resize(f->position + n);
      std::memcpy(f->data.data() + f->position, bytes, n);
    }
  } catch (const std::bad_alloc&) {
    return -1;
  }
  f->position += n;
  return size;
}

toff_t OnSeek(thandle_t h, toff_t offset, int whence) {
  MemoryFile* f = FileOf(h);
  switch (whence) {
    case SEEK_SET: f->position = offset; break;
    case SEEK_CUR: f->position += offset; break;
    case SEEK_END: f->position = f->data.size() + offset; break;
    default: return static_cast<toff_t>(-1);
  }
  return f->position;
}

int OnClose(thandle_t) { return 0; }
toff_t OnSize(thandle_t h) { return FileOf(h)->data.size(); }
int OnMap(thandle_t, void**, toff_t*) { return 0; }
void OnUnmap(thandle_t, void*, toff_t) {}

struct TiffCloser {
  void operator()(TIFF* t) const { TIFFClose(t); }
};

std::uint16_t CompressionTag(std::int32_t option) {
  switch (option) {
    case 0: return COMPRESSION_NONE;
    case 2: return COMPRESSION_PACKBITS;
    case 3: return COMPRESSION_ADOBE_DEFLATE;
    case 4: return COMPRESSION_JPEG;
    default: return COMPRESSION_LZW;
  }
}

void EncodeTiff(const RasterImage& r, const ImageOptions& options, ByteSink& sink) {
  MemoryFile file;
  {
    std::unique_ptr<TIFF, TiffCloser> tiff(
        TIFFClientOpen("image", "w", &file, OnRead, OnWrite, OnSeek, OnClose, OnSize, OnMap, OnUnmap));
    if (!tiff) throw std::runtime_error("libtiff: cannot start the file");
    TIFF* t = tiff.get();
    const std::uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(r.width));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(r.height));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 4);
    TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, extra);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(t, TIFFTAG_COMPRESSION, CompressionTag(options.Get(image_option::kTiffCompression)));
    // Strips of about 256 KB: libtiff's default of 8 KB would hold one row of a
    // wide capture, restarting the LZW table on every row (larger and slower).
    const std::size_t rowBytes = static_cast<std::size_t>(r.width) * 4u;
    const std::uint32_t rowsPerStrip = static_cast<std::uint32_t>(
        std::clamp<std::size_t>((256u * 1024u) / rowBytes, 1, static_cast<std::size_t>(r.height)));
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
    // Room for the whole file when the compression does not grow it; pages
    // that are never written cost nothing.
    file.data.reserve(rowBytes * static_cast<std::size_t>(r.height) + 64 * 1024);
    // Whole strips are converted into one buffer and handed over at once,
    // sparing libtiff's copy of each row into its own strip buffer.
    std::vector<std::uint8_t> strip(rowBytes * rowsPerStrip);
    tstrip_t index = 0;
    for (std::int32_t y = 0; y < r.height; y += static_cast<std::int32_t>(rowsPerStrip), ++index) {
      const std::int32_t rows = std::min<std::int32_t>(static_cast<std::int32_t>(rowsPerStrip), r.height - y);
      for (std::int32_t i = 0; i < rows; ++i) BgraRowToRgba(Row(r, y + i), r.width, strip.data() + i * rowBytes);
      if (TIFFWriteEncodedStrip(t, index, strip.data(), static_cast<tmsize_t>(rowBytes * rows)) < 0) {
        throw std::runtime_error("libtiff: cannot write a strip");
      }
    }
    if (!TIFFWriteDirectory(t)) throw std::runtime_error("libtiff: cannot finish the file");
  }
  sink.Put(file.data);
}

}  // namespace

ImageFormatWriter TiffFormat() {
  return {"Tagged Image File Format",
          "*.tif,*.tiff",
          true,
          {{image_option::kTiffCompression, "Compression", 1, 0, 4}},
          EncodeTiff,
          {u"*.tif - Tagged Image File Format", u"*.tiff - Tagged Image File Format"}};
}

}  // namespace tallowin
