#include "plugin/IPlugBase.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "plugin/FatalAssert.h"

namespace tarvel {

void Trace(const char*, int, const char*, ...) {}

namespace {

// Local time as "YYYYMMDD HH:MM " plus the capitals of the time-zone name.
std::string TimeStamp() {
  const std::time_t now = std::time(nullptr);
  char text[64] = {};
  char zone[64] = {};
  if (const std::tm* local = std::localtime(&now)) {
    std::strftime(text, sizeof text, "%Y%m%d %H:%M ", local);
    std::strftime(zone, sizeof zone, "%Z", local);
  }
  std::string stamp = text;
  for (const char* c = zone; *c; ++c)
    if (*c >= 'A' && *c <= 'Z') stamp += *c;
  return stamp;
}

// Reads a decimal int as "%d" would (leading white space, optional sign),
// refusing values outside the int range. Advances text past the digits.
bool ReadInt(const char*& text, int& value) {
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(text, &end, 10);
  if (end == text || errno == ERANGE || v < INT32_MIN || v > INT32_MAX) return false;
  value = static_cast<int>(v);
  text = end;
  return true;
}

// Channels [first, first + count) clipped to [0, n), without overflow.
struct ChannelRange {
  int begin;
  int end;
};
ChannelRange Clip(int first, int count, int n) {
  const long long begin = std::max<long long>(first, 0);
  const long long end = std::min<long long>(static_cast<long long>(first) + count, n);
  return {static_cast<int>(begin), static_cast<int>(std::max(begin, end))};
}

double* Samples(GrowBuffer& scratch) { return static_cast<double*>(scratch.Data()); }

// Asks for the cache lines of samples [0, count) ahead of writing them.
void PrefetchForWrite(const float* samples, int count) {
  constexpr int kLineFloats = 64 / sizeof(float);
  for (int s = 0; s < count; s += kLineFloats) __builtin_prefetch(samples + s, 1);
}

}  // namespace

IPlugBase::IPlugBase(IHostRequests* host, int parameterCount, const char* channelIOText, int presetCount, const char* newEffectName,
                     const char* newProductName, const char* newVendorName, int newVendorVersion,
                     int newUniqueId, int newVendorId, int newLatency, bool newUsesMidi, bool newUsesChunks,
                     bool newIsInstrument)
    : hostRequests(host),
      uniqueId(newUniqueId),
      vendorId(newVendorId),
      vendorVersion(newVendorVersion),
      usesMidi(newUsesMidi),
      usesChunks(newUsesChunks),
      isInstrument(newIsInstrument),
      latency(newLatency) {
  Trace("IPlugBase::IPlugBase", __LINE__, "%s:%s", newEffectName ? newEffectName : "", TimeStamp().c_str());

  for (int i = 0; i < parameterCount; ++i) parameters.Append(std::make_unique<Parameter>());
  for (int i = 0; i < presetCount; ++i) {
    auto preset = std::make_unique<Preset>();
    std::snprintf(preset->name, sizeof preset->name, "- %d -", i + 1);
    presets.Append(std::move(preset));
  }

  CopyText(effectName, sizeof effectName, newEffectName);
  CopyText(productName, sizeof productName, newProductName);
  CopyText(vendorName, sizeof vendorName, newVendorName);

  // "%d-%d" configurations; each next one starts just past the next space.
  int maxInputs = 0;
  int maxOutputs = 0;
  for (const char* config = channelIOText; config;) {
    const char* p = config;
    ChannelPair pair{};
    const bool valid = ReadInt(p, pair.inputs) && *p++ == '-' && ReadInt(p, pair.outputs);
    if (!valid) FatalAssert("channelIOStrValid", "IPlugBase", 74);
    channelPairs.Append(std::make_unique<ChannelPair>(pair));
    maxInputs = std::max(maxInputs, pair.inputs);
    maxOutputs = std::max(maxOutputs, pair.outputs);
    config = std::strchr(config, ' ');
    if (config) ++config;
  }

  inputSlots.assign(static_cast<std::size_t>(maxInputs), nullptr);
  outputSlots.assign(static_cast<std::size_t>(maxOutputs), nullptr);
  for (int j = 0; j < maxInputs; ++j) {
    auto channel = std::make_unique<InputChannel>();
    channel->slot = j;
    inputChannels.Append(std::move(channel));
  }
  for (int j = 0; j < maxOutputs; ++j) {
    auto channel = std::make_unique<OutputChannel>();
    channel->slot = j;
    outputChannels.Append(std::move(channel));
  }
}

IPlugBase::~IPlugBase() {
  editor.reset();  // it may refer to the parameters
  parameters.Clear();
  presets.Clear();
  inputChannels.Clear();
  outputChannels.Clear();
  channelPairs.Clear();
}

void IPlugBase::ResetProcessing() { LockGuard guard(instanceLock); }

void IPlugBase::ParameterChanged(int) { LockGuard guard(instanceLock); }

void IPlugBase::ProcessBlock(double** inputs, double** outputs, int frames) {
  if (!outputs || frames <= 0) return;
  const int nIn = inputs ? static_cast<int>(inputSlots.size()) : 0;
  const int nOut = static_cast<int>(outputSlots.size());
  const auto bytes = static_cast<std::size_t>(frames) * sizeof(double);
  for (int i = 0; i < nOut; ++i) {
    if (!outputs[i]) continue;
    if (i < nIn && inputs[i])
      std::memmove(outputs[i], inputs[i], bytes);  // hosts may process in place
    else
      std::memset(outputs[i], 0, bytes);
  }
}

void IPlugBase::EditorOpened() {}
void IPlugBase::EditorClosed() {}

void IPlugBase::ActivationChanged(bool) { LockGuard guard(instanceLock); }

void IPlugBase::StartAfresh() {}

int IPlugBase::TailSamples() const { return latency; }

int IPlugBase::CrossfadeSamples() const { return 1; }

bool IPlugBase::SupportsSampleRate(double rate) const { return rate > 0.0 && std::isfinite(rate); }

void IPlugBase::MidiReceived(const MidiMessage& message) { SendMidi(message); }

bool IPlugBase::MidiKeyNameFor(int, char* out, std::size_t outSize) {
  CopyText(out, outSize, "");
  return false;
}

bool IPlugBase::SaveState(StateChunk& chunk) { return SerializeParams(chunk); }

int IPlugBase::LoadState(const StateChunk& chunk, int start) { return UnserializeParams(chunk, start); }

void IPlugBase::AttachEditor(std::unique_ptr<IEditor> newEditor) {
  if (!newEditor) return;
  LockGuard guard(instanceLock);
  for (int i = 0; i < parameters.Count(); ++i)
    newEditor->PushParameterToControls(i, parameters.Get(i)->NormalizedValue(), true);
  newEditor->CreateDrawBitmaps();
  editor = std::move(newEditor);
  EditorResized(editor->Width(), editor->Height());
}

bool IPlugBase::SetBlockSize(int frames) {
  if (frames == blockSize) return true;
  if (frames < 1 || frames > INT32_MAX / static_cast<int>(sizeof(double))) return false;
  const auto bytes = static_cast<std::int32_t>(frames * sizeof(double));
  const auto oldBytes = static_cast<std::int32_t>(blockSize * sizeof(double));

  auto resizeAll = [this](std::int32_t size) {
    bool ok = true;
    for (int i = 0; i < inputChannels.Count(); ++i) {
      GrowBuffer& scratch = inputChannels.Get(i)->scratch;
      scratch.Resize(size);
      ok = ok && scratch.Size() == size;
    }
    for (int i = 0; i < outputChannels.Count(); ++i) {
      GrowBuffer& scratch = outputChannels.Get(i)->scratch;
      scratch.Resize(size);
      ok = ok && scratch.Size() == size;
    }
    return ok;
  };
  if (!resizeAll(bytes)) {
    resizeAll(oldBytes);  // only lowers sizes within existing blocks: cannot fail
    return false;
  }

  for (int i = 0; i < inputChannels.Count(); ++i) {
    InputChannel* channel = inputChannels.Get(i);
    std::memset(channel->scratch.Data(), 0, static_cast<std::size_t>(bytes));
    if (!channel->connected) inputSlots[static_cast<std::size_t>(channel->slot)] = Samples(channel->scratch);
  }
  for (int i = 0; i < outputChannels.Count(); ++i) {
    OutputChannel* channel = outputChannels.Get(i);
    std::memset(channel->scratch.Data(), 0, static_cast<std::size_t>(bytes));
    if (!channel->connected) outputSlots[static_cast<std::size_t>(channel->slot)] = Samples(channel->scratch);
  }
  blockSize = frames;
  return true;
}

void IPlugBase::SetLatency(int samples) {
  latency = samples;
  if (hostRequests) hostRequests->LatencyChanged(samples);
}

void IPlugBase::BeginParameterGesture(int index) {
  if (hostRequests) hostRequests->BeginParameterGesture(index);
}

void IPlugBase::ReportParameterToHost(int index, double normalized) {
  if (hostRequests) hostRequests->ReportParameterToHost(index, normalized);
}

void IPlugBase::EndParameterGesture(int index) {
  if (hostRequests) hostRequests->EndParameterGesture(index);
}

void IPlugBase::RequestHostDisplayUpdate() {
  if (hostRequests) hostRequests->RequestHostDisplayUpdate();
}

int IPlugBase::HostSamplePosition() { return hostRequests ? hostRequests->HostSamplePosition() : 0; }

double IPlugBase::HostTempo() { return hostRequests ? hostRequests->HostTempo() : 0.0; }

void IPlugBase::HostTimeSignature(int& numerator, int& denominator) {
  numerator = denominator = 0;
  if (hostRequests) hostRequests->HostTimeSignature(numerator, denominator);
}

int IPlugBase::HostId() { return hostRequests ? hostRequests->HostId() : 0; }

void IPlugBase::EditorResized(int width, int height) {
  if (hostRequests) hostRequests->EditorResized(width, height);
}

bool IPlugBase::SendMidi(const MidiMessage& message) { return hostRequests && hostRequests->SendMidi(message); }

bool IPlugBase::SendMidiList(const ValueList<MidiMessage>& messages) {
  bool sent = true;
  for (int i = 0; i < messages.Count(); ++i) sent = SendMidi(*messages.Get(i)) && sent;
  return sent;
}

bool IPlugBase::LegalIO(int inputs, int outputs) const {
  bool legal = false;
  for (int i = 0; i < channelPairs.Count() && !legal; ++i) {
    const ChannelPair* pair = channelPairs.Get(i);
    legal = (inputs < 0 || inputs == pair->inputs) && (outputs < 0 || outputs == pair->outputs);
  }
  Trace("IPlugBase::LegalIO", __LINE__, "%d:%d:%s", inputs, outputs, legal ? "legal" : "illegal");
  return legal;
}

void IPlugBase::SetParameterFromGUI(int index, double normalized) {
  Trace("IPlugBase::SetParameterFromGUI", __LINE__, "%d:%f", index, normalized);
  LockGuard guard(instanceLock);
  Parameter* parameter = parameters.Get(index);
  if (!parameter || !parameter->SetFromNormalized(normalized)) return;
  ReportParameterToHost(index, normalized);
  ParameterChanged(index);
}

int IPlugBase::EffectVersion(bool decimal) const {
  if (!decimal) return vendorVersion;
  const auto packed = static_cast<std::uint32_t>(vendorVersion);
  const auto major = static_cast<int>(packed >> 16);
  const auto minor = static_cast<int>((packed >> 8) & 0xFFu);
  const auto patch = static_cast<int>(packed & 0xFFu);
  return (major * 100 + minor) * 100 + patch;
}

void IPlugBase::SetInputConnections(int first, int count, bool connected) {
  const ChannelRange range = Clip(first, count, inputChannels.Count());
  for (int i = range.begin; i < range.end; ++i) {
    InputChannel* channel = inputChannels.Get(i);
    const bool was = channel->connected;
    channel->connected = connected;
    if (connected) continue;
    // The scratch may still hold the last host samples; an unconnected input reads silence.
    if (was && channel->scratch.Size())
      std::memset(channel->scratch.Data(), 0, static_cast<std::size_t>(channel->scratch.Size()));
    inputSlots[static_cast<std::size_t>(channel->slot)] = Samples(channel->scratch);
  }
}

void IPlugBase::SetOutputConnections(int first, int count, bool connected) {
  const ChannelRange range = Clip(first, count, outputChannels.Count());
  for (int i = range.begin; i < range.end; ++i) {
    OutputChannel* channel = outputChannels.Get(i);
    channel->connected = connected;
    if (!connected) outputSlots[static_cast<std::size_t>(channel->slot)] = Samples(channel->scratch);
  }
}

void IPlugBase::ConnectInputsFloat(int first, int count, float* const* buffers) {
  const ChannelRange range = Clip(first, count, inputChannels.Count());
  for (int i = range.begin, k = 0; i < range.end; ++i) {
    InputChannel* channel = inputChannels.Get(i);
    if (!channel->connected) continue;
    channel->floatSource = buffers ? buffers[k] : nullptr;
    channel->doubleSource = nullptr;
    ++k;
  }
}

void IPlugBase::ConnectInputsDouble(int first, int count, double* const* buffers) {
  const ChannelRange range = Clip(first, count, inputChannels.Count());
  for (int i = range.begin, k = 0; i < range.end; ++i) {
    InputChannel* channel = inputChannels.Get(i);
    if (!channel->connected) continue;
    channel->floatSource = nullptr;
    channel->doubleSource = buffers ? buffers[k] : nullptr;
    ++k;
  }
}

void IPlugBase::ConnectOutputsFloat(int first, int count, float* const* buffers) {
  const ChannelRange range = Clip(first, count, outputChannels.Count());
  for (int i = range.begin, k = 0; i < range.end; ++i) {
    OutputChannel* channel = outputChannels.Get(i);
    if (!channel->connected) continue;
    channel->floatDestination = buffers ? buffers[k] : nullptr;
    channel->doubleDestination = nullptr;
    ++k;
  }
}

void IPlugBase::ConnectOutputsDouble(int first, int count, double* const* buffers) {
  const ChannelRange range = Clip(first, count, outputChannels.Count());
  for (int i = range.begin, k = 0; i < range.end; ++i) {
    OutputChannel* channel = outputChannels.Get(i);
    if (!channel->connected) continue;
    channel->floatDestination = nullptr;
    channel->doubleDestination = buffers ? buffers[k] : nullptr;
    ++k;
  }
}

void IPlugBase::ProcessToFloat(int frames) { ProcessInPieces(frames, Delivery::kToFloat); }
void IPlugBase::ProcessAccumulateFloat(int frames) { ProcessInPieces(frames, Delivery::kAccumulateFloat); }
void IPlugBase::ProcessDouble(int frames) { ProcessInPieces(frames, Delivery::kDouble); }

void IPlugBase::ProcessInPieces(int frames, Delivery delivery) {
  frames = std::max(frames, 0);
  if (blockSize < 1) {
    // No scratch to process through: replacing calls deliver silence.
    for (int i = 0; i < outputChannels.Count() && delivery != Delivery::kAccumulateFloat; ++i) {
      const OutputChannel* channel = outputChannels.Get(i);
      if (channel->floatDestination) std::fill_n(channel->floatDestination, frames, 0.0f);
      if (channel->doubleDestination) std::fill_n(channel->doubleDestination, frames, 0.0);
    }
    EndBinding();
    return;
  }

  double** inputs = inputSlots.empty() ? nullptr : inputSlots.data();
  double** outputs = outputSlots.empty() ? nullptr : outputSlots.data();
  int done = 0;
  do {
    const int n = std::min(blockSize, frames - done);
    for (int i = 0; i < inputChannels.Count(); ++i) {
      InputChannel* channel = inputChannels.Get(i);
      double* scratch = Samples(channel->scratch);
      double*& slot = inputSlots[static_cast<std::size_t>(channel->slot)];
      if (channel->connected && channel->doubleSource) {
        slot = channel->doubleSource + done;
        continue;
      }
      if (channel->connected) {
        if (channel->floatSource)
          std::copy_n(channel->floatSource + done, n, scratch);
        else
          std::fill_n(scratch, n, 0.0);
      }
      slot = scratch;
    }
    for (int i = 0; i < outputChannels.Count(); ++i) {
      OutputChannel* channel = outputChannels.Get(i);
      double*& slot = outputSlots[static_cast<std::size_t>(channel->slot)];
      slot = channel->connected && channel->doubleDestination ? channel->doubleDestination + done
                                                              : Samples(channel->scratch);
      // Host float buffers are usually cold: fetch them while the block is processed.
      if (channel->connected && channel->floatDestination) PrefetchForWrite(channel->floatDestination + done, n);
    }

    ProcessBlock(inputs, outputs, n);

    for (int i = 0; i < outputChannels.Count() && delivery != Delivery::kDouble; ++i) {
      const OutputChannel* channel = outputChannels.Get(i);
      if (!channel->connected || !channel->floatDestination) continue;
      const double* source = outputSlots[static_cast<std::size_t>(channel->slot)];
      float* destination = channel->floatDestination + done;
      if (delivery == Delivery::kToFloat)
        for (int s = 0; s < n; ++s) destination[s] = static_cast<float>(source[s]);
      else
        for (int s = 0; s < n; ++s) destination[s] = static_cast<float>(source[s]) + destination[s];
    }
    done += n;
  } while (done < frames);
  EndBinding();
}

void IPlugBase::EndBinding() {
  for (int i = 0; i < inputChannels.Count(); ++i) {
    InputChannel* channel = inputChannels.Get(i);
    channel->floatSource = nullptr;
    channel->doubleSource = nullptr;
  }
  for (int i = 0; i < outputChannels.Count(); ++i) {
    OutputChannel* channel = outputChannels.Get(i);
    channel->floatDestination = nullptr;
    channel->doubleDestination = nullptr;
  }
}

void IPlugBase::PushParametersToEditor() {
  if (!editor) return;
  for (int i = 0; i < parameters.Count(); ++i) editor->PushParameterToControls(i, parameters.Get(i)->Value(), false);
}

}  // namespace tarvel
