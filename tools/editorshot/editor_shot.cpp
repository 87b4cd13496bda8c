// tarvel-editor-shot: opens a plug-in's editor in a window of its own, plays
// pink noise through the plug-in in real time while the GUI thread's work is
// done between audio calls, as a host's audio and GUI threads would, then
// writes what the editor window shows to a PNG file. Needs a display (under
// Xvfb: xvfb-run -a -s "-screen 0 1024x1024x24" ...).
//
//   tarvel-editor-shot PLUGIN OUT.png [SECONDS]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "tools/editorshot/ShotWindow.h"
#include "tools/fontgen/PngFile.h"
#include "tools/host/PluginInstance.h"
#include "tools/render/DemoSignal.h"

namespace {

using namespace tarvel;

int Fail(const std::string& message) {
  std::fprintf(stderr, "tarvel-editor-shot: %s\n", message.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Fail("usage: tarvel-editor-shot PLUGIN OUT.png [SECONDS]");
  const double seconds = argc > 3 ? std::atof(argv[3]) : 2.0;
  if (!(seconds > 0.0 && seconds <= 60.0)) return Fail("SECONDS must be above 0 and at most 60");

  std::string error;
  auto library = PluginLibrary::Open(argv[1], error);
  if (!library) return Fail(std::string(argv[1]) + ": " + error);
  auto plug = PluginInstance::Create(library, HostConfig{}, error);
  if (!plug) return Fail(error);
  constexpr int kRate = 44100;
  constexpr int kCall = 735;  // one 60 Hz GUI tick's worth
  plug->SetSampleRate(kRate);
  plug->SetBlockSize(kCall);
  plug->Resume();

  ERect* rect = nullptr;
  if (plug->Dispatch(effEditGetRect, 0, 0, &rect) != 1 || !rect) return Fail("the plug-in has no editor");
  const int width = rect->right - rect->left;
  const int height = rect->bottom - rect->top;
  auto window = ShotWindow::Create(width, height, error);
  if (!window) return Fail(error);
  if (plug->Dispatch(effEditOpen, 0, 0, window->Handle()) != 1 || !window->HasEditor())
    return Fail("the editor did not open");

  // Pink noise, in host-sized calls at the pace of real time.
  const auto noise = MakeDemoSignal(kRate, seconds);
  std::vector<double> outL(kCall), outR(kCall);
  double* outputs[2] = {outL.data(), outR.data()};
  const auto start = std::chrono::steady_clock::now();
  for (std::size_t at = 0; at + kCall <= noise[0].size(); at += kCall) {
    const double* inputs[2] = {noise[0].data() + at, noise[1].data() + at};
    plug->ProcessCall(ProcessMode::kFloat, inputs, outputs, kCall);
    window->Idle(*plug);
    std::this_thread::sleep_until(start + std::chrono::duration<double>(static_cast<double>(at + kCall) / kRate));
  }
  window->Idle(*plug);

  const std::vector<std::uint32_t> shot = window->Capture(width, height);
  plug->Dispatch(effEditClose);
  if (shot.empty()) return Fail("the editor window could not be read");
  std::vector<std::uint8_t> rgb;
  rgb.reserve(shot.size() * 3);
  for (const std::uint32_t p : shot) {
    rgb.push_back(static_cast<std::uint8_t>(p >> 16));
    rgb.push_back(static_cast<std::uint8_t>(p >> 8));
    rgb.push_back(static_cast<std::uint8_t>(p));
  }
  if (!WriteRgbPng(argv[2], width, height, rgb)) return 1;
  std::printf("%s: the editor after %.1f s of pink noise\n", argv[2], seconds);
  return 0;
}
