#pragma once
// The editor as a VST3 view: the effect's one editor window, opened as a
// child of the host's window (an HWND on Windows, an X11 window id on Linux)
// at 768 x 768, not resizable. On Linux the window layer has no timer of its
// own: the view asks the host's run loop (from its IPlugFrame) for a timer of
// 10 ms and ticks the editor from it, which also drains the display
// connection. On Windows the window's own timer ticks it.
//
// Threads: every call comes from the host's main thread. The window opens,
// ticks and closes outside the instance lock, so processing goes on meanwhile.
// The view holds a reference to its instance; released while attached, it
// removes itself first.

#include <atomic>

#include "vst3/IPlugVST3.h"
#include "vst3/Vst3Abi.h"

namespace tarvel::vst3 {

class Vst3View final : public IPlugView, public ITimerHandler {
 public:
  explicit Vst3View(IPlugVST3& owner);

  tresult queryInterface(const TUID iid, void** obj) override;
  uint32 addRef() override;
  uint32 release() override;

  tresult isPlatformTypeSupported(FIDString type) override;
  tresult attached(void* parent, FIDString type) override;
  tresult removed() override;
  tresult onWheel(float distance) override;
  tresult onKeyDown(char16 key, int16 keyCode, int16 modifiers) override;
  tresult onKeyUp(char16 key, int16 keyCode, int16 modifiers) override;
  tresult getSize(ViewRect* size) override;
  tresult onSize(ViewRect* newSize) override;
  tresult onFocus(TBool state) override;
  tresult setFrame(IPlugFrame* newFrame) override;
  tresult canResize() override;
  tresult checkSizeConstraint(ViewRect* rect) override;

  void onTimer() override;

 private:
  ~Vst3View();
  ViewRect Size() const;

  std::atomic<uint32> references{1};
  IPlugVST3& owner;
  IPlugFrame* frame = nullptr;  // not referenced: the host keeps it while it is set
  IRunLoop* runLoop = nullptr;  // referenced while the timer is registered
  bool isAttached = false;
};

// The platform's view type ("HWND" or "X11EmbedWindowID") and whether its
// editor needs the host's timer to tick.
const char* NativeViewType();
bool TicksFromHostTimer();

}  // namespace tarvel::vst3
