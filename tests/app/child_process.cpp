// POSIX only: uses posix_spawn, pipe2 (Linux and the BSDs), poll and signals.
#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

extern char** environ;

namespace pellora::testing {

namespace {

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::vector<std::string>& extraEnv) {
  signal(SIGPIPE, SIG_IGN);
  int in[2];
  int out[2];
  if (pipe2(in, O_CLOEXEC) != 0) return;
  if (pipe2(out, O_CLOEXEC) != 0) {
    close(in[0]);
    close(in[1]);
    return;
  }
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    bool overridden = false;
    for (const std::string& extra : extraEnv) {
      const std::string name = extra.substr(0, extra.find('=') + 1);
      if (entry.compare(0, name.size(), name) == 0) overridden = true;
    }
    if (!overridden) env.push_back(entry);
  }
  env.insert(env.end(), extraEnv.begin(), extraEnv.end());

  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  const int failed =
      posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  close(out[1]);
  if (failed != 0) {
    pid_ = -1;
    close(in[1]);
    close(out[0]);
    return;
  }
  stdinFd_ = in[1];
  stdoutFd_ = out[0];
}

ChildProcess::~ChildProcess() {
  if (Running()) {
    kill(pid_, SIGKILL);
    waitpid(pid_, &status_, 0);
  }
  if (stdinFd_ >= 0) close(stdinFd_);
  if (stdoutFd_ >= 0) close(stdoutFd_);
}

bool ChildProcess::WriteLine(const std::string& line) {
  if (stdinFd_ < 0) return false;
  const std::string data = line + "\n";
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = write(stdinFd_, data.data() + done, data.size() - done);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool ChildProcess::ReadLine(std::string& line, int timeoutMs) {
  const int64_t deadline = NowMs() + timeoutMs;
  for (;;) {
    const size_t end = buffered_.find('\n');
    if (end != std::string::npos) {
      line = buffered_.substr(0, end);
      buffered_.erase(0, end + 1);
      return true;
    }
    const int64_t left = deadline - NowMs();
    if (left <= 0 || stdoutFd_ < 0) return false;
    pollfd p{stdoutFd_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left)) <= 0) return false;
    char chunk[4096];
    const ssize_t n = read(stdoutFd_, chunk, sizeof chunk);
    if (n <= 0) return false;
    buffered_.append(chunk, static_cast<size_t>(n));
  }
}

int ChildProcess::WaitExit(int timeoutMs) {
  if (exited_) return status_;
  if (pid_ <= 0) return -1;
  const int64_t deadline = NowMs() + timeoutMs;
  for (;;) {
    const pid_t r = waitpid(pid_, &status_, WNOHANG);
    if (r == pid_) {
      exited_ = true;
      return status_;
    }
    if (NowMs() >= deadline) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

}  // namespace pellora::testing
