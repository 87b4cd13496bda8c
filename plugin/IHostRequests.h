#pragma once
// What a plug-in asks of its host, whatever the format: the one interface
// through which IPlugBase (and the effect on it) reaches the host. Each format
// adapter implements it and hands itself to the effect it builds; a request
// that the format has no counterpart for keeps the default here, which
// answers as a host without it (nothing sent, 0 for every query).
//
// Threads: the gestures and reports come from the editor (GUI thread; the
// report under the instance lock), the time queries and MIDI from the audio
// thread under the lock, the rest from the thread that changed what they
// report, under the lock. None may allocate, and none may call back into the
// plug-in's locked operations from another thread.

namespace tarvel {

struct MidiMessage;

class IHostRequests {
 public:
  // The editor begins, makes and ends a change of a parameter (normalised).
  virtual void BeginParameterGesture(int /*index*/) {}
  virtual void ReportParameterToHost(int /*index*/, double /*normalized*/) {}
  virtual void EndParameterGesture(int /*index*/) {}
  // Names, values or the preset list changed: the host may redraw its view.
  virtual void RequestHostDisplayUpdate() {}

  // Transport, from the host's time information; 0 where it gives none.
  virtual int HostSamplePosition() { return 0; }
  virtual double HostTempo() { return 0.0; }
  virtual void HostTimeSignature(int& numerator, int& denominator) { numerator = denominator = 0; }
  // The host's product, as an identifier (vst/HostIdentity.h); 0: unknown.
  virtual int HostId() { return 0; }

  // The latency in samples is now `samples` (reported by the effect while it
  // is built and whenever a rate change re-designs it).
  virtual void LatencyChanged(int /*samples*/) {}
  // The editor's size was set; with an editor attached, its size.
  virtual void EditorResized(int /*width*/, int /*height*/) {}
  // One MIDI message to the host; true when the host took it.
  virtual bool SendMidi(const MidiMessage& /*message*/) { return false; }

 protected:
  ~IHostRequests() = default;
};

}  // namespace tarvel
