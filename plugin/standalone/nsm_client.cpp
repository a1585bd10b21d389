// NsmClient: the OSC socket, the announce, and the manager's messages turned into Message records.
#include "plugin/standalone/nsm_client.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace Standalone {
namespace {

constexpr int kApiMajor = 1, kApiMinor = 0;

void quietErrors(int, const char*, const char*) {}

bool typesAre(const char* types, const char* wanted) { return types && std::strcmp(types, wanted) == 0; }

}  // namespace

std::unique_ptr<NsmClient> NsmClient::fromEnvironment(std::string& problem) {
  problem.clear();
  const char* url = std::getenv("NSM_URL");
  if (!url || !*url) return nullptr;
  std::unique_ptr<NsmClient> client(new NsmClient);
  client->manager_ = lo_address_new_from_url(url);
  if (!client->manager_) {
    problem = std::string("NSM_URL \"") + url + "\" is not an OSC address";
    return nullptr;
  }
  // The protocol wants our socket to use the manager's transport.
  client->server_ = lo_server_new_with_proto(nullptr, lo_address_get_protocol(client->manager_), quietErrors);
  if (!client->server_) {
    problem = "no socket for the session manager";
    return nullptr;
  }
  lo_server_add_method(client->server_, nullptr, nullptr, &NsmClient::onMessage, client.get());
  return client;
}

NsmClient::~NsmClient() {
  if (server_) lo_server_free(server_);
  if (manager_) lo_address_free(manager_);
}

void NsmClient::announce(const std::string& executable, bool optionalGui) {
  lo_send_from(manager_, server_, LO_TT_IMMEDIATE, "/nsm/server/announce", "sssiii", "Koralin",
               optionalGui ? ":optional-gui:" : "", executable.c_str(), kApiMajor, kApiMinor, (int)getpid());
}

std::vector<NsmClient::Message> NsmClient::receive(int timeoutMs) {
  while (lo_server_recv_noblock(server_, timeoutMs) > 0) timeoutMs = 0;
  std::vector<Message> taken;
  taken.swap(arrived_);
  return taken;
}

int NsmClient::onMessage(const char* path, const char* types, lo_arg** argv, int argc, lo_message, void* self) {
  static_cast<NsmClient*>(self)->take(path, types, argv, argc);
  return 0;
}

void NsmClient::take(const char* path, const char* types, lo_arg** argv, int argc) {
  const std::string p = path ? path : "";
  if (p == "/reply" && argc >= 1 && types[0] == 's' && std::strcmp(&argv[0]->s, "/nsm/server/announce") == 0) {
    Message m{Message::Welcome, {}, argc >= 3 && types[2] == 's' ? &argv[2]->s : "", {}};
    managerShowsGui_ = argc >= 4 && types[3] == 's' && std::strstr(&argv[3]->s, ":optional-gui:") != nullptr;
    arrived_.push_back(m);
  } else if (p == "/error" && typesAre(types, "sis") && std::strcmp(&argv[0]->s, "/nsm/server/announce") == 0) {
    arrived_.push_back({Message::Refused, &argv[2]->s, {}, {}});
  } else if (p == "/nsm/client/open" && typesAre(types, "sss")) {
    arrived_.push_back({Message::Open, &argv[0]->s, &argv[1]->s, &argv[2]->s});
  } else if (p == "/nsm/client/save") {
    arrived_.push_back({Message::Save, {}, {}, {}});
  } else if (p == "/nsm/client/show_optional_gui") {
    arrived_.push_back({Message::ShowGui, {}, {}, {}});
  } else if (p == "/nsm/client/hide_optional_gui") {
    arrived_.push_back({Message::HideGui, {}, {}, {}});
  }
}

void NsmClient::reply(const char* path, const std::string& message) {
  lo_send_from(manager_, server_, LO_TT_IMMEDIATE, "/reply", "ss", path, message.c_str());
}

void NsmClient::error(const char* path, int code, const std::string& message) {
  lo_send_from(manager_, server_, LO_TT_IMMEDIATE, "/error", "sis", path, code, message.c_str());
}

void NsmClient::guiShown(bool shown) {
  lo_send_from(manager_, server_, LO_TT_IMMEDIATE, shown ? "/nsm/client/gui_is_shown" : "/nsm/client/gui_is_hidden",
               "");
}

}  // namespace Standalone
