// TIFF through libtiff: one RGBA image, 8 bits per sample, the fourth sample
// flagged as unassociated alpha, contiguous samples. Compression from option
// 65: 0 none, 1 LZW (start value), 2 PackBits, 3 Deflate, 4 JPEG.
//
// libtiff needs to seek while it writes, so the file is built in memory and
// then sent to the sink whole. LZW strips are encoded here (tiff_lzw.h), some
// twice as fast as libtiff's encoder; the other compressions are libtiff's.
#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "image/formats/byte_writer.h"
#include "image/formats/image_format.h"
#include "image/formats/tiff_lzw.h"

namespace tallowin {
namespace {

using namespace image_bytes;

// Pictures of at least this many bytes have their strips encoded on threads.
constexpr std::size_t kParallelFrom = 2u << 20;
constexpr std::size_t kMaxThreads = 4;

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

void SetTags(TIFF* t, std::int32_t width, std::int32_t height, std::uint16_t compression, std::uint32_t rowsPerStrip) {
  const std::uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(width));
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(height));
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 4);
  TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, extra);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
  TIFFSetField(t, TIFFTAG_COMPRESSION, compression);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
}

std::unique_ptr<TIFF, TiffCloser> OpenMemoryTiff(MemoryFile& file) {
  std::unique_ptr<TIFF, TiffCloser> tiff(
      TIFFClientOpen("image", "w", &file, OnRead, OnWrite, OnSeek, OnClose, OnSize, OnMap, OnUnmap));
  if (!tiff) throw std::runtime_error("libtiff: cannot start the file");
  return tiff;
}

// Converts strip `s` of the picture into `strip` (RGBA rows); returns its row count.
std::int32_t FillStrip(const RasterImage& r, std::uint32_t rowsPerStrip, tstrip_t s, std::vector<std::uint8_t>& strip) {
  const std::size_t rowBytes = static_cast<std::size_t>(r.width) * 4u;
  const std::int32_t y = static_cast<std::int32_t>(s * rowsPerStrip);
  const std::int32_t rows = std::min<std::int32_t>(static_cast<std::int32_t>(rowsPerStrip), r.height - y);
  for (std::int32_t i = 0; i < rows; ++i) BgraRowToRgba(Row(r, y + i), r.width, strip.data() + i * rowBytes);
  return rows;
}

// Converts and encodes strips [first, end) of the picture into `t`, whose
// strip 0 is the picture's strip `first`.
void WriteStrips(TIFF* t, const RasterImage& r, std::uint32_t rowsPerStrip, tstrip_t first, tstrip_t end) {
  const std::size_t rowBytes = static_cast<std::size_t>(r.width) * 4u;
  // Whole strips are converted into one buffer and handed over at once,
  // sparing libtiff's copy of each row into its own strip buffer.
  std::vector<std::uint8_t> strip(rowBytes * rowsPerStrip);
  for (tstrip_t s = first; s < end; ++s) {
    const std::int32_t rows = FillStrip(r, rowsPerStrip, s, strip);
    if (TIFFWriteEncodedStrip(t, s - first, strip.data(), static_cast<tmsize_t>(rowBytes * rows)) < 0) {
      throw std::runtime_error("libtiff: cannot write a strip");
    }
  }
}

// The encoded bytes of strips [first, end), each strip encoded on its own as
// libtiff does in one file: written into a scratch file of just those rows and
// cut out of it.
struct EncodedStrips {
  tstrip_t first = 0, end = 0;
  std::vector<std::string> strips;
  std::exception_ptr error;
};

void EncodeLzwStripRange(const RasterImage& r, std::uint32_t rowsPerStrip, EncodedStrips& out) {
  const std::size_t rowBytes = static_cast<std::size_t>(r.width) * 4u;
  std::vector<std::uint8_t> strip(rowBytes * rowsPerStrip);
  TiffLzwEncoder lzw;
  for (tstrip_t s = out.first; s < out.end; ++s) {
    const std::int32_t rows = FillStrip(r, rowsPerStrip, s, strip);
    std::string& encoded = out.strips.emplace_back();
    encoded.reserve(rowBytes * static_cast<std::size_t>(rows) / 4 + 64);
    lzw.Encode(strip.data(), rowBytes * static_cast<std::size_t>(rows), encoded);
  }
}

void EncodeStripRange(const RasterImage& r, std::uint16_t compression, std::uint32_t rowsPerStrip, EncodedStrips& out) {
  try {
    if (compression == COMPRESSION_LZW) {
      EncodeLzwStripRange(r, rowsPerStrip, out);
      return;
    }
    MemoryFile scratch;
    std::unique_ptr<TIFF, TiffCloser> tiff = OpenMemoryTiff(scratch);
    const std::int32_t firstRow = static_cast<std::int32_t>(out.first * rowsPerStrip);
    const std::int32_t endRow = std::min<std::int32_t>(r.height, static_cast<std::int32_t>(out.end * rowsPerStrip));
    SetTags(tiff.get(), r.width, endRow - firstRow, compression, rowsPerStrip);
    scratch.data.reserve(static_cast<std::size_t>(r.width) * 4u * static_cast<std::size_t>(endRow - firstRow) + 4096);
    WriteStrips(tiff.get(), r, rowsPerStrip, out.first, out.end);
    toff_t* offsets = nullptr;
    toff_t* counts = nullptr;
    if (!TIFFGetField(tiff.get(), TIFFTAG_STRIPOFFSETS, &offsets) ||
        !TIFFGetField(tiff.get(), TIFFTAG_STRIPBYTECOUNTS, &counts)) {
      throw std::runtime_error("libtiff: strips not found");
    }
    for (tstrip_t s = 0; s < out.end - out.first; ++s) {
      if (offsets[s] + counts[s] > scratch.data.size()) throw std::runtime_error("libtiff: strip outside the file");
      out.strips.emplace_back(scratch.data, static_cast<std::size_t>(offsets[s]), static_cast<std::size_t>(counts[s]));
    }
  } catch (...) {
    out.error = std::current_exception();
  }
}

void EncodeTiff(const RasterImage& r, const ImageOptions& options, ByteSink& sink) {
  const std::uint16_t compression = CompressionTag(options.Get(image_option::kTiffCompression));
  // Strips of about 256 KB: libtiff's default of 8 KB would hold one row of a
  // wide capture, restarting the LZW table on every row (larger and slower).
  const std::size_t rowBytes = static_cast<std::size_t>(r.width) * 4u;
  const std::uint32_t rowsPerStrip = static_cast<std::uint32_t>(
      std::clamp<std::size_t>((256u * 1024u) / rowBytes, 1, static_cast<std::size_t>(r.height)));
  const tstrip_t stripCount = static_cast<tstrip_t>((static_cast<std::uint32_t>(r.height) + rowsPerStrip - 1) / rowsPerStrip);
  // Strips are encoded independently, so groups of them are encoded on
  // threads and the results stored as they are, in order: the file is the
  // same as when the strips are encoded one by one. JPEG strips share tables
  // kept in the file's directory and uncompressed ones gain nothing: those
  // are written by libtiff directly.
  const bool parallel = compression != COMPRESSION_JPEG && compression != COMPRESSION_NONE &&
                        rowBytes * static_cast<std::size_t>(r.height) >= kParallelFrom;
  const std::size_t groups =
      parallel ? std::min<std::size_t>({std::max(1u, std::thread::hardware_concurrency()), kMaxThreads, stripCount}) : 1;
  const bool encodeHere = groups > 1 || compression == COMPRESSION_LZW;
  std::vector<EncodedStrips> encoded(encodeHere ? groups : 0);
  if (encodeHere) {
    for (std::size_t g = 0; g < groups; ++g) {
      encoded[g].first = static_cast<tstrip_t>(stripCount * g / groups);
      encoded[g].end = static_cast<tstrip_t>(stripCount * (g + 1) / groups);
    }
    std::vector<std::thread> helpers;
    for (std::size_t g = 1; g < groups; ++g) {
      try {
        helpers.emplace_back(EncodeStripRange, std::cref(r), compression, rowsPerStrip, std::ref(encoded[g]));
      } catch (const std::system_error&) {
        EncodeStripRange(r, compression, rowsPerStrip, encoded[g]);  // no thread to be had
      }
    }
    EncodeStripRange(r, compression, rowsPerStrip, encoded[0]);
    for (std::thread& t : helpers) t.join();
    for (const EncodedStrips& e : encoded) {
      if (e.error) std::rethrow_exception(e.error);
    }
  }

  MemoryFile file;
  {
    std::unique_ptr<TIFF, TiffCloser> tiff = OpenMemoryTiff(file);
    TIFF* t = tiff.get();
    SetTags(t, r.width, r.height, compression, rowsPerStrip);
    // Room for the whole file when the compression does not grow it; pages
    // that are never written cost nothing.
    file.data.reserve(rowBytes * static_cast<std::size_t>(r.height) + 64 * 1024);
    if (encoded.empty()) {
      WriteStrips(t, r, rowsPerStrip, 0, stripCount);
    } else {
      for (EncodedStrips& e : encoded) {
        for (tstrip_t s = e.first; s < e.end; ++s) {
          std::string& bytes = e.strips[s - e.first];
          if (TIFFWriteRawStrip(t, s, bytes.data(), static_cast<tmsize_t>(bytes.size())) < 0) {
            throw std::runtime_error("libtiff: cannot write a strip");
          }
          std::string().swap(bytes);
        }
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
