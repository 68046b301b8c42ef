// GoogleTest's hook for platform additions, used only for the Windows build.
// gcc 12's win32 thread model has no std::mutex or std::condition_variable,
// and GoogleTest needs them for one class only: Notification, which serves
// GoogleTest's own thread tests. Our tests start no threads, so this
// stand-in never waits; it only lets GoogleTest compile.
#pragma once

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
 public:
  Notification() = default;
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;

  void Notify() { notified_ = true; }
  void WaitForNotification() {
    while (!notified_) {
    }
  }

 private:
  volatile bool notified_ = false;
};

}  // namespace internal
}  // namespace testing
