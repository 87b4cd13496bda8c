// The edit-controller half of IPlugVST3: the parameters as the host lists,
// shows, types and sets them, the component handler the editor's changes go
// to, and the editor's view. Main thread; every call that reads the effect
// takes the instance lock.

#include <algorithm>
#include <cmath>
#include <cstring>

#include "plugin/Utf16.h"
#include "vst3/IPlugVST3.h"
#include "vst3/Vst3View.h"

namespace tarvel::vst3 {

namespace {

constexpr std::size_t kTextSize = 32;  // display texts, terminator included

}  // namespace

// ---- IEditController ----

tresult IPlugVST3::setComponentState(IBStream* state) { return setState(state); }

int32 IPlugVST3::getParameterCount() { return plug->ParameterCount() + (HasBypass() ? 1 : 0); }

tresult IPlugVST3::getParameterInfo(int32 paramIndex, ParameterInfo& info) {
  LockGuard guard(plug->InstanceLock());
  if (paramIndex < 0 || paramIndex >= getParameterCount()) return kInvalidArgument;
  info = {};
  info.id = static_cast<ParamID>(paramIndex);
  if (paramIndex == plug->ParameterCount()) {
    info.id = kBypassId;
    CopyToUtf16(info.title, 128, plug->BypassName());
    CopyToUtf16(info.shortTitle, 128, plug->BypassName());
    info.stepCount = 1;
    info.flags = kCanAutomate | kIsBypass;
    return kResultOk;
  }
  const Parameter* parameter = plug->GetParameter(paramIndex);
  CopyToUtf16(info.title, 128, parameter->Name());
  CopyToUtf16(info.shortTitle, 128, parameter->Name());
  CopyToUtf16(info.units, 128, parameter->Label());
  info.defaultNormalizedValue = defaults[static_cast<std::size_t>(paramIndex)];
  info.flags = kCanAutomate;
  return kResultOk;
}

tresult IPlugVST3::getParamStringByValue(ParamID id, ParamValue valueNormalized, String128 string) {
  if (!string || std::isnan(valueNormalized)) return kInvalidArgument;
  valueNormalized = std::clamp(valueNormalized, 0.0, 1.0);
  if (IsBypass(id)) {
    CopyToUtf16(string, 128, valueNormalized >= 0.5 ? "On" : "Off");
    return kResultOk;
  }
  LockGuard guard(plug->InstanceLock());
  const Parameter* parameter = plug->GetParameter(static_cast<int>(std::min<ParamID>(id, 0x7FFFFFFF)));
  if (!parameter) return kInvalidArgument;
  char text[kTextSize] = {};
  parameter->FormatForDisplay(valueNormalized, true, text, sizeof text);
  CopyToUtf16(string, 128, text);
  return kResultOk;
}

// Typed entry as the VST 2.4 module takes it: the number the text starts
// with, limited to the range. Text that starts with no number is refused.
tresult IPlugVST3::getParamValueByString(ParamID id, TChar* string, ParamValue& valueNormalized) {
  char text[128];
  if (!string || !Utf16ToAscii(string, text, sizeof text)) return kResultFalse;
  if (IsBypass(id)) {
    const bool on = std::strcmp(text, "On") == 0 || std::strcmp(text, "1") == 0;
    const bool off = std::strcmp(text, "Off") == 0 || std::strcmp(text, "0") == 0;
    if (!on && !off) return kResultFalse;
    valueNormalized = on ? 1.0 : 0.0;
    return kResultOk;
  }
  LockGuard guard(plug->InstanceLock());
  const Parameter* parameter = plug->GetParameter(static_cast<int>(std::min<ParamID>(id, 0x7FFFFFFF)));
  if (!parameter) return kInvalidArgument;
  double v = 0.0;
  if (!parameter->ValueForTypedText(text, Parameter::TypedText::kStrict, v)) return kResultFalse;
  valueNormalized = parameter->NormalizeValue(v);
  return kResultOk;
}

ParamValue IPlugVST3::normalizedParamToPlain(ParamID id, ParamValue valueNormalized) {
  if (IsBypass(id) || std::isnan(valueNormalized)) return valueNormalized;
  LockGuard guard(plug->InstanceLock());
  const Parameter* parameter = plug->GetParameter(static_cast<int>(std::min<ParamID>(id, 0x7FFFFFFF)));
  return parameter ? parameter->RealFromNormalized(valueNormalized) : valueNormalized;
}

ParamValue IPlugVST3::plainParamToNormalized(ParamID id, ParamValue plainValue) {
  if (IsBypass(id) || std::isnan(plainValue)) return IsBypass(id) ? std::clamp(plainValue, 0.0, 1.0) : 0.0;
  LockGuard guard(plug->InstanceLock());
  const Parameter* parameter = plug->GetParameter(static_cast<int>(std::min<ParamID>(id, 0x7FFFFFFF)));
  return parameter ? parameter->NormalizeValue(plainValue) : 0.0;
}

ParamValue IPlugVST3::getParamNormalized(ParamID id) {
  LockGuard guard(plug->InstanceLock());
  if (IsBypass(id)) return Bypassed() ? 1.0 : 0.0;
  const Parameter* parameter = plug->GetParameter(static_cast<int>(std::min<ParamID>(id, 0x7FFFFFFF)));
  return parameter ? parameter->NormalizedValue() : 0.0;
}

tresult IPlugVST3::setParamNormalized(ParamID id, ParamValue value) {
  LockGuard guard(plug->InstanceLock());
  if (std::isnan(value) || (!IsBypass(id) && !plug->GetParameter(static_cast<int>(std::min<ParamID>(id, 0x7FFFFFFF)))))
    return kInvalidArgument;
  SetNormalized(id, value);
  if (!IsBypass(id) && plug->Editor())
    plug->Editor()->PushParameterToControls(static_cast<int>(id), std::clamp(value, 0.0, 1.0), true);
  return kResultOk;
}

tresult IPlugVST3::setComponentHandler(IComponentHandler* newHandler) {
  if (newHandler == handler) return kResultOk;
  if (newHandler) newHandler->addRef();
  if (handler) handler->release();
  handler = newHandler;
  return kResultOk;
}

IPlugView* IPlugVST3::createView(FIDString name) {
  if (hasView || !name || std::strcmp(name, kEditorViewName) != 0 || !plug->Editor()) return nullptr;
  hasView = true;
  return new Vst3View(*this);
}

// ---- The editor's changes ----

void IPlugVST3::BeginParameterGesture(int index) {
  if (handler) handler->beginEdit(static_cast<ParamID>(index));
}

void IPlugVST3::ReportParameterToHost(int index, double normalized) {
  if (handler) handler->performEdit(static_cast<ParamID>(index), normalized);
}

void IPlugVST3::EndParameterGesture(int index) {
  if (handler) handler->endEdit(static_cast<ParamID>(index));
}

}  // namespace tarvel::vst3
