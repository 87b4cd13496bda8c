// The LV2 module's UI entry: the instance's own editor as an X11 UI,
// embedded in the host's window. It reaches the instance through
// instance-access, so it lives in the plug-in's binary and needs the same
// process. It never takes the instance lock: the audio thread never waits
// for it.

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include <lv2/instance-access/instance-access.h>
#include <lv2/ui/ui.h>

#include "lv2/IPlugLV2.h"
#include "lv2/Lv2Uris.h"
#include "plugin/IEditor.h"

namespace tarvel {
namespace {

struct Lv2Ui {
  IPlugLV2* plug = nullptr;
  IEditor* editor = nullptr;
  // Control values from port_event, per parameter, shown at the next tick
  // (the editor takes them without the instance lock: it keeps them atomic).
  std::vector<float> pendingValues;
  std::vector<char> pending;
};

const void* FeatureData(const LV2_Feature* const* features, const char* uri) {
  for (; features && *features; ++features) {
    if (std::strcmp((*features)->URI, uri) == 0) return (*features)->data;
  }
  return nullptr;
}

LV2UI_Handle Instantiate(const LV2UI_Descriptor*, const char*, const char*, LV2UI_Write_Function write,
                         LV2UI_Controller controller, LV2UI_Widget* widget, const LV2_Feature* const* features) {
  auto* plug = static_cast<IPlugLV2*>(const_cast<void*>(FeatureData(features, LV2_INSTANCE_ACCESS_URI)));
  void* parent = const_cast<void*>(FeatureData(features, LV2_UI__parent));
  const auto* resize = static_cast<const LV2UI_Resize*>(FeatureData(features, LV2_UI__resize));
  // One editor per instance: a second UI of the same instance is refused.
  if (!plug || !parent || !widget || !plug->Plug().Editor() || plug->HasUi()) return nullptr;
  try {
    auto ui = std::make_unique<Lv2Ui>();
    ui->plug = plug;
    ui->editor = plug->Plug().Editor();
    ui->pendingValues.assign(static_cast<std::size_t>(plug->Plug().ParameterCount()), 0.0f);
    ui->pending.assign(static_cast<std::size_t>(plug->Plug().ParameterCount()), 0);
    void* window = plug->OpenEditor(parent);  // outside the instance lock
    if (!window) return nullptr;
    if (resize && resize->ui_resize) resize->ui_resize(resize->handle, ui->editor->Width(), ui->editor->Height());
    plug->SetUiWriter(write, controller);
    *widget = window;
    return ui.release();
  } catch (...) {
    return nullptr;
  }
}

void Cleanup(LV2UI_Handle handle) {
  std::unique_ptr<Lv2Ui> ui(static_cast<Lv2Ui*>(handle));
  if (!ui) return;
  ui->plug->CloseEditor();
  ui->plug->SetUiWriter(nullptr, nullptr);
}

void PortEvent(LV2UI_Handle handle, std::uint32_t port, std::uint32_t size, std::uint32_t format, const void* buffer) {
  auto* ui = static_cast<Lv2Ui*>(handle);
  if (!ui || format != 0 || size != sizeof(float) || !buffer) return;
  const int index = ui->plug->ParameterForPort(port);
  if (index < 0) return;
  std::memcpy(&ui->pendingValues[static_cast<std::size_t>(index)], buffer, sizeof(float));
  ui->pending[static_cast<std::size_t>(index)] = 1;
}

// ui:idleInterface: the editor's one tick (it paints at most every 10 ms).
int Idle(LV2UI_Handle handle) {
  auto* ui = static_cast<Lv2Ui*>(handle);
  if (!ui) return 1;
  for (std::size_t i = 0; i < ui->pending.size(); ++i) {
    if (!ui->pending[i]) continue;
    ui->pending[i] = 0;
    ui->editor->PushParameterToControls(static_cast<int>(i), ui->pendingValues[i], false);
  }
  ui->plug->TickEditor();
  return 0;
}

const LV2UI_Idle_Interface kIdleInterface = {&Idle};

const void* ExtensionData(const char* uri) {
  return uri && std::strcmp(uri, LV2_UI__idleInterface) == 0 ? &kIdleInterface : nullptr;
}

const LV2UI_Descriptor kUiDescriptor = {kLv2UiUri, &Instantiate, &Cleanup, &PortEvent, &ExtensionData};

}  // namespace
}  // namespace tarvel

extern "C" LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(std::uint32_t index) {
  return index == 0 ? &tarvel::kUiDescriptor : nullptr;
}
