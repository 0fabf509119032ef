// The executable's resources as data for the simulated notebook: the same dialogs, controls,
// strings and icons that app/res/tethra.rc compiles into the Windows executable.
#include "tethra/app/Entry.h"
#include "tethra/app/Resource.h"

namespace tethra::app {

namespace {
using platform::ControlKind;
constexpr std::uint32_t kWS_VISIBLE = 0x10000000;
constexpr std::uint32_t kWS_TABSTOP = 0x00010000;
constexpr std::uint32_t kWS_VSCROLL = 0x00200000;
constexpr std::uint32_t kWS_BORDER = 0x00800000;
constexpr std::uint32_t kES_AUTOHSCROLL = 0x0080;
constexpr std::uint32_t kBS_AUTOCHECKBOX = 0x0003;
constexpr std::uint32_t kCBS_DROPDOWNLIST = 0x0003;
constexpr std::uint32_t kCBS_SORT = 0x0100;
constexpr std::uint32_t kLBS_NOTIFY = 0x0001;
constexpr std::uint32_t kLBS_NOINTEGRALHEIGHT = 0x0100;
constexpr std::uint32_t kLVS_ICON = 0x0000;
constexpr std::uint32_t kLVS_ALIGNLEFT = 0x0800;
constexpr std::uint32_t kDS_MODALFRAME = 0x80;
constexpr std::uint32_t kWS_CAPTION = 0x00C00000;
constexpr std::uint32_t kWS_SYSMENU = 0x00080000;
constexpr std::uint32_t kWS_POPUP = 0x80000000;
}  // namespace

const platform::ModuleResources& ProgramResources() {
  static const platform::ModuleResources resources{
      {
          {IDD_HOSTEDNETWORK_DIALOG,
           u"WiFi Hosted Network",
           kDS_MODALFRAME | kWS_POPUP | kWS_CAPTION | kWS_SYSMENU | kWS_VISIBLE,
           true,
           true,
           {
               {ControlKind::Static, IDC_STATIC_NAME, u"Network Name:", 0},
               {ControlKind::Edit, IDC_EDIT_NAME, u"", kES_AUTOHSCROLL | kWS_BORDER | kWS_TABSTOP},
               {ControlKind::Static, IDC_STATIC_KEY, u"Network Key:", 0},
               {ControlKind::Edit, IDC_EDIT_KEY, u"", kES_AUTOHSCROLL | kWS_BORDER | kWS_TABSTOP},
               {ControlKind::CheckBox, IDC_CHECK_ENABLE_ICS, u"Enable ICS on", kBS_AUTOCHECKBOX | kWS_TABSTOP},
               {ControlKind::ComboBox, IDC_COMBO_CONNECTION, u"",
                kCBS_DROPDOWNLIST | kCBS_SORT | kWS_VSCROLL | kWS_TABSTOP, true, true},
               {ControlKind::Button, IDC_BUTTON_START, u"Start Using Hosted Network", kWS_TABSTOP},
               {ControlKind::Static, IDC_STATIC_STATUS, u"", 0},
               {ControlKind::Static, IDC_STATIC_DEVICES, u"Device List:", 0},
               {ControlKind::ListView, IDC_LIST_DEVICES, u"", kLVS_ICON | kLVS_ALIGNLEFT | kWS_BORDER | kWS_TABSTOP},
               {ControlKind::Static, IDC_STATIC_NOTIFICATIONS, u"Notification:", 0},
               {ControlKind::ListBox, IDC_LIST_NOTIFICATIONS, u"",
                kLBS_NOTIFY | kLBS_NOINTEGRALHEIGHT | kWS_VSCROLL | kWS_BORDER | kWS_TABSTOP},
               {ControlKind::Button, IDC_BUTTON_CLEAR, u"Clear Notification Output", kWS_TABSTOP},
           }},
          {IDD_ABOUTBOX,
           u"About WiFi HostedNetwork",
           kDS_MODALFRAME | kWS_POPUP | kWS_CAPTION | kWS_SYSMENU | kWS_VISIBLE,
           true,
           true,
           {
               {ControlKind::Icon, -1, u"", 0},
               {ControlKind::Static, -1, u"Tethra, Version 1.0", 0},
               {ControlKind::Button, 1, u"OK", kWS_TABSTOP},
           }},
      },
      {
          {IDS_ABOUTBOX, u"&About HostedNetwork..."},
          {IDS_START_HOSTED_NETWORK, u"Start Using Hosted Network"},
          {IDS_STOP_HOSTED_NETWORK, u"Stop Using Hosted Network"},
      },
      {IDR_MAINFRAME, 129, 130, 131, 132, 133, 134},
  };
  return resources;
}

}  // namespace tethra::app
