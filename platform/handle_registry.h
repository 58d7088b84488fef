// Non-zero 32-bit handles for objects handed to applications (client handles, window
// handles). A pointer does not fit the 32-bit handle fields of the client records on x86_64,
// and a handle that is not (or no longer) registered must fail cleanly instead of reaching
// freed memory: every call looks its handle up here first.
#pragma once

#include <cstdint>
#include <limits>
#include <mutex>
#include <unordered_map>

namespace qvp {

using Handle = uint32_t;

// Takes the next free handle from `*counter`: counts upwards, skips 0 when the counter wraps
// and skips values still live in `live`. Returns 0 only when every value is taken. `Map` is
// any map keyed by Handle with count() and size().
template <typename Map>
Handle NextFreeHandle(Handle* counter, const Map& live) {
  if (live.size() >= std::numeric_limits<Handle>::max()) return 0;
  for (;;) {
    const Handle candidate = (*counter)++;
    if (candidate != 0 && live.count(candidate) == 0) return candidate;
  }
}

// Thread-safe map from handles to objects the registry does not own. Find() hands out the
// bare pointer: the owner must Remove() an object (and stop every user that found it) before
// destroying it.
template <typename T>
class HandleRegistry {
 public:
  // `first` is the first handle handed out; tests start near the wrap.
  explicit HandleRegistry(Handle first = 1) : next_(first) {}
  HandleRegistry(const HandleRegistry&) = delete;
  HandleRegistry& operator=(const HandleRegistry&) = delete;

  // Registers `object`; returns its handle, or 0 for a null object or a full registry.
  Handle Add(T* object) {
    if (object == nullptr) return 0;
    std::lock_guard<std::mutex> lock(mutex_);
    const Handle h = NextFreeHandle(&next_, objects_);
    if (h != 0) objects_.emplace(h, object);
    return h;
  }

  // The object of `h`, or nullptr for 0 and unknown handles.
  T* Find(Handle h) const {
    if (h == 0) return nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = objects_.find(h);
    return it == objects_.end() ? nullptr : it->second;
  }

  // Unregisters `h` and returns its object (nullptr when it was not registered).
  T* Remove(Handle h) {
    if (h == 0) return nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = objects_.find(h);
    if (it == objects_.end()) return nullptr;
    T* object = it->second;
    objects_.erase(it);
    return object;
  }

  size_t Size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return objects_.size();
  }

 private:
  mutable std::mutex mutex_;
  Handle next_;
  std::unordered_map<Handle, T*> objects_;
};

}  // namespace qvp
