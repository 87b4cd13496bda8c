// What every format adapter does through the core: the guarded entry, the
// plug-in it builds and connects, activation and the editor's window.

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "plugin/AdapterCore.h"
#include "tests/plugin/TestPlug.h"

namespace tarvel::test {
namespace {

// A plug-in that logs the calls the core makes to it.
class LoggedPlug final : public IPlugBase {
 public:
  explicit LoggedPlug(IHostRequests& host) : IPlugBase(&host, 1, "1-2 2-2", 0, "Logged", "", "", 0, 0, 0, 0, false, false, false) {}
  void ResetProcessing() override { log.push_back("reset"); }
  void ActivationChanged(bool active) override { log.push_back(active ? "active" : "inactive"); }
  void EditorOpened() override { log.push_back("opened"); }
  void EditorClosed() override { log.push_back("closed"); }
  std::vector<std::string> log;
};

class TestAdapter final : public AdapterCore {
 public:
  LoggedPlug& Logged() { return static_cast<LoggedPlug&>(Plug()); }
};

TEST(AdapterCore, NothingUnwindsIntoTheHost) {
  EXPECT_EQ(Guarded(-1, [] { return 7; }), 7);
  EXPECT_EQ(Guarded(-1, []() -> int { throw std::runtime_error("no"); }), -1);
  EXPECT_EQ(GuardedBuild([]() -> int* { throw std::bad_alloc(); }), nullptr);
}

TEST(AdapterCore, BuildsConnectsActivatesAndOpensTheEditor) {
  TestAdapter refused;
  EXPECT_FALSE(refused.Build([](IHostRequests&) { return nullptr; }, 512));

  TestAdapter adapter;
  ASSERT_TRUE(adapter.Build([](IHostRequests& host) { return std::make_unique<LoggedPlug>(host); }, 512));
  LoggedPlug& plug = adapter.Logged();
  EXPECT_EQ(plug.BlockSize(), 512);
  for (int i = 0; i < plug.InputChannelCount(); ++i) EXPECT_TRUE(plug.GetInputChannel(i)->connected);
  for (int i = 0; i < plug.OutputChannelCount(); ++i) EXPECT_TRUE(plug.GetOutputChannel(i)->connected);

  adapter.SetActive(true);
  adapter.SetActive(false);  // a deactivation resets: a new rate takes effect
  EXPECT_EQ(plug.log, (std::vector<std::string>{"active", "inactive", "reset"}));

  plug.log.clear();
  int parent = 0;
  EXPECT_EQ(adapter.OpenEditor(&parent), nullptr);  // no editor
  EXPECT_FALSE(adapter.CloseEditor());
  auto owned = std::make_unique<FakeEditor>();
  FakeEditor& editor = *owned;
  plug.AttachEditor(std::move(owned));
  EXPECT_EQ(adapter.OpenEditor(nullptr), nullptr);  // no window: not opened
  EXPECT_EQ(adapter.OpenEditor(&parent), &editor);
  EXPECT_TRUE(adapter.CloseEditor());
  EXPECT_EQ(editor.closes, 1);
  EXPECT_EQ(plug.log, (std::vector<std::string>{"opened", "closed"}));
}

}  // namespace
}  // namespace tarvel::test
