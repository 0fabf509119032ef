// The whole platform boundary as the program receives it: one reference per area. The entry
// point builds it (the Win32 adapters or the simulated notebook) and passes it down; nothing
// in the program finds the platform any other way. Both builds fill every area; a unit test
// leaves the areas its code under test does not use null.
#pragma once

#include "tethra/platform/codepage.h"
#include "tethra/platform/com.h"
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
};

}  // namespace tethra::platform
