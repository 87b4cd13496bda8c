#pragma once
// The platform's window layer for an editor: the graphics object that opens
// the editor window in the host's window and drives its ticks. Windows:
// IGraphicsWin (gui/IGraphicsWin_win32.cpp); X11: IGraphicsX11
// (gui/IGraphicsX11_x11.cpp).

#include <memory>

#include "gui/IGraphics.h"

namespace tarvel {

// A graphics object of width by height pixels ticking frameRate times a second,
// whose windows, classes and resources belong to module (ModuleHandle()).
// Constructor thread; allocates.
std::unique_ptr<IGraphics> MakeEditorGraphics(IPlugBase& plug, int width, int height, int frameRate, void* module);

}  // namespace tarvel
