// rc-to-resources: writes the simulated notebook's ProgramResources() as a C++ source file from
// the .rc file the Windows executable's resources are compiled from, so that the dialogs,
// controls, strings and icons are stated once.
//
//   rc-to-resources RC-FILE OUT-CPP
//
// It reads only the statements tethra.rc uses and refuses any other with its line, so that a
// new kind of resource, control or style is looked at before the notebook runs without it.
// What the notebook models, and so what is written:
//   - a dialog (DIALOGEX): its id, caption and style, whether it is shown after WM_INITDIALOG
//     (WS_VISIBLE) and has a system menu (WS_SYSMENU), its controls in template order (the tab
//     and z order on Windows, the creation order on the notebook);
//   - a control: its kind (from its class and style), id, text, style, whether it sorts
//     (CBS_SORT, LBS_SORT) and whether it starts disabled (WS_DISABLED);
//   - the string table and the icons' ids.
// Left out on purpose, as the notebook draws nothing and has no keyboard:
//   - FONT, DS_SETFONT, DS_FIXEDSYS and every coordinate: layout;
//   - EXSTYLE: WS_EX_TOOLWINDOW keeps the hidden dialog off the taskbar; the notebook has none;
//   - from a control's style, WS_CHILD | WS_VISIBLE (every control is a shown child),
//     WS_DISABLED (carried on its own), WS_GROUP and BS_DEFPUSHBUTTON (arrow-key groups and the
//     Enter key), SS_NOPREFIX (how '&' is drawn) and SS_ICON (carried by ControlKind::Icon);
//   - the image an ICON control shows (it must be one of the file's icons), the icons' files,
//     the manifest, the version block and the language: nothing on the notebook reads them.
// Not in the .rc, so stated here: the values of the <windows.h> and <commctrl.h> names it uses
// (the simulator has no Windows headers) and the styles rc.exe gives each control statement,
// with the pages they come from in docs/resources-contract.md.
// Ids are written as the .rc spells them: the generated file includes the .rc's own headers
// (tethra/app/Resource.h), and the compiler resolves them as rc.exe does.
//
// Exit status: 0 written; 1 refused or unreadable, with the file and line on stderr (and no
// output file).
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <stdexcept>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

// The values of the system's names the .rc uses (WinUser.h, CommCtrl.h).
constexpr std::uint32_t kWS_CHILD = 0x40000000, kWS_VISIBLE = 0x10000000, kWS_DISABLED = 0x08000000,
                        kWS_SYSMENU = 0x00080000, kWS_GROUP = 0x00020000, kWS_TABSTOP = 0x00010000,
                        kDS_SETFONT = 0x40, kDS_FIXEDSYS = 0x08, kSS_LEFT = 0, kSS_ICON = 0x3, kSS_TYPEMASK = 0x1F,
                        kSS_NOPREFIX = 0x80, kBS_DEFPUSHBUTTON = 1, kBS_CHECKBOX = 2, kBS_AUTOCHECKBOX = 3,
                        kBS_3STATE = 5, kBS_AUTO3STATE = 6, kBS_TYPEMASK = 0xF, kCBS_SORT = 0x100, kLBS_SORT = 0x2;
const std::map<std::string, std::uint32_t> kStyleNames = {
    {"WS_POPUP", 0x80000000}, {"WS_VISIBLE", kWS_VISIBLE}, {"WS_DISABLED", kWS_DISABLED}, {"WS_CAPTION", 0x00C00000},
    {"WS_BORDER", 0x00800000}, {"WS_VSCROLL", 0x00200000}, {"WS_SYSMENU", kWS_SYSMENU}, {"WS_GROUP", kWS_GROUP},
    {"WS_TABSTOP", kWS_TABSTOP}, {"DS_SETFONT", kDS_SETFONT}, {"DS_MODALFRAME", 0x80}, {"DS_FIXEDSYS", kDS_FIXEDSYS},
    {"SS_LEFT", kSS_LEFT}, {"SS_NOPREFIX", kSS_NOPREFIX}, {"ES_AUTOHSCROLL", 0x80}, {"BS_PUSHBUTTON", 0},
    {"BS_AUTOCHECKBOX", kBS_AUTOCHECKBOX}, {"CBS_DROPDOWNLIST", 0x3}, {"CBS_SORT", kCBS_SORT}, {"LBS_NOTIFY", 0x1},
    {"LBS_NOINTEGRALHEIGHT", 0x100}, {"LVS_ICON", 0x0}, {"LVS_ALIGNLEFT", 0x800}};
const std::map<std::string, std::string> kSystemIds = {{"IDOK", "1"}};
const std::map<std::string, std::string> kClassNames = {{"WC_LISTVIEW", "SysListView32"}};

// Thrown with the reason a statement cannot be read; main adds the file and line.
struct Refusal {
  std::string reason;
};

// One token: a quoted text (kept with its opening quote, "" decoded), a word, ',' or '|'.
using Tokens = std::vector<std::string>;
using Fields = std::vector<Tokens>;  // a statement split at its commas

bool IsText(const std::string& token) { return !token.empty() && token[0] == '"'; }

Tokens ReadTokens(const std::string& line) {
  Tokens out;
  for (std::size_t i = 0; i < line.size();) {
    const char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
    } else if (line.compare(i, 2, "//") == 0) {
      break;
    } else if (line.compare(i, 2, "/*") == 0) {
      throw Refusal{"a block comment, which this reader does not read"};
    } else if (c == ',' || c == '|') {
      out.emplace_back(1, c);
      ++i;
    } else if (c == '"') {
      std::string text = "\"";
      for (++i;; ++i) {
        if (i >= line.size()) throw Refusal{"a text without its closing quote"};
        if (line[i] == '"' && i + 1 < line.size() && line[i + 1] == '"') {
          text += '"';
          ++i;
        } else if (line[i] == '"') {
          break;
        } else if (line[i] == '\\' || line[i] < 0x20 || line[i] > 0x7E) {
          throw Refusal{"a text with an escape or a character outside printable ASCII: not decoded here"};
        } else {
          text += line[i];
        }
      }
      out.push_back(text);
      ++i;
    } else {
      const std::size_t end = line.find_first_of(" \t\r,|\"", i);
      std::string word = line.substr(i, end - i);
      if (word == "{") word = "BEGIN";
      if (word == "}") word = "END";
      out.push_back(word);
      i = end == std::string::npos ? line.size() : end;
    }
  }
  return out;
}

Fields Split(const Tokens& statement) {
  Fields fields(1);
  for (const auto& token : statement) {
    if (token == ",") {
      fields.emplace_back();
    } else {
      fields.back().push_back(token);
    }
  }
  return fields;
}

std::string Text(const Tokens& field) {
  if (field.size() != 1 || !IsText(field[0])) throw Refusal{"a quoted text expected"};
  return field[0].substr(1);
}

bool IsNumber(const std::string& word) {
  std::size_t used = 0;
  try {
    (void)std::stol(word, &used, 0);
  } catch (const std::exception&) {
    return false;
  }
  return used == word.size();
}

bool IsName(const std::string& word) {
  if (word.empty() || (word[0] >= '0' && word[0] <= '9')) return false;
  for (const char c : word) {
    if (!(c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return false;
  }
  return true;
}

// An id as C++ spells it: a number, a system id's value, or the .rc's name for the compiler.
std::string Id(const Tokens& field) {
  if (field.size() != 1) throw Refusal{"one id expected"};
  const std::string& word = field[0];
  if (const auto it = kSystemIds.find(word); it != kSystemIds.end()) return it->second;
  if (IsNumber(word) || IsName(word)) return word;
  throw Refusal{"an id this reader cannot read: " + word};
}

// Names or numbers joined by '|', or-ed together; `from` skips a leading keyword.
std::uint32_t Style(const Tokens& field, std::size_t from = 0) {
  std::uint32_t style = 0;
  for (std::size_t i = from; i < field.size(); ++i) {
    const std::string& word = field[i];
    if ((i - from) % 2 == 1) {
      if (word != "|") throw Refusal{"styles joined by something other than '|': " + word};
    } else if (const auto it = kStyleNames.find(word); it != kStyleNames.end()) {
      style |= it->second;
    } else if (IsNumber(word)) {
      style |= static_cast<std::uint32_t>(std::stoul(word, nullptr, 0));
    } else {
      throw Refusal{"a style this reader knows no value of: " + word};
    }
  }
  if (field.size() <= from || (field.size() - from) % 2 == 0) throw Refusal{"a style expression cut short"};
  return style;
}

enum class Kind { Static, Edit, Button, CheckBox, ComboBox, ListBox, ListView, Icon };
constexpr const char* kKindNames[] = {"Static",   "Edit",    "Button",   "CheckBox",
                                      "ComboBox", "ListBox", "ListView", "Icon"};

struct Control {
  Kind kind;
  std::string id, text;
  std::uint32_t style;
  bool sorted, initiallyDisabled;
};
struct Dialog {
  std::string id, caption;
  std::uint32_t style = 0;
  std::vector<Control> controls = {};
};
struct Resources {
  std::vector<std::string> includes;  // the .rc's own headers (not the system's <...>)
  std::vector<Dialog> dialogs;
  std::vector<std::pair<std::string, std::string>> strings;
  std::vector<std::string> icons;
  std::vector<std::pair<std::string, int>> iconImages;  // what ICON controls show, with their line
};

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  return s;
}

// A control statement as the notebook models it: rc.exe's styles for the statement, then kind,
// the modelled style bits, sorting and the initial state.
Control ReadControl(const Fields& f, Resources& rc, int line) {
  if (f[0].size() != 2) throw Refusal{"a control statement whose first field is not one value"};
  const std::string& statement = f[0][0];
  const Tokens first{f[0][1]};
  std::string cls = "STATIC", text;
  std::uint32_t style = kWS_CHILD | kWS_VISIBLE;
  std::size_t styleField = 6;  // where the optional style stands in all statements but CONTROL
  if (statement == "CONTROL") {
    if (f.size() != 8 && f.size() != 9) throw Refusal{"CONTROL takes text, id, class, style, x, y, cx, cy [, exstyle]"};
    text = Text(first);
    const auto known = f[2].size() == 1 ? kClassNames.find(f[2][0]) : kClassNames.end();
    cls = known != kClassNames.end() ? known->second : Text(f[2]);
    style |= Style(f[3]);
    styleField = 0;
  } else if (statement == "LTEXT" || statement == "DEFPUSHBUTTON") {
    if (f.size() < 6 || f.size() > 8) throw Refusal{statement + " takes text, id, x, y, cx, cy [, style [, exstyle]]"};
    text = Text(first);
    if (statement == "LTEXT") {
      style |= kSS_LEFT | kWS_GROUP;
    } else {
      cls = "BUTTON";
      style |= kBS_DEFPUSHBUTTON | kWS_TABSTOP;
    }
  } else if (statement == "ICON") {
    if (f.size() != 4 && (f.size() < 6 || f.size() > 8)) {
      throw Refusal{"ICON takes image, id, x, y [, cx, cy [, style [, exstyle]]]"};
    }
    rc.iconImages.emplace_back(Id(first), line);
    style |= kSS_ICON;
  } else {
    throw Refusal{"a control statement this reader does not know: " + statement};
  }
  if (styleField != 0 && f.size() > styleField) style |= Style(f[styleField]);

  Kind kind = Kind::Static;
  const std::string upper = Upper(cls);
  const std::uint32_t buttonType = style & kBS_TYPEMASK;
  if (upper == "STATIC") {
    kind = (style & kSS_TYPEMASK) == kSS_ICON ? Kind::Icon : Kind::Static;
  } else if (upper == "BUTTON" && buttonType <= kBS_DEFPUSHBUTTON) {
    kind = Kind::Button;
  } else if (upper == "BUTTON" && (buttonType == kBS_CHECKBOX || buttonType == kBS_AUTOCHECKBOX ||
                                   buttonType == kBS_3STATE || buttonType == kBS_AUTO3STATE)) {
    kind = Kind::CheckBox;
  } else if (upper == "EDIT") {
    kind = Kind::Edit;
  } else if (upper == "COMBOBOX") {
    kind = Kind::ComboBox;
  } else if (upper == "LISTBOX") {
    kind = Kind::ListBox;
  } else if (upper == "SYSLISTVIEW32") {
    kind = Kind::ListView;
  } else {
    throw Refusal{"a control the notebook has no kind for: class " + cls};
  }

  std::uint32_t modelled = style & ~(kWS_CHILD | kWS_VISIBLE | kWS_DISABLED | kWS_GROUP);
  if (kind == Kind::Static || kind == Kind::Icon) modelled &= ~(kSS_NOPREFIX | kSS_ICON);
  if (kind == Kind::Button) modelled &= ~kBS_DEFPUSHBUTTON;
  const std::uint32_t sort = kind == Kind::ComboBox ? kCBS_SORT : kind == Kind::ListBox ? kLBS_SORT : 0;
  return {kind, Id(f[1]), text, modelled, (style & sort) != 0, (style & kWS_DISABLED) != 0};
}

// `where`: the line a refusal is about (the first line of its statement).
Resources ReadRc(std::istream& file, int& where) {
  Resources rc;
  enum class In { Top, DialogHead, Dialog, StringsHead, Strings, Skipped } in = In::Top;
  int depth = 0;  // BEGIN ... END nesting of a skipped block
  std::set<std::string> dialogIds, stringIds;
  Tokens t;
  int line = 0, start = 0;
  for (std::string text; std::getline(file, text);) {
    where = ++line;
    if (t.empty()) start = line;
    for (auto& token : ReadTokens(text)) t.push_back(std::move(token));
    if (t.empty() || t.back() == "," || t.back() == "|") continue;  // the statement goes on
    where = start;
    const Fields f = Split(t);
    const Tokens statement = std::move(t);
    t.clear();
    const std::string& first = statement[0];
    const std::string second = statement.size() > 1 ? statement[1] : "";
    if (in == In::Skipped) {
      if (first == "BEGIN") ++depth;
      if (first == "END" && --depth == 0) in = In::Top;
    } else if (first[0] == '#') {
      if (first != "#include" || statement.size() != 2) throw Refusal{"a preprocessor line other than #include"};
      if (IsText(second)) rc.includes.push_back(second.substr(1));  // <...>: the system's, given above
    } else if (in == In::DialogHead) {
      if (first == "STYLE") {
        rc.dialogs.back().style = Style(f[0], 1);
      } else if (first == "CAPTION" && statement.size() == 2) {
        rc.dialogs.back().caption = Text({second});
      } else if (first == "BEGIN") {
        in = In::Dialog;
      } else if (first != "EXSTYLE" && first != "FONT") {
        throw Refusal{"a dialog statement this reader does not know: " + first};
      }
    } else if (in == In::Dialog) {
      if (first == "END") {
        in = In::Top;
      } else {
        rc.dialogs.back().controls.push_back(ReadControl(f, rc, where));
      }
    } else if (in == In::StringsHead) {
      if (first != "BEGIN") throw Refusal{"STRINGTABLE options, which this reader does not read"};
      in = In::Strings;
    } else if (in == In::Strings) {
      if (first == "END") {
        in = In::Top;
        continue;
      }
      const bool comma = f.size() == 2 && f[0].size() == 1;  // ID, "text" or ID "text"
      if (!comma && (f.size() != 1 || f[0].size() != 2)) throw Refusal{"a string takes id [,] \"text\""};
      const std::string id = Id({first});
      if (!stringIds.insert(id).second) throw Refusal{"string " + id + " a second time"};
      rc.strings.emplace_back(id, Text(comma ? f[1] : Tokens{second}));
    } else if (first == "LANGUAGE" || second == "RT_MANIFEST") {
      // One language; the manifest is for Windows' loader.
    } else if (second == "ICON") {
      if (statement.size() != 3 || !IsText(statement[2])) throw Refusal{"an icon takes id ICON \"file\""};
      rc.icons.push_back(Id({first}));
    } else if (second == "DIALOGEX") {
      if (!dialogIds.insert(first).second) throw Refusal{"dialog " + first + " a second time"};
      rc.dialogs.push_back({Id({first}), ""});
      in = In::DialogHead;
    } else if (first == "STRINGTABLE" && statement.size() == 1) {
      in = In::StringsHead;
    } else if (second == "VERSIONINFO") {
      in = In::Skipped;  // its fixed part up to BEGIN, then its blocks: Windows' file properties
      depth = 0;
    } else {
      throw Refusal{"a statement this reader does not know: " + first + (second.empty() ? "" : " " + second)};
    }
  }
  if (!t.empty() || in != In::Top) throw Refusal{"the file ends inside this statement or its block"};
  const std::set<std::string> icons(rc.icons.begin(), rc.icons.end());
  for (const auto& [image, at] : rc.iconImages) {
    where = at;
    if (icons.count(image) == 0) throw Refusal{"an ICON control showing " + image + ", which is no icon of the file"};
  }
  return rc;
}

std::string Literal(const std::string& text) {
  std::string out = "u\"";
  for (const char c : text) {
    if (c == '"') out += '\\';
    out += c;
  }
  return out + '"';
}

std::string Hex(std::uint32_t v) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(v));
  return buffer;
}

std::string Cpp(const Resources& rc, const std::string& rcName) {
  std::ostringstream out;
  const auto boolean = [](bool b) { return b ? "true" : "false"; };
  out << "// Written at build time by rc-to-resources (testing/notebook/resources/src/RcToResources.cpp)\n"
      << "// from " << rcName << ": edit the .rc, never this file. Styles are the .rc's as the\n"
      << "// notebook models them; ids as the .rc spells them.\n"
      << "#include \"tethra/sim/ProgramResources.h\"\n\n";
  for (const auto& header : rc.includes) out << "#include \"" << header << "\"\n";
  out << "\nnamespace tethra::sim {\n\n"
      << "const platform::ModuleResources& ProgramResources() {\n"
      << "  using platform::ControlKind;\n"
      << "  static const platform::ModuleResources resources{\n"
      << "      {\n";
  for (const Dialog& d : rc.dialogs) {
    out << "          {" << d.id << ", " << Literal(d.caption) << ", " << Hex(d.style & ~(kDS_SETFONT | kDS_FIXEDSYS))
        << ", " << boolean((d.style & kWS_VISIBLE) != 0) << ", " << boolean((d.style & kWS_SYSMENU) != 0) << ",\n"
        << "           {\n";
    for (const Control& c : d.controls) {
      out << "               {ControlKind::" << kKindNames[static_cast<int>(c.kind)] << ", " << c.id << ", "
          << Literal(c.text) << ", " << Hex(c.style) << ", " << boolean(c.sorted) << ", "
          << boolean(c.initiallyDisabled) << "},\n";
    }
    out << "           }},\n";
  }
  out << "      },\n"
      << "      {\n";
  for (const auto& [id, text] : rc.strings) out << "          {" << id << ", " << Literal(text) << "},\n";
  out << "      },\n"
      << "      {";
  for (std::size_t i = 0; i < rc.icons.size(); ++i) out << (i == 0 ? "" : ", ") << rc.icons[i];
  out << "},\n"
      << "  };\n"
      << "  return resources;\n"
      << "}\n\n"
      << "}  // namespace tethra::sim\n";
  return out.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: rc-to-resources RC-FILE OUT-CPP\n";
    return 1;
  }
  const std::string rcName = argv[1], outName = argv[2];
  std::remove(outName.c_str());  // a refused file leaves no output behind from an earlier run
  std::ifstream file(rcName);
  if (!file) {
    std::cerr << "rc-to-resources: cannot open " << rcName << "\n";
    return 1;
  }
  int line = 0;
  Resources rc;
  try {
    rc = ReadRc(file, line);
  } catch (const Refusal& refusal) {
    std::cerr << rcName << ":" << line << ": rc-to-resources: " << refusal.reason << "\n";
    return 1;
  }
  std::ofstream out(outName, std::ios::binary);
  out << Cpp(rc, rcName);
  out.close();
  if (!out) {
    std::cerr << "rc-to-resources: cannot write " << outName << "\n";
    std::remove(outName.c_str());
    return 1;
  }
  return 0;
}
