#include <iostream>

#include "tools/render/RenderTool.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return tarvel::RunRenderTool(args, std::cout, std::cerr);
}
