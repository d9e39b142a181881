// Ownership of the system's resources: one move-only type per kind, built from one template,
// so a resource is released on every path and never twice.
#pragma once

#include <windows.h>

/// Owns one resource described by Traits: its Type, when a value counts as empty, and how it
/// is freed.
template <typename Traits>
class Owned {
 public:
  using Type = typename Traits::Type;

  Owned() = default;
  explicit Owned(Type value) : value_(value) {}
  Owned(Owned&& other) noexcept : value_(other.release()) {}
  Owned& operator=(Owned&& other) noexcept {
    if (this != &other) {
      close();
      value_ = other.release();
    }
    return *this;
  }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  ~Owned() { close(); }

  Type get() const { return value_; }
  explicit operator bool() const { return !Traits::empty(value_); }
  Type release() {
    Type value = value_;
    value_ = Type();
    return value;
  }
  void close() {
    if (*this) Traits::free(value_);
    value_ = Type();
  }

 private:
  Type value_ = Type();
};

struct KernelHandleTraits {
  using Type = HANDLE;
  static bool empty(HANDLE handle) { return handle == nullptr || handle == INVALID_HANDLE_VALUE; }
  // Closing a handle we own fails only for a handle that is not one; nothing to tell.
  static void free(HANDLE handle) { CloseHandle(handle); }
};

/// Owns one kernel handle. Both NULL and INVALID_HANDLE_VALUE count as empty, so a failed
/// call's result can be stored without a check.
using Handle = Owned<KernelHandleTraits>;
