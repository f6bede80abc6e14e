#pragma once
// Where bytes written in pieces go: a file (AtomicFileSink) or memory.

#include <string>
#include <string_view>

namespace tallowin {

// Receives bytes in order. Put may raise; the writer then stops.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void Put(std::string_view bytes) = 0;
};

// Appends every piece to a string the caller owns (and that outlives the sink).
class MemorySink final : public ByteSink {
 public:
  explicit MemorySink(std::string& out) : out_(out) {}
  void Put(std::string_view bytes) override { out_.append(bytes); }

 private:
  std::string& out_;
};

}  // namespace tallowin
