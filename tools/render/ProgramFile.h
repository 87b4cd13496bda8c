#pragma once
// The running program's own file, to find the plug-in installed beside it.

#include <filesystem>

namespace tarvel {

// Empty when the system does not tell.
std::filesystem::path ProgramFile();

}  // namespace tarvel
