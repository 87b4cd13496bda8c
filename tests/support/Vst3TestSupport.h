#pragma once
// The built VST3 bundle (TARVEL_VST3_BUNDLE, from the build) as the tests
// load it: the module once per program, instances of it through the test
// host, and a host frame whose run loop keeps the timers for the test to
// fire.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/OpenOnce.h"
#include "tools/host3/Vst3Instance.h"
#include "tools/host3/Vst3Module.h"

namespace tarvel::vst3 {

#ifdef TARVEL_VST3_BUNDLE  // programs that load the built bundle (tarvel_use_modules VST3)
inline std::shared_ptr<const Vst3Module> Bundle() { return test::OpenOnce<Vst3Module>(TARVEL_VST3_BUNDLE); }

// A new instance; fails the test when the bundle or its factory refuses.
inline std::unique_ptr<Vst3Instance> NewVst3() {
  std::string error;
  auto instance = Vst3Instance::Create(Bundle(), error);
  if (!instance) ADD_FAILURE() << error;
  return instance;
}
#endif

// Another interface of an object, or null (a test failure).
template <typename Interface>
Interface* Query(FUnknown& object, const Uid& iid) {
  void* obj = nullptr;
  EXPECT_EQ(object.queryInterface(iid.data(), &obj), kResultOk);
  return static_cast<Interface*>(obj);
}

// A host's frame and the run loop it hands out: timers are kept and fired by
// the test.
class TestRunLoop final : public IPlugFrame, public IRunLoop {
 public:
  tresult queryInterface(const TUID iid, void** obj) override {
    *obj = nullptr;
    if (SameUid(iid, kIPlugFrameIid) || SameUid(iid, kFUnknownIid))
      *obj = static_cast<IPlugFrame*>(this);
    else if (SameUid(iid, kIRunLoopIid) && offerRunLoop)
      *obj = static_cast<IRunLoop*>(this);
    else
      return kNoInterface;
    return kResultOk;
  }
  uint32 addRef() override { return 1; }
  uint32 release() override { return 1; }
  tresult resizeView(IPlugView*, ViewRect*) override { return kResultFalse; }
  tresult registerEventHandler(IEventHandler*, int) override { return kResultOk; }
  tresult unregisterEventHandler(IEventHandler*) override { return kResultOk; }
  tresult registerTimer(ITimerHandler* handler, uint64 milliseconds) override {
    timers.push_back(handler);
    periods.push_back(milliseconds);
    return kResultOk;
  }
  tresult unregisterTimer(ITimerHandler* handler) override {
    const auto found = std::find(timers.begin(), timers.end(), handler);
    if (found == timers.end()) return kResultFalse;
    periods.erase(periods.begin() + (found - timers.begin()));
    timers.erase(found);
    return kResultOk;
  }
  void Fire() {
    for (ITimerHandler* timer : timers) timer->onTimer();
  }

  bool offerRunLoop = true;
  std::vector<ITimerHandler*> timers;
  std::vector<uint64> periods;
};

}  // namespace tarvel::vst3
