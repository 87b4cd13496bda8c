#include "plugin/StateChunk.h"

#include <cstring>

namespace tarvel {

// Values are stored in the machine's order, which is little-endian on every
// target this builds for.
static_assert(sizeof(double) == 8 && sizeof(std::int32_t) == 4);

bool StateChunk::PutBytes(const void* bytes, std::int32_t size) {
  const std::int32_t old = Size();
  if (size < 0 || size > INT32_MAX - old) return false;
  if (size == 0) return true;
  buffer.Resize(old + size);
  if (Size() != old + size) return false;
  std::memcpy(static_cast<std::uint8_t*>(buffer.Data()) + old, bytes, static_cast<std::size_t>(size));
  return true;
}

bool StateChunk::PutInt32(std::int32_t v) { return PutBytes(&v, sizeof v); }
bool StateChunk::PutDouble(double v) { return PutBytes(&v, sizeof v); }

bool StateChunk::Assign(const void* bytes, std::int32_t size) {
  if (size < 0 || (size > 0 && !bytes)) return false;
  buffer.Resize(size);
  if (Size() != size) return false;
  if (size > 0) std::memmove(buffer.Data(), bytes, static_cast<std::size_t>(size));
  return true;
}

std::int32_t StateChunk::GetInt32(std::int32_t pos, std::int32_t& v) const {
  if (!Has(pos, sizeof v)) return -1;
  std::memcpy(&v, Data() + pos, sizeof v);
  return pos + static_cast<std::int32_t>(sizeof v);
}

std::int32_t StateChunk::GetDouble(std::int32_t pos, double& v) const {
  if (!Has(pos, sizeof v)) return -1;
  std::memcpy(&v, Data() + pos, sizeof v);
  return pos + static_cast<std::int32_t>(sizeof v);
}

}  // namespace tarvel
