// The CLAP edition as hosts call it from two threads, in process (run under
// xvfb-run and ThreadSanitizer, label "threads"): the audio thread processes
// with parameter events while the main thread saves and loads state, reads
// values and texts, and ticks the embedded editor from the host's timer.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "clap/ClapIds.h"
#include "tools/host/X11Window_x11.h"
#include "tests/support/ClapTestSupport.h"
#include "tools/hostclap/ClapInstance.h"

extern "C" const clap_plugin_entry_t clap_entry;

namespace tarvel::hostclap {
namespace {

// A host whose timer support keeps the one timer for the test to fire.
struct TimerHost {
  clap_host_t host{};
  clap_host_timer_support_t timers{};
  std::atomic<clap_id> timer{kClapInvalidId};

  TimerHost() {
    host = {kClapVersion, this, "threads", "", "", "", nullptr, nullptr, nullptr, nullptr};
    host.get_extension = [](const clap_host_t* h, const char* id) -> const void* {
      auto* self = static_cast<TimerHost*>(h->host_data);
      return std::strcmp(id, kClapExtTimerSupport) == 0 ? &self->timers : nullptr;
    };
    timers.register_timer = [](const clap_host_t* h, std::uint32_t, clap_id* id) {
      *id = 1;
      static_cast<TimerHost*>(h->host_data)->timer = 1;
      return true;
    };
    timers.unregister_timer = [](const clap_host_t* h, clap_id) {
      static_cast<TimerHost*>(h->host_data)->timer = kClapInvalidId;
      return true;
    };
  }
};

TEST(Threads, ProcessingWithEventsWhileTheMainThreadLoadsAndTicks) {
  std::string error;
  auto window = X11HostWindow::Create(768, 768, error);
  ASSERT_TRUE(window) << error;
  ASSERT_TRUE(clap_entry.init(""));
  const auto* factory = static_cast<const clap_plugin_factory_t*>(clap_entry.get_factory(kClapPluginFactoryId));
  TimerHost host;
  const clap_plugin_t* plugin = factory->create_plugin(factory, &host.host, clap::kClapPluginId);
  ASSERT_NE(plugin, nullptr);
  ASSERT_TRUE(plugin->init(plugin));
  ASSERT_TRUE(plugin->activate(plugin, 48000.0, 1, 256));
  ASSERT_TRUE(plugin->start_processing(plugin));
  const auto* gui = static_cast<const clap_plugin_gui_t*>(plugin->get_extension(plugin, kClapExtGui));
  const auto* timers = static_cast<const clap_plugin_timer_support_t*>(plugin->get_extension(plugin, kClapExtTimerSupport));
  const auto* state = static_cast<const clap_plugin_state_t*>(plugin->get_extension(plugin, kClapExtState));
  const auto* params = static_cast<const clap_plugin_params_t*>(plugin->get_extension(plugin, kClapExtParams));
  ASSERT_TRUE(gui && timers && state && params);
  ASSERT_TRUE(gui->create(plugin, kClapWindowApiX11, false));
  clap_window_t parent{};
  parent.api = kClapWindowApiX11;
  parent.x11 = static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(window->Handle()));
  ASSERT_TRUE(gui->set_parent(plugin, &parent));
  ASSERT_NE(host.timer.load(), kClapInvalidId);

  std::atomic<bool> done{false};
  float peak = 0.0f;
  std::thread audio([&] {
    std::vector<float> left(256), right(256);
    EventList events;
    for (int block = 0; block < 300; ++block) {
      for (int i = 0; i < 256; ++i) left[i] = right[i] = (i % 32) < 16 ? 0.5f : -0.5f;
      events.Clear();
      events.Add(block % 6 == 5 ? clap::kClapBypassId : static_cast<clap_id>(block % 6), 17,
                 block % 6 == 5 ? block % 2 : -60.0 + 90.0 * (block % 7) / 7.0);
      float* io[2] = {left.data(), right.data()};
      InPlaceCall call(io, 256, events.List());
      if (plugin->process(plugin, &call.process) != kClapProcessContinue) ADD_FAILURE();
      for (float v : left) peak = std::max(peak, std::isfinite(v) ? std::fabs(v) : 1e30f);
    }
    done = true;
  });
  for (int round = 0; !done; ++round) {
    std::vector<std::uint8_t> bytes;
    clap_ostream_t out{&bytes, [](const clap_ostream_t* s, const void* b, std::uint64_t n) -> std::int64_t {
                         auto* v = static_cast<std::vector<std::uint8_t>*>(s->ctx);
                         v->insert(v->end(), static_cast<const std::uint8_t*>(b), static_cast<const std::uint8_t*>(b) + n);
                         return static_cast<std::int64_t>(n);
                       }};
    ASSERT_TRUE(state->save(plugin, &out));
    std::size_t position = 0;
    std::pair<std::vector<std::uint8_t>*, std::size_t*> source{&bytes, &position};
    clap_istream_t in{&source, [](const clap_istream_t* s, void* b, std::uint64_t n) -> std::int64_t {
                        auto* src = static_cast<std::pair<std::vector<std::uint8_t>*, std::size_t*>*>(s->ctx);
                        const std::size_t left = src->first->size() - *src->second;
                        const std::size_t take = std::min<std::size_t>({left, static_cast<std::size_t>(n), 7});
                        std::memcpy(b, src->first->data() + *src->second, take);
                        *src->second += take;
                        return static_cast<std::int64_t>(take);
                      }};
    ASSERT_TRUE(state->load(plugin, &in));
    double value = 0.0;
    params->get_value(plugin, static_cast<clap_id>(round % 5), &value);
    char text[32];
    params->value_to_text(plugin, static_cast<clap_id>(round % 5), value, text, sizeof text);
    timers->on_timer(plugin, host.timer);
  }
  audio.join();
  EXPECT_GT(peak, 0.0f);
  EXPECT_LT(peak, 100.0f);

  gui->destroy(plugin);
  EXPECT_EQ(host.timer.load(), kClapInvalidId);
  plugin->stop_processing(plugin);
  plugin->deactivate(plugin);
  plugin->destroy(plugin);
  clap_entry.deinit();
}

}  // namespace
}  // namespace tarvel::hostclap
