#pragma once
// The editor of Tarvel: one control covering the whole 768 x 768 window that
// paints a picture computed from a frame counter, the pixel's position and the
// audio summary the engine leaves in the instance's InstanceSlot, with a line
// of white bitmap text at the bottom.
//
// Threads: Render and the mouse handlers run on the host's GUI thread. They
// read the audio summary without a lock while the audio thread rewrites it (a
// frame may mix two processing calls, which only changes colours). BuildEditor
// runs in the effect's constructor, under the instance lock and the entry lock.

#include <array>
#include <cstdint>

#include "effect/InstanceSlot.h"
#include "gui/IControl.h"

namespace tarvel {

class IPlugBase;

inline constexpr int kEditorSize = 768;
inline constexpr int kEditorFrameRate = 1000;

class IDrawControl final : public IControl {
 public:
  IDrawControl(IPlugBase& plug, InstanceSlot& slot);

  // A press or a drag sets the frame counter to x + y (16 bits).
  void HandleMouseDown(int x, int y, const MouseMods& mods) override;
  void HandleMouseDrag(int x, int y, int dx, int dy, const MouseMods& mods) override;
  // Advances the frame counter and writes every pixel's blue, green and red
  // (alpha untouched), then the text line. Never allocates.
  bool Render(IGraphics& graphics) override;
  // Always: the picture changes at every tick.
  bool NeedsRedraw() override { return true; }

 private:
  InstanceSlot* slot;
  // The picture's column terms for even and odd row sums (see Render).
  std::array<std::uint32_t, kEditorSize> columnTerms[2];
};

// Builds the editor for the instance holding slot (its registry record index
// slotIndex) and attaches it to plug: the platform's graphics object with one
// IDrawControl, the draw bitmap's pixels published in slot, the process-wide
// font (decoded once, kept until the module is unloaded) and the slot's text
// label.
void BuildEditor(IPlugBase& plug, InstanceSlot& slot, std::int32_t slotIndex);
// Frees the slot's text label; the graphics object goes with the plug-in base.
void ReleaseEditorRecord(InstanceSlot& slot);

}  // namespace tarvel
