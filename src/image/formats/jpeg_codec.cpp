#include "image/formats/jpeg_codec.h"

// jpeglib.h needs size_t and FILE declared first.
#include <cstddef>
#include <cstdio>
#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "image/formats/byte_writer.h"

namespace tallowin {
namespace {

constexpr std::size_t kOutputBuffer = 64 * 1024;

// Everything the longjmp-guarded part touches; no member has a destructor
// that the jump could skip (the buffers belong to the caller).
struct Job {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr errors;
  jpeg_destination_mgr destination;
  std::jmp_buf jump;
  ByteSink* sink = nullptr;
  std::exception_ptr* sinkError = nullptr;
  unsigned char* output = nullptr;
  const RasterImage* raster = nullptr;
  int quality = 90;
  bool progressive = false;
  bool created = false;
  char message[JMSG_LENGTH_MAX] = {};
};

Job* JobOf(j_common_ptr cinfo) { return reinterpret_cast<Job*>(cinfo->client_data); }

void OnError(j_common_ptr cinfo) {
  Job* job = JobOf(cinfo);
  (*cinfo->err->format_message)(cinfo, job->message);
  std::longjmp(job->jump, 1);
}

void OnMessage(j_common_ptr, int) {}

void InitDestination(j_compress_ptr cinfo) {
  Job* job = JobOf(reinterpret_cast<j_common_ptr>(cinfo));
  job->destination.next_output_byte = job->output;
  job->destination.free_in_buffer = kOutputBuffer;
}

bool Flush(Job* job, std::size_t bytes) {
  try {
    job->sink->Put(std::string_view(reinterpret_cast<const char*>(job->output), bytes));
  } catch (...) {
    *job->sinkError = std::current_exception();
  }
  return !*job->sinkError;
}

boolean EmptyOutput(j_compress_ptr cinfo) {
  Job* job = JobOf(reinterpret_cast<j_common_ptr>(cinfo));
  if (!Flush(job, kOutputBuffer)) std::longjmp(job->jump, 1);
  InitDestination(cinfo);
  return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
  Job* job = JobOf(reinterpret_cast<j_common_ptr>(cinfo));
  if (!Flush(job, kOutputBuffer - job->destination.free_in_buffer)) std::longjmp(job->jump, 1);
}

// The only frame the library may longjmp out of; it holds no object with a destructor.
bool RunGuarded(Job* job) {
  if (setjmp(job->jump)) return false;
  jpeg_create_compress(&job->cinfo);
  job->created = true;
  job->cinfo.dest = &job->destination;
  const RasterImage& r = *job->raster;
  job->cinfo.image_width = static_cast<JDIMENSION>(r.width);
  job->cinfo.image_height = static_cast<JDIMENSION>(r.height);
  // libjpeg-turbo reads the raster's B, G, R, A bytes as they are (the
  // fourth byte is skipped): no conversion pass and no row copy.
  job->cinfo.input_components = 4;
  job->cinfo.in_color_space = JCS_EXT_BGRA;
  jpeg_set_defaults(&job->cinfo);
  jpeg_set_quality(&job->cinfo, job->quality, TRUE);
  if (job->progressive) jpeg_simple_progression(&job->cinfo);
  jpeg_start_compress(&job->cinfo, TRUE);
  JSAMPROW rows[16];
  while (job->cinfo.next_scanline < job->cinfo.image_height) {
    const JDIMENSION first = job->cinfo.next_scanline;
    const JDIMENSION count = std::min<JDIMENSION>(16, job->cinfo.image_height - first);
    for (JDIMENSION i = 0; i < count; ++i) {
      // libjpeg only reads the rows; its interface has no const.
      rows[i] = const_cast<JSAMPROW>(image_bytes::Row(r, static_cast<std::int32_t>(first + i)));
    }
    jpeg_write_scanlines(&job->cinfo, rows, count);
  }
  jpeg_finish_compress(&job->cinfo);
  return true;
}

}  // namespace

void EncodeJpeg(const RasterImage& raster, int quality, JpegMode mode, ByteSink& sink) {
  if (raster.width > 65500 || raster.height > 65500) throw std::runtime_error("image too large for JPEG");
  std::vector<unsigned char> output(kOutputBuffer);
  std::exception_ptr sinkError;
  auto job = std::make_unique<Job>();
  job->cinfo.err = jpeg_std_error(&job->errors);
  job->errors.error_exit = OnError;
  job->errors.emit_message = OnMessage;
  job->cinfo.client_data = job.get();
  job->destination.init_destination = InitDestination;
  job->destination.empty_output_buffer = EmptyOutput;
  job->destination.term_destination = TermDestination;
  job->sink = &sink;
  job->sinkError = &sinkError;
  job->output = output.data();
  job->raster = &raster;
  job->quality = quality;
  job->progressive = mode == JpegMode::Progressive;
  const bool ok = RunGuarded(job.get());
  if (job->created) jpeg_destroy_compress(&job->cinfo);
  if (sinkError) std::rethrow_exception(sinkError);
  if (!ok) throw std::runtime_error(std::string("libjpeg: ") + job->message);
}

}  // namespace tallowin
