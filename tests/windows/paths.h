// Paths of build outputs for tests running under Wine, which sees the Linux file system as
// drive Z:.
#pragma once

#include <string>

inline std::string wine_path(std::string path) {
  for (char& c : path)
    if (c == '/') c = '\\';
  return path.size() > 0 && path[0] == '\\' ? "Z:" + path : path;
}
