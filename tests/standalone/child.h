// A program the tests start and watch: its stdout and stderr lines, signals, and its exit status, by process id.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace StandaloneTest {

class Child {
 public:
  // Starts argv[0] (a path) with the environment plus env ("NAME=value" entries replace what they name).
  explicit Child(const std::vector<std::string>& argv, const std::vector<std::string>& env = {});
  ~Child();  // a child still running is killed and reaped
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  // Waits up to ms for a stdout line that contains text; that line, or empty on time-out or exit.
  std::string waitForLine(const std::string& text, int ms = 10000);
  void signal(int number) const;
  // The exit status, or -1 when it did not exit within ms, or 128 + the signal that ended it.
  int wait(int ms = 10000);
  bool running();

  // Reads what the pipes hold now, leaving waitForLine's place where it was (for quoting out() and err()).
  void collect() { pump(0); }
  const std::string& out() const { return out_; }
  const std::string& err() const { return err_; }
  pid_t pid() const { return pid_; }

 private:
  void pump(int ms);  // reads what the two pipes have, waiting at most ms for something

  pid_t pid_ = -1;
  int outFd_ = -1, errFd_ = -1;
  size_t scanned_ = 0;  // how much of out_ waitForLine has looked at
  std::string out_, err_;
  int status_ = -1;
};

}  // namespace StandaloneTest
