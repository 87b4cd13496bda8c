#pragma once
// The magnitude response of a plug-in's current setting, measured through the
// plug-in itself: an impulse rendered with its latency removed, then its
// spectrum. Written as a table or plotted with gnuplot.

#include <string>
#include <vector>

#include "tools/host/PluginInstance.h"

namespace tarvel {

struct ResponsePoint {
  double frequency;  // Hz
  double decibels;
};

struct BandMark {
  std::string name;
  double frequency;
};

// Measured on a set-up, resumed instance at its sample rate; one point per
// bin from 20 Hz to the Nyquist frequency.
std::vector<ResponsePoint> MeasureResponse(PluginInstance& instance, ProcessMode mode);

// "frequency_hz,magnitude_db" and one line per point.
bool WriteResponseCsv(const std::vector<ResponsePoint>& points, const std::string& path, std::string& error);

// A PNG plot on a logarithmic frequency axis from 20 Hz to the Nyquist
// frequency with the marks drawn as labelled vertical lines. Runs gnuplot.
bool PlotResponse(const std::vector<ResponsePoint>& points, double sampleRate, const std::vector<BandMark>& marks,
                  const std::string& title, const std::string& path, std::string& error);

}  // namespace tarvel
