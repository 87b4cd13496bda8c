#include "plugin/ModuleHandle.h"

#include <windows.h>

#include <atomic>

namespace tarvel {
namespace {

// Written by the loader's notifications (under the loader lock), read from any
// thread afterwards.
std::atomic<HMODULE> loadedModule{nullptr};

void RecordLoadedModule(HMODULE module) { loadedModule.store(module, std::memory_order_release); }

}  // namespace

void* ModuleHandle() {
  if (HMODULE module = loadedModule.load(std::memory_order_acquire)) return module;
  // No load notification: this code sits in a program, not a library.
  HMODULE self = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(&ModuleHandle), &self)) {
    return nullptr;
  }
  return self;
}

}  // namespace tarvel

// The library's load notification, for process and thread attach and detach
// alike: it records the handle every time and always reports success.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD /*reason*/, LPVOID /*reserved*/) {
  tarvel::RecordLoadedModule(instance);
  return TRUE;
}
