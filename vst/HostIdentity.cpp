#include "vst/HostIdentity.h"

#include <string>

namespace tarvel {

namespace {

// Host identifiers, found by the first table text that occurs anywhere in the
// lower-cased product text.
struct HostEntry {
  const char* text;
  int id;
};
constexpr HostEntry kHosts[] = {
    {"cubase", 3},     {"reaper", 1},   {"nuendo", 4},     {"cakewalk", 5},  {"samplitude", 8},
    {"fruity", 7},     {"live", 9},     {"melodyne", 12},  {"vstmanlib", 13}, {"aulab", 14},
    {"forte", 15},     {"chainer", 16}, {"audition", 17},  {"orion", 18},     {"sawstudio", 20},
    {"logic", 21},     {"digital", 22},
};

}  // namespace

int HostIdFromProduct(const char* product) {
  std::string lower = product ? product : "";
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  for (const HostEntry& entry : kHosts)
    if (lower.find(entry.text) != std::string::npos) return entry.id;
  return 0;
}

}  // namespace tarvel
