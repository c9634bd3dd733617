// POSIX only: uses BSD sockets (SOCK_CLOEXEC: Linux and the BSDs).
// Starts fetches whose workers cannot finish (plain ones waiting for a reply,
// secure ones in the TLS handshake), lets every fetch time out at once, and
// ends the process while the workers are still running. Exits with 0 when
// the exit went cleanly. With the argument "return" it returns from main
// instead of calling std::exit.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "web/http_fetch.h"

int main(int argc, char** argv) {
  // Listens but never accepts: connections complete in the backlog and no
  // request is ever answered.
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(fd, 16) != 0 || getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    return 3;
  }
  const std::string hostPort = "127.0.0.1:" + std::to_string(ntohs(addr.sin_port)) + "/";
  std::vector<std::thread> lookups;
  for (int i = 0; i < 16; ++i) {
    const std::string url = (i % 4 == 0 ? "http://" : "https://") + hostPort;
    lookups.emplace_back([url] { (void)pellora::HttpFetch(url, 0, {}, {}, {}, {}, 0); });
  }
  for (std::thread& t : lookups) t.join();
  if (argc > 1 && std::strcmp(argv[1], "return") == 0) return 0;
  std::exit(0);
}
