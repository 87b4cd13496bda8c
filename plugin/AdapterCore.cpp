#include "plugin/AdapterCore.h"

namespace tarvel {

bool AdapterCore::Build(const PlugFactory& make, int blockSize) {
  plug = make(*this);
  if (!plug) return false;
  plug->SetInputConnections(0, plug->InputChannelCount(), true);
  plug->SetOutputConnections(0, plug->OutputChannelCount(), true);
  plug->SetBlockSize(blockSize);
  return true;
}

void* AdapterCore::OpenEditor(void* parent) {
  IEditor* editor = plug->Editor();
  void* window = editor ? editor->OpenEditorWindow(parent) : nullptr;
  if (window) plug->EditorOpened();
  return window;
}

bool AdapterCore::CloseEditor() {
  IEditor* editor = plug->Editor();
  if (!editor) return false;
  plug->EditorClosed();
  editor->CloseEditorWindow();
  return true;
}

void AdapterCore::TickEditor() {
  if (IEditor* editor = plug->Editor()) editor->Idle();
}

void AdapterCore::SetActive(bool active) {
  LockGuard guard(plug->InstanceLock());
  plug->ActivationChanged(active);
  if (!active) plug->ResetProcessing();
}

RecursiveLock& EntryLock() {
  static RecursiveLock lock;
  return lock;
}

}  // namespace tarvel
