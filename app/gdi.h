// Scoped GDI objects: a DC is released, a selection undone and an object deleted on every
// path, as kernel handles are by Handle (exec/handle.h), whose template owns them too.
#pragma once

#include <windows.h>

#include "exec/handle.h"

template <typename T>
struct GdiObjectTraits {
  using Type = T;
  static bool empty(T object) { return object == nullptr; }
  static void free(T object) { DeleteObject(object); }
};

/// A GDI object this program created (font, brush); deleted with it.
template <typename T>
using GdiObject = Owned<GdiObjectTraits<T>>;

/// The DC of a window (the screen's for null), released at the end of the scope.
class ScopedGetDC {
 public:
  explicit ScopedGetDC(HWND hwnd) : hwnd_(hwnd), dc_(GetDC(hwnd)) {}
  ~ScopedGetDC() {
    if (dc_) ReleaseDC(hwnd_, dc_);
  }
  ScopedGetDC(const ScopedGetDC&) = delete;
  ScopedGetDC& operator=(const ScopedGetDC&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND hwnd_;
  HDC dc_;
};

/// Selects an object into a DC for the scope and puts the old one back.
class ScopedSelectObject {
 public:
  ScopedSelectObject(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
  ~ScopedSelectObject() {
    if (old_ && old_ != HGDI_ERROR) SelectObject(dc_, old_);
  }
  ScopedSelectObject(const ScopedSelectObject&) = delete;
  ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};
