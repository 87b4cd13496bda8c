// The CLAP adapter in process, where a test can act as the editor: a change
// made in the editor reaches the host as output events (gesture begin, the
// real value, gesture end) from the next process or flush call, in order,
// after a flush request; a host that takes none now gets them later. And a
// process call allocates nothing, whatever its events and buffers.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "AllocationCounter.h"
#include "clap/ClapIds.h"
#include "clap/IPlugCLAP.h"
#include "tests/support/ClapTestSupport.h"
#include "tools/hostclap/ClapInstance.h"

namespace tarvel::clap {
namespace {

struct Recorder {
  clap_host_t host{};
  clap_host_params_t params{};
  int flushRequests = 0;
  std::vector<clap_event_param_value_t> events;  // gestures with their type, value 0
  bool refuse = false;
  clap_output_events_t out{};

  Recorder() {
    host = {kClapVersion, this, "adapter", "", "", "", nullptr, nullptr, nullptr, nullptr};
    host.get_extension = [](const clap_host_t* h, const char* id) -> const void* {
      return std::strcmp(id, kClapExtParams) == 0 ? &static_cast<Recorder*>(h->host_data)->params : nullptr;
    };
    params.rescan = [](const clap_host_t*, std::uint32_t) {};
    params.clear = [](const clap_host_t*, clap_id, std::uint32_t) {};
    params.request_flush = [](const clap_host_t* h) { ++static_cast<Recorder*>(h->host_data)->flushRequests; };
    out = {this, [](const clap_output_events_t* list, const clap_event_header_t* event) {
             auto* self = static_cast<Recorder*>(list->ctx);
             if (self->refuse) return false;
             clap_event_param_value_t copy{};
             std::memcpy(&copy, event, std::min<std::size_t>(event->size, sizeof copy));
             if (event->type != kClapEventParamValue) copy.value = 0.0;
             self->events.push_back(copy);
             return true;
           }};
  }
};

TEST(ClapAdapter, EditorChangesReachTheHostAsOutputEvents) {
  Recorder recorder;
  auto adapter = IPlugCLAP::Create(&recorder.host);
  ASSERT_TRUE(adapter);
  ASSERT_TRUE(adapter->Init());
  IPlugBase& plug = adapter->Plug();
  plug.BeginParameterGesture(2);
  plug.SetParameterFromGUI(2, 1.0);
  plug.EndParameterGesture(2);
  EXPECT_EQ(recorder.flushRequests, 3);

  // Inactive: a flush hands them over, in order, the value in dB.
  adapter->Flush(nullptr, &recorder.out);
  ASSERT_EQ(recorder.events.size(), 3u);
  EXPECT_EQ(recorder.events[0].header.type, kClapEventParamGestureBegin);
  EXPECT_EQ(recorder.events[1].header.type, kClapEventParamValue);
  EXPECT_EQ(recorder.events[1].param_id, 2u);
  EXPECT_EQ(recorder.events[1].value, 30.0);
  EXPECT_EQ(recorder.events[2].header.type, kClapEventParamGestureEnd);
  for (const auto& event : recorder.events) EXPECT_EQ(event.header.space_id, kClapCoreEventSpaceId);

  // Active: from process; refused ones wait for the next call.
  ASSERT_TRUE(adapter->Activate(48000.0, 1, 64));
  recorder.events.clear();
  plug.SetParameterFromGUI(0, 0.0);
  std::vector<float> buffer(64, 0.0f);
  float* io[2] = {buffer.data(), buffer.data()};
  hostclap::InPlaceCall call(io, 64, nullptr, &recorder.out);
  clap_process_t& process = call.process;
  recorder.refuse = true;
  ASSERT_EQ(adapter->Process(process), kClapProcessContinue);
  EXPECT_TRUE(recorder.events.empty());
  recorder.refuse = false;
  ASSERT_EQ(adapter->Process(process), kClapProcessContinue);
  ASSERT_EQ(recorder.events.size(), 1u);
  EXPECT_EQ(recorder.events[0].param_id, 0u);
  EXPECT_EQ(recorder.events[0].value, -60.0);
  ASSERT_EQ(adapter->Process(process), kClapProcessContinue);
  EXPECT_EQ(recorder.events.size(), 1u);  // each change once
}

TEST(ClapAdapter, ProcessingAllocatesNothing) {
  Recorder recorder;
  auto adapter = IPlugCLAP::Create(&recorder.host);
  ASSERT_TRUE(adapter && adapter->Init());
  ASSERT_TRUE(adapter->Activate(96000.0, 1, 512));
  std::vector<double> left(512, 0.25), right(512, -0.25);
  double* io[2] = {left.data(), right.data()};
  hostclap::EventList events;
  for (std::uint32_t t = 0; t < 512; t += 37) events.Add(t % 5, t, -60.0 + t % 90);
  events.Add(kClapBypassId, 300, 1.0);
  events.Add(2, 100, 6.0, 9);
  hostclap::InPlaceCall call(io, 0, events.List(), &recorder.out);
  clap_process_t& process = call.process;
  adapter->Plug().SetParameterFromGUI(1, 0.5);  // an output event in the first call
  recorder.events.reserve(16);                   // the host's own storage
  const long before = test::AllocationCount();
  for (std::uint32_t frames : {512u, 1u, 100u, 511u}) {
    process.frames_count = frames;
    ASSERT_EQ(adapter->Process(process), kClapProcessContinue);
  }
  EXPECT_EQ(test::AllocationCount(), before);
  recorder.events.clear();
}

}  // namespace
}  // namespace tarvel::clap
