#pragma once
// An editor that records what the plug-in core and the adapters do to it:
// the values pushed into its controls, its bitmaps, windows opened (a window
// for any parent) and closed, and its destruction.

#include <vector>

#include "plugin/IEditor.h"

namespace tarvel::test {

class FakeEditor : public IEditor {
 public:
  struct Push {
    int index;
    double value;
    bool isNormalized;
  };
  explicit FakeEditor(bool* destroyed = nullptr) : destroyed(destroyed) {}
  ~FakeEditor() override {
    if (destroyed) *destroyed = true;
  }
  void PushParameterToControls(int index, double value, bool isNormalized) override {
    pushes.push_back({index, value, isNormalized});
  }
  void CreateDrawBitmaps() override { bitmapsCreated = true; }
  void* OpenEditorWindow(void* parent) override { return parent ? this : nullptr; }
  void CloseEditorWindow() override { ++closes; }
  int Width() const override { return width; }
  int Height() const override { return height; }

  std::vector<Push> pushes;
  bool bitmapsCreated = false;
  int closes = 0;
  int width = 300;
  int height = 200;

 private:
  bool* destroyed;
};

}  // namespace tarvel::test
