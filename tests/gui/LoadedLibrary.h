#pragma once
// Loading a library at run time, for module_handle_test.

namespace tarvel::test {

class LoadedLibrary {
public:
  explicit LoadedLibrary(const char* path);
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;
  ~LoadedLibrary();

  bool Loaded() const { return handle != nullptr; }
  void* Symbol(const char* name) const;
  // Where the system loaded it: the address ModuleHandle() inside it must give.
  void* Base() const;

private:
  void* handle = nullptr;
};

}  // namespace tarvel::test
