#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

#include "TestPlug.h"

namespace tarvel::test {
namespace {

TEST(PlugBase, ChannelConfigurations) {
  TestPlug plug("1-2 2-2");
  EXPECT_EQ(plug.InputChannelCount(), 2);
  EXPECT_EQ(plug.OutputChannelCount(), 2);
  EXPECT_TRUE(plug.LegalIO(1, -1));
  EXPECT_TRUE(plug.LegalIO(2, 2));
  EXPECT_TRUE(plug.LegalIO(-1, -1));
  EXPECT_FALSE(plug.LegalIO(2, 1));
  EXPECT_FALSE(plug.LegalIO(3, -1));

  TestPlug wide("2-2 6-8");
  EXPECT_EQ(wide.InputChannelCount(), 6);
  EXPECT_EQ(wide.OutputChannelCount(), 8);
  EXPECT_FALSE(wide.LegalIO(1, -1));

  TestPlug none(nullptr);
  EXPECT_EQ(none.InputChannelCount(), 0);
  EXPECT_FALSE(none.LegalIO(-1, -1));

  EXPECT_EQ(plug.EffectVersion(false), 0x10203);
  EXPECT_EQ(plug.EffectVersion(true), 10203);
}

TEST(PlugBaseDeathTest, MalformedChannelTextStopsTheProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(TestPlug("2-2 "), "channelIOStrValid");  // the empty rest is a configuration
  EXPECT_DEATH(TestPlug("2+2"), "channelIOStrValid");
  EXPECT_DEATH(TestPlug("99999999999-2"), "channelIOStrValid");
}

TEST(PlugBase, BlockSizeZeroFillsScratchOnlyWhenItChanges) {
  TestPlug plug;
  ASSERT_TRUE(plug.SetBlockSize(4));
  auto* scratch = static_cast<double*>(plug.GetOutputChannel(0)->scratch.Data());
  scratch[0] = 5.0;
  EXPECT_TRUE(plug.SetBlockSize(4));
  EXPECT_EQ(static_cast<double*>(plug.GetOutputChannel(0)->scratch.Data())[0], 5.0);
  ASSERT_TRUE(plug.SetBlockSize(8));
  for (int c = 0; c < 2; ++c) {
    const auto* samples = static_cast<const double*>(plug.GetOutputChannel(c)->scratch.Data());
    for (int i = 0; i < 8; ++i) EXPECT_EQ(samples[i], 0.0);
    EXPECT_EQ(plug.GetInputChannel(c)->scratch.Size(), 64);
  }

  EXPECT_FALSE(plug.SetBlockSize(0));
  EXPECT_FALSE(plug.SetBlockSize(-5));
  EXPECT_FALSE(plug.SetBlockSize(INT32_MAX));  // too large for a 32-bit byte count
  EXPECT_EQ(plug.BlockSize(), 8);
  EXPECT_EQ(plug.GetInputChannel(1)->scratch.Size(), 64);
}

// A stereo test signal and buffers as a host lays them out.
struct HostBuffers {
  explicit HostBuffers(int frames) {
    for (int c = 0; c < 2; ++c) {
      for (int i = 0; i < frames; ++i) {
        inD[c].push_back((c + 1) * 0.25 + i * 1e-3);
        inF[c].push_back(static_cast<float>(inD[c].back()));
      }
      outD[c].assign(static_cast<std::size_t>(frames), -9.0);
      outF[c].assign(static_cast<std::size_t>(frames), 0.5f);
      inDp[c] = inD[c].data();
      inFp[c] = inF[c].data();
      outDp[c] = outD[c].data();
      outFp[c] = outF[c].data();
    }
  }
  std::vector<double> inD[2], outD[2];
  std::vector<float> inF[2], outF[2];
  double* inDp[2];
  double* outDp[2];
  float* inFp[2];
  float* outFp[2];
};

TEST(PlugBase, PassThroughOnEveryPath) {
  TestPlug plug;
  plug.Channels().SetInputConnections(0, 2, true);
  plug.Channels().SetOutputConnections(0, 2, true);
  ASSERT_TRUE(plug.SetBlockSize(64));
  HostBuffers host(48);

  plug.Channels().ConnectInputsDouble(0, 2, host.inDp);
  plug.Channels().ConnectOutputsDouble(0, 2, host.outDp);
  plug.ProcessDouble(48);
  EXPECT_EQ(host.outD[0], host.inD[0]);
  EXPECT_EQ(host.outD[1], host.inD[1]);

  plug.Channels().ConnectInputsFloat(0, 2, host.inFp);
  plug.Channels().ConnectOutputsFloat(0, 2, host.outFp);
  plug.ProcessToFloat(48);  // replaces
  EXPECT_EQ(host.outF[0], host.inF[0]);

  plug.Channels().ConnectInputsFloat(0, 2, host.inFp);
  plug.Channels().ConnectOutputsFloat(0, 2, host.outFp);
  plug.ProcessAccumulateFloat(48);  // adds to what the host's buffer held
  for (int i = 0; i < 48; ++i) EXPECT_EQ(host.outF[1][i], host.inF[1][i] + host.inF[1][i]);
}

TEST(PlugBase, LongCallsRunInPiecesOfAtMostTheBlockSize) {
  struct Recorder : TestPlug {
    void ProcessBlock(double** in, double** out, int frames) override {
      pieces.push_back(frames);
      TestPlug::ProcessBlock(in, out, frames);
    }
    std::vector<int> pieces;
  } plug;
  plug.Channels().SetInputConnections(0, 2, true);
  plug.Channels().SetOutputConnections(0, 2, true);
  ASSERT_TRUE(plug.SetBlockSize(16));
  const int frames = 16 * 3 + 5;
  HostBuffers host(frames);

  // The float paths go through 16-sample scratch buffers (ASan guards them).
  plug.Channels().ConnectInputsFloat(0, 2, host.inFp);
  plug.Channels().ConnectOutputsFloat(0, 2, host.outFp);
  plug.ProcessToFloat(frames);
  EXPECT_EQ(plug.pieces, (std::vector<int>{16, 16, 16, 5}));
  EXPECT_EQ(host.outF[0], host.inF[0]);
  EXPECT_EQ(host.outF[1], host.inF[1]);

  plug.pieces.clear();
  plug.Channels().ConnectInputsFloat(0, 2, host.inFp);
  plug.Channels().ConnectOutputsDouble(0, 2, host.outDp);
  plug.ProcessDouble(frames);
  EXPECT_EQ(plug.pieces.size(), 4u);
  for (int i = 0; i < frames; ++i) EXPECT_EQ(host.outD[0][i], static_cast<double>(host.inF[0][i]));

  plug.pieces.clear();
  plug.ProcessDouble(0);
  EXPECT_EQ(plug.pieces, std::vector<int>{0});
  plug.pieces.clear();
  plug.ProcessDouble(-7);  // nothing to read: one empty piece
  EXPECT_EQ(plug.pieces, std::vector<int>{0});
}

TEST(PlugBase, OnlyConnectedChannelsTakeHostBuffers) {
  TestPlug plug;
  ASSERT_TRUE(plug.SetBlockSize(32));
  plug.Channels().SetOutputConnections(0, 2, true);
  plug.Channels().SetInputConnections(1, 1, true);  // only the second input
  HostBuffers host(32);

  plug.Channels().ConnectInputsFloat(0, 2, host.inFp);
  plug.Channels().ConnectOutputsFloat(0, 2, host.outFp);
  plug.ProcessToFloat(32);
  EXPECT_EQ(host.outF[1], host.inF[0]);  // the first host buffer feeds the second channel
  EXPECT_EQ(host.outF[0], std::vector<float>(32, 0.0f));  // the first reads its zero scratch
}

TEST(PlugBase, DisconnectedInputReadsSilenceNotTheLastBlock) {
  TestPlug plug;
  ASSERT_TRUE(plug.SetBlockSize(32));
  plug.Channels().SetInputConnections(0, 2, true);
  plug.Channels().SetOutputConnections(0, 2, true);
  HostBuffers host(32);
  plug.Channels().ConnectInputsFloat(0, 2, host.inFp);
  plug.Channels().ConnectOutputsFloat(0, 2, host.outFp);
  plug.ProcessToFloat(32);

  plug.Channels().SetInputConnections(1, 1, false);
  plug.Channels().ConnectInputsFloat(0, 2, host.inFp);
  plug.Channels().ConnectOutputsFloat(0, 2, host.outFp);
  plug.ProcessToFloat(32);
  EXPECT_EQ(host.outF[0], host.inF[0]);
  EXPECT_EQ(host.outF[1], std::vector<float>(32, 0.0f));
}

TEST(PlugBase, NullHostBuffersReadZerosAndAreNotWritten) {
  TestPlug plug;
  ASSERT_TRUE(plug.SetBlockSize(32));
  plug.Channels().SetInputConnections(0, 2, true);
  plug.Channels().SetOutputConnections(0, 2, true);
  HostBuffers host(32);
  float* inputs[2] = {nullptr, host.inFp[1]};
  float* outputs[2] = {host.outFp[0], nullptr};
  plug.Channels().ConnectInputsFloat(0, 2, inputs);
  plug.Channels().ConnectOutputsFloat(0, 2, outputs);
  plug.ProcessToFloat(32);
  EXPECT_EQ(host.outF[0], std::vector<float>(32, 0.0f));

  plug.Channels().ConnectInputsDouble(0, 2, nullptr);
  plug.Channels().ConnectOutputsDouble(0, 2, host.outDp);
  plug.ProcessDouble(32);
  EXPECT_EQ(host.outD[1], std::vector<double>(32, 0.0));
}

TEST(PlugBase, ProcessingWithoutBindingOrBlockSizeIsSafe) {
  TestPlug plug;
  plug.Channels().SetInputConnections(0, 2, true);
  plug.Channels().SetOutputConnections(0, 2, true);
  HostBuffers host(16);
  plug.Channels().ConnectOutputsDouble(0, 2, host.outDp);
  plug.ProcessDouble(16);  // no scratch yet: silence
  EXPECT_EQ(host.outD[0], std::vector<double>(16, 0.0));

  ASSERT_TRUE(plug.SetBlockSize(16));
  plug.Channels().ConnectOutputsFloat(0, 2, host.outFp);
  plug.ProcessToFloat(16);
  host.outF[0].assign(16, 3.0f);
  plug.ProcessToFloat(16);  // the binding ended with the last call: nothing written
  EXPECT_EQ(host.outF[0], std::vector<float>(16, 3.0f));
}

TEST(PlugBase, InPlaceHostBuffers) {
  TestPlug plug;
  ASSERT_TRUE(plug.SetBlockSize(8));
  plug.Channels().SetInputConnections(0, 2, true);
  plug.Channels().SetOutputConnections(0, 2, true);
  HostBuffers host(20);
  const std::vector<double> original = host.inD[0];
  plug.Channels().ConnectInputsDouble(0, 2, host.inDp);
  plug.Channels().ConnectOutputsDouble(0, 2, host.inDp);
  plug.ProcessDouble(20);
  EXPECT_EQ(host.inD[0], original);
}

TEST(PlugBase, ParameterFromEditor) {
  TestPlug plug;
  plug.SetParameterFromGUI(2, 0.5);
  EXPECT_EQ(plug.GetParameter(2)->Value(), -15.0);
  ASSERT_EQ(plug.reported.size(), 1u);
  EXPECT_EQ(plug.reported[0], (std::pair<int, double>{2, 0.5}));
  EXPECT_EQ(plug.changed, std::vector<int>{2});

  plug.SetParameterFromGUI(5, 0.5);
  plug.SetParameterFromGUI(-1, 0.5);
  plug.SetParameterFromGUI(2, std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(plug.GetParameter(2)->Value(), -15.0);
  EXPECT_EQ(plug.reported.size(), 1u);
  EXPECT_EQ(plug.changed.size(), 1u);
}

TEST(PlugBase, EditorSeesNormalisedValuesOnAttachAndRealValuesOnPush) {
  bool destroyed = false;
  {
    TestPlug plug("1-2 2-2", 2);
    plug.GetParameter(1)->SetValueClamped(30.0);
    plug.PushParametersToEditor();  // no editor yet: nothing
    plug.AttachEditor(nullptr);
    EXPECT_EQ(plug.Editor(), nullptr);

    auto editor = std::make_unique<FakeEditor>(&destroyed);
    FakeEditor* raw = editor.get();
    std::vector<FakeEditor::Push>& pushes = raw->pushes;
    plug.AttachEditor(std::move(editor));
    EXPECT_EQ(plug.Editor(), raw);
    EXPECT_TRUE(raw->bitmapsCreated);
    ASSERT_EQ(pushes.size(), 2u);
    EXPECT_EQ(pushes[1].index, 1);
    EXPECT_EQ(pushes[1].value, 1.0);
    EXPECT_TRUE(pushes[1].isNormalized);

    pushes.clear();
    plug.PushParametersToEditor();
    ASSERT_EQ(pushes.size(), 2u);
    EXPECT_EQ(pushes[1].value, 30.0);
    EXPECT_FALSE(pushes[1].isNormalized);
  }
  EXPECT_TRUE(destroyed);
}

}  // namespace
}  // namespace tarvel::test
