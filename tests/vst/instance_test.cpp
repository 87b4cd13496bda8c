// Tarvel instances built in-process through the entry: their registry
// records, their gains and their engine.

#include <gtest/gtest.h>

#include <vector>

#include "effect/InstanceRegistry.h"
#include "effect/Tarvel.h"
#include "vst/IPlugVST.h"
#include "vst/VstEntry.h"

namespace tarvel::test {
namespace {

Tarvel& PlugOf(AEffect* effect) { return dynamic_cast<Tarvel&>(static_cast<IPlugVST*>(effect->object)->Plug()); }

void Close(AEffect* effect) { effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f); }

TEST(Registry, LowestFreeRecordFirst) {
  AEffect* a = VSTPluginMain(nullptr);
  AEffect* b = VSTPluginMain(nullptr);
  AEffect* c = VSTPluginMain(nullptr);
  ASSERT_TRUE(a && b && c);
  const std::int32_t first = PlugOf(a).SlotIndex();
  EXPECT_EQ(first, 0);  // no other instance is alive in this program
  EXPECT_EQ(PlugOf(b).SlotIndex(), first + 1);
  EXPECT_EQ(PlugOf(c).SlotIndex(), first + 2);
  EXPECT_EQ(PlugOf(b).Slot(), InstanceRegistry::Instance().Slot(first + 1));

  Close(b);
  EXPECT_EQ(InstanceRegistry::Instance().Slot(first + 1)->inUse, 0);
  AEffect* d = VSTPluginMain(nullptr);
  ASSERT_TRUE(d);
  EXPECT_EQ(PlugOf(d).SlotIndex(), first + 1);
  for (AEffect* e : {a, c, d}) Close(e);
}

TEST(Registry, EntryRefusesAnInstanceWhenEveryRecordIsTaken) {
  InstanceRegistry& registry = InstanceRegistry::Instance();
  std::vector<std::int32_t> taken;
  for (std::int32_t index = registry.Claim(); index >= 0; index = registry.Claim()) taken.push_back(index);
  EXPECT_EQ(taken.size(), static_cast<std::size_t>(InstanceRegistry::kCapacity));
  EXPECT_EQ(VSTPluginMain(nullptr), nullptr);

  registry.Release(taken.back());
  AEffect* last = VSTPluginMain(nullptr);
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(PlugOf(last).SlotIndex(), taken.back());
  EXPECT_EQ(VSTPluginMain(nullptr), nullptr);
  Close(last);
  for (std::int32_t index : taken) registry.Release(index);
  EXPECT_EQ(registry.Slot(-1), nullptr);
  EXPECT_EQ(registry.Slot(InstanceRegistry::kCapacity), nullptr);
}

TEST(Instance, StartsFlatWithTheLatencyOf44100Hz) {
  AEffect* effect = VSTPluginMain(nullptr);
  ASSERT_TRUE(effect);
  const Tarvel& plug = PlugOf(effect);
  const BandGains flat{1.0, 1.0, 1.0, 1.0, 1.0};
  EXPECT_EQ(plug.Engine().TargetGains(), flat);
  EXPECT_EQ(plug.Engine().CurrentGains(), flat);
  EXPECT_EQ(plug.Engine().DesignRate(), 44100.0);
  EXPECT_EQ(plug.Latency(), 2048);
  EXPECT_EQ(effect->initialDelay, 2048);
  Close(effect);
}

TEST(Instance, ParameterChangesSetTargetGainsOnly) {
  AEffect* effect = VSTPluginMain(nullptr);
  ASSERT_TRUE(effect);
  Tarvel& plug = PlugOf(effect);
  effect->setParameter(effect, 2, 0.0f);  // -60 dB
  EXPECT_NEAR(plug.Engine().TargetGains()[2], 0.001, 1e-15);
  EXPECT_EQ(plug.Engine().CurrentGains()[2], 1.0);
  effect->dispatcher(effect, effString2Parameter, 4, 0, const_cast<char*>("30"), 0.0f);
  EXPECT_NEAR(plug.Engine().TargetGains()[4], 31.6227766016838, 1e-12);

  const BandGains before = plug.Engine().TargetGains();
  plug.ParameterChanged(5);
  plug.ParameterChanged(-1);
  EXPECT_EQ(plug.Engine().TargetGains(), before);
  Close(effect);
}

}  // namespace
}  // namespace tarvel::test
