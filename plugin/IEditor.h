#pragma once
// The editor as the plug-in core sees it. The graphics object implements it;
// IPlugBase owns the attached editor and deletes it through this interface.
// Every call comes from the host's GUI thread (the dispatcher) or from
// IPlugBase under the instance lock; none may come from the audio thread.

namespace tarvel {

class IEditor {
 public:
  virtual ~IEditor() = default;

  // Shows a parameter's value (normalised in [0, 1], or in real units) in the
  // controls bound to that parameter. Called under the instance lock.
  virtual void PushParameterToControls(int index, double value, bool isNormalized) = 0;
  // Creates the drawing surfaces; called once, when the editor is attached.
  virtual void CreateDrawBitmaps() = 0;
  // Opens the editor window as a child of the host's window; returns the
  // native window, or null.
  virtual void* OpenEditorWindow(void* parent) = 0;
  virtual void CloseEditorWindow() = 0;
  // The host's idle call for an open editor (effEditIdle), on the GUI thread
  // outside the instance lock. Window systems without a window timer tick here.
  virtual void Idle() {}
  // The descriptor of the open window's own display connection, for hosts
  // that watch descriptors and tick the editor when it has input; -1 for
  // none (no window open, or a window system without one).
  virtual int ConnectionDescriptor() const { return -1; }
  virtual int Width() const = 0;
  virtual int Height() const = 0;
};

}  // namespace tarvel
