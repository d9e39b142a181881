#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdio>

#include "payload/standins/wire_socket.h"

namespace wire {
namespace {

std::string lastError() {
  char text[32];
  std::snprintf(text, sizeof text, "Winsock error %d", WSAGetLastError());
  return text;
}

SOCKET raw(Socket s) { return static_cast<SOCKET>(s); }

}  // namespace

bool startSockets(std::string& error) {
  WSADATA data;
  int code = WSAStartup(MAKEWORD(2, 2), &data);
  if (code == 0) return true;
  error = "WSAStartup failed with " + std::to_string(code);
  return false;
}

Socket listenLoopback(int port, std::string& error) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) {
    error = lastError();
    return kNoSocket;
  }
  // No other program may take the port over while we hold it.
  BOOL on = TRUE;
  setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, 16) != 0) {
    error = lastError();
    closesocket(s);
    return kNoSocket;
  }
  return static_cast<Socket>(s);
}

Socket acceptOne(Socket listener) {
  SOCKET s = accept(raw(listener), nullptr, nullptr);
  if (s == INVALID_SOCKET) return kNoSocket;
  BOOL on = TRUE;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  return static_cast<Socket>(s);
}

long receiveSome(Socket socket, char* buffer, size_t size) {
  int chunk = size > 1 << 20 ? 1 << 20 : static_cast<int>(size);
  return recv(raw(socket), buffer, chunk, 0);
}

bool sendAll(Socket socket, const char* data, size_t size) {
  while (size > 0) {
    int chunk = size > 1 << 20 ? 1 << 20 : static_cast<int>(size);
    int n = send(raw(socket), data, chunk, 0);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

void closeSocket(Socket socket) { closesocket(raw(socket)); }

std::vector<Socket> waitReadable(const std::vector<Socket>& sockets, int timeoutMs) {
  std::vector<Socket> ready;
  fd_set readable;
  FD_ZERO(&readable);
  for (Socket s : sockets)
    if (readable.fd_count < FD_SETSIZE) FD_SET(raw(s), &readable);
  timeval timeout = {timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  if (sockets.empty()) {
    Sleep(static_cast<DWORD>(timeoutMs));  // select() wants at least one socket
    return ready;
  }
  if (select(0, &readable, nullptr, nullptr, &timeout) <= 0) return ready;
  for (Socket s : sockets)
    if (FD_ISSET(raw(s), &readable)) ready.push_back(s);
  return ready;
}

}  // namespace wire
