#include "vst3/Vst3Factory.h"

#include <cstring>
#include <string>

#include "effect/TarvelParameters.h"
#include "plugin/AdapterCore.h"
#include "plugin/CopyText.h"
#include "plugin/Utf16.h"
#include "vst3/IPlugVST3.h"

namespace tarvel::vst3 {

namespace {

constexpr const char* kVendor = kVendorName;
constexpr const char* kClassName = kEffectName;
constexpr const char* kSubCategories = TARVEL_VST3_SUBCATEGORIES;
constexpr const char* kInterfaceVersion = TARVEL_VST3_SDK_VERSION;

template <std::size_t N>
void CopyWide(char16 (&out)[N], const char* text) {
  CopyToUtf16(out, N, text);
}

// "major.minor.micro".
std::string VersionText() {
  return std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." + std::to_string(kVersionMicro);
}

class Factory final : public IPluginFactory3 {
 public:
  tresult queryInterface(const TUID iid, void** obj) override {
    if (!obj) return kInvalidArgument;
    *obj = nullptr;
    if (!SameUid(iid, kFUnknownIid) && !SameUid(iid, kIPluginFactoryIid) && !SameUid(iid, kIPluginFactory2Iid) &&
        !SameUid(iid, kIPluginFactory3Iid))
      return kNoInterface;
    *obj = static_cast<IPluginFactory3*>(this);
    return kResultOk;
  }
  uint32 addRef() override { return 1; }
  uint32 release() override { return 1; }

  tresult getFactoryInfo(PFactoryInfo* info) override {
    if (!info) return kInvalidArgument;
    *info = {};
    CopyText(info->vendor, sizeof info->vendor, kVendor);
    info->flags = kUnicode;
    return kResultOk;
  }

  int32 countClasses() override { return 1; }

  tresult getClassInfo(int32 index, PClassInfo* info) override {
    if (index != 0 || !info) return kInvalidArgument;
    *info = {};
    std::memcpy(info->cid, kTarvelClassId.data(), sizeof info->cid);
    info->cardinality = kManyInstances;
    CopyText(info->category, sizeof info->category, kVstAudioEffectClass);
    CopyText(info->name, sizeof info->name, kClassName);
    return kResultOk;
  }

  tresult getClassInfo2(int32 index, PClassInfo2* info) override {
    if (index != 0 || !info) return kInvalidArgument;
    *info = {};
    std::memcpy(info->cid, kTarvelClassId.data(), sizeof info->cid);
    info->cardinality = kManyInstances;
    CopyText(info->category, sizeof info->category, kVstAudioEffectClass);
    CopyText(info->name, sizeof info->name, kClassName);
    CopyText(info->subCategories, sizeof info->subCategories, kSubCategories);
    CopyText(info->vendor, sizeof info->vendor, kVendor);
    CopyText(info->version, sizeof info->version, VersionText().c_str());
    CopyText(info->sdkVersion, sizeof info->sdkVersion, kInterfaceVersion);
    return kResultOk;
  }

  tresult getClassInfoUnicode(int32 index, PClassInfoW* info) override {
    if (index != 0 || !info) return kInvalidArgument;
    *info = {};
    std::memcpy(info->cid, kTarvelClassId.data(), sizeof info->cid);
    info->cardinality = kManyInstances;
    CopyText(info->category, sizeof info->category, kVstAudioEffectClass);
    CopyWide(info->name, kClassName);
    CopyText(info->subCategories, sizeof info->subCategories, kSubCategories);
    CopyWide(info->vendor, kVendor);
    CopyWide(info->version, VersionText().c_str());
    CopyWide(info->sdkVersion, kInterfaceVersion);
    return kResultOk;
  }

  tresult setHostContext(FUnknown*) override { return kResultOk; }

  tresult createInstance(FIDString cid, FIDString iid, void** obj) override {
    if (!obj) return kInvalidArgument;
    *obj = nullptr;
    if (!SameUid(cid, kTarvelClassId) || !iid) return kNoInterface;
    // Under the entry lock, and nothing may unwind into the host: an
    // instance that could not be built is no instance.
    IPlugVST3* instance = GuardedBuild([] { return IPlugVST3::Create(); });
    if (!instance) return kResultFalse;
    const tresult result = instance->queryInterface(iid, obj);
    instance->release();  // the caller's reference, if any, stays
    return result;
  }
};

}  // namespace

IPluginFactory* ModuleFactory() {
  static Factory factory;
  return &factory;
}

}  // namespace tarvel::vst3
