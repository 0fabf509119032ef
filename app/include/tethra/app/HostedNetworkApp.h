// The application object: no data of its own; overrides InitInstance only.
#pragma once

#include "tethra/app/framework/Dialog.h"

namespace tethra::app {

class CHostedNetworkApp : public CWinApp {
 public:
  using CWinApp::CWinApp;
  bool InitInstance() override;
};

}  // namespace tethra::app
