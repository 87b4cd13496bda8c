#pragma once
// The table of embedded files that the build generates from Tarvel.rc where the
// platform has no module resources (see EmbedResources.cmake).

#include <cstddef>
#include <cstdint>
#include <span>

namespace tarvel {

struct EmbeddedResource {
  int id;
  const char* type;
  const std::uint8_t* data;
  std::size_t size;
};

std::span<const EmbeddedResource> EmbeddedResources();

}  // namespace tarvel
