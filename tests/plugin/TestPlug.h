#pragma once
// A plug-in base with the host requests recorded instead of sent, for tests
// of the core without an adapter.

#include <string>
#include <vector>

#include "plugin/IPlugBase.h"
#include "tests/support/FakeEditor.h"

namespace tarvel::test {

// The host side of TestPlug: records the reports and the MIDI it is sent.
struct RecordedRequests final : IHostRequests {
  void ReportParameterToHost(int index, double normalized) override { reported.push_back({index, normalized}); }
  bool SendMidi(const MidiMessage& message) override {
    sentMidi.push_back(message);
    return true;
  }
  std::vector<std::pair<int, double>> reported;
  std::vector<MidiMessage> sentMidi;
};

// Holds the requests ahead of the base that reports to them.
struct WithRecordedRequests {
  RecordedRequests requests;
};

class TestPlug : private WithRecordedRequests, public IPlugBase {
 public:
  explicit TestPlug(const char* channelIO = "1-2 2-2", int parameterCount = 5, int presetCount = 0)
      : IPlugBase(&requests, parameterCount, channelIO, presetCount, "Test", "", "Vendor", 0x10203, 0x49706C67,
                  0x4B76746D, 0, false, false, false) {
    for (int i = 0; i < parameterCount; ++i)
      GetParameter(i)->InitContinuous("p", 0.0, -60.0, 30.0, 0.01, "dB");
  }

  void ParameterChanged(int index) override {
    IPlugBase::ParameterChanged(index);
    changed.push_back(index);
  }

  std::vector<double> Values() const {
    std::vector<double> values;
    for (int i = 0; i < ParameterCount(); ++i) values.push_back(GetParameter(i)->Value());
    return values;
  }

  std::vector<int> changed;
  std::vector<std::pair<int, double>>& reported = requests.reported;
  std::vector<MidiMessage>& sentMidi = requests.sentMidi;
};

}  // namespace tarvel::test
