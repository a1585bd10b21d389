// koralin under a session manager of our own (NSM's messages over UDP on the loopback address): the announce, no
// JACK client before the manager's open, the session's client name and folder, save, the window shown and hidden
// and its visibility kept with the session, and a SIGTERM that keeps what was not saved out of the session.
#include <gtest/gtest.h>
#include <lo/lo.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "jack_rig.h"

namespace StandaloneTest {
namespace {

struct Received {
  std::string path, types;
  std::vector<std::string> strings;
  std::vector<int> ints;
};

// The manager's side: a socket, what came to it, and sends back to the client that sent the last message.
class NsmServer {
 public:
  NsmServer() : server_(lo_server_new_with_proto(nullptr, LO_UDP, nullptr)) {
    lo_server_add_method(server_, nullptr, nullptr, &NsmServer::take, this);
  }
  ~NsmServer() {
    if (client_) lo_address_free(client_);
    lo_server_free(server_);
  }
  std::string url() const { return "osc.udp://127.0.0.1:" + std::to_string(lo_server_get_port(server_)) + "/"; }

  // The next message with that path (others before it are passed over); path empty when none came within ms.
  Received waitFor(const std::string& path, int ms = 10000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      for (size_t i = 0; i < got_.size(); ++i) {
        if (got_[i].path != path) continue;
        Received r = got_[i];
        got_.erase(got_.begin(), got_.begin() + (long)i + 1);
        return r;
      }
      if (std::chrono::steady_clock::now() >= deadline) return {};
      lo_server_recv_noblock(server_, 20);
    }
  }
  template <typename... Args>
  void send(const char* path, const char* types, Args... args) {
    lo_send_from(client_, server_, LO_TT_IMMEDIATE, path, types, args...);
  }

 private:
  static int take(const char* path, const char* types, lo_arg** argv, int argc, lo_message message, void* self) {
    auto* s = static_cast<NsmServer*>(self);
    Received r{path, types, {}, {}};
    for (int i = 0; i < argc; ++i) {
      if (types[i] == 's') r.strings.push_back(&argv[i]->s);
      if (types[i] == 'i') r.ints.push_back(argv[i]->i);
    }
    s->got_.push_back(r);
    if (s->client_) lo_address_free(s->client_);
    lo_address from = lo_message_get_source(message);
    s->client_ = lo_address_new(lo_address_get_hostname(from), lo_address_get_port(from));
    return 0;
  }

  lo_server server_;
  lo_address client_ = nullptr;
  std::vector<Received> got_;
};

bool jackHasPort(const JackServer& server, const std::string& port) {
  jack_status_t status{};
  jack_client_t* c = jack_client_open("nsm-test-looker", (jack_options_t)(JackNoStartServer | JackServerName), &status,
                                      server.name().c_str());
  const bool found = c && jack_port_by_name(c, port.c_str());
  if (c) jack_client_close(c);
  return found;
}

std::string fileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Starts koralin under the manager and opens the session; the JACK client's name is the client id.
std::unique_ptr<Child> openSession(NsmServer& nsm, const JackServer& server, const std::string& scratch, bool gui,
                                   const std::string& prefix) {
  std::vector<std::string> argv = {koralinPath(), "-v", "--no-connect"};
  if (!gui) argv.push_back("--no-gui");
  auto koralin = std::make_unique<Child>(
      argv, std::vector<std::string>{server.env(), "XDG_CONFIG_HOME=" + scratch + "/config", "NSM_URL=" + nsm.url()});
  const Received announce = nsm.waitFor("/nsm/server/announce");
  EXPECT_EQ(announce.types, "sssiii");
  if (announce.types != "sssiii") return koralin;
  EXPECT_EQ(announce.strings[0], "Koralin");
  EXPECT_EQ(announce.strings[1], gui ? ":optional-gui:" : "");
  EXPECT_EQ(announce.strings[2], koralinPath());
  EXPECT_EQ(announce.ints[2], koralin->pid());
  nsm.send("/reply", "ssss", "/nsm/server/announce", "Welcome", "Our manager", ":optional-gui:");
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(jackHasPort(server, "Koralin:midi_in")) << "a JACK client before the manager's open";
  nsm.send("/nsm/client/open", "sss", prefix.c_str(), "Song", "Koralin.nTEST");
  const Received reply = nsm.waitFor("/reply");
  koralin->collect();  // what it said so far, for the message below
  EXPECT_EQ(reply.strings.empty() ? "" : reply.strings[0], "/nsm/client/open") << koralin->out() << koralin->err();
  EXPECT_TRUE(jackHasPort(server, "Koralin.nTEST:midi_in"));
  return koralin;
}

TEST(StandaloneUnderNsm, KeepsTheSessionsStateAndWindowAsTheManagerAsks) {
  JackServer server(48000, 512);
  ASSERT_TRUE(server.up()) << server.log();
  const bool gui = std::getenv("DISPLAY") != nullptr;
  if (!gui) std::printf("no display: the window's part of the session is left out\n");
  const std::string scratch = scratchFolder("nsm"), prefix = scratch + "/session/Koralin.nTEST";
  NsmServer nsm;
  {
    std::unique_ptr<Child> koralin = openSession(nsm, server, scratch, gui, prefix);
    if (gui) {
      EXPECT_EQ(nsm.waitFor("/nsm/client/gui_is_shown").path, "/nsm/client/gui_is_shown");
      nsm.send("/nsm/client/hide_optional_gui", "");
      EXPECT_EQ(nsm.waitFor("/nsm/client/gui_is_hidden").path, "/nsm/client/gui_is_hidden");
    }
    nsm.send("/nsm/client/save", "");
    const Received saved = nsm.waitFor("/reply");
    EXPECT_EQ(saved.strings.empty() ? "" : saved.strings[0], "/nsm/client/save");
    const std::string state = fileText(prefix + "/Koralin.state");
    EXPECT_FALSE(state.empty());
    // A change after the save, then the manager's quit: the session keeps what was saved.
    Probe probe(server, 4800);
    ASSERT_TRUE(probe.ok() && probe.connectTo("Koralin.nTEST"));
    probe.arm({{probe.now() + 2400, {0xC0, 6, 0}, 2}}, probe.now() + 2400);
    EXPECT_TRUE(probe.waitRecorded(5000));
    EXPECT_NE(koralin->waitForLine("program 7 \"Hard Acid\""), "");
    koralin->signal(SIGTERM);
    EXPECT_EQ(koralin->wait(), 0);
    EXPECT_EQ(fileText(prefix + "/Koralin.state"), state);
  }
  // The session opened again: the saved state, and the window as it was when the session was saved.
  std::unique_ptr<Child> koralin = openSession(nsm, server, scratch, gui, prefix);
  EXPECT_NE(koralin->waitForLine("program 1 \"Neutral Start\""), "") << koralin->out();
  if (gui) {
    EXPECT_EQ(nsm.waitFor("/nsm/client/gui_is_hidden").path, "/nsm/client/gui_is_hidden");
    nsm.send("/nsm/client/show_optional_gui", "");
    EXPECT_EQ(nsm.waitFor("/nsm/client/gui_is_shown").path, "/nsm/client/gui_is_shown");
  }
  koralin->signal(SIGTERM);
  EXPECT_EQ(koralin->wait(), 0);
}

}  // namespace
}  // namespace StandaloneTest
