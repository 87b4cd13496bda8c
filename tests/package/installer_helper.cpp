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
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "effect/TarvelParameters.h"
#include "tests/support/Agreement.h"
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
  using Stereo = std::array<std::vector<float>, 2>;
  std::mt19937 random(3);
  std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
  Stereo noise{std::vector<float>(kFrames), std::vector<float>(kFrames)};
  for (auto& channel : noise)
    for (float& x : channel) x = sample(random);
  const auto through = [&](const auto& process) -> std::optional<Stereo> {
    Stereo in = noise, out{std::vector<float>(kFrames), std::vector<float>(kFrames)};
    float* inputs[2] = {in[0].data(), in[1].data()};
    float* outputs[2] = {out[0].data(), out[1].data()};
    if (!process(inputs, outputs)) return std::nullopt;
    return out;
  };
  const auto out2 = through([&](float** in, float** out) {
    vst2->ProcessFloat(in, out, kFrames);
    return true;
  });
  const auto out3 = through([&](float** in, float** out) {
    return vst3->Process(in, out, kFrames, &changes) == vst3::kResultOk;
  });
  const auto outClap = through([&](float** in, float** out) {
    return clap->Process(in, out, kFrames, &events) != kClapProcessError;
  });
  if (!out3) return Fail(bundle + ": process failed");
  if (!outClap) return Fail(clapFile + ": process failed");
  clap->Deactivate();
  vst3->Stop();
  vst2->Suspend();

  const test::Agreement vst3Agrees = test::Agree(*out3, *out2, kFrames);
  const test::Agreement clapAgrees = test::Agree(*outClap, *out2, kFrames);
  const double worst = std::max(vst3Agrees.worst, clapAgrees.worst);
  if (vst3Agrees.loudest < 0.1) return Fail("no sound came through");
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
