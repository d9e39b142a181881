// Runs a function when the scope ends, on every path: for a state that must be restored or
// a resource that has no handle type of its own.
#pragma once

#include <utility>

template <typename Function>
class Defer {
 public:
  explicit Defer(Function function) : function_(std::move(function)) {}
  ~Defer() { function_(); }
  Defer(const Defer&) = delete;
  Defer& operator=(const Defer&) = delete;

 private:
  Function function_;
};
