#pragma once
// Shared by the renderer's tests: scratch directories, audio files through
// libsndfile, the filter the plug-in should apply and a direct convolution
// to compare against.

#include <sndfile.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace tarvel::test {

using Channels = std::vector<std::vector<double>>;

// A fresh directory under the system's temporary directory, removed with
// everything in it.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  // Name -> size and content of every file in the directory.
  std::map<std::string, std::string> Snapshot() const;

 private:
  std::filesystem::path path_;
};

bool WriteAudio(const std::string& path, const Channels& channels, int rate, int format);
// Empty on failure; info receives the file's format.
Channels ReadAudio(const std::string& path, SF_INFO* info = nullptr);

// Uniform noise in [-amplitude, amplitude], deterministic per seed.
Channels Noise(int channels, std::int64_t frames, unsigned seed, double amplitude = 0.5);

// Taps of the equaliser at rate with the five gains in dB, as the plug-in's
// engine applies them; the centre tap is at size() / 2.
std::vector<double> ExpectedKernel(double rate, const std::array<double, 5>& decibels);

// The input through the kernel, centred: out[i] = sum_j h[j] x[i + centre - j]
// with x zero outside the input, for i in [from, to) (to < 0: the input's end).
std::vector<double> FilterCentred(const std::vector<double>& x, const std::vector<double>& h,
                                  std::int64_t from = 0, std::int64_t to = -1);

double MaxAbsDifference(const std::vector<double>& a, const std::vector<double>& b);

struct ToolResult {
  int status;
  std::string out;
  std::string err;
};
ToolResult RunTool(const std::vector<std::string>& args);

}  // namespace tarvel::test
