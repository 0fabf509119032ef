// The whole platform boundary as it is assembled: one slot per area. The entry point fills it
// (the Win32 adapters or the simulated notebook) and the program checks it once, on entry
// (Complete); from there each component is handed, by reference, only the areas it calls.
// Nothing in the program finds the platform any other way.
#pragma once

#include "tethra/platform/codepage.h"
#include "tethra/platform/com.h"
#include "tethra/platform/hotspot.h"
#include "tethra/platform/kernel.h"
#include "tethra/platform/process.h"
#include "tethra/platform/registry.h"
#include "tethra/platform/security.h"
#include "tethra/platform/sharing.h"
#include "tethra/platform/system_events.h"
#include "tethra/platform/trace.h"
#include "tethra/platform/window.h"
#include "tethra/platform/wlan_api.h"

namespace tethra::platform {

struct Platform {
  IKernel* kernel = nullptr;
  IRegistry* registry = nullptr;
  IWindowSystem* windows = nullptr;
  ISystemEvents* systemEvents = nullptr;
  ICodePage* codePage = nullptr;
  IWlanApi* wlan = nullptr;
  ISecurity* security = nullptr;
  IProcessStart* processStart = nullptr;
  IComRuntime* com = nullptr;
  ITrace* trace = nullptr;
  ISharing* sharing = nullptr;
  IModuleLoader* modules = nullptr;
  IMobileHotspot* hotspot = nullptr;

  bool Complete() const {
    return kernel != nullptr && registry != nullptr && windows != nullptr && systemEvents != nullptr &&
           codePage != nullptr && wlan != nullptr && security != nullptr && processStart != nullptr &&
           com != nullptr && trace != nullptr && sharing != nullptr && modules != nullptr &&
           hotspot != nullptr;
  }
};

}  // namespace tethra::platform
