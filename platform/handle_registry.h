// Non-zero 32-bit handles for objects handed to applications (client handles, window
// handles). A pointer does not fit the 32-bit handle fields of the client records on x86_64,
// and a handle that is not (or no longer) registered must fail cleanly instead of reaching
// freed memory: every call looks its handle up here first.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <limits>
#include <mutex>
#include <unordered_map>
#include <utility>

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

// Thread-safe map from handles to objects the registry does not own. A lookup hands out a
// Lease, which keeps the object registered-in-use until it goes: Remove() takes the handle
// away at once (later lookups fail) and then waits until every lease of it has ended, so the
// owner may destroy the object as soon as Remove() returns, whatever other threads were doing
// with it. A thread must not Remove() a handle while it holds a lease of that handle itself.
template <typename T>
class HandleRegistry {
  struct Slot {
    T* object = nullptr;
    int leases = 0;
    bool removing = false;
  };

 public:
  // A looked-up object, usable until the lease goes (move-only).
  class Lease {
   public:
    Lease() = default;
    Lease(Lease&& other) noexcept { *this = std::move(other); }
    Lease& operator=(Lease&& other) noexcept {
      if (this != &other) {
        End();
        registry_ = std::exchange(other.registry_, nullptr);
        slot_ = std::exchange(other.slot_, nullptr);
      }
      return *this;
    }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    ~Lease() { End(); }

    T* get() const { return slot_ == nullptr ? nullptr : slot_->object; }
    T& operator*() const { return *get(); }
    T* operator->() const { return get(); }
    explicit operator bool() const { return slot_ != nullptr; }

   private:
    friend class HandleRegistry;
    Lease(HandleRegistry* registry, Slot* slot) : registry_(registry), slot_(slot) {}
    void End() {
      if (registry_ != nullptr) registry_->Release(slot_);
      registry_ = nullptr;
      slot_ = nullptr;
    }

    HandleRegistry* registry_ = nullptr;
    Slot* slot_ = nullptr;
  };

  // `first` is the first handle handed out; tests start near the wrap.
  explicit HandleRegistry(Handle first = 1) : next_(first) {}
  HandleRegistry(const HandleRegistry&) = delete;
  HandleRegistry& operator=(const HandleRegistry&) = delete;

  // Registers `object`; returns its handle, or 0 for a null object or a full registry.
  Handle Add(T* object) {
    if (object == nullptr) return 0;
    std::lock_guard<std::mutex> lock(mutex_);
    const Handle h = NextFreeHandle(&next_, slots_);
    if (h != 0) slots_[h].object = object;
    return h;
  }

  // A lease of the object of `h`; empty for 0, unknown handles and handles being removed.
  Lease Find(Handle h) {
    if (h == 0) return {};
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = slots_.find(h);
    if (it == slots_.end() || it->second.removing) return {};
    ++it->second.leases;
    // Map nodes keep their address until erased, and a slot with leases is never erased.
    return Lease(this, &it->second);
  }

  // Unregisters `h`, waits until its last lease ended and returns its object (nullptr when it
  // was not registered, or another Remove() of it is under way).
  T* Remove(Handle h) {
    if (h == 0) return nullptr;
    std::unique_lock<std::mutex> lock(mutex_);
    const auto it = slots_.find(h);
    if (it == slots_.end() || it->second.removing) return nullptr;
    Slot& slot = it->second;
    slot.removing = true;
    released_.wait(lock, [&slot] { return slot.leases == 0; });
    T* object = slot.object;
    slots_.erase(h);
    return object;
  }

  // Registered handles, including those being removed.
  size_t Size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return slots_.size();
  }

 private:
  void Release(Slot* slot) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (--slot->leases == 0 && slot->removing) released_.notify_all();
  }

  mutable std::mutex mutex_;
  std::condition_variable released_;
  Handle next_;
  std::unordered_map<Handle, Slot> slots_;
};

}  // namespace qvp
