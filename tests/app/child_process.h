// POSIX only: uses pid_t and file descriptors.
// Runs a program as a child process with pipes to its stdin and stdout, for
// tests of whole programs.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace pellora::testing {

class ChildProcess {
 public:
  // Starts `program` with `args`, the current environment plus `extraEnv`
  // ("NAME=value" entries, overriding). Running() tells whether it started.
  ChildProcess(const std::string& program, const std::vector<std::string>& args,
               const std::vector<std::string>& extraEnv = {});
  // Kills (SIGKILL) and reaps the child if it still runs.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  [[nodiscard]] bool Running() const { return pid_ > 0 && !exited_; }
  [[nodiscard]] pid_t Pid() const { return pid_; }

  // Writes `line` and a line feed to the child's stdin.
  bool WriteLine(const std::string& line);

  // Reads stdout lines until one satisfies `match` (given each line without
  // its line feed); returns that line, or "" when the time runs out or the
  // child closes its stdout first.
  template <typename Match>
  std::string ReadLineUntil(Match match, int timeoutMs) {
    std::string line;
    while (ReadLine(line, timeoutMs)) {
      if (match(line)) return line;
    }
    return {};
  }

  // Waits up to `timeoutMs` for the child to end; returns its wait status, or
  // -1 when it is still running.
  int WaitExit(int timeoutMs);

 private:
  bool ReadLine(std::string& line, int timeoutMs);

  pid_t pid_ = -1;
  int stdinFd_ = -1;
  int stdoutFd_ = -1;
  bool exited_ = false;
  int status_ = 0;
  std::string buffered_;
};

}  // namespace pellora::testing
