#pragma once
// The process-wide cache of decoded bitmap resources, shared by every editor
// of every instance in the process. Entries are added once and kept until the
// process exits; their bitmaps are only read after decoding.
//
// Threads: any; the lock guards lookups and appends only, never a decode.

#include <memory>

#include "plugin/GrowBuffer.h"
#include "plugin/RecursiveLock.h"
#include "raster/LICE_IBitmap.h"

namespace tarvel {

class BitmapCache {
 public:
  static BitmapCache& Instance();

  BitmapCache() = default;
  BitmapCache(const BitmapCache&) = delete;
  BitmapCache& operator=(const BitmapCache&) = delete;

  // The bitmap cached for resource id, or null.
  LICE_IBitmap* Find(int id);
  // Caches bitmap for id unless another caller cached one first; returns the
  // bitmap that every caller shares from now on (null only when the entry
  // could not be stored, in which case bitmap is destroyed).
  LICE_IBitmap* Add(int id, std::unique_ptr<LICE_IBitmap> bitmap);

 private:
  struct Entry {
    int id;
    std::unique_ptr<LICE_IBitmap> bitmap;
  };

  LICE_IBitmap* FindLocked(int id) const;

  RecursiveLock lock;
  PtrList<Entry> entries;
};

}  // namespace tarvel
