#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "payload/standins/wire_socket.h"

namespace wire {

bool startSockets(std::string&) {
  std::signal(SIGPIPE, SIG_IGN);  // a peer gone away is a failed send, not the end of us
  return true;
}

Socket listenLoopback(int port, std::string& error) {
  int s = socket(AF_INET, SOCK_STREAM, 0);
  if (s < 0) {
    error = std::strerror(errno);
    return kNoSocket;
  }
  int on = 1;
  // A port just left by an earlier run (in TIME_WAIT) can be taken again at once.
  setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, 16) != 0) {
    error = std::strerror(errno);
    close(s);
    return kNoSocket;
  }
  return s;
}

Socket acceptOne(Socket listener) {
  int s = accept(static_cast<int>(listener), nullptr, nullptr);
  if (s < 0) return kNoSocket;
  int on = 1;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return s;
}

long receiveSome(Socket socket, char* buffer, size_t size) {
  return static_cast<long>(recv(static_cast<int>(socket), buffer, size, 0));
}

bool sendAll(Socket socket, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = send(static_cast<int>(socket), data, size, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

void closeSocket(Socket socket) { close(static_cast<int>(socket)); }

std::vector<Socket> waitReadable(const std::vector<Socket>& sockets, int timeoutMs) {
  std::vector<pollfd> polled;
  for (Socket s : sockets) polled.push_back({static_cast<int>(s), POLLIN, 0});
  std::vector<Socket> ready;
  if (poll(polled.data(), polled.size(), timeoutMs) <= 0) return ready;
  for (const pollfd& p : polled)
    if (p.revents != 0) ready.push_back(p.fd);
  return ready;
}

}  // namespace wire
