// The files the program carries and where it writes them.
#pragma once

#include <cstdint>
#include <string_view>

struct Payload {
  int resource_id;
  std::string_view target;  // where it is written
  uint32_t size;            // size of the real file; stand-ins differ
};

/// The adb tool and its three libraries, in the order deployment writes them: the
/// libraries first, adb.exe last, because its presence marks a complete deployment.
extern const Payload kAdbFiles[4];
/// The USB driver installer, written beside adb on each click of its button: c:\adb is
/// writable without elevation where the root of C: is not.
extern const Payload kDriverInstaller;

inline constexpr std::string_view kAdbDirectory = "c:\\adb";
inline constexpr std::string_view kAdbMarker = "c:\\adb\\adb.exe";

/// The embedded bytes of a payload, read in place from the program's resources; empty when
/// the resource is missing.
std::string_view payload_bytes(const Payload& payload);
