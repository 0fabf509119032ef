// ComPtr<T>: the boundary's name for an owning pointer to a COM object (the boundary's sharing
// interfaces, or the system's own COM interfaces inside the Win32 adapter). It is base::RefPtr:
// one reference held, given back with Release when reset, reassigned or destroyed; put() hands
// a cleared slot to an out-pointer that delivers a new reference; copyFrom() takes an additional
// reference on an object the caller keeps. Returns no codes. One ComPtr belongs to one thread.
#pragma once

#include "tethra/base/RefPtr.h"

namespace tethra::platform {

template <typename T>
using ComPtr = base::RefPtr<T>;

}  // namespace tethra::platform
