#include "effect/InstanceRegistry.h"

namespace tarvel {

InstanceRegistry& InstanceRegistry::Instance() {
  // Lives until the module is unloaded (every instance is gone by then), so a
  // host that loads and unloads the module while scanning leaks nothing.
  static InstanceRegistry registry;
  return registry;
}

std::int32_t InstanceRegistry::Claim() {
  for (std::int32_t i = 0; i < kCapacity; ++i) {
    std::uint8_t free = 0;
    if (slots[i].inUse.compare_exchange_strong(free, 1, std::memory_order_acq_rel)) return i;
  }
  return -1;
}

void InstanceRegistry::Release(std::int32_t index) {
  if (InstanceSlot* slot = Slot(index)) slot->inUse.store(0, std::memory_order_release);
}

InstanceSlot* InstanceRegistry::Slot(std::int32_t index) {
  return index >= 0 && index < kCapacity ? &slots[static_cast<std::size_t>(index)] : nullptr;
}

}  // namespace tarvel
