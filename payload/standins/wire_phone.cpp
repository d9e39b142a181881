// A simulated phone on the wire: speaks the device side of adb's transport protocol on
// 127.0.0.1, where an adb server finds it by itself (it tries the odd ports 5555 to 5585
// when it starts and lists a phone on port P as emulator-(P-1)). The phone's answers come
// from phone_model.h, as those of the stand-in adb.exe do; its state lives in memory.
//
//   wire_phone [--port 5555] [--second-port 5557] [--vendor NAME] [--packages N]
//              [--android N] [--refuse minus1000|admin|restricted|old]
//              [--auth allowed|unauthorized|offline] [--lifetime SECONDS]
//
// It prints "ready" on stdout once it listens, then reads lines on stdin: "allow" (the user
// taps allow: every connection waiting for the user gets the phone, and later ones are let
// in at once) and "quit". It ends at "quit", at the end of its stdin (whoever started it
// has gone) and after 10 minutes (or --lifetime SECONDS, at most 600) in any case.
//
// The protocol: 24-byte headers (command, arg0, arg1, data length, data checksum, command
// XOR ~0; little-endian), a checksum that counts only below protocol version 0x01000001.
// CNXN agrees on the lower protocol version and payload size of the two sides. AUTH: the
// phone sends a token; a signature lets the computer in when it is allowed, else brings a
// new token; a public key waits for "allow". Offline: connections are taken but never
// answered. Services: shell:CMD (a terminal: CR LF line ends, stderr mixed in), shell,v2
// (the shell protocol: packets of an id byte and a 32-bit length; stdout 1, stderr 2,
// exit 3) and exec:CMD (raw bytes). One WRTE per stream is in flight until the computer's
// OKAY. Android 7 and later advertise shell_v2 and cmd; older phones advertise nothing and
// get `shell:` and `pm` from adb.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "payload/standins/phone_model.h"
#include "payload/standins/wire_socket.h"

namespace {

const uint32_t kCnxn = 0x4e584e43;
const uint32_t kAuth = 0x48545541;
const uint32_t kOpen = 0x4e45504f;
const uint32_t kOkay = 0x59414b4f;
const uint32_t kClse = 0x45534c43;
const uint32_t kWrte = 0x45545257;
const uint32_t kVersionMin = 0x01000000;
const uint32_t kVersionSkipChecksum = 0x01000001;
const uint32_t kMaxPayload = 1024 * 1024;
const uint32_t kAuthToken = 1, kAuthSignature = 2, kAuthPublicKey = 3;
const size_t kTokenSize = 20;
const size_t kHeaderSize = 24;
const int kMostLifeSeconds = 600;

struct Product {
  const char* vendor;
  const char* name;
  const char* model;
  const char* device;
};

// What ro.product.* says on each vendor's phone (the default phone is Xiaomi-style).
const Product kProducts[] = {
    {"", "cepheus", "MI 9", "cepheus"},          {"xiaomi", "star", "M2102K1C", "star"},
    {"huawei", "ELS-AN00", "ELS-AN00", "HWELS"}, {"oppo", "PEEM00", "PEEM00", "OP4F2F"},
    {"vivo", "PD2145", "V2145A", "PD2145"},      {"samsung", "dm3qzhx", "SM-S9180", "dm3q"},
};

enum class Auth { allowed, unauthorized, offline };

struct Options {
  int port = 5555;
  int secondPort = 0;
  phone::Setup setup;
  Auth auth = Auth::allowed;
  int lifeSeconds = kMostLifeSeconds;
};

uint32_t readLe32(const char* p) {
  const unsigned char* u = reinterpret_cast<const unsigned char*>(p);
  return u[0] | (u[1] << 8) | (u[2] << 16) | (static_cast<uint32_t>(u[3]) << 24);
}

void appendLe32(std::string& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((value >> (8 * i)) & 0xff);
}

uint32_t checksum(const std::string& data) {
  uint32_t sum = 0;
  for (unsigned char c : data) sum += c;
  return sum;
}

struct Stream {
  uint32_t remote = 0;
  std::deque<std::string> chunks;  // WRTE payloads still to send
  bool awaitingOkay = false;
};

// One phone: a port, its model and its state, shared by every connection to it.
struct Phone {
  int port = 0;
  wire::Socket listener = wire::kNoSocket;
  std::unique_ptr<phone::Phone> model;
  phone::State state;
  std::string banner;
};

class Connection {
 public:
  Connection(wire::Socket socket, Phone& phone) : socket_(socket), phone_(phone) {}
  wire::Socket socket() const { return socket_; }
  bool waitingForUser() const { return stage_ == Stage::waitingForUser; }

  // Takes in what arrived; false when the connection must end.
  bool receive(const char* data, size_t size, Auth auth) {
    if (auth == Auth::offline) return true;  // heard, never answered
    in_.append(data, size);
    while (in_.size() >= kHeaderSize) {
      const char* h = in_.data();
      const uint32_t command = readLe32(h), arg0 = readLe32(h + 4), arg1 = readLe32(h + 8);
      const uint32_t length = readLe32(h + 12), sum = readLe32(h + 16);
      if (readLe32(h + 20) != (command ^ 0xffffffffu) || length > kMaxPayload) return false;
      if (in_.size() < kHeaderSize + length) break;
      std::string payload = in_.substr(kHeaderSize, length);
      in_.erase(0, kHeaderSize + length);
      // Below 0x01000001 the sum must match; a CNXN is judged by the version it offers.
      const uint32_t version = command == kCnxn ? std::min(arg0, kVersionSkipChecksum) : version_;
      if (version < kVersionSkipChecksum && sum != checksum(payload)) return false;
      if (!handle(command, arg0, arg1, payload, auth)) return false;
    }
    return true;
  }

  // The user allowed this computer: the phone connects.
  bool allow() {
    if (stage_ != Stage::waitingForUser) return true;
    return connect();
  }

 private:
  enum class Stage { greeting, authorizing, waitingForUser, online };

  bool handle(uint32_t command, uint32_t arg0, uint32_t arg1, const std::string& payload,
              Auth auth) {
    if (command == kCnxn) {
      version_ = std::max(kVersionMin, std::min(arg0, kVersionSkipChecksum));
      maxPayload_ = std::max<uint32_t>(256, std::min(arg1, kMaxPayload));
      streams_.clear();
      stage_ = Stage::authorizing;
      return sendToken();
    }
    if (command == kAuth && stage_ == Stage::authorizing) {
      if (auth == Auth::allowed) return connect();
      if (arg0 == kAuthSignature) return sendToken();
      if (arg0 == kAuthPublicKey) stage_ = Stage::waitingForUser;
      return true;
    }
    if (stage_ != Stage::online) return true;
    switch (command) {
      case kOpen: return open(arg0, payload);
      case kOkay: {
        auto found = streams_.find(arg1);
        if (found == streams_.end()) return true;
        found->second.awaitingOkay = false;
        return pump(arg1);
      }
      case kWrte:  // stdin for a command that reads none: taken and acknowledged
        return streams_.count(arg1) == 0 || send(kOkay, arg1, arg0, "");
      case kClse: streams_.erase(arg1); return true;
    }
    return true;
  }

  bool sendToken() {
    std::string token(kTokenSize, '\0');
    for (char& c : token) c = static_cast<char>(random_() & 0xff);
    return send(kAuth, kAuthToken, 0, token);
  }

  bool connect() {
    stage_ = Stage::online;
    return send(kCnxn, version_, maxPayload_, phone_.banner);
  }

  // Runs the service an OPEN names and queues its whole output.
  bool open(uint32_t remote, std::string service) {
    while (!service.empty() && service.back() == '\0') service.pop_back();
    const bool modern = phone_.model->android() >= 7;
    std::string command;
    enum { legacy, raw, v2raw, v2pty } kind;
    if (service.compare(0, 5, "exec:") == 0) {
      kind = raw;
      command = service.substr(5);
    } else if (service.compare(0, 5, "shell") == 0 && service.find(':') != std::string::npos) {
      const size_t colon = service.find(':');
      command = service.substr(colon + 1);
      const std::string args = "," + service.substr(5, colon - 5) + ",";
      const bool v2 = args.find(",v2,") != std::string::npos;
      if (v2 && !modern) return send(kClse, 0, remote, "");  // no such service there
      kind = !v2 ? legacy : args.find(",pty,") != std::string::npos ? v2pty : v2raw;
    } else {
      return send(kClse, 0, remote, "");
    }
    if (command.empty()) return send(kClse, 0, remote, "");  // no interactive shell here

    const phone::Answer answer = phone_.model->shell(command, phone_.state);
    const uint32_t local = nextId_++;
    Stream& stream = streams_[local];
    stream.remote = remote;
    if (kind == v2raw) {
      queueShellPackets(stream, 1, answer.out);
      queueShellPackets(stream, 2, answer.err);
      queueShellPackets(stream, 3, std::string(1, static_cast<char>(answer.code & 0xff)));
    } else {
      std::string text = answer.out + answer.err;
      if (kind != raw) text = terminalLines(text);
      if (kind == v2pty) {
        queueShellPackets(stream, 1, text);
        queueShellPackets(stream, 3, std::string(1, static_cast<char>(answer.code & 0xff)));
      } else {
        for (size_t at = 0; at < text.size(); at += maxPayload_)
          stream.chunks.push_back(text.substr(at, maxPayload_));
      }
    }
    return send(kOkay, local, remote, "") && pump(local);
  }

  // Shell protocol packets, each within one WRTE.
  void queueShellPackets(Stream& stream, char id, const std::string& data) {
    const size_t most = maxPayload_ - 5;
    for (size_t at = 0; at < data.size(); at += most) {
      std::string packet(1, id);
      const std::string part = data.substr(at, most);
      appendLe32(packet, static_cast<uint32_t>(part.size()));
      stream.chunks.push_back(packet + part);
    }
  }

  // A terminal turns each LF into CR LF.
  static std::string terminalLines(const std::string& text) {
    std::string out;
    for (char c : text) {
      if (c == '\n') out += '\r';
      out += c;
    }
    return out;
  }

  // Sends the stream's next chunk unless one still waits for its OKAY; closes the stream
  // once everything was acknowledged.
  bool pump(uint32_t local) {
    Stream& stream = streams_[local];
    if (stream.awaitingOkay) return true;
    if (stream.chunks.empty()) {
      const uint32_t remote = stream.remote;
      streams_.erase(local);
      return send(kClse, local, remote, "");
    }
    stream.awaitingOkay = true;
    const std::string chunk = stream.chunks.front();
    stream.chunks.pop_front();
    return send(kWrte, local, stream.remote, chunk);
  }

  bool send(uint32_t command, uint32_t arg0, uint32_t arg1, const std::string& payload) {
    std::string packet;
    packet.reserve(kHeaderSize + payload.size());
    appendLe32(packet, command);
    appendLe32(packet, arg0);
    appendLe32(packet, arg1);
    appendLe32(packet, static_cast<uint32_t>(payload.size()));
    appendLe32(packet, version_ < kVersionSkipChecksum ? checksum(payload) : 0);
    appendLe32(packet, command ^ 0xffffffffu);
    packet += payload;
    return wire::sendAll(socket_, packet.data(), packet.size());
  }

  wire::Socket socket_;
  Phone& phone_;
  std::string in_;
  Stage stage_ = Stage::greeting;
  uint32_t version_ = kVersionMin;
  uint32_t maxPayload_ = 4096;
  std::map<uint32_t, Stream> streams_;
  uint32_t nextId_ = 1;
  std::minstd_rand random_{std::random_device{}()};
};

// Lines from stdin, read on a thread of their own; "" stands for its end.
class Control {
 public:
  Control() {
    std::thread([this] {
      std::string line;
      while (std::getline(std::cin, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (!line.empty()) push(line);
      }
      push("");
    }).detach();
  }
  bool next(std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (lines_.empty()) return false;
    line = lines_.front();
    lines_.pop_front();
    return true;
  }

 private:
  void push(const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back(line);
  }
  std::mutex mutex_;
  std::deque<std::string> lines_;
};

// Ends at once, without the C runtime's exit: the control thread may be blocked reading
// stdin, and exit would wait for the stream that read holds.
[[noreturn]] void end(int code) {
  std::fflush(stdout);
  std::fflush(stderr);
  std::_Exit(code);
}

bool parseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; i += 2) {
    if (i + 1 >= argc) return false;
    const std::string name = argv[i], value = argv[i + 1];
    if (name == "--port")
      options.port = std::atoi(value.c_str());
    else if (name == "--second-port")
      options.secondPort = std::atoi(value.c_str());
    else if (name == "--vendor")
      options.setup.vendor = value;
    else if (name == "--packages")
      options.setup.packages = std::strtoul(value.c_str(), nullptr, 10);
    else if (name == "--android")
      options.setup.android = std::atoi(value.c_str());
    else if (name == "--refuse")
      options.setup.refuse = value;
    else if (name == "--lifetime")
      options.lifeSeconds = std::atoi(value.c_str());
    else if (name == "--auth" && value == "allowed")
      options.auth = Auth::allowed;
    else if (name == "--auth" && value == "unauthorized")
      options.auth = Auth::unauthorized;
    else if (name == "--auth" && value == "offline")
      options.auth = Auth::offline;
    else
      return false;
  }
  return options.port > 0 && options.port < 65536 && options.secondPort >= 0 &&
         options.secondPort < 65536 && options.setup.packages <= 1000000 &&
         options.lifeSeconds > 0 && options.lifeSeconds <= kMostLifeSeconds;
}

std::string bannerFor(const phone::Setup& setup) {
  Product product = kProducts[0];
  for (const Product& p : kProducts)
    if (setup.vendor == p.vendor) product = p;
  std::string banner = std::string("device::ro.product.name=") + product.name +
                       ";ro.product.model=" + product.model +
                       ";ro.product.device=" + product.device + ";";
  if (setup.android >= 7) banner += "features=shell_v2,cmd";
  return banner;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parseOptions(argc, argv, options)) {
    std::fputs(
        "usage: wire_phone [--port 5555] [--second-port 5557] [--vendor NAME] "
        "[--packages N] [--android N] [--refuse minus1000|admin|restricted|old] "
        "[--auth allowed|unauthorized|offline] [--lifetime SECONDS]\n",
        stderr);
    return 2;
  }
  std::string error;
  if (!wire::startSockets(error)) {
    std::fprintf(stderr, "wire_phone: %s\n", error.c_str());
    return 1;
  }
  std::vector<std::unique_ptr<Phone>> phones;
  for (int port : {options.port, options.secondPort}) {
    if (port == 0) continue;
    auto p = std::make_unique<Phone>();
    p->port = port;
    p->model = std::make_unique<phone::Phone>(options.setup);
    p->banner = bannerFor(options.setup);
    p->listener = wire::listenLoopback(port, error);
    if (p->listener == wire::kNoSocket) {
      std::fprintf(stderr, "wire_phone: cannot listen on 127.0.0.1:%d: %s\n", port, error.c_str());
      return 1;
    }
    phones.push_back(std::move(p));
  }
  std::fputs("ready\n", stdout);
  std::fflush(stdout);

  Control control;
  std::vector<std::unique_ptr<Connection>> connections;
  const auto last = std::chrono::steady_clock::now() + std::chrono::seconds(options.lifeSeconds);
  std::vector<char> buffer(1 << 16);
  while (std::chrono::steady_clock::now() < last) {
    std::string line;
    while (control.next(line)) {
      if (line.empty() || line == "quit") end(0);
      if (line == "allow") {
        if (options.auth == Auth::unauthorized) options.auth = Auth::allowed;
        for (auto& c : connections) {
          if (c->waitingForUser() && !c->allow()) {
            wire::closeSocket(c->socket());
            c.reset();
          }
        }
        connections.erase(std::remove(connections.begin(), connections.end(), nullptr),
                          connections.end());
      }
    }
    std::vector<wire::Socket> watched;
    for (auto& p : phones) watched.push_back(p->listener);
    for (auto& c : connections) watched.push_back(c->socket());
    for (wire::Socket ready : wire::waitReadable(watched, 50)) {
      for (auto& p : phones) {
        if (p->listener != ready) continue;
        wire::Socket s = wire::acceptOne(ready);
        if (s != wire::kNoSocket) connections.push_back(std::make_unique<Connection>(s, *p));
      }
      for (auto& c : connections) {
        if (c->socket() != ready) continue;
        long n = wire::receiveSome(ready, buffer.data(), buffer.size());
        if (n <= 0 || !c->receive(buffer.data(), static_cast<size_t>(n), options.auth)) {
          wire::closeSocket(ready);
          c.reset();
        }
        break;
      }
      connections.erase(std::remove(connections.begin(), connections.end(), nullptr),
                        connections.end());
    }
  }
  end(0);
}
