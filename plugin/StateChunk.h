#pragma once
// The byte buffer in which state is written and read, and the named snapshot
// of parameter values the host calls a program.
//
// Values are little-endian: 32-bit integers and IEEE 754 doubles. Appends go
// to the end; reads take a position and answer the position after the value,
// or -1 when the value does not lie wholly inside the chunk (a negative
// position reads nothing).

#include <cstdint>

#include "plugin/GrowBuffer.h"

namespace tarvel {

class StateChunk {
 public:
  StateChunk() = default;
  StateChunk(const StateChunk&) = delete;
  StateChunk& operator=(const StateChunk&) = delete;

  std::int32_t Size() const { return buffer.Size(); }
  const std::uint8_t* Data() const { return static_cast<const std::uint8_t*>(buffer.Data()); }
  void Clear() { buffer.Resize(0); }

  // Appends; false (and nothing appended) when the chunk could not grow.
  bool PutBytes(const void* bytes, std::int32_t size);
  bool PutInt32(std::int32_t v);
  bool PutDouble(double v);
  // Makes the chunk exactly these bytes; false (chunk unchanged) on failure.
  bool Assign(const void* bytes, std::int32_t size);

  std::int32_t GetInt32(std::int32_t pos, std::int32_t& v) const;
  std::int32_t GetDouble(std::int32_t pos, double& v) const;
  // True when size bytes are available from pos (no arithmetic can wrap).
  bool Has(std::int32_t pos, std::int64_t size) const {
    return pos >= 0 && size >= 0 && static_cast<std::int64_t>(pos) + size <= Size();
  }

 private:
  GrowBuffer buffer;
};

struct Preset {
  static constexpr int kNameSize = 256;  // with terminator

  bool initialised = false;
  char name[kNameSize] = {};
  StateChunk state;
};

}  // namespace tarvel
