#include "tools/render/Response.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "dsp/RealFft.h"
#include "tools/render/AlignedProcessor.h"
#include "tools/render/AudioFile.h"

namespace tarvel {
namespace {

constexpr double kLowestFrequency = 20.0;
constexpr double kFloorDecibels = -240.0;

// At least 1.5 s of signal: room for the longest kernel on both sides of the
// impulse and a bin spacing well under 1 Hz.
std::int32_t MeasurementLength(double sampleRate) {
  std::int32_t length = 1 << 14;
  while (length < sampleRate * 1.5 && length < (1 << 22)) length *= 2;
  return length;
}

// gnuplot's single-quoted strings take a quote as two.
std::string GnuplotQuoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) {
    quoted += c;
    if (c == '\'') quoted += '\'';
  }
  return quoted + "'";
}

// Script and log of one gnuplot run in the temporary directory, removed on
// every way out.
class GnuplotFiles {
 public:
  GnuplotFiles() {
    std::random_device random;
    const auto stem = std::filesystem::temp_directory_path() / ("tarvel-plot-" + std::to_string(random()));
    script_ = stem.string() + ".gp";
    log_ = stem.string() + ".log";
  }
  ~GnuplotFiles() {
    std::error_code ignored;
    std::filesystem::remove(script_, ignored);
    std::filesystem::remove(log_, ignored);
  }
  GnuplotFiles(const GnuplotFiles&) = delete;
  GnuplotFiles& operator=(const GnuplotFiles&) = delete;

  const std::string& Script() const { return script_; }
  const std::string& Log() const { return log_; }
  std::string FirstLogLine() const {
    std::ifstream log(log_);
    std::string line;
    while (std::getline(log, line)) {
      if (line.find_first_not_of(" \t\r^") != std::string::npos) return line;
    }
    return "no output";
  }

 private:
  std::string script_;
  std::string log_;
};

}  // namespace

std::vector<ResponsePoint> MeasureResponse(PluginInstance& instance, ProcessMode mode) {
  const double rate = instance.SampleRate();
  const std::int32_t length = MeasurementLength(rate);
  std::vector<double> impulse(static_cast<size_t>(length));
  impulse[static_cast<size_t>(length / 2)] = 1.0;
  std::vector<double> measured;
  measured.reserve(impulse.size());

  AlignedProcessor processor(instance, 1, mode);
  const AlignedProcessor::Sink collect = [&measured](const double* const* channels, std::int64_t frames) {
    measured.insert(measured.end(), channels[0], channels[0] + frames);
  };
  const double* input = impulse.data();
  processor.Push(&input, length, collect);
  processor.Finish(collect);

  std::vector<double> spectrum(measured.size());
  RealFft(measured.data(), spectrum.data(), length, kFftForward);
  // Undo the transform's 1/sqrt(n): an impulse through a unity gain reads 0 dB.
  const double scale = std::sqrt(static_cast<double>(length));
  std::vector<ResponsePoint> points;
  for (std::int32_t k = 1; k <= length / 2; ++k) {
    const double frequency = k * rate / length;
    if (frequency < kLowestFrequency) continue;
    const double re = spectrum[static_cast<size_t>(k)];
    const double im = 2 * k == length ? 0.0 : spectrum[static_cast<size_t>(length - k)];
    const double magnitude = std::hypot(re, im) * scale;
    points.push_back({frequency, magnitude > 0.0 ? std::max(20.0 * std::log10(magnitude), kFloorDecibels)
                                                 : kFloorDecibels});
  }
  return points;
}

bool WriteResponseCsv(const std::vector<ResponsePoint>& points, const std::string& path, std::string& error) {
  std::ofstream file(PathFromUtf8(path), std::ios::binary);
  file << "frequency_hz,magnitude_db\n";
  char line[64];
  for (const ResponsePoint& point : points) {
    std::snprintf(line, sizeof line, "%.6f,%.6f\n", point.frequency, point.decibels);
    file << line;
  }
  file.close();
  if (!file) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

bool PlotResponse(const std::vector<ResponsePoint>& points, double sampleRate, const std::vector<BandMark>& marks,
                  const std::string& title, const std::string& path, std::string& error) {
  double low = 0.0;
  double high = 0.0;
  for (const ResponsePoint& point : points) {
    low = std::min(low, point.decibels);
    high = std::max(high, point.decibels);
  }
  // Whole 6 dB steps with some room, at least +-18 dB so a flat line is not
  // blown up into its ripple, and nothing below -120 dB.
  low = std::max(std::min(std::floor(low / 6.0) * 6.0 - 6.0, -18.0), -120.0);
  high = std::max(std::ceil(high / 6.0) * 6.0 + 6.0, 18.0);
  const double nyquist = sampleRate / 2.0;

  GnuplotFiles files;
  {
    std::ofstream script(files.Script(), std::ios::binary);
    script << "set terminal pngcairo size 1100,640 enhanced font 'DejaVu Sans,11'\n"
           << "set output " << GnuplotQuoted(path) << "\n"
           << "set title " << GnuplotQuoted(title) << " noenhanced offset 0,1.5\n"
           << "set tmargin 5\n"
           << "set logscale x\n"
           << "set xrange [20:" << nyquist << "]\n"
           << "set yrange [" << low << ":" << high << "]\n"
           << "set xtics (\"20\" 20, \"50\" 50, \"100\" 100, \"200\" 200, \"500\" 500, \"1k\" 1000, "
              "\"2k\" 2000, \"5k\" 5000, \"10k\" 10000, \"20k\" 20000, \"50k\" 50000, \"100k\" 100000)\n"
           << "set ytics 6\n"
           << "set grid xtics ytics lc rgb '#dddddd'\n"
           << "set xlabel 'Frequency (Hz)'\n"
           << "set ylabel 'Magnitude (dB)'\n"
           << "unset key\n";
    int label = 1;
    for (const BandMark& mark : marks) {
      if (mark.frequency <= kLowestFrequency || mark.frequency >= nyquist) continue;
      script << "set arrow from " << mark.frequency << ", graph 0 to " << mark.frequency
             << ", graph 1 nohead dashtype 2 lc rgb '#cc6600'\n"
             << "set label " << label++ << " " << GnuplotQuoted(mark.name) << " at " << mark.frequency
             << ", graph 1.03 center noenhanced tc rgb '#cc6600'\n";
    }
    // The bins crowd together towards the top of a logarithmic axis; about
    // 2000 points evenly spread on it draw the same curve as a clean line.
    script << "$response << EOD\n";
    const double spacing = std::log10(nyquist / kLowestFrequency) / 2000.0;
    double lastDrawn = -1.0;
    char line[64];
    for (size_t i = 0; i < points.size(); ++i) {
      const double position = std::log10(points[i].frequency);
      if (i + 1 < points.size() && lastDrawn >= 0.0 && position - lastDrawn < spacing) continue;
      lastDrawn = position;
      std::snprintf(line, sizeof line, "%.6f %.6f\n", points[i].frequency, points[i].decibels);
      script << line;
    }
    script << "EOD\n"
           << "plot $response using 1:2 with lines lw 2 lc rgb '#1f5fa8'\n";
    if (!script) {
      error = "cannot write the gnuplot script " + files.Script();
      return false;
    }
  }
  const std::string command = "gnuplot \"" + files.Script() + "\" > \"" + files.Log() + "\" 2>&1";
  if (std::system(command.c_str()) != 0) {
    error = "gnuplot could not draw the plot (" + files.FirstLogLine() + ")";
    return false;
  }
  std::error_code missing;
  if (std::filesystem::file_size(PathFromUtf8(path), missing) == 0 || missing) {
    error = "gnuplot wrote no plot (" + files.FirstLogLine() + ")";
    return false;
  }
  return true;
}

}  // namespace tarvel
