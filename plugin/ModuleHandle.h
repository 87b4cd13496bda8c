#pragma once
// The handle of the module (plug-in library or program) that holds this code:
// an HMODULE on Windows, the load address of the shared object elsewhere. Window
// classes, child windows and resources are registered with and looked up in it.
//
// On Windows the library's load notification records the handle before any
// other code of the module runs; when the code is linked into a program instead
// (test programs), the module is found from the address of this code. Callable
// from any thread, never allocates.

namespace tarvel {

void* ModuleHandle();

}  // namespace tarvel
