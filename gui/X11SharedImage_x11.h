#pragma once
// An image in a shared memory segment that the X server reads in place
// (MIT-SHM): a present of the X11 editor is then a copy in memory and one
// small request, not 2.25 MiB through the connection. GUI thread.

#include <memory>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

namespace tarvel {

struct X11SharedImage {
  Display* display = nullptr;
  XShmSegmentInfo segment{};
  XImage* image = nullptr;
  bool attached = false;

  X11SharedImage() { segment.shmid = -1; }
  X11SharedImage(const X11SharedImage&) = delete;
  X11SharedImage& operator=(const X11SharedImage&) = delete;
  ~X11SharedImage();

  // Null where the server offers no MIT-SHM, cannot attach the segment (a
  // remote display), or would not take our pixels unconverted. caughtErrors
  // is the editor's count of its connection's errors: a refused attach
  // arrives as one.
  static std::unique_ptr<X11SharedImage> Create(Display* display, Visual* visual, int width, int height,
                                                const int& caughtErrors);
};

}  // namespace tarvel
