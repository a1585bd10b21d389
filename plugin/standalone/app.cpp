// Standalone::App: start-up in order, the main thread's loop, the session manager's requests, and the end.
#include "plugin/standalone/app.h"

#include <poll.h>
#include <strings.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>

#include "platform/files.h"
#include "plugin/standalone/state_file.h"

namespace Standalone {
namespace {

std::atomic<int> g_signal{0};
static_assert(std::atomic<int>::is_always_lock_free, "stored from a signal handler");

void onSignal(int number) { g_signal.store(number); }

void installSignals() {
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

std::string programList(const Embed::Instance& instance) {
  std::string list;
  for (int32_t i = 0; i < instance.programCount(); ++i)
    list += (i ? ", " : "") + std::to_string(i + 1) + " " + instance.programName(i);
  return list;
}

constexpr const char* kOpenPath = "/nsm/client/open";
constexpr const char* kSavePath = "/nsm/client/save";

}  // namespace

int findProgram(const Embed::Instance& instance, const std::string& text) {
  const int32_t count = instance.programCount();
  if (!text.empty() && text.size() < 4 && text.find_first_not_of("0123456789") == std::string::npos) {
    const int number = std::stoi(text);
    if (number >= 1 && number <= count) return number - 1;
  }
  for (int32_t i = 0; i < count; ++i)
    if (instance.programName(i) == text) return i;
  for (int32_t i = 0; i < count; ++i)
    if (strcasecmp(instance.programName(i).c_str(), text.c_str()) == 0) return i;
  return -1;
}

void App::say(const std::string& line) const {
  if (!options_.verbose) return;
  std::printf("Koralin: %s\n", line.c_str());
  std::fflush(stdout);
}

int App::fail(const std::string& line) {
  std::fprintf(stderr, "koralin: %s\n", line.c_str());
  return kCannotStart;
}

int App::run() {
  int status = prepare();
  bool saveAtEnd = false;
  if (status == kEnded) {
    status = loop();
    saveAtEnd = !nsm_;  // under a session manager only its save writes the session
  }
  window_.reset();  // the editor closes while the instance is whole
  alsa_.reset();
  if (engine_) engine_->close();
  if (saveAtEnd) save();
  return status;
}

int App::prepare() {
  installSignals();
  Embed::Instance::StartOptions start;
  start.userDefaults = !options_.fresh;
  instance_ = Embed::Instance::create("Koralin JACK", nullptr, start);
  if (!instance_) return fail("the instrument could not be made (it needs a processor with SSE2)");
  wanted_ = -1;
  if (!options_.program.empty() && (wanted_ = findProgram(*instance_, options_.program)) < 0)
    return fail("--program: there is no program \"" + options_.program + "\" (there are " + programList(*instance_) +
                ")");
  std::string problem;
  nsm_ = NsmClient::fromEnvironment(problem);
  if (!problem.empty()) std::fprintf(stderr, "koralin: %s; playing without a session manager\n", problem.c_str());
  if (nsm_) {
    int status = kEnded;
    if (joinSession(status)) return status;
  }
  statePath_ = options_.statePath.empty() ? defaultStatePath() : options_.statePath;
  if (!options_.fresh && !statePath_.empty()) {
    std::string reason;
    if (loadStateFile(*instance_, statePath_, reason)) say("state loaded from " + statePath_);
    else if (!reason.empty())
      return fail("cannot load the state in " + statePath_ + ": " + reason + " (--fresh starts without it)");
  }
  if (wanted_ >= 0) instance_->selectProgram(wanted_);
  return startJack(options_.clientName, false);
}

int App::startJack(const std::string& name, bool exactName) {
  std::string detail;
  if (options_.gui) {
    window_ = std::make_unique<EditorWindow>(*instance_);
    if (!window_->open(detail)) return fail(detail);
  }
  engine_ = std::make_unique<JackEngine>(*instance_);
  switch (engine_->open(name, exactName, detail)) {
    case JackEngine::OpenResult::Opened: break;
    case JackEngine::OpenResult::NoServer:
      return fail(
          "no JACK server is running: start one (jackd -d alsa, or qjackctl), or on a PipeWire desktop "
          "install pipewire-jack");
    case JackEngine::OpenResult::Refused: return fail("JACK would not take the client \"" + name + "\": " + detail);
  }
  if (options_.alsaMidi) {
    alsa_ = std::make_unique<AlsaInput>();
    if (!alsa_->open(engine_->clientName(), detail)) return fail("--alsa-midi: " + detail);
  }
  if (!engine_->activate(detail)) return fail(detail);
  say("JACK client \"" + engine_->clientName() + "\" at " + std::to_string(engine_->sampleRate()) + " Hz, " +
      std::to_string(engine_->period()) + " frames a period");
  rateShown_ = engine_->sampleRate();
  periodShown_ = engine_->period();
  if (options_.connect) {
    const std::vector<std::string> made = engine_->connectOutputs();
    for (const std::string& connection : made) say("connected " + connection);
    if (made.empty()) say("no physical playback ports: the outputs stay unconnected");
  }
  if (alsa_) {
    alsa_->start(*engine_);
    say("ALSA sequencer port " + alsa_->address() + " \"Koralin\"");
  }
  followProgram();
  if (window_ && startShown_) window_->show();
  return kEnded;
}

bool App::joinSession(int& status) {
  nsm_->announce(executable_, options_.gui);
  // No answer within a few seconds: nobody listens at NSM_URL, and koralin plays on its own. The manager's open
  // names the session's folder and the client name; nothing registers with JACK before it.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  bool welcomed = false;
  while (!g_signal.load() && (welcomed || std::chrono::steady_clock::now() < deadline)) {
    for (const NsmClient::Message& m : nsm_->receive(100)) {
      if (m.kind == NsmClient::Message::Refused) {
        std::fprintf(stderr, "koralin: the session manager refused koralin (%s); playing without it\n", m.path.c_str());
        nsm_.reset();
        return false;
      }
      if (m.kind == NsmClient::Message::Welcome) {
        welcomed = true;
        say("session manager \"" + m.name + "\"");
      }
      if (m.kind == NsmClient::Message::Open && welcomed) return openSession(m, status), true;
    }
  }
  if (g_signal.load()) return status = kEnded, true;
  std::fprintf(stderr, "koralin: no answer from the session manager at NSM_URL; playing without it\n");
  nsm_.reset();
  return false;
}

void App::openSession(const NsmClient::Message& open, int& status) {
  sessionFolder_ = open.path;
  statePath_ = sessionFolder_ + "/" + KoralinParams::kProductName + ".state";
  std::string reason;
  if (loadStateFile(*instance_, statePath_, reason)) {
    say("state loaded from " + statePath_);
  } else if (!reason.empty()) {
    nsm_->error(kOpenPath, NsmClient::kBadProject, "cannot load " + statePath_ + ": " + reason);
    status = fail("cannot load the session's state in " + statePath_ + ": " + reason);
    return;
  }
  std::vector<unsigned char> gui;
  if (Platform::readWholeFile(sessionFolder_ + "/window", 64, gui) == Platform::ReadResult::Ok)
    startShown_ = !nsm_->managerShowsGui() || std::string(gui.begin(), gui.end()) != "hidden\n";
  if (wanted_ >= 0) instance_->selectProgram(wanted_);
  status = startJack(open.clientId, true);
  if (status != kEnded) {
    nsm_->error(kOpenPath, NsmClient::kGeneral, "Koralin could not start its JACK client");
    return;
  }
  say("session \"" + open.name + "\", state in " + statePath_);
  nsm_->reply(kOpenPath, "Koralin is playing as " + engine_->clientName());
  if (window_ && nsm_->managerShowsGui()) nsm_->guiShown(window_->shown());
}

int App::loop() {
  for (;;) {
    if (const int signal = g_signal.load()) {
      say(std::string("ending on ") + (signal == SIGINT ? "SIGINT" : "SIGTERM"));
      return kEnded;
    }
    if (engine_->serverGone()) {
      std::fprintf(stderr, "koralin: the JACK server shut Koralin down (%s)\n",
                   *engine_->shutdownReason() ? engine_->shutdownReason() : "no reason given");
      return kServerGone;
    }
    engine_->service();
    reportServer();
    if (window_) {
      const EditorWindow::Input input = window_->idle();
      if (input.closeAsked) {
        if (!nsm_ || !nsm_->managerShowsGui()) return kEnded;
        window_->hide();  // under a manager that shows and hides it, closing the window hides it
        nsm_->guiShown(false);
      }
      if (input.programStep) stepProgram(input.programStep);
    }
    followProgram();
    if (nsm_) serveSession();
    pollfd wake{nsm_ ? nsm_->socket() : -1, POLLIN, 0};
    poll(&wake, 1, 10);  // the editor's timer wants an idle call about every 10 ms
  }
}

void App::reportServer() {
  if (engine_->sampleRate() != rateShown_) {
    rateShown_ = engine_->sampleRate();
    say("the server's rate is now " + std::to_string(rateShown_) + " Hz");
  }
  if (engine_->period() != periodShown_) {
    periodShown_ = engine_->period();
    say("the server's period is now " + std::to_string(periodShown_) + " frames");
  }
  const uint32_t begun = engine_->activationsBegun();
  if (begun != activationsShown_) {
    activationsShown_ = begun;
    say("playing from JACK frame " + std::to_string(engine_->activationFrame()) + " at " +
        std::to_string((long)instance_->sampleRate()) + " Hz");
  }
}

void App::stepProgram(int step) {
  const int32_t count = instance_->programCount();
  if (count <= 0) return;
  instance_->selectProgram(((instance_->currentProgram() + step) % count + count) % count);
}

void App::followProgram() {
  const int32_t current = instance_->currentProgram();
  if (current == program_) return;
  program_ = current;
  const std::string name = instance_->programName(current);
  if (window_) window_->setTitle(std::string(KoralinParams::kProductName) + " - " + name);
  say("program " + std::to_string(current + 1) + " \"" + name + "\"");
}

void App::serveSession() {
  for (const NsmClient::Message& m : nsm_->receive(0)) {
    switch (m.kind) {
      case NsmClient::Message::Save: {
        std::string reason;
        if (saveStateFile(*instance_, statePath_, reason)) {
          writeGuiState();
          say("state saved to " + statePath_);
          nsm_->reply(kSavePath, "Koralin saved its state");
        } else {
          nsm_->error(kSavePath, NsmClient::kGeneral, "cannot save " + statePath_ + ": " + reason);
        }
        break;
      }
      case NsmClient::Message::ShowGui:
      case NsmClient::Message::HideGui:
        if (!window_) break;
        if (m.kind == NsmClient::Message::ShowGui) window_->show();
        else window_->hide();
        nsm_->guiShown(window_->shown());
        break;
      case NsmClient::Message::Open:
        nsm_->error(kOpenPath, NsmClient::kNotNow, "Koralin cannot switch sessions");
        break;
      default: break;
    }
  }
}

void App::save() {
  if (statePath_.empty()) return;  // no configuration folder to keep it in
  std::string reason;
  if (saveStateFile(*instance_, statePath_, reason)) say("state saved to " + statePath_);
  else std::fprintf(stderr, "koralin: cannot save the state to %s: %s\n", statePath_.c_str(), reason.c_str());
}

void App::writeGuiState() const {
  if (!window_) return;
  const char* text = window_->shown() ? "shown\n" : "hidden\n";
  Platform::writeFileReplacing(sessionFolder_ + "/window", text, std::char_traits<char>::length(text));
}

}  // namespace Standalone
