// Counts of this process's threads and open file descriptors, read from
// /proc, for checking that a piece of work left nothing running or open.
#pragma once

#include <dirent.h>

#include <chrono>
#include <thread>

namespace pellora::reliability {

inline int CountEntries(const char* directory) {
  DIR* dir = ::opendir(directory);
  if (dir == nullptr) return -1;
  int n = 0;
  while (const dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] != '.') ++n;
  }
  ::closedir(dir);
  return n;
}

// Threads of the process, the calling one included.
inline int ThreadCount() { return CountEntries("/proc/self/task"); }

// Open descriptors, not counting the one used to list them.
inline int OpenFdCount() { return CountEntries("/proc/self/fd") - 1; }

// Waits up to `limit` for `done()`; returns its last value.
template <typename Done>
bool WaitUntil(Done done, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return done();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

}  // namespace pellora::reliability
