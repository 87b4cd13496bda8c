#pragma once
// The process-wide table of InstanceSlot records: every Tarvel instance holds
// one for its lifetime, shared by its audio side and its drawing control.
// The table is created on first use and kept until the module is unloaded,
// so a record (and the display summary it keeps) outlives every instance
// that held it.
//
// Threads: records are claimed only by constructions, which the entry lock
// serialises; a record is released by its instance's destruction on any
// thread. Claiming is atomic per record all the same, so a claim never hands
// out a record that another holder still has.

#include <array>
#include <cstdint>

#include "effect/InstanceSlot.h"

namespace tarvel {

class InstanceRegistry {
 public:
  static constexpr std::int32_t kCapacity = 1024;

  // The one table of the module, created zero-filled on the first call.
  static InstanceRegistry& Instance();

  InstanceRegistry(const InstanceRegistry&) = delete;
  InstanceRegistry& operator=(const InstanceRegistry&) = delete;

  // Marks the lowest free record in use and answers its index, or -1 when
  // every record is in use.
  std::int32_t Claim();
  // Frees the record at index (nothing outside the table). Its display
  // summary and frame counter stay for the next holder.
  void Release(std::int32_t index);
  // The record at index, or null outside the table.
  InstanceSlot* Slot(std::int32_t index);

 private:
  InstanceRegistry() = default;

  std::array<InstanceSlot, kCapacity> slots;
};

}  // namespace tarvel
