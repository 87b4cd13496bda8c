#include "tools/editorshot/ShotWindow.h"
#include "tools/host/HostWindow_win32.h"

namespace tarvel {

namespace {

class Win32ShotWindow final : public ShotWindow {
 public:
  Win32ShotWindow(int width, int height) : host(width, height) {}

  bool Exists() const { return host.Handle() != nullptr; }
  void* Handle() override { return host.Handle(); }
  bool HasEditor() override { return host.EditorWindow() != nullptr; }
  void Idle(PluginInstance&) override { HostWindow::Pump(); }  // the editor's own timer ticks
  std::vector<std::uint32_t> Capture(int width, int height) override {
    return HostWindow::Capture(host.EditorWindow(), width, height);
  }

 private:
  HostWindow host;
};

}  // namespace

std::unique_ptr<ShotWindow> ShotWindow::Create(int width, int height, std::string& error) {
  auto window = std::make_unique<Win32ShotWindow>(width, height);
  if (window->Exists()) return window;
  error = "no window: is there a display?";
  return nullptr;
}

}  // namespace tarvel
