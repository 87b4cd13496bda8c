// The LV2 UI in a small UI host of our own (run under xvfb-run): embedded in
// the host's window with its size told, ticked through the idle interface
// while the instance runs, showing the picture; refused without the features
// it needs, and for a second UI of one instance.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <lilv/lilv.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/ui/ui.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "lv2/Lv2Uris.h"
#include "tests/support/PictureFormula.h"
#include "tools/host/X11Window_x11.h"

namespace tarvel::test {
namespace {

constexpr int kSize = 768;
constexpr std::uint32_t kPorts = 10;

struct Plugin {
  Plugin() {
    setenv("LV2_PATH", TARVEL_LV2_BUNDLES, 1);
    world = lilv_world_new();
    lilv_world_load_all(world);
    LilvNode* uri = lilv_new_uri(world, kLv2PluginUri);
    plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
    lilv_node_free(uri);
    if (plugin) instance = lilv_plugin_instantiate(plugin, 48000.0, nullptr);
    if (!instance) return;
    for (std::uint32_t port = 0; port < kPorts; ++port) {
      lilv_instance_connect_port(instance, port, port < 4 ? static_cast<void*>(silence.data()) : &controls[port]);
    }
    lilv_instance_activate(instance);
    // The UI lives in the plug-in's binary, already loaded by lilv.
    module = dlopen((std::string(TARVEL_LV2_BUNDLES) + "/tarvel.lv2/" + kLv2BinaryName).c_str(), RTLD_NOW);
    if (auto* entry = reinterpret_cast<LV2UI_DescriptorFunction>(module ? dlsym(module, "lv2ui_descriptor") : nullptr))
      ui = entry(0);
  }
  ~Plugin() {
    if (instance) {
      lilv_instance_deactivate(instance);
      lilv_instance_free(instance);
    }
    if (module) dlclose(module);
    lilv_world_free(world);
  }
  void Run() {
    silence.fill(0.0f);
    lilv_instance_run(instance, static_cast<std::uint32_t>(silence.size()));
  }

  LilvWorld* world;
  const LilvPlugin* plugin = nullptr;
  LilvInstance* instance = nullptr;
  void* module = nullptr;
  const LV2UI_Descriptor* ui = nullptr;
  std::array<float, 800> silence{};
  std::array<float, kPorts> controls{};
};

struct UiHost {
  static int Resize(LV2UI_Feature_Handle handle, int width, int height) {
    static_cast<UiHost*>(handle)->size = {width, height};
    return 0;
  }
  static void Write(LV2UI_Controller, std::uint32_t, std::uint32_t, std::uint32_t, const void*) {}

  // The UI for plug's instance with the features chosen, or null.
  LV2UI_Handle Open(Plugin& plug, void* parent, bool instanceAccess) {
    LV2_Feature access{LV2_INSTANCE_ACCESS_URI, lilv_instance_get_handle(plug.instance)};
    LV2_Feature parentFeature{LV2_UI__parent, parent};
    LV2_Feature resizeFeature{LV2_UI__resize, &resize};
    std::vector<const LV2_Feature*> features = {&resizeFeature};
    if (parent) features.push_back(&parentFeature);
    if (instanceAccess) features.push_back(&access);
    features.push_back(nullptr);
    widget = nullptr;
    return plug.ui->instantiate(plug.ui, kLv2PluginUri, TARVEL_LV2_BUNDLES, &Write, this, &widget, features.data());
  }

  LV2UI_Resize resize{this, &Resize};
  LV2UI_Widget widget = nullptr;
  std::array<int, 2> size{};
};

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

TEST(Lv2UiX11, EmbedsTicksAndShowsThePicture) {
  Plugin plug;
  ASSERT_TRUE(plug.instance && plug.ui);
  std::string error;
  auto host = X11HostWindow::Create(kSize, kSize, error);
  ASSERT_TRUE(host) << error;
  UiHost uiHost;
  LV2UI_Handle ui = uiHost.Open(plug, host->Handle(), true);
  ASSERT_NE(ui, nullptr);
  EXPECT_EQ(uiHost.size, (std::array<int, 2>{kSize, kSize}));
  const std::vector<unsigned long> children = host->Children();
  ASSERT_EQ(children.size(), 1u);
  EXPECT_EQ(reinterpret_cast<unsigned long>(uiHost.widget), children.front());
  const auto* idle = static_cast<const LV2UI_Idle_Interface*>(plug.ui->extension_data(LV2_UI__idleInterface));
  ASSERT_NE(idle, nullptr);

  // Gains from the host, and notifications the UI must ignore.
  const float gain = -12.0f;
  const double wrongSize = 1.0;
  for (std::uint32_t port = 0; port < kPorts + 2; ++port) plug.ui->port_event(ui, port, sizeof gain, 0, &gain);
  plug.ui->port_event(ui, 4, sizeof wrongSize, 0, &wrongSize);
  plug.ui->port_event(ui, 4, sizeof gain, 7, &gain);
  plug.ui->port_event(ui, 4, sizeof gain, 0, nullptr);

  // Two ticks 12 ms apart paint frames one apart; the picture follows the
  // formula for the silence that ran.
  auto corner = [&] {
    const std::vector<std::uint32_t> pixels = host->ReadPixels(children.front(), kSize, kSize);
    return pixels.empty() ? -1 : FrameOfCorner(pixels[0], 0);
  };
  for (int i = 0; i < 10; ++i) {
    plug.Run();
    EXPECT_EQ(idle->idle(ui), 0);
    Pause(12);
  }
  const int before = corner();
  EXPECT_EQ(idle->idle(ui), 0);
  const int after = corner();
  ASSERT_GE(before, 0);
  EXPECT_EQ(after, (before + 1) % 512);
  const std::vector<std::uint32_t> pixels = host->ReadPixels(children.front(), kSize, kSize);
  int wrong = 0;
  for (int j = 0; j < 700; ++j) {  // above the text line
    for (int k = 0; k < kSize; ++k) wrong += pixels[j * kSize + k] != PicturePixel(k, j, after, 0, 0);
  }
  EXPECT_EQ(wrong, 0);

  plug.ui->cleanup(ui);
  EXPECT_TRUE(host->Children().empty());
}

TEST(Lv2UiX11, RefusedWithoutItsFeaturesAndForASecondUi) {
  Plugin plug;
  ASSERT_TRUE(plug.instance && plug.ui);
  std::string error;
  auto host = X11HostWindow::Create(kSize, kSize, error);
  ASSERT_TRUE(host) << error;
  UiHost uiHost;
  EXPECT_EQ(uiHost.Open(plug, host->Handle(), false), nullptr);
  EXPECT_EQ(uiHost.Open(plug, nullptr, true), nullptr);
  LV2UI_Handle first = uiHost.Open(plug, host->Handle(), true);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(uiHost.Open(plug, host->Handle(), true), nullptr);
  plug.ui->cleanup(first);
  LV2UI_Handle again = uiHost.Open(plug, host->Handle(), true);
  EXPECT_NE(again, nullptr);
  if (again) plug.ui->cleanup(again);
  EXPECT_TRUE(host->Children().empty());
}

}  // namespace
}  // namespace tarvel::test
