// The program module's resources as data: dialog templates with their controls, the string
// table and the icon ids. On Windows the same resources are compiled from the .rc file into
// the executable; the simulated notebook builds its dialogs and strings from this description.
#pragma once

#include <cstdint>
#include <vector>

namespace tethra::platform {

enum class ControlKind { Static, Edit, Button, CheckBox, ComboBox, ListBox, ListView, Icon };

struct ControlTemplate {
  ControlKind kind;
  int id;
  const char16_t* text;  // may be empty
  std::uint32_t style;   // window style bits as in the .rc file
  bool sorted = false;   // combo box and list box: CBS_SORT / LBS_SORT
  bool initiallyDisabled = false;
};

struct DialogTemplate {
  int id;
  const char16_t* caption;
  std::uint32_t style;
  bool visible;  // WS_VISIBLE: shown after kWM_INITDIALOG
  bool hasSystemMenu;
  std::vector<ControlTemplate> controls;
};

struct StringResource {
  std::uint32_t id;
  const char16_t* text;
};

struct ModuleResources {
  std::vector<DialogTemplate> dialogs;
  std::vector<StringResource> strings;
  std::vector<int> icons;
};

}  // namespace tethra::platform
