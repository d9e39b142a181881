// The few TCP calls the phone on the wire needs, over Winsock or POSIX sockets
// (wire_socket_win32.cpp, wire_socket_posix.cpp): listening on the loopback address,
// accepting, sending, receiving and waiting for sockets to become readable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace wire {

using Socket = std::intptr_t;
constexpr Socket kNoSocket = -1;

/// Starts the socket library; false with a message when it cannot.
bool startSockets(std::string& error);
/// A socket listening on 127.0.0.1:port, or kNoSocket with a message.
Socket listenLoopback(int port, std::string& error);
/// The next connection waiting on a listening socket, or kNoSocket.
Socket acceptOne(Socket listener);
/// Receives what has arrived: the byte count, 0 when the peer closed, below 0 on an error.
long receiveSome(Socket socket, char* buffer, size_t size);
/// Sends every byte, waiting while the peer's window is full; false when the peer is gone.
bool sendAll(Socket socket, const char* data, size_t size);
void closeSocket(Socket socket);
/// Waits up to timeoutMs for some of the sockets to become readable and returns those.
std::vector<Socket> waitReadable(const std::vector<Socket>& sockets, int timeoutMs);

}  // namespace wire
