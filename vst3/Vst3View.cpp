#include "vst3/Vst3View.h"

#include <cstring>

namespace tarvel::vst3 {

namespace {

constexpr uint64 kTickMilliseconds = 10;

}  // namespace

Vst3View::Vst3View(IPlugVST3& newOwner) : owner(newOwner) { owner.addRef(); }

Vst3View::~Vst3View() {
  if (isAttached) removed();
  owner.ViewDestroyed();
  owner.release();
}

tresult Vst3View::queryInterface(const TUID iid, void** obj) {
  if (!obj) return kInvalidArgument;
  *obj = nullptr;
  if (SameUid(iid, kFUnknownIid) || SameUid(iid, kIPlugViewIid))
    *obj = static_cast<IPlugView*>(this);
  else if (SameUid(iid, kITimerHandlerIid))
    *obj = static_cast<ITimerHandler*>(this);
  else
    return kNoInterface;
  addRef();
  return kResultOk;
}

uint32 Vst3View::addRef() { return ++references; }

uint32 Vst3View::release() {
  const uint32 left = --references;
  if (left == 0) delete this;
  return left;
}

tresult Vst3View::isPlatformTypeSupported(FIDString type) {
  return type && std::strcmp(type, NativeViewType()) == 0 ? kResultTrue : kResultFalse;
}

tresult Vst3View::attached(void* parent, FIDString type) {
  if (isAttached || !parent || isPlatformTypeSupported(type) != kResultTrue) return kResultFalse;
  if (TicksFromHostTimer()) {
    if (!frame) return kResultFalse;
    void* loop = nullptr;
    if (frame->queryInterface(kIRunLoopIid.data(), &loop) != kResultOk || !loop) return kResultFalse;
    runLoop = static_cast<IRunLoop*>(loop);
  }
  // Outside the instance lock: the audio thread goes on meanwhile.
  if (!owner.OpenEditor(parent)) {
    if (runLoop) runLoop->release();
    runLoop = nullptr;
    return kResultFalse;
  }
  isAttached = true;
  if (runLoop && runLoop->registerTimer(this, kTickMilliseconds) != kResultOk) {
    removed();
    return kResultFalse;
  }
  return kResultOk;
}

tresult Vst3View::removed() {
  if (!isAttached) return kResultFalse;
  isAttached = false;
  if (runLoop) {
    runLoop->unregisterTimer(this);
    runLoop->release();
    runLoop = nullptr;
  }
  owner.CloseEditor();
  return kResultOk;
}

// Input reaches the editor through its own window.
tresult Vst3View::onWheel(float) { return kResultFalse; }
tresult Vst3View::onKeyDown(char16, int16, int16) { return kResultFalse; }
tresult Vst3View::onKeyUp(char16, int16, int16) { return kResultFalse; }
tresult Vst3View::onFocus(TBool) { return kResultOk; }

ViewRect Vst3View::Size() const {
  const IEditor* editor = owner.Plug().Editor();
  return {0, 0, editor->Width(), editor->Height()};
}

tresult Vst3View::getSize(ViewRect* size) {
  if (!size) return kInvalidArgument;
  *size = Size();
  return kResultOk;
}

tresult Vst3View::onSize(ViewRect* newSize) {
  if (!newSize) return kInvalidArgument;
  const ViewRect fixed = Size();
  const bool same = newSize->right - newSize->left == fixed.right && newSize->bottom - newSize->top == fixed.bottom;
  return same ? kResultOk : kResultFalse;
}

tresult Vst3View::setFrame(IPlugFrame* newFrame) {
  frame = newFrame;
  return kResultOk;
}

tresult Vst3View::canResize() { return kResultFalse; }

tresult Vst3View::checkSizeConstraint(ViewRect* rect) {
  if (!rect) return kInvalidArgument;
  const ViewRect fixed = Size();
  rect->right = rect->left + fixed.right;
  rect->bottom = rect->top + fixed.bottom;
  return kResultOk;
}

void Vst3View::onTimer() {
  if (isAttached) owner.TickEditor();
}

}  // namespace tarvel::vst3
