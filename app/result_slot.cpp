#include "app/result_slot.h"

#include <mutex>
#include <utility>

namespace pellora {

namespace {

// Built on first use and never destroyed, so a lookup thread still running
// while the process ends can never find the lock or the text torn down.
struct Slot {
  std::mutex mutex;
  Text text;
};

Slot& TheSlot() {
  static Slot* slot = new Slot;
  return *slot;
}

}  // namespace

void StoreResult(Text text) {
  Slot& slot = TheSlot();
  Text released;
  {
    std::lock_guard<std::mutex> lock(slot.mutex);
    released = std::exchange(slot.text, std::move(text));
  }
  // `released` is freed here, outside the lock.
}

Text TakeResult() {
  Slot& slot = TheSlot();
  std::lock_guard<std::mutex> lock(slot.mutex);
  return std::exchange(slot.text, Text());
}

void OnProgramExit() { (void)TakeResult(); }

}  // namespace pellora
