// Standalone::App: koralin from its options to its exit status. It makes the instrument, reads its state (or joins
// a session), starts the JACK client, the ALSA input and the window, and runs the main thread's loop: signals, the
// server going away, a new sample rate, the window's keys and close button, the session manager's requests, and
// the title and status lines that follow the current program.
#pragma once

#include <memory>
#include <string>

#include "plugin/embed/instance.h"
#include "plugin/standalone/alsa_input.h"
#include "plugin/standalone/editor_window.h"
#include "plugin/standalone/jack_engine.h"
#include "plugin/standalone/nsm_client.h"
#include "plugin/standalone/options.h"

namespace Standalone {

// Exit statuses.
constexpr int kEnded = 0, kServerGone = 1, kCannotStart = 2;

class App {
 public:
  App(const Options& options, std::string executable) : options_(options), executable_(std::move(executable)) {}
  int run();

 private:
  // A line on stdout with --verbose.
  void say(const std::string& line) const;
  // One line on stderr; returns kCannotStart.
  static int fail(const std::string& line);

  int prepare();  // everything before the loop; kEnded when it is ready to play
  int startJack(const std::string& name, bool exactName);
  bool joinSession(int& status);
  void openSession(const NsmClient::Message& open, int& status);
  int loop();
  void reportServer();
  void stepProgram(int step);
  void followProgram();
  void serveSession();
  void save();
  void writeGuiState() const;

  Options options_;
  std::string executable_;
  std::unique_ptr<Embed::Instance> instance_;
  std::unique_ptr<JackEngine> engine_;
  std::unique_ptr<AlsaInput> alsa_;
  std::unique_ptr<EditorWindow> window_;
  std::unique_ptr<NsmClient> nsm_;
  std::string statePath_;
  std::string sessionFolder_;  // under a session manager: where the state and the window's visibility are kept
  bool startShown_ = true;
  int wanted_ = -1;   // the program --program names
  int program_ = -1;  // the program the title and the status lines last showed
  uint32_t rateShown_ = 0, periodShown_ = 0, activationsShown_ = 0;
};

// The program a --program text names: its number from 1, else its name exactly, else ignoring case; -1 for none.
int findProgram(const Embed::Instance& instance, const std::string& text);

}  // namespace Standalone
