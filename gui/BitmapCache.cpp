#include "gui/BitmapCache.h"

namespace tarvel {

BitmapCache& BitmapCache::Instance() {
  static BitmapCache cache;
  return cache;
}

LICE_IBitmap* BitmapCache::FindLocked(int id) const {
  for (int i = 0; i < entries.Count(); ++i) {
    const Entry* entry = entries.Get(i);
    if (entry->id == id) return entry->bitmap.get();
  }
  return nullptr;
}

LICE_IBitmap* BitmapCache::Find(int id) {
  LockGuard guard(lock);
  return FindLocked(id);
}

LICE_IBitmap* BitmapCache::Add(int id, std::unique_ptr<LICE_IBitmap> bitmap) {
  LockGuard guard(lock);
  // Two editors that missed at the same time both decode; the first one kept wins.
  if (LICE_IBitmap* existing = FindLocked(id)) return existing;
  Entry* entry = entries.Append(std::make_unique<Entry>(Entry{id, std::move(bitmap)}));
  return entry ? entry->bitmap.get() : nullptr;
}

}  // namespace tarvel
