// Small jobs for the installer check (installer_check.sh), under Wine:
//
//   installer_helper load PLUGIN.dll BUNDLE.vst3 PLUGIN.clap
//     The three editions where the installer put them, through our test
//     hosts: the same noise with the same band settings through each must
//     come out the same, and audible.
//   installer_helper hold PLUGIN.dll|BUNDLE.vst3|PLUGIN.clap FLAG
//     A host with the plug-in loaded: loads it, creates FLAG, and keeps it
//     loaded until FLAG is deleted (at most five minutes).

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "effect/TarvelParameters.h"
#include "tools/host/PluginInstance.h"
#include "tools/host/PluginLibrary.h"
#include "tools/host3/Vst3Instance.h"
#include "tools/hostclap/ClapInstance.h"

namespace tarvel {
namespace {

int Fail(const std::string& message) {
  std::fprintf(stderr, "installer_helper: %s\n", message.c_str());
  return 1;
}

bool EndsWith(const std::string& path, const std::string& end) {
  return path.size() > end.size() && path.compare(path.size() - end.size(), end.size(), end) == 0;
}

int Load(const std::string& dll, const std::string& bundle, const std::string& clapFile) {
  constexpr int kFrames = 8192;
  // Values a float holds exactly: the VST 2.4 interface passes floats.
  const double settings[5] = {0.25, 1.0, 0.5, 0.0, 0.75};

  std::string error;
  auto library = PluginLibrary::Open(dll, error);
  if (!library) return Fail(error);
  auto vst2 = PluginInstance::Create(library, HostConfig{}, error);
  if (!vst2) return Fail(dll + ": " + error);
  auto module = vst3::Vst3Module::Open(bundle, error);
  if (!module) return Fail(error);
  auto vst3 = vst3::Vst3Instance::Create(module, error);
  if (!vst3) return Fail(bundle + ": " + error);
  auto clapModule = hostclap::ClapModule::Open(clapFile, error);
  if (!clapModule) return Fail(error);
  auto clap = hostclap::ClapInstance::Create(clapModule, error);
  if (!clap) return Fail(clapFile + ": " + error);

  vst2->SetSampleRate(44100.0);
  vst2->SetBlockSize(kFrames);
  vst2->Resume();
  if (!vst3->Start(44100.0, kFrames, vst3::kSample32)) return Fail(bundle + ": refuses to start");
  if (!clap->Activate(44100.0, kFrames)) return Fail(clapFile + ": refuses to activate");
  vst3::ParamChanges changes;
  hostclap::EventList events;
  for (int band = 0; band < 5; ++band) {
    vst2->SetParameter(band, static_cast<float>(settings[band]));
    changes.Add(static_cast<vst3::ParamID>(band), 0, settings[band]);
    // CLAP values are in dB.
    events.Add(static_cast<clap_id>(band), 0, kMinGainDb + (kMaxGainDb - kMinGainDb) * settings[band]);
  }

  // Each edition gets its own copy of the input: a plug-in may write its inputs.
  std::mt19937 random(3);
  std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
  std::vector<float> in2[2], in3[2], inClap[2], out2[2], out3[2], outClap[2];
  for (int c = 0; c < 2; ++c) {
    in2[c].resize(kFrames);
    for (float& x : in2[c]) x = sample(random);
    in3[c] = inClap[c] = in2[c];
    out2[c].assign(kFrames, 0.0f);
    out3[c] = outClap[c] = out2[c];
  }
  float* inputs2[2] = {in2[0].data(), in2[1].data()};
  float* inputs3[2] = {in3[0].data(), in3[1].data()};
  float* inputsClap[2] = {inClap[0].data(), inClap[1].data()};
  float* outputs2[2] = {out2[0].data(), out2[1].data()};
  float* outputs3[2] = {out3[0].data(), out3[1].data()};
  float* outputsClap[2] = {outClap[0].data(), outClap[1].data()};
  vst2->ProcessFloat(inputs2, outputs2, kFrames);
  if (vst3->Process(inputs3, outputs3, kFrames, &changes) != vst3::kResultOk) return Fail(bundle + ": process failed");
  if (clap->Process(inputsClap, outputsClap, kFrames, &events) == kClapProcessError) {
    return Fail(clapFile + ": process failed");
  }
  clap->Deactivate();
  vst3->Stop();
  vst2->Suspend();

  double worst = 0.0, loudest = 0.0;
  for (int c = 0; c < 2; ++c) {
    for (int i = 0; i < kFrames; ++i) {
      worst = std::max({worst, static_cast<double>(std::abs(out2[c][i] - out3[c][i])),
                        static_cast<double>(std::abs(out2[c][i] - outClap[c][i]))});
      loudest = std::max(loudest, static_cast<double>(std::abs(out2[c][i])));
    }
  }
  if (loudest < 0.1) return Fail("no sound came through");
  if (worst > 1e-6) return Fail("the editions differ by " + std::to_string(worst));
  std::printf("the three editions load and agree (largest difference %.3g)\n", worst);
  return 0;
}

int Hold(const std::string& path, const std::string& flag) {
  std::string error;
  std::shared_ptr<const void> loaded;
  if (EndsWith(path, ".vst3")) {
    loaded = vst3::Vst3Module::Open(path, error);
  } else if (EndsWith(path, ".clap")) {
    loaded = hostclap::ClapModule::Open(path, error);
  } else {
    loaded = PluginLibrary::Open(path, error);
  }
  if (!loaded) return Fail(error);
  std::ofstream(flag) << "loaded\n";
  const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(5);
  while (std::filesystem::exists(flag)) {
    if (std::chrono::steady_clock::now() > until) return Fail("nobody released " + path);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return 0;
}

}  // namespace
}  // namespace tarvel

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 4 && args[0] == "load") return tarvel::Load(args[1], args[2], args[3]);
  if (args.size() == 3 && args[0] == "hold") return tarvel::Hold(args[1], args[2]);
  return tarvel::Fail("usage: installer_helper load PLUGIN.dll BUNDLE.vst3 PLUGIN.clap | hold FILE FLAG");
}
