#pragma once
// The plug-in core as the VST3 module's effect derives from it: IPlugBase
// with its requests to the host answered the VST3 way. The editor's
// parameter gestures and changes go to the instance's EffectHostLink (which
// passes them to the host's component handler); the rest a VST3 host does
// not take from a plug-in (time info by request, MIDI, display updates), so
// they answer as a host without them.
//
// Threads as in IPlugBase. The link is the instance that owns the effect and
// outlives it.

#include "plugin/IPlugBase.h"
#include "vst3/Vst3EffectLink.h"

namespace tarvel::vst3 {

class Vst3EffectBase : public IPlugBase {
 public:
  // The base, every channel connected, channels sized for 1024 frames (the
  // host's set-up sizes them again).
  Vst3EffectBase(EffectHostLink* link, int parameterCount, const char* channelIOText, int presetCount,
                 const char* effectName, const char* productName, const char* vendorName, int vendorVersion,
                 int uniqueId, int vendorId, int latency, bool usesMidi, bool usesChunks, bool isInstrument);

  // GUI thread; never allocate.
  void BeginParameterGesture(int index) override;
  void ReportParameterToHost(int index, double normalized) override;
  void EndParameterGesture(int index) override;
  void RequestHostDisplayUpdate() override {}
  int HostSamplePosition() override { return 0; }
  double HostTempo() override { return 0.0; }
  void HostTimeSignature(int& numerator, int& denominator) override { numerator = denominator = 0; }
  void EditorResized(int, int) override {}
  void HostSpecificSetup() override {}
  bool SendMidi(const MidiMessage&) override { return false; }
  bool SendMidiList(const ValueList<MidiMessage>&) override { return false; }

 private:
  EffectHostLink* link;
};

}  // namespace tarvel::vst3
