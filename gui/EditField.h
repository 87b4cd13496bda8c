#pragma once
// The in-window value and text editor of window layers without native edit
// controls (X11): a field drawn over the controls with the module's bitmap
// font, holding the typed text, the control and parameter it edits, and its
// state (the same states as the Windows editor's). Portable: the window
// layer turns its key and mouse events into these calls and applies the
// result at its next tick.
//
// Threads: the host's GUI thread only.

#include <memory>
#include <string>

#include "gui/GuiTypes.h"
#include "gui/IGraphics.h"

namespace tarvel {

class IControl;
class LICE_SysBitmap;
class Parameter;
struct BitmapFont;
struct TextLabel;

struct EditField {
  static constexpr std::size_t kTextChars = 999;
  static constexpr int kHeight = 18;  // a value editor's height

  EditField();
  ~EditField();
  EditField(const EditField&) = delete;
  EditField& operator=(const EditField&) = delete;

  // Opens over rect, kept inside a window of windowWidth x windowHeight and
  // at least 8 by 8 pixels, with text; an open field is replaced.
  void Open(IControl* newControl, Parameter* newParam, const PixelRect& rect, int windowWidth, int windowHeight,
            const char* newText, const BitmapFont* font);
  // Closes the field (nothing without one); what lay under it is to be
  // painted again.
  void Close();
  bool IsOpen() const { return control != nullptr; }

  // Typing: false where nothing changed (read-only, full, or not a
  // printable Latin-1 character, which the bitmap font's codes share).
  bool Backspace();
  bool Type(char c);
  // The parameter's current display text, where the controls under the
  // field changed; false when it already shows it.
  bool Refresh();

  // Draws the field's border, paper, the end of its text that fits and the
  // caret into bitmap (nothing where the field does not fit in it).
  void Draw(LICE_SysBitmap& bitmap) const;

  IControl* control = nullptr;
  Parameter* param = nullptr;
  PixelRect rect;
  std::string text;
  bool readOnly = false;
  bool password = false;
  IGraphics::TextEditState state = IGraphics::kEditNone;

 private:
  std::unique_ptr<TextLabel> label;
};

}  // namespace tarvel
