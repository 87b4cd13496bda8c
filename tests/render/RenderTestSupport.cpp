#include "tests/render/RenderTestSupport.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <random>
#include <sstream>

#include "dsp/RealFft.h"
#include "effect/KernelDesign.h"
#include "tests/support/TestNoise.h"
#include "tools/render/RenderTool.h"

namespace tarvel::test {

ScratchDir::ScratchDir() {
  std::random_device random;
  path_ = std::filesystem::temp_directory_path() / ("tarvel-render-test-" + std::to_string(random()));
  std::filesystem::create_directories(path_);
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::map<std::string, std::string> ScratchDir::Snapshot() const {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(path_)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream file(entry.path(), std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    files[entry.path().filename().string()] = content.str();
  }
  return files;
}

bool WriteAudio(const std::string& path, const Channels& channels, int rate, int format) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = static_cast<int>(channels.size());
  info.format = format;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (file == nullptr) return false;
  const size_t frames = channels.empty() ? 0 : channels[0].size();
  std::vector<double> interleaved(frames * channels.size());
  for (size_t i = 0; i < frames; ++i) {
    for (size_t c = 0; c < channels.size(); ++c) interleaved[i * channels.size() + c] = channels[c][i];
  }
  const bool ok = sf_writef_double(file, interleaved.data(), static_cast<sf_count_t>(frames)) ==
                  static_cast<sf_count_t>(frames);
  return sf_close(file) == 0 && ok;
}

Channels ReadAudio(const std::string& path, SF_INFO* info) {
  SF_INFO local{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &local);
  if (file == nullptr) return {};
  if (info != nullptr) *info = local;
  const auto channels = static_cast<size_t>(local.channels);
  std::vector<double> interleaved(static_cast<size_t>(local.frames) * channels);
  const sf_count_t read = sf_readf_double(file, interleaved.data(), local.frames);
  sf_close(file);
  Channels result(channels, std::vector<double>(static_cast<size_t>(read)));
  for (size_t i = 0; i < static_cast<size_t>(read); ++i) {
    for (size_t c = 0; c < channels; ++c) result[c][i] = interleaved[i * channels + c];
  }
  return result;
}

Channels Noise(int channels, std::int64_t frames, unsigned seed, double amplitude) {
  Channels result;
  for (int c = 0; c < channels; ++c)
    result.push_back(test::Noise(static_cast<std::size_t>(frames), seed + static_cast<unsigned>(c), amplitude));
  return result;
}

std::vector<double> ExpectedKernel(double rate, const std::array<double, 5>& decibels) {
  const std::int32_t k = KernelLengthForRate(static_cast<std::int32_t>(rate));
  const std::int32_t n = TransformLengthForRate(static_cast<std::int32_t>(rate));
  const BandSpectra bands = DesignBandKernels(k, n, rate);
  BandGains gains;
  for (size_t m = 0; m < gains.size(); ++m) gains[m] = std::pow(10.0, decibels[m] / 20.0);
  std::vector<double> mixed(static_cast<size_t>(n));
  MixBandKernels(bands, mixed, gains);
  // The engine multiplies a forward transform by this spectrum and transforms
  // back; both directions scale by 1/sqrt(n), so the taps are the inverse
  // transform scaled once more.
  std::vector<double> taps(static_cast<size_t>(n));
  RealFft(mixed.data(), taps.data(), n, kFftInverse);
  taps.resize(static_cast<size_t>(k));
  for (double& tap : taps) tap /= std::sqrt(static_cast<double>(n));
  return taps;
}

std::vector<double> FilterCentred(const std::vector<double>& x, const std::vector<double>& h, std::int64_t from,
                                  std::int64_t to) {
  const auto frames = static_cast<std::int64_t>(x.size());
  const auto taps = static_cast<std::int64_t>(h.size());
  const std::int64_t centre = taps / 2;
  if (to < 0) to = frames;
  std::vector<double> y(static_cast<size_t>(to - from));
  for (std::int64_t i = from; i < to; ++i) {
    const std::int64_t first = std::max<std::int64_t>(0, i + centre - frames + 1);
    const std::int64_t last = std::min<std::int64_t>(taps - 1, i + centre);
    double sum = 0.0;
    for (std::int64_t j = first; j <= last; ++j) sum += h[static_cast<size_t>(j)] * x[static_cast<size_t>(i + centre - j)];
    y[static_cast<size_t>(i - from)] = sum;
  }
  return y;
}

double MaxAbsDifference(const std::vector<double>& a, const std::vector<double>& b) {
  if (a.size() != b.size()) return INFINITY;
  double worst = 0.0;
  for (size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::fabs(a[i] - b[i]));
  return worst;
}

ToolResult RunTool(const std::vector<std::string>& args) {
  std::ostringstream out;
  std::ostringstream err;
  const int status = RunRenderTool(args, out, err);
  return {status, out.str(), err.str()};
}

}  // namespace tarvel::test
