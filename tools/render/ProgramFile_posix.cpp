#include "tools/render/ProgramFile.h"

namespace tarvel {

std::filesystem::path ProgramFile() {
  std::error_code failure;
  std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", failure);
  return failure ? std::filesystem::path() : path;
}

}  // namespace tarvel
