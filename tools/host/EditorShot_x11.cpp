// editor-shot-x11 PLUGIN.so OUT.png [SECONDS]: opens the plug-in's editor in
// a top-level X11 window of the test host, plays pink noise through the
// plug-in while idling the editor at 60 Hz (1 s by default), then writes the
// editor window's pixels as read back from the X server to OUT.png.
// Needs an X server (xvfb-run -a -s "-screen 0 1024x1024x24" ...).

#include <png.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tools/host/PluginInstance.h"
#include "tools/host/PluginLibrary.h"
#include "tools/host/X11Window_x11.h"

namespace {

using namespace tarvel;

int Fail(const std::string& message) {
  std::fprintf(stderr, "editor-shot-x11: %s\n", message.c_str());
  return 1;
}

// Pink noise: white noise through three one-pole filters whose sum falls
// 3 dB an octave across the audio band.
class PinkNoise {
 public:
  float Next() {
    const double white = noise(random);
    b0 = 0.99765 * b0 + white * 0.0990460;
    b1 = 0.96300 * b1 + white * 0.2965164;
    b2 = 0.57000 * b2 + white * 1.0526913;
    return static_cast<float>(0.05 * (b0 + b1 + b2 + white * 0.1848));
  }

 private:
  std::mt19937 random{7};
  std::normal_distribution<double> noise{0.0, 1.0};
  double b0 = 0.0, b1 = 0.0, b2 = 0.0;
};

bool WritePng(const std::string& path, const std::vector<std::uint32_t>& pixels, int width, int height) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  std::vector<png_byte> row(static_cast<std::size_t>(width) * 3);
  bool ok = png && info && setjmp(png_jmpbuf(png)) == 0;
  if (ok) {
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const std::uint32_t p = pixels[static_cast<std::size_t>(y) * width + x];
        row[x * 3] = static_cast<png_byte>(p >> 16);
        row[x * 3 + 1] = static_cast<png_byte>(p >> 8);
        row[x * 3 + 2] = static_cast<png_byte>(p);
      }
      png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
  }
  png_destroy_write_struct(&png, &info);
  return std::fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) return Fail("usage: editor-shot-x11 PLUGIN.so OUT.png [SECONDS]");
  const double seconds = argc == 4 ? std::atof(argv[3]) : 1.0;
  if (!(seconds > 0.0 && seconds <= 600.0)) return Fail("SECONDS must be above 0 and at most 600");
  std::string error;
  auto library = PluginLibrary::Open(argv[1], error);
  if (!library) return Fail(error);
  auto plug = PluginInstance::Create(library, HostConfig{}, error);
  if (!plug) return Fail(error);
  ERect* rect = nullptr;
  if (plug->Dispatch(effEditGetRect, 0, 0, &rect) != 1 || !rect) return Fail("the plug-in has no editor");
  const int width = rect->right - rect->left;
  const int height = rect->bottom - rect->top;
  auto host = X11HostWindow::Create(width, height, error);
  if (!host) return Fail(error);
  if (plug->Dispatch(effEditOpen, 0, 0, host->Handle()) != 1 || host->Children().empty())
    return Fail("the editor did not open");

  constexpr int kRate = 48000;
  constexpr int kBlock = 800;  // one 60 Hz tick's worth
  plug->SetSampleRate(kRate);
  plug->SetBlockSize(kBlock);
  plug->Resume();
  PinkNoise pink;
  std::vector<float> left(kBlock), right(kBlock);
  auto next = std::chrono::steady_clock::now();
  for (int tick = 0; tick < static_cast<int>(seconds * 60.0); ++tick) {
    for (int i = 0; i < kBlock; ++i) left[i] = right[i] = pink.Next();
    float* in[2] = {left.data(), right.data()};
    float* out[2] = {left.data(), right.data()};
    plug->ProcessFloat(in, out, kBlock);
    plug->Dispatch(effEditIdle);
    next += std::chrono::microseconds(16667);
    std::this_thread::sleep_until(next);
  }
  const std::vector<std::uint32_t> pixels = host->ReadPixels(host->Children().front(), width, height);
  plug->Dispatch(effEditClose);
  if (pixels.empty()) return Fail("cannot read the editor's pixels");
  if (!WritePng(argv[2], pixels, width, height)) return Fail(std::string("cannot write ") + argv[2]);
  std::printf("%s: %d x %d, after %.1f s of pink noise\n", argv[2], width, height, seconds);
  return 0;
}
