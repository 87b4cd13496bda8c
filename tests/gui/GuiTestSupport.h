#pragma once
// Stand-ins for the plug-in, a control and the window layer, recording what
// the graphics core and the controls do to them.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "gui/IControl.h"
#include "gui/IGraphics.h"
#include "plugin/IPlugBase.h"
#include "raster/LICE_MemBitmap.h"

namespace tarvel::testing {

// The host side of RecordingPlug: the gestures and resizes as events, the
// reports as pairs.
struct RecordingRequests final : IHostRequests {
  void BeginParameterGesture(int index) override { events.push_back("begin " + std::to_string(index)); }
  void ReportParameterToHost(int index, double normalized) override { reports.emplace_back(index, normalized); }
  void EndParameterGesture(int index) override { events.push_back("end " + std::to_string(index)); }
  double HostTempo() override { return 120.0; }
  void HostTimeSignature(int& numerator, int& denominator) override { numerator = denominator = 4; }
  void EditorResized(int width, int height) override {
    events.push_back("resized " + std::to_string(width) + "x" + std::to_string(height));
  }
  bool SendMidi(const MidiMessage&) override { return true; }

  std::vector<std::string> events;
  std::vector<std::pair<int, double>> reports;
};

// Holds the requests ahead of the base that reports to them.
struct WithRecordingRequests {
  RecordingRequests requests;
};

class RecordingPlug final : private WithRecordingRequests, public IPlugBase {
 public:
  // Parameters in dB, -60 to 30 with a step of 0.01, as the effect has them.
  explicit RecordingPlug(int parameterCount = 3)
      : IPlugBase(&requests, parameterCount, "1-2 2-2", 0, "Test", "Test", "Test", 0x00010000, 0x54657374,
                  0x54657374, 0, false, true, false) {
    for (int i = 0; i < parameterCount; ++i) GetParameter(i)->InitContinuous("p", 0.0, -60.0, 30.0, 0.01, "dB");
  }

  std::vector<std::string>& events = requests.events;
  std::vector<std::pair<int, double>>& reports = requests.reports;
};

// Records every event it gets into a log shared with the test.
class RecordingControl : public IControl {
 public:
  RecordingControl(IPlugBase& plug, const PixelRect& rect, std::vector<std::string>* log, std::string name)
      : IControl(plug, rect), log(log), name(std::move(name)) {}
  ~RecordingControl() override { Note("destroyed"); }

  void HandleMouseDown(int x, int y, const MouseMods& mods) override {
    Note("down " + Point(x, y));
    IControl::HandleMouseDown(x, y, mods);
  }
  void HandleMouseUp(int x, int y, const MouseMods&) override { Note("up " + Point(x, y)); }
  void HandleMouseDrag(int x, int y, int dx, int dy, const MouseMods&) override {
    Note("drag " + Point(x, y) + " by " + Point(dx, dy));
  }
  void HandleDoubleClick(int x, int y, const MouseMods& mods) override {
    Note("double " + Point(x, y));
    IControl::HandleDoubleClick(x, y, mods);
  }
  void HandleWheel(int x, int y, const MouseMods& mods, int steps) override {
    Note("wheel " + std::to_string(steps));
    IControl::HandleWheel(x, y, mods, steps);
  }
  void HandleKey(int, int, int key) override { Note("key " + std::to_string(key)); }
  void HandleMouseMove(int x, int y, const MouseMods&) override { Note("move " + Point(x, y)); }
  void HandleMouseLeave() override { Note("leave"); }
  bool Render(IGraphics&) override {
    Note("render");
    return true;
  }

  void Note(const std::string& what) {
    if (log) log->push_back(name + " " + what);
  }

 private:
  static std::string Point(int x, int y) { return std::to_string(x) + "," + std::to_string(y); }

  std::vector<std::string>* log;
  std::string name;
};

// The window layer: presents nowhere, decodes resources into plain bitmaps.
class RecordingGraphics : public IGraphics {
 public:
  RecordingGraphics(IPlugBase& plug, int width = 100, int height = 80, int frameRate = 30)
      : IGraphics(plug, width, height, frameRate) {}

  bool PresentRect(const PixelRect& rect) override {
    presented.push_back(rect);
    return true;
  }
  void OpenTextEditor(IControl*) override {}
  void OpenValueEditor(IControl* control, Parameter* parameter) override {
    valueEditors.emplace_back(control, parameter);
  }
  void GetHostFolder(std::string& folder) override { folder.clear(); }
  void GetModuleFolder(std::string& folder) override { folder.clear(); }
  void ChooseFile(std::string& path, int, const char*) override { path.clear(); }
  bool PickColor(ArgbColor&, const char*) override { return false; }
  bool OpenLink(const char*, const char*, const char*, const char*) override { return false; }
  void* OpenEditorWindow(void*) override { return nullptr; }
  void CloseEditorWindow() override {}
  void* GetNativeWindow() override { return nullptr; }
  // Resource id n decodes to an n % 1000 by 2 bitmap; ids from 5000 up are missing.
  LICE_IBitmap* LoadImageResource(int id, const char*) override {
    ++loads;
    if (id >= 5000) return nullptr;
    return new LICE_MemBitmap(id % 1000, 2, 4);
  }

  std::vector<PixelRect> presented;
  std::vector<std::pair<IControl*, Parameter*>> valueEditors;
  int loads = 0;
};

}  // namespace tarvel::testing
