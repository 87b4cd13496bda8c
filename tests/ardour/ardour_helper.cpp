// Small jobs for the Ardour check (ardour_check.sh): test signals, the
// plug-in's normalised parameter values and identity as a host reads them,
// and the comparison of two renders; and the check of a capture of the editor.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/render/RenderTestSupport.h"
#include "tests/support/PictureFormula.h"
#include "tools/host/PluginInstance.h"
#include "tools/host/PluginLibrary.h"

namespace tarvel::test {
namespace {

int Fail(const std::string& message) {
  std::fprintf(stderr, "ardour_helper: %s\n", message.c_str());
  return 1;
}

std::unique_ptr<PluginInstance> Open(const std::string& path, std::shared_ptr<const PluginLibrary>& library) {
  std::string error;
  library = PluginLibrary::Open(path, error);
  if (library == nullptr) {
    std::fprintf(stderr, "ardour_helper: %s\n", error.c_str());
    return nullptr;
  }
  auto instance = PluginInstance::Create(library, HostConfig{}, error);
  if (instance == nullptr) std::fprintf(stderr, "ardour_helper: %s\n", error.c_str());
  return instance;
}

// noise OUT RATE FRAMES SEED: stereo 32-bit float noise.
int MakeNoise(const std::vector<std::string>& args) {
  if (args.size() != 4) return Fail("noise OUT RATE FRAMES SEED");
  Channels noise = Noise(2, std::atoll(args[2].c_str()), static_cast<unsigned>(std::atoi(args[3].c_str())));
  for (auto& channel : noise) {
    for (double& sample : channel) sample = static_cast<float>(sample);
  }
  return WriteAudio(args[0], noise, std::atoi(args[1].c_str()), SF_FORMAT_WAV | SF_FORMAT_FLOAT) ? 0
                                                                                                   : Fail("cannot write " + args[0]);
}

// split IN LEFT RIGHT: one 32-bit float mono file per channel.
int Split(const std::vector<std::string>& args) {
  if (args.size() != 3) return Fail("split IN LEFT RIGHT");
  SF_INFO info{};
  const Channels input = ReadAudio(args[0], &info);
  if (input.size() != 2) return Fail("cannot read stereo " + args[0]);
  for (size_t c = 0; c < 2; ++c) {
    if (!WriteAudio(args[1 + c], {input[c]}, info.samplerate, SF_FORMAT_WAV | SF_FORMAT_FLOAT)) {
      return Fail("cannot write " + args[1 + c]);
    }
  }
  return 0;
}

// params PLUGIN "BAND=DB"...: "index normalised-value" per setting, as the
// plug-in maps the typed value.
int Params(const std::vector<std::string>& args) {
  if (args.empty()) return Fail("params PLUGIN BAND=DB...");
  std::shared_ptr<const PluginLibrary> library;
  auto instance = Open(args[0], library);
  if (instance == nullptr) return 1;
  for (size_t i = 1; i < args.size(); ++i) {
    const auto equals = args[i].rfind('=');
    const std::string band = args[i].substr(0, equals);
    VstInt32 index = 0;
    while (index < instance->ParameterCount() && instance->ParameterName(index) != band) ++index;
    if (equals == std::string::npos || index == instance->ParameterCount() ||
        !instance->SetParameterText(index, args[i].substr(equals + 1))) {
      return Fail("cannot set " + args[i]);
    }
    std::printf("%d %.9g\n", index, instance->GetParameter(index));
  }
  return 0;
}

// info PLUGIN: what a host's scanner should record.
int Info(const std::vector<std::string>& args) {
  if (args.size() != 1) return Fail("info PLUGIN");
  std::shared_ptr<const PluginLibrary> library;
  auto instance = Open(args[0], library);
  if (instance == nullptr) return 1;
  const AEffect& effect = instance->Effect();
  std::printf("name=%s\nid=%d\ninputs=%d\noutputs=%d\neditor=%d\n",
              instance->DispatchText(effGetEffectName).c_str(), effect.uniqueID, effect.numInputs, effect.numOutputs,
              (effect.flags & effFlagsHasEditor) != 0 ? 1 : 0);
  return 0;
}

// compare [--expect-different] REFERENCE TEST OFFSET FRAMES: TEST from
// OFFSET on against REFERENCE from 0, both channels. Same means a residual
// 100 dB below full scale and below the reference's level; different means
// a residual no more than 20 dB below the reference.
int Compare(std::vector<std::string> args) {
  const bool expectDifferent = !args.empty() && args[0] == "--expect-different";
  if (expectDifferent) args.erase(args.begin());
  if (args.size() != 4) return Fail("compare [--expect-different] REFERENCE TEST OFFSET FRAMES");
  const Channels reference = ReadAudio(args[0]);
  const Channels test = ReadAudio(args[1]);
  const auto offset = static_cast<size_t>(std::atoll(args[2].c_str()));
  const auto frames = static_cast<size_t>(std::atoll(args[3].c_str()));
  if (reference.size() != 2 || test.size() != 2 || reference[0].size() < frames ||
      test[0].size() < offset + frames) {
    return Fail("the files are not stereo or too short for the range compared");
  }
  double peak = 0.0;
  double residualEnergy = 0.0;
  double referenceEnergy = 0.0;
  for (size_t c = 0; c < 2; ++c) {
    for (size_t i = 0; i < frames; ++i) {
      const double difference = test[c][offset + i] - reference[c][i];
      peak = std::max(peak, std::fabs(difference));
      residualEnergy += difference * difference;
      referenceEnergy += reference[c][i] * reference[c][i];
    }
  }
  const double peakDb = 20.0 * std::log10(std::max(peak, 1e-30));
  const double relativeDb = 10.0 * std::log10(std::max(residualEnergy, 1e-60) / std::max(referenceEnergy, 1e-60));
  std::printf("residual peak %.1f dBFS, residual energy %+.1f dB against the reference\n", peakDb, relativeDb);
  const bool same = peakDb <= -100.0 && relativeDb <= -100.0;
  const bool different = relativeDb > -20.0;
  return (expectDifferent ? different : same) ? 0 : 1;
}

// picture RGB: a capture of the editor (768 x 768, 8-bit red, green, blue)
// against the picture's formula for a zero audio summary at the frame its
// first pixel tells (modulo 512), with the text line's ink at the bottom.
int Picture(const std::vector<std::string>& args) {
  constexpr int kSize = 768;
  constexpr int kTextTop = 756;
  if (args.size() != 1) return Fail("picture RGB");
  std::FILE* file = std::fopen(args[0].c_str(), "rb");
  if (file == nullptr) return Fail("cannot read " + args[0]);
  std::vector<unsigned char> rgb(kSize * kSize * 3 + 1);
  const size_t read = std::fread(rgb.data(), 1, rgb.size(), file);
  std::fclose(file);
  if (read != rgb.size() - 1) return Fail("the capture is not 768 x 768 pixels");
  const int f = FrameOfCorner(static_cast<std::uint32_t>(rgb[0]) << 16 | rgb[1] << 8 | rgb[2], 0);
  if (f < 0) return Fail("pixel (0, 0) is no frame's");
  int wrong = 0;
  int inked = 0;
  for (int j = 0; j < kSize; ++j) {
    for (int k = 0; k < kSize; ++k) {
      const unsigned char* got = &rgb[(static_cast<size_t>(j) * kSize + k) * 3];
      const std::uint32_t p = PicturePixel(k, j, f, 0, 0);
      const int plain[3] = {static_cast<int>(p >> 16), static_cast<int>(p >> 8 & 0xFF), static_cast<int>(p & 0xFF)};
      if (got[0] == plain[0] && got[1] == plain[1] && got[2] == plain[2]) continue;
      // White ink; the blend may leave a channel up to two below the picture.
      if (j >= kTextTop && got[0] + 2 >= plain[0] && got[1] + 2 >= plain[1] && got[2] + 2 >= plain[2]) {
        ++inked;
      } else if (++wrong <= 3) {
        std::fprintf(stderr, "ardour_helper: frame %d, pixel (%d, %d) is %d %d %d, not %d %d %d\n", f, k, j, got[0],
                     got[1], got[2], plain[0], plain[1], plain[2]);
      }
    }
  }
  std::printf("picture at frame %d (mod 512): %d pixels off the formula, %d pixels of text ink\n", f, wrong, inked);
  return wrong == 0 && inked > 40 ? 0 : 1;
}

}  // namespace
}  // namespace tarvel::test

int main(int argc, char** argv) {
  using namespace tarvel::test;
  if (argc < 2) return Fail("noise | split | params | info | compare | picture ...");
  const std::string command = argv[1];
  const std::vector<std::string> args(argv + 2, argv + argc);
  if (command == "noise") return MakeNoise(args);
  if (command == "split") return Split(args);
  if (command == "params") return Params(args);
  if (command == "info") return Info(args);
  if (command == "compare") return Compare(args);
  if (command == "picture") return Picture(args);
  return Fail("unknown command " + command);
}
