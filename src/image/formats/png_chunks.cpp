#include "image/formats/png_chunks.h"

#include <zlib.h>

#include <algorithm>
#include <stdexcept>

#include "image/formats/byte_writer.h"

namespace tallowin::png_stream {

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
