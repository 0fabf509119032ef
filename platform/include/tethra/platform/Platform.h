// The whole platform boundary as it is assembled: one slot per area. The entry point fills it
// (the Win32 adapters or the simulated notebook) and the program checks it once, on entry
// (Complete); from there each component is handed, by reference, only the areas it calls.
// Nothing in the program finds the platform any other way.
#pragma once

#include "tethra/platform/CodePage.h"
#include "tethra/platform/Com.h"
#include "tethra/platform/Hotspot.h"
#include "tethra/platform/Kernel.h"
#include "tethra/platform/Process.h"
#include "tethra/platform/Registry.h"
#include "tethra/platform/Security.h"
#include "tethra/platform/Sharing.h"
#include "tethra/platform/SystemEvents.h"
#include "tethra/platform/Trace.h"
#include "tethra/platform/Window.h"
#include "tethra/platform/WlanApi.h"

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
