// Presets and the state chunks the host stores in its projects.
//
// Program state: every parameter's real value as a double, in index order.
// Bank state, per preset: int32 name length L, L name bytes, one byte
// "initialised", then (if initialised) the preset's program state.
// effGetChunk puts an 8-byte header in front: 0x70666674, version 0x00010000.
//
// Loading checks the whole chunk before changing anything, so a truncated or
// malformed chunk is refused with every parameter and preset as it was.

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "plugin/IPlugBase.h"

namespace tarvel {

namespace {

constexpr char kUserPresetName[] = "user preset";

}  // namespace

bool IPlugBase::SerializeParams(StateChunk& chunk) {
  LockGuard guard(instanceLock);
  for (int i = 0; i < parameters.Count(); ++i)
    if (!chunk.PutDouble(parameters.Get(i)->Value())) return false;
  return true;
}

int IPlugBase::UnserializeParams(const StateChunk& chunk, int start) {
  LockGuard guard(instanceLock);
  const int count = parameters.Count();
  if (!chunk.Has(start, static_cast<std::int64_t>(count) * static_cast<std::int64_t>(sizeof(double)))) return -1;
  int pos = start;
  for (int i = 0; i < count; ++i) {
    Parameter* parameter = parameters.Get(i);
    Trace("IPlugBase::UnserializeParams", __LINE__, "%d %s", i, parameter->Name());
    double v = 0.0;
    pos = chunk.GetDouble(pos, v);
    parameter->SetValueClamped(v);
  }
  for (int i = 0; i < count; ++i) ParameterChanged(i);
  return pos;
}

bool IPlugBase::SaveBank(StateChunk& chunk) {
  for (int i = 0; i < presets.Count(); ++i) {
    const Preset* preset = presets.Get(i);
    const auto length = static_cast<std::int32_t>(std::strlen(preset->name));
    const std::uint8_t initialised = preset->initialised ? 1 : 0;
    if (!chunk.PutInt32(length) || !chunk.PutBytes(preset->name, length) || !chunk.PutBytes(&initialised, 1))
      return false;
    if (initialised && preset->state.Size() && !chunk.PutBytes(preset->state.Data(), preset->state.Size()))
      return false;
  }
  return true;
}

// The position after the last preset record of a bank starting at start, or
// -1 when a record does not lie wholly inside the chunk or has a negative
// name length. 64-bit positions: no length can wrap.
int IPlugBase::BankEnd(const StateChunk& chunk, int start) const {
  if (start < 0) return -1;
  const std::int64_t size = chunk.Size();
  const std::int64_t stateSize = static_cast<std::int64_t>(parameters.Count()) * 8;
  std::int64_t pos = start;
  for (int i = 0; i < presets.Count(); ++i) {
    std::int32_t length = 0;
    if (chunk.GetInt32(static_cast<std::int32_t>(pos), length) < 0) return -1;
    pos += 4;
    if (length < 0 || length > size - pos) return -1;
    pos += length;
    if (pos >= size) return -1;
    const bool initialised = chunk.Data()[pos] != 0;
    pos += 1;
    if (initialised) {
      if (stateSize > size - pos) return -1;
      pos += stateSize;
    }
  }
  return static_cast<int>(pos);
}

int IPlugBase::LoadBank(const StateChunk& chunk, int start) {
  LockGuard guard(instanceLock);
  if (BankEnd(chunk, start) < 0) return -1;
  int pos = start;
  for (int i = 0; i < presets.Count() && pos >= 0; ++i) {
    Preset* preset = presets.Get(i);
    std::int32_t length = 0;
    pos = chunk.GetInt32(pos, length);
    // The name ends at its first zero byte or after length bytes; cut to fit.
    const auto* name = reinterpret_cast<const char*>(chunk.Data() + pos);
    const void* zero = std::memchr(name, 0, static_cast<std::size_t>(length));
    const auto nameLength = zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - name)
                                 : static_cast<std::size_t>(length);
    const std::size_t kept = std::min(nameLength, sizeof preset->name - 1);
    std::memcpy(preset->name, name, kept);
    preset->name[kept] = '\0';
    pos += length;
    preset->initialised = chunk.Data()[pos] != 0;
    pos += 1;
    if (preset->initialised) {
      pos = UnserializeParams(chunk, pos);
      if (pos > 0) {
        // The preset keeps the values as limited to their ranges.
        preset->state.Clear();
        SerializeParams(preset->state);
      }
    }
  }
  ApplyPreset(currentPreset);
  return pos;
}

void IPlugBase::AddDefaultPreset() {
  if (presets.Count()) return;
  auto added = std::make_unique<Preset>();
  CopyText(added->name, sizeof added->name, "- 1 -");
  if (!presets.Append(std::move(added))) return;
  for (int i = 0; i < presets.Count(); ++i) {
    Preset* preset = presets.Get(i);
    if (preset->initialised) continue;
    preset->initialised = true;
    CopyText(preset->name, sizeof preset->name, "Default");
    SerializeParams(preset->state);
    break;
  }
}

bool IPlugBase::ApplyPreset(int index) {
  Preset* preset = presets.Get(index);
  if (!preset) return false;
  bool ok;
  if (!preset->initialised) {
    // A never-used preset takes the current settings.
    preset->initialised = true;
    MakeUserPresetName(preset->name, sizeof preset->name);
    preset->state.Clear();
    ok = SerializeParams(preset->state);
  } else {
    ok = UnserializeParams(preset->state, 0) > 0;
  }
  if (ok) {
    currentPreset = index;
    PushParametersToEditor();
  }
  return ok;
}

void IPlugBase::CaptureCurrentPreset(const char* name) {
  Preset* preset = presets.Get(currentPreset);
  if (!preset) return;
  preset->state.Clear();
  SerializeParams(preset->state);
  if (name && *name) CopyText(preset->name, sizeof preset->name, name);
}

const char* IPlugBase::PresetName(int index) const {
  const Preset* preset = presets.Get(index);
  return preset ? preset->name : "";
}

void IPlugBase::MakeUserPresetName(char* out, std::size_t outSize) const {
  int count = 0;
  for (int i = 0; i < presets.Count(); ++i)
    if (std::strstr(presets.Get(i)->name, kUserPresetName)) ++count;
  std::snprintf(out, outSize, "%s %d", kUserPresetName, count + 1);
}

int IPlugBase::GetChunk(StateChunk& chunk, bool isBank) {
  LockGuard guard(instanceLock);
  chunk.Clear();
  bool ok = chunk.PutInt32(kChunkMagic) && chunk.PutInt32(kChunkVersion);
  if (ok && isBank) {
    CaptureCurrentPreset();
    ok = SaveBank(chunk);
  } else if (ok) {
    ok = SaveState(chunk);
  }
  return ok ? chunk.Size() : 0;
}

int IPlugBase::SetChunk(StateChunk& chunk, bool isBank, const void* data, int size) {
  LockGuard guard(instanceLock);
  if (!data || size < 0 || !chunk.Assign(data, size)) return 0;

  // A chunk without the header is program state from its first byte.
  std::int32_t version = 0;
  int start = 0;
  std::int32_t magic = 0;
  if (chunk.GetInt32(0, magic) > 0 && magic == kChunkMagic) start = chunk.GetInt32(4, version);

  int result;
  if (isBank && version >= kChunkVersion) {
    result = LoadBank(chunk, start);
  } else {
    result = LoadState(chunk, start);
    if (result >= 0) CaptureCurrentPreset();
  }
  if (result < 0) return 0;
  PushParametersToEditor();
  return 1;
}

}  // namespace tarvel
