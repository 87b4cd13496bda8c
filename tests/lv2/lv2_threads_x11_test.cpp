// An LV2 host's threads around an open UI (under xvfb-run, and under
// ThreadSanitizer with the label "threads"): the audio thread runs the
// instance with control values changing between runs, the UI thread ticks the
// UI through its idle interface and hands it the host's port notifications.

#include <gtest/gtest.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/ui/ui.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "lv2/Lv2Uris.h"
#include "tools/host/X11Window_x11.h"

extern "C" const LV2_Descriptor* lv2_descriptor(std::uint32_t index);
extern "C" const LV2UI_Descriptor* lv2ui_descriptor(std::uint32_t index);

namespace tarvel::test {
namespace {

TEST(Lv2ThreadsX11, AudioRunAndUiTicksTogether) {
  const LV2_Descriptor* plugin = lv2_descriptor(0);
  const LV2UI_Descriptor* ui = lv2ui_descriptor(0);
  ASSERT_TRUE(plugin && ui);
  LV2_Handle instance = plugin->instantiate(plugin, 48000.0, "", nullptr);
  ASSERT_NE(instance, nullptr);
  std::array<float, 256> left{}, right{};
  std::array<float, 6> controls{};  // five gains, then the latency
  plugin->connect_port(instance, 0, left.data());
  plugin->connect_port(instance, 1, right.data());
  plugin->connect_port(instance, 2, left.data());
  plugin->connect_port(instance, 3, right.data());
  for (std::uint32_t i = 0; i < controls.size(); ++i) plugin->connect_port(instance, 4 + i, &controls[i]);
  plugin->activate(instance);

  std::atomic<bool> done{false};
  std::atomic<int> ticks{0};
  std::thread gui([&] {
    std::string error;
    auto host = X11HostWindow::Create(768, 768, error);
    ASSERT_TRUE(host) << error;
    LV2_Feature access{LV2_INSTANCE_ACCESS_URI, instance};
    LV2_Feature parent{LV2_UI__parent, host->Handle()};
    const LV2_Feature* features[] = {&access, &parent, nullptr};
    LV2UI_Widget widget = nullptr;
    LV2UI_Handle handle = ui->instantiate(ui, kLv2PluginUri, "", [](LV2UI_Controller, std::uint32_t, std::uint32_t,
                                                                     std::uint32_t, const void*) {},
                                          nullptr, &widget, features);
    ASSERT_NE(handle, nullptr);
    const auto* idle = static_cast<const LV2UI_Idle_Interface*>(ui->extension_data(LV2_UI__idleInterface));
    for (int round = 0; !done; ++round) {
      const float gain = static_cast<float>(round % 90 - 60);
      ui->port_event(handle, 4 + round % 5, sizeof gain, 0, &gain);
      idle->idle(handle);
      ++ticks;
      std::this_thread::sleep_for(std::chrono::milliseconds(4));
    }
    ui->cleanup(handle);
  });
  std::thread audio([&] {
    for (int block = 0; block < 400; ++block) {
      controls[block % 5] = static_cast<float>(block % 90 - 60);
      for (std::size_t i = 0; i < left.size(); ++i) left[i] = right[i] = (i % 32) < 16 ? 0.25f : -0.25f;
      plugin->run(instance, static_cast<std::uint32_t>(left.size()));
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    done = true;
  });
  audio.join();
  gui.join();
  EXPECT_GT(ticks.load(), 10);
  EXPECT_EQ(controls[5], 2514.0f);  // the latency at 48 kHz
  for (const float sample : left) EXPECT_TRUE(std::isfinite(sample));
  plugin->deactivate(instance);
  plugin->cleanup(instance);
}

}  // namespace
}  // namespace tarvel::test
