// The dialog's access to the settings shared with the controller. GetValue runs on the watcher
// thread, SetValue on both threads, GetKeyValue on the dialog's. True only when the value was
// read or written; no failure is reported.
#include "tethra/app/HostedNetworkDlg.h"
#include "tethra/controller/SettingsStore.h"

namespace tethra::app {

bool CHostedNetworkDlg::GetValue(platform::Hkey key, std::u16string valueName, std::u16string& value) {
  value.clear();
  return controller::ReadTextValue(Registry(), key, valueName, value);
}

bool CHostedNetworkDlg::GetKeyValue(std::u16string subKey, std::u16string valueName, std::u16string& value) {
  return controller::ReadMachineValue(Registry(), subKey, valueName, value);
}

bool CHostedNetworkDlg::SetValue(std::u16string valueName, std::u16string value) {
  return controller::WriteSettingsValue(Registry(), valueName, value);
}

}  // namespace tethra::app
