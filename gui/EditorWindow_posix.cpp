// Without a window system of our own the editor draws into its bitmap but
// opens no window: effEditOpen answers 0 and a host shows its generic editor.

#include "gui/EditorWindow.h"
#include "gui/ImageResources.h"

namespace tarvel {

namespace {

class IGraphicsHeadless final : public IGraphics {
 public:
  IGraphicsHeadless(IPlugBase& plug, int width, int height, int frameRate, void* module)
      : IGraphics(plug, width, height, frameRate), moduleHandle(module) {}

  bool PresentRect(const PixelRect&) override { return true; }
  void OpenTextEditor(IControl*) override {}
  void OpenValueEditor(IControl*, Parameter*) override {}
  void GetHostFolder(std::string& folder) override { folder.clear(); }
  void GetModuleFolder(std::string& folder) override { folder.clear(); }
  void ChooseFile(std::string& path, int, const char*) override { path.clear(); }
  bool PickColor(ArgbColor&, const char*) override { return false; }
  bool OpenLink(const char*, const char*, const char*, const char*) override { return false; }
  void* OpenEditorWindow(void*) override { return nullptr; }
  void CloseEditorWindow() override {}
  void* GetNativeWindow() override { return nullptr; }
  LICE_IBitmap* LoadImageResource(int id, const char* name) override {
    return tarvel::LoadImageResource(moduleHandle, id, name);
  }

 private:
  void* moduleHandle;
};

}  // namespace

std::unique_ptr<IGraphics> MakeEditorGraphics(IPlugBase& plug, int width, int height, int frameRate, void* module) {
  return std::make_unique<IGraphicsHeadless>(plug, width, height, frameRate, module);
}

}  // namespace tarvel
