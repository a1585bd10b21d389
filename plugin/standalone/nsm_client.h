// NsmClient: koralin under a session manager that speaks NSM (OSC over UDP, to the address in NSM_URL). It announces
// the application, then takes the manager's open (the session's folder and the JACK client name), save, and the
// requests to show or hide the window; every reply goes from the socket the announce went from, as the protocol
// asks. Without NSM_URL none of it is made. Main thread only: messages are read when receive() is called.
#pragma once

#include <lo/lo.h>

#include <memory>
#include <string>
#include <vector>

namespace Standalone {

class NsmClient {
 public:
  // What the manager sent.
  struct Message {
    enum Kind { Welcome, Refused, Open, Save, ShowGui, HideGui } kind;
    std::string path;      // Open: the instance's path prefix; Refused: the manager's reason
    std::string name;      // Open: the session's display name; Welcome: the manager's name
    std::string clientId;  // Open: the client id, which is the JACK client name
  };

  // Made when NSM_URL is set; null, with problem empty when it is not, or naming what is wrong with it.
  static std::unique_ptr<NsmClient> fromEnvironment(std::string& problem);
  ~NsmClient();
  NsmClient(const NsmClient&) = delete;
  NsmClient& operator=(const NsmClient&) = delete;

  void announce(const std::string& executable, bool optionalGui);
  // Whatever arrived within timeoutMs (0: what is there already).
  std::vector<Message> receive(int timeoutMs);
  int socket() const { return lo_server_get_socket_fd(server_); }
  bool managerShowsGui() const { return managerShowsGui_; }

  void reply(const char* path, const std::string& message);
  void error(const char* path, int code, const std::string& message);
  void guiShown(bool shown);

  // The protocol's error codes used here.
  static constexpr int kGeneral = -1, kNotNow = -8, kBadProject = -9, kCreateFailed = -10;

 private:
  NsmClient() = default;
  static int onMessage(const char* path, const char* types, lo_arg** argv, int argc, lo_message, void* self);
  void take(const char* path, const char* types, lo_arg** argv, int argc);

  lo_server server_ = nullptr;
  lo_address manager_ = nullptr;
  std::vector<Message> arrived_;
  bool managerShowsGui_ = false;
};

}  // namespace Standalone
