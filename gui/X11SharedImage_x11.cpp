#include "gui/X11SharedImage_x11.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstddef>

namespace tarvel {

X11SharedImage::~X11SharedImage() {
  if (attached) {
    XShmDetach(display, &segment);
    XSync(display, False);
  }
  if (image) {
    image->data = nullptr;  // the segment is not Xlib's to free
    XDestroyImage(image);
  }
  if (segment.shmaddr) shmdt(segment.shmaddr);
  if (segment.shmid >= 0) shmctl(segment.shmid, IPC_RMID, nullptr);
}

std::unique_ptr<X11SharedImage> X11SharedImage::Create(Display* display, Visual* visual, int width, int height,
                                                       const int& caughtErrors) {
  if (!XShmQueryExtension(display)) return nullptr;
  auto shared = std::make_unique<X11SharedImage>();
  shared->display = display;
  shared->image = XShmCreateImage(display, visual, 24, ZPixmap, nullptr, &shared->segment,
                                  static_cast<unsigned>(width), static_cast<unsigned>(height));
  if (!shared->image || shared->image->bits_per_pixel != 32 || shared->image->byte_order != LSBFirst)
    return nullptr;
  const auto bytes = static_cast<std::size_t>(shared->image->bytes_per_line) * static_cast<std::size_t>(height);
  shared->segment.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
  if (shared->segment.shmid < 0) return nullptr;
  void* address = shmat(shared->segment.shmid, nullptr, 0);
  if (address == reinterpret_cast<void*>(-1)) return nullptr;
  shared->segment.shmaddr = shared->image->data = static_cast<char*>(address);
  shared->segment.readOnly = False;
  const int errorsBefore = caughtErrors;
  if (!XShmAttach(display, &shared->segment)) return nullptr;
  XSync(display, False);  // a refused attach arrives as an error
  // Marked for removal now: it goes once the server and we have detached.
  shmctl(shared->segment.shmid, IPC_RMID, nullptr);
  shared->segment.shmid = -1;
  if (caughtErrors != errorsBefore) return nullptr;
  shared->attached = true;
  return shared;
}

}  // namespace tarvel
