#include "image/formats/tiff_lzw.h"

#include <algorithm>

namespace tallowin {
namespace {

constexpr std::uint32_t kClear = 256;
constexpr std::uint32_t kEndOfInformation = 257;
constexpr std::uint32_t kFirstFree = 258;
constexpr std::uint32_t kMaxWidth = 12;
// The table starts afresh (a Clear code, still 12 bits wide) once it holds
// codes up to 4093: a reader, whose table runs one entry behind ours and which
// widens its codes one code early, would otherwise move to 13 bits.
constexpr std::uint32_t kTableLimit = (1u << kMaxWidth) - 2;
constexpr std::uint32_t kTableBits = 16;
constexpr std::uint32_t kTableSize = 1u << kTableBits;
constexpr std::uint32_t kCodeMask = (1u << kMaxWidth) - 1;

// Codes packed most significant bit first into a buffer with room for all.
class CodeWriter {
 public:
  explicit CodeWriter(std::uint8_t* out) : out_(out) {}
  void Put(std::uint32_t code, std::uint32_t width) {
    bits_ = (bits_ << width) | code;
    count_ += width;
    while (count_ >= 8) {
      count_ -= 8;
      *out_++ = static_cast<std::uint8_t>(bits_ >> count_);
    }
  }
  std::uint8_t* Finish() {
    if (count_ > 0) *out_++ = static_cast<std::uint8_t>(bits_ << (8 - count_));
    return out_;
  }

 private:
  std::uint8_t* out_;
  std::uint64_t bits_ = 0;  // the pending bits are the lowest `count_`
  std::uint32_t count_ = 0;
};

}  // namespace

TiffLzwEncoder::TiffLzwEncoder() : table_(kTableSize, 0) {}

void TiffLzwEncoder::StartTable() { std::fill(table_.begin(), table_.end(), 0); }

void TiffLzwEncoder::Encode(const std::uint8_t* data, std::size_t size, std::string& out) {
  // At most one code per byte, each at most 12 bits, and the Clear codes.
  const std::size_t room = size + size / 2 + size / 1000 + 16;
  if (buffer_.size() < room) buffer_.resize(room);
  CodeWriter codes(buffer_.data());
  std::uint32_t nextCode = kFirstFree;
  std::uint32_t width = 9;
  StartTable();
  codes.Put(kClear, width);
  if (size > 0) {
    std::uint32_t* const table = table_.data();  // not reloaded after each output byte
    std::uint32_t prefix = data[0];
    for (std::size_t i = 1; i < size; ++i) {
      const std::uint32_t byte = data[i];
      const std::uint32_t key = prefix << 8 | byte;
      // The first place looked at: the byte in the high bits, the prefix code
      // in the low ones. One instruction on the path from one byte's lookup to
      // the next; collisions are resolved by double hashing.
      std::uint32_t slot = byte << (kTableBits - 8) ^ prefix;
      std::uint32_t entry = table[slot];
      if (entry != 0 && entry >> kMaxWidth != key) {
        const std::uint32_t step = (kTableSize - slot) | 1;  // odd: visits every slot
        do {
          slot = (slot - step) & (kTableSize - 1);
          entry = table[slot];
        } while (entry != 0 && entry >> kMaxWidth != key);
      }
      if (entry != 0) {
        prefix = entry & kCodeMask;
        continue;
      }
      codes.Put(prefix, width);
      table[slot] = key << kMaxWidth | nextCode;
      prefix = data[i];
      if (++nextCode == kTableLimit) {
        codes.Put(kClear, width);
        StartTable();
        nextCode = kFirstFree;
        width = 9;
      } else if (nextCode == (1u << width)) {
        ++width;  // the next code may be one the current width cannot hold
      }
    }
    codes.Put(prefix, width);
  }
  codes.Put(kEndOfInformation, width);
  const std::uint8_t* end = codes.Finish();
  out.append(reinterpret_cast<const char*>(buffer_.data()), static_cast<std::size_t>(end - buffer_.data()));
}

}  // namespace tallowin
