// Stands in for a phone-assistant program that runs its own adb server: it listens on adb's
// port, TCP 5037 at 127.0.0.1, prints "listening" once it does, and holds the port until it
// is ended (or two minutes have passed). Exits with 1 when the port cannot be taken.
#include <winsock2.h>

#include <cstdio>

int main() {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return 1;
  SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(5037);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (listener == INVALID_SOCKET ||
      bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener, 1) != 0)
    return 1;
  std::puts("listening");
  std::fflush(stdout);
  Sleep(120000);
  return 0;
}
