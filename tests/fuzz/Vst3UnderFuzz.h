#pragma once
// One instance of the VST3 edition made through its factory, in process and
// shared by every input of a fuzzing run, with the check every input must
// leave true: each parameter finite and in [0, 1] as the controller reads it.

#include <cmath>
#include <cstdlib>

#include "tools/host3/Vst3Instance.h"
#include "vst3/Vst3Factory.h"

namespace tarvel::vst3::fuzz {

inline IComponent& Component() {
  static IComponent* const component = [] {
    void* obj = nullptr;
    if (ModuleFactory()->createInstance(kTarvelClassId.data(), kIComponentIid.data(), &obj) != kResultOk) std::abort();
    auto* made = static_cast<IComponent*>(obj);
    if (made->initialize(nullptr) != kResultOk) std::abort();
    return made;
  }();
  return *component;
}

inline IEditController& Controller() {
  static IEditController* const controller = [] {
    void* obj = nullptr;
    if (Component().queryInterface(kIEditControllerIid.data(), &obj) != kResultOk) std::abort();
    return static_cast<IEditController*>(obj);
  }();
  return *controller;
}

inline void CheckParameters() {
  for (int32 i = 0; i < Controller().getParameterCount(); ++i) {
    ParameterInfo info{};
    if (Controller().getParameterInfo(i, info) != kResultOk) std::abort();
    const ParamValue value = Controller().getParamNormalized(info.id);
    if (!(value >= 0.0 && value <= 1.0)) std::abort();
  }
}

}  // namespace tarvel::vst3::fuzz
