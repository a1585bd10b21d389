// Child: posix_spawn with two pipes, non-blocking reads, and waitpid with a deadline.
#include "child.h"

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

namespace StandaloneTest {
namespace {

using Clock = std::chrono::steady_clock;

int remaining(Clock::time_point deadline) {
  return (int)std::max<long>(0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
}

}  // namespace

Child::Child(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
  std::vector<std::string> environment;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    bool replaced = false;
    for (const std::string& mine : env)
      replaced |= entry.substr(0, entry.find('=') + 1) == mine.substr(0, mine.find('=') + 1);
    if (!replaced) environment.push_back(entry);
  }
  environment.insert(environment.end(), env.begin(), env.end());
  std::vector<char*> args, envp;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  for (const std::string& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
  args.push_back(nullptr);
  envp.push_back(nullptr);
  int out[2], err[2];
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  close(err[1]);
  outFd_ = out[0];
  errFd_ = err[0];
  fcntl(outFd_, F_SETFL, O_NONBLOCK);
  fcntl(errFd_, F_SETFL, O_NONBLOCK);
}

Child::~Child() {
  if (running()) {
    kill(pid_, SIGKILL);
    wait(5000);
  }
  close(outFd_);
  close(errFd_);
}

void Child::pump(int ms) {
  pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
  if (poll(fds, 2, ms) <= 0) return;
  char buffer[4096];
  for (int i = 0; i < 2; ++i) {
    ssize_t got;
    while ((got = read(fds[i].fd, buffer, sizeof buffer)) > 0) (i ? err_ : out_).append(buffer, (size_t)got);
  }
}

std::string Child::waitForLine(const std::string& text, int ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  for (pump(0);;) {
    for (size_t end; (end = out_.find('\n', scanned_)) != std::string::npos; scanned_ = end + 1) {
      const std::string line = out_.substr(scanned_, end - scanned_);
      if (line.find(text) != std::string::npos) {
        scanned_ = end + 1;
        return line;
      }
    }
    if (Clock::now() >= deadline || !running()) return {};
    pump(std::min(remaining(deadline), 50));
  }
}

void Child::signal(int number) const {
  if (pid_ > 0) kill(pid_, number);
}

bool Child::running() {
  if (pid_ <= 0 || status_ >= 0) return false;
  int raw = 0;
  if (waitpid(pid_, &raw, WNOHANG) != pid_) return true;
  status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  pump(0);
  return false;
}

int Child::wait(int ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  while (running() && Clock::now() < deadline) pump(std::min(remaining(deadline), 20));
  pump(0);
  return status_;
}

}  // namespace StandaloneTest
