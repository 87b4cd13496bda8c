#pragma once
// Files carried inside the plug-in's module, looked up by integer id and type
// name ("PNG", "JPG"). On Windows these are real module resources (compiled from
// resources/Tarvel.rc); elsewhere a table generated from the same script is
// linked into the module and the handle only names which module is meant: the
// table of the module that holds this code is searched.

#include <cstdint>
#include <span>

namespace tarvel {

// The bytes of resource `id` of type `type` in `module`, read in place and valid
// for the module's lifetime; empty when there is no such resource. Ids outside
// 1..65535 are never found. Any thread; no allocation.
std::span<const std::uint8_t> FindModuleResource(void* module, int id, const char* type);

}  // namespace tarvel
