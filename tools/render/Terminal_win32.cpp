#include <windows.h>

#include "tools/render/Terminal.h"

namespace tarvel {

bool StandardErrorIsTerminal() {
  // A console answers GetConsoleMode; files, pipes and the NUL device do not.
  DWORD mode = 0;
  HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
  return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode) != 0;
}

}  // namespace tarvel
