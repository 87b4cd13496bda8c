#include "tools/editorshot/ShotWindow.h"
#include "tools/host/PluginInstance.h"
#include "tools/host/X11Window_x11.h"

namespace tarvel {

namespace {

class X11ShotWindow final : public ShotWindow {
 public:
  explicit X11ShotWindow(std::unique_ptr<X11HostWindow> window) : host(std::move(window)) {}

  void* Handle() override { return host->Handle(); }
  bool HasEditor() override { return !host->Children().empty(); }
  void Idle(PluginInstance& plug) override { plug.Dispatch(effEditIdle); }  // X11 has no window timer
  std::vector<std::uint32_t> Capture(int width, int height) override {
    const std::vector<unsigned long> children = host->Children();
    if (children.empty()) return {};
    return host->ReadPixels(children.front(), width, height);
  }

 private:
  std::unique_ptr<X11HostWindow> host;
};

}  // namespace

std::unique_ptr<ShotWindow> ShotWindow::Create(int width, int height, std::string& error) {
  auto window = X11HostWindow::Create(width, height, error);
  if (!window) return nullptr;
  return std::make_unique<X11ShotWindow>(std::move(window));
}

}  // namespace tarvel
