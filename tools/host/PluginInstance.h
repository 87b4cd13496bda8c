#pragma once
// One plug-in instance driven the way a host drives it: created through the
// library's entry, opened, configured and processed through the dispatcher
// and the callbacks of its AEffect record, closed when the wrapper goes.
//
// The host side answers the plug-in's requests from a HostConfig and records
// them in a HostLog: time info, product text and vendor version, the events
// and automation the plug-in sends.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tools/host/PluginLibrary.h"
#include "vst/VstAbi.h"

namespace tarvel {

struct HostConfig {
  std::string productString = "Tarvel Render";  // audioMasterGetProductString; empty leaves the buffer untouched
  std::string vendorString = "Tarvel";
  VstInt32 vendorVersion = 10000;  // decimal coding, major * 10000 + minor * 100 + patch
  bool answerTimeInfo = true;      // false: audioMasterGetTime answers null
  double tempo = 120.0;
  VstInt32 timeSigNumerator = 4;
  VstInt32 timeSigDenominator = 4;
  bool acceptEvents = true;  // the answer to audioMasterProcessEvents: 1 or 0
};

// A request the plug-in made through the host callback.
struct HostRequest {
  VstInt32 opcode;
  VstInt32 index;
  VstIntPtr value;
  float opt;
};

// What the host saw, in order of arrival. Events are copied: the plug-in's
// records live only during its call.
struct HostLog {
  std::vector<HostRequest> requests;
  std::vector<VstMidiEvent> midiEvents;
  std::vector<VstEvent> otherEvents;

  int Count(VstInt32 opcode) const;
};

enum class ProcessMode { kDouble, kFloat, kAccumulate };

class PluginInstance {
 public:
  // Calls the library's entry and checks the record it returns; with open,
  // also sends effOpen. On failure returns null and sets error.
  static std::unique_ptr<PluginInstance> Create(std::shared_ptr<const PluginLibrary> library, HostConfig config,
                                                std::string& error, bool open = true);
  ~PluginInstance();  // effClose
  PluginInstance(const PluginInstance&) = delete;
  PluginInstance& operator=(const PluginInstance&) = delete;

  AEffect& Effect() { return *effect_; }
  const AEffect& Effect() const { return *effect_; }
  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f);
  // A text answer: the plug-in writes into a zeroed 256-byte buffer.
  std::string DispatchText(VstInt32 opcode, VstInt32 index = 0);

  // effSetSampleRate, effSetBlockSize (which also sizes the conversion
  // buffers), effMainsChanged 1 / 0.
  void SetSampleRate(double rate);
  void SetBlockSize(VstInt32 frames);
  void Resume();
  void Suspend();
  // effSetSpeakerArrangement with mono or stereo arrangements.
  VstIntPtr SetSpeakerArrangement(VstInt32 inputChannels, VstInt32 outputChannels);
  VstInt32 Latency() const { return effect_->initialDelay; }
  double SampleRate() const { return sampleRate_; }
  VstInt32 BlockSize() const { return blockSize_; }

  VstInt32 ParameterCount() const { return effect_->numParams; }
  std::string ParameterName(VstInt32 index) { return DispatchText(effGetParamName, index); }
  std::string ParameterDisplay(VstInt32 index) { return DispatchText(effGetParamDisplay, index); }
  std::string ParameterLabel(VstInt32 index) { return DispatchText(effGetParamLabel, index); }
  float GetParameter(VstInt32 index);
  void SetParameter(VstInt32 index, float normalized);
  // effString2Parameter; true when the plug-in took the text.
  bool SetParameterText(VstInt32 index, const std::string& text);

  // effGetChunk / effSetChunk; program chunks with isProgram, else banks.
  std::vector<std::uint8_t> GetChunk(bool isProgram);
  bool SetChunk(const std::vector<std::uint8_t>& chunk, bool isProgram);

  // Whether the record offers the callback of mode (and its flag).
  bool Supports(ProcessMode mode) const;
  // One call of the chosen callback with frames <= BlockSize(); an
  // unsupported mode gives silence. inputs holds
  // numInputs channels, outputs numOutputs; in kAccumulate the plug-in adds
  // to what outputs hold. The caller's input is never handed to the plug-in.
  void ProcessCall(ProcessMode mode, const double* const* inputs, double* const* outputs, VstInt32 frames);
  // Any number of frames, in calls of at most BlockSize() frames.
  void Process(ProcessMode mode, const double* const* inputs, double* const* outputs, std::int64_t frames);
  // processReplacing on the caller's own float channels, as a DAW hands its
  // buffers: any number of frames in calls of at most BlockSize() frames,
  // nothing converted or copied. The plug-in may write its inputs, as the
  // interface allows. Without processReplacing the outputs get silence.
  void ProcessFloat(float* const* inputs, float* const* outputs, std::int64_t frames);

  // The host's view: what the plug-in asked for so far.
  HostLog Log() const;
  void ClearLog();
  std::int64_t SamplePosition() const;

  // Used by the host callback.
  VstIntPtr Answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);

 private:
  PluginInstance(std::shared_ptr<const PluginLibrary> library, HostConfig config);
  void SizeBuffers();
  void SizeBuffersIfChannelsChanged();

  std::shared_ptr<const PluginLibrary> library_;  // outlives the instance
  const HostConfig config_;
  AEffect* effect_ = nullptr;
  double sampleRate_ = 44100.0;
  VstInt32 blockSize_ = 1024;

  mutable std::mutex logMutex_;  // the plug-in may call back from any thread
  HostLog log_;
  std::int64_t samplePosition_ = 0;
  VstTimeInfo timeInfo_{};

  // Per-channel conversion buffers of blockSize_ frames.
  std::vector<std::vector<float>> floatIn_, floatOut_;
  std::vector<std::vector<double>> doubleIn_;
  std::vector<float*> floatInPtr_, floatOutPtr_;
  std::vector<double*> doubleInPtr_, doubleOutPtr_;
  // The caller's channels at the current call of ProcessFloat.
  std::vector<float*> callerInPtr_, callerOutPtr_;
};

}  // namespace tarvel
