#include "image/formats/png_chunks.h"

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <exception>
#include <memory>
#include <stdexcept>

#include "image/formats/byte_writer.h"

namespace tallowin::png_stream {
namespace {

// Everything the longjmp-guarded part touches lives here, outside its frame,
// so a libpng error skips no destructor.
struct Job {
  png_structp png = nullptr;
  png_infop info = nullptr;
  const RasterImage* raster = nullptr;
  Samples samples = Samples::Rgba;
  Compression compression;
  ByteSink* sink = nullptr;
  std::size_t skip = 0;          // signature bytes still to drop
  std::exception_ptr sinkError;  // raised by the sink inside a libpng callback
  std::uint8_t* row = nullptr;
  char message[200] = {};
};

void OnWrite(png_structp png, png_bytep data, png_size_t length) {
  Job* job = static_cast<Job*>(png_get_io_ptr(png));
  std::size_t drop = std::min<std::size_t>(job->skip, length);
  job->skip -= drop;
  try {
    if (length > drop) job->sink->Put(std::string_view(reinterpret_cast<const char*>(data) + drop, length - drop));
  } catch (...) {
    job->sinkError = std::current_exception();
  }
  if (job->sinkError) png_error(png, "the output failed");
}

void OnFlush(png_structp) {}

void OnError(png_structp png, png_const_charp message) {
  Job* job = static_cast<Job*>(png_get_error_ptr(png));
  std::snprintf(job->message, sizeof job->message, "%s", message);
  png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

int FilterFlags(int filter) {
  switch (filter) {
    case 0: return PNG_FILTER_NONE;
    case 1: return PNG_FILTER_SUB;
    case 2: return PNG_FILTER_UP;
    case 3: return PNG_FILTER_AVG;
    case 4: return PNG_FILTER_PAETH;
    case 6: return PNG_FILTER_NONE | PNG_FILTER_SUB | PNG_FILTER_UP;
    default: return PNG_ALL_FILTERS;
  }
}

// The only frame libpng may longjmp out of; it holds no object with a destructor.
bool RunGuarded(Job* job) {
  if (setjmp(png_jmpbuf(job->png))) return false;
  const RasterImage& r = *job->raster;
  const bool rgba = job->samples == Samples::Rgba;
  png_set_write_fn(job->png, job, OnWrite, OnFlush);
  png_set_IHDR(job->png, job->info, static_cast<png_uint_32>(r.width), static_cast<png_uint_32>(r.height), 8,
               rgba ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(job->png, job->compression.level);
  png_set_filter(job->png, PNG_FILTER_TYPE_BASE, FilterFlags(job->compression.filter));
  png_write_info(job->png, job->info);
  for (std::int32_t y = 0; y < r.height; ++y) {
    const std::uint8_t* in = image_bytes::Row(r, y);
    if (rgba) {
      image_bytes::BgraRowToRgba(in, r.width, job->row);
    } else {
      for (std::int32_t x = 0; x < r.width; ++x) job->row[x] = in[x * 4 + 3];
    }
    png_write_row(job->png, job->row);
  }
  png_write_end(job->png, job->info);
  return true;
}

struct PngWriteDeleter {
  Job* job;
  void operator()(png_structp) const { png_destroy_write_struct(&job->png, &job->info); }
};

}  // namespace

void Encode(const RasterImage& raster, Samples samples, Compression compression, Signature signature, ByteSink& sink) {
  Job job;
  job.raster = &raster;
  job.samples = samples;
  job.compression = compression;
  job.sink = &sink;
  job.skip = signature == Signature::Written ? 0 : 8;
  job.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &job, OnError, OnWarning);
  if (!job.png) throw std::runtime_error("libpng: out of memory");
  std::unique_ptr<png_struct, PngWriteDeleter> owner(job.png, PngWriteDeleter{&job});
  job.info = png_create_info_struct(job.png);
  if (!job.info) throw std::runtime_error("libpng: out of memory");
  std::vector<std::uint8_t> row(static_cast<std::size_t>(raster.width) * (samples == Samples::Rgba ? 4u : 1u));
  job.row = row.data();
  const bool ok = RunGuarded(&job);
  if (job.sinkError) std::rethrow_exception(job.sinkError);
  if (!ok) throw std::runtime_error(std::string("libpng: ") + job.message);
}

std::vector<Chunk> Split(std::string_view chunks) {
  std::vector<Chunk> out;
  std::size_t pos = 0;
  while (pos < chunks.size()) {
    if (chunks.size() - pos < 12) throw std::runtime_error("truncated PNG chunk");
    const auto* p = reinterpret_cast<const unsigned char*>(chunks.data() + pos);
    const std::size_t length = (std::size_t{p[0]} << 24) | (std::size_t{p[1]} << 16) | (std::size_t{p[2]} << 8) | p[3];
    if (chunks.size() - pos - 12 < length) throw std::runtime_error("truncated PNG chunk");
    out.push_back({chunks.substr(pos + 4, 4), chunks.substr(pos + 8, length)});
    pos += 12 + length;
  }
  return out;
}

void PutChunk(ByteSink& sink, std::string_view type, std::string_view data) {
  image_bytes::Bytes head;
  head.U32BE(static_cast<std::uint32_t>(data.size())).Text(type);
  uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type.data()), static_cast<uInt>(type.size()));
  // crc32 takes uInt lengths; feed large chunks in pieces.
  for (std::size_t done = 0; done < data.size();) {
    const std::size_t n = std::min<std::size_t>(data.size() - done, 1u << 30);
    crc = crc32(crc, reinterpret_cast<const Bytef*>(data.data() + done), static_cast<uInt>(n));
    done += n;
  }
  sink.Put(head.data());
  sink.Put(data);
  image_bytes::Bytes tail;
  tail.U32BE(static_cast<std::uint32_t>(crc));
  sink.Put(tail.data());
}

}  // namespace tallowin::png_stream
