// Checks that app/res/tethra.rc, which the Windows executable is built from, and
// ProgramResources(), which the simulated notebook runs on, describe the same dialogs,
// controls, strings and icons. The .rc is read at test time by a reader that knows only the
// statements that file uses and fails on any other, so a new kind of resource gets looked at.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tethra/app/Entry.h"
#include "tethra/app/Resource.h"

namespace tethra::app {
namespace {

using platform::ControlKind;

// Win32 values of the style bits the .rc uses (WinUser.h, CommCtrl.h).
constexpr std::uint32_t kWS_CHILD = 0x40000000, kWS_VISIBLE = 0x10000000, kWS_DISABLED = 0x08000000,
                        kWS_SYSMENU = 0x00080000, kWS_GROUP = 0x00020000, kWS_TABSTOP = 0x00010000,
                        kDS_SETFONT = 0x40, kDS_FIXEDSYS = 0x08, kSS_LEFT = 0, kSS_ICON = 0x3, kSS_NOPREFIX = 0x80,
                        kBS_DEFPUSHBUTTON = 1, kBS_AUTOCHECKBOX = 3, kCBS_SORT = 0x100, kLBS_SORT = 0x2;
const std::map<std::string, long> kStyleNames = {
    {"WS_POPUP", 0x80000000}, {"WS_VISIBLE", kWS_VISIBLE}, {"WS_DISABLED", kWS_DISABLED}, {"WS_CAPTION", 0x00C00000},
    {"WS_BORDER", 0x00800000}, {"WS_VSCROLL", 0x00200000}, {"WS_SYSMENU", kWS_SYSMENU}, {"WS_GROUP", kWS_GROUP},
    {"WS_TABSTOP", kWS_TABSTOP}, {"DS_SETFONT", kDS_SETFONT}, {"DS_MODALFRAME", 0x80}, {"DS_FIXEDSYS", kDS_FIXEDSYS},
    {"SS_LEFT", kSS_LEFT}, {"SS_NOPREFIX", kSS_NOPREFIX}, {"ES_AUTOHSCROLL", 0x80}, {"BS_PUSHBUTTON", 0},
    {"BS_AUTOCHECKBOX", kBS_AUTOCHECKBOX}, {"CBS_DROPDOWNLIST", 0x3}, {"CBS_SORT", kCBS_SORT}, {"LBS_NOTIFY", 0x1},
    {"LBS_NOINTEGRALHEIGHT", 0x100}, {"LVS_ICON", 0x0}, {"LVS_ALIGNLEFT", 0x800}};

#define TETHRA_ID(name) {#name, name}
const std::map<std::string, long> kIds = {
    TETHRA_ID(IDM_ABOUTBOX), TETHRA_ID(IDD_ABOUTBOX), TETHRA_ID(IDS_ABOUTBOX), TETHRA_ID(IDD_HOSTEDNETWORK_DIALOG),
    TETHRA_ID(IDS_START_HOSTED_NETWORK), TETHRA_ID(IDS_STOP_HOSTED_NETWORK), TETHRA_ID(IDR_MAINFRAME),
    TETHRA_ID(IDC_EDIT_NAME), TETHRA_ID(IDC_EDIT_KEY), TETHRA_ID(IDC_BUTTON_START), TETHRA_ID(IDC_COMBO_CONNECTION),
    TETHRA_ID(IDC_LIST_DEVICES), TETHRA_ID(IDC_STATIC_NAME), TETHRA_ID(IDC_STATIC_STATUS), TETHRA_ID(IDC_STATIC_KEY),
    TETHRA_ID(IDC_CHECK_ENABLE_ICS), TETHRA_ID(IDC_BUTTON_CLEAR), TETHRA_ID(IDC_LIST_NOTIFICATIONS),
    TETHRA_ID(IDC_STATIC_DEVICES), TETHRA_ID(IDC_STATIC_NOTIFICATIONS), {"IDOK", 1}};
#undef TETHRA_ID

constexpr const char* kKindNames[] = {"Static", "Edit", "Button", "CheckBox", "ComboBox", "ListBox", "ListView", "Icon"};

struct RcControl {
  std::string name, text;  // name: the id as the .rc spells it, for messages
  int id = 0, image = 0;   // image: the icon an ICON statement shows
  ControlKind kind = ControlKind::Static;
  std::uint32_t style = 0;
};
struct RcDialog {
  std::string name, caption;
  int id = 0;
  std::uint32_t style = 0;
  std::vector<RcControl> controls = {};
};
struct Rc {
  std::vector<RcDialog> dialogs;
  std::map<int, std::u16string> strings;
  std::multiset<int> icons;
};

int Value(const std::string& word, const std::map<std::string, long>& names) {
  if (word.find_first_of("-0123456789") == 0) return static_cast<int>(std::stol(word, nullptr, 0));
  const auto it = names.find(word);
  if (it == names.end()) ADD_FAILURE() << "tethra.rc uses " << word << ", which this test cannot resolve";
  return it == names.end() ? 0 : static_cast<int>(it->second);
}

// Names or numbers joined by '|', or-ed together (after the word STYLE in a dialog's).
std::uint32_t Style(const std::vector<std::string>& field) {
  std::uint32_t style = 0;
  for (const auto& word : field) {
    if (word != "|" && word != "STYLE") style |= static_cast<std::uint32_t>(Value(word, kStyleNames));
  }
  return style;
}

// The .rc is ASCII: its texts widen one char to one UTF-16 unit.
std::u16string Wide(const std::string& text) { return {text.begin(), text.end()}; }
std::u16string Wide(const char16_t* text) { return text != nullptr ? text : u""; }
std::string Text(const std::string& token) { return token.empty() || token[0] != '"' ? token : token.substr(1); }

// One line as tokens: quoted texts (kept with their opening quote, "" decoded to a quote),
// words, ',' and '|'. The .rc uses no backslash escapes, so none are decoded.
std::vector<std::string> Tokens(const std::string& line) {
  static const std::regex kToken(R"re("(?:[^"]|"")*"|//|[,|]|[^\s,|]+)re"), kDoubled("\"\"");
  std::vector<std::string> out;
  for (std::sregex_iterator it(line.begin(), line.end(), kToken), end; it != end && it->str() != "//"; ++it) {
    const std::string s = it->str();
    out.push_back(s[0] == '"' ? '"' + std::regex_replace(s.substr(1, s.size() - 2), kDoubled, "\"") : s);
  }
  return out;
}

// A control statement split at its commas, with the styles the statement itself implies.
RcControl Control(const std::vector<std::vector<std::string>>& f) {
  const std::string& statement = f[0][0];
  const bool readable = f.size() >= 4 && f[0].size() == 2;
  EXPECT_TRUE(readable) << "tethra.rc: cannot read this " << statement;
  if (!readable) return {};
  RcControl c{f[1][0], Text(f[0][1]), Value(f[1][0], kIds), 0, ControlKind::Static, kWS_CHILD | kWS_VISIBLE};
  std::string cls = "STATIC";
  if (statement == "CONTROL") {
    cls = f[2][0] == "WC_LISTVIEW" ? "SysListView32" : Text(f[2][0]);
    c.style |= Style(f[3]);
  } else if (statement == "LTEXT") {
    c.style |= kSS_LEFT | kWS_GROUP;
  } else if (statement == "ICON") {
    c.style |= kSS_ICON;
    c.image = Value(c.text, kIds);
    c.text.clear();
  } else if (statement == "DEFPUSHBUTTON") {
    cls = "BUTTON";
    c.style |= kBS_DEFPUSHBUTTON | kWS_TABSTOP;
  } else {
    ADD_FAILURE() << "tethra.rc: control statement this test does not know: " << statement;
  }
  if (statement != "CONTROL" && f.size() > 6) c.style |= Style(f[6]);
  for (char& ch : cls) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  using enum ControlKind;
  const std::map<std::string, ControlKind> kinds = {
      {"STATIC", (c.style & 0x1F) == kSS_ICON ? Icon : Static}, {"EDIT", Edit}, {"COMBOBOX", ComboBox},
      {"BUTTON", (c.style & 0xF) <= kBS_DEFPUSHBUTTON ? Button : CheckBox}, {"LISTBOX", ListBox},
      {"SYSLISTVIEW32", ListView}};
  const auto kind = kinds.find(cls);
  if (kind == kinds.end()) ADD_FAILURE() << "tethra.rc: control " << c.name << " of a class this test does not know";
  else c.kind = kind->second;
  return c;
}

Rc ReadRc() {
  std::ifstream file(TETHRA_RC_FILE);
  EXPECT_TRUE(file) << "cannot open " << TETHRA_RC_FILE;
  Rc rc;
  enum class In { Top, Dialog, Strings, Skipped } in = In::Top;
  int depth = 0;
  std::vector<std::string> t;
  for (std::string line; std::getline(file, line);) {
    for (const auto& token : Tokens(line)) t.push_back(token);
    if (t.empty() || t.back() == "," || t.back() == "|") continue;  // the statement goes on
    std::vector<std::vector<std::string>> f(1);
    for (const auto& token : t) token == "," ? void(f.emplace_back()) : f.back().push_back(token);
    const std::string first = t[0], second = t.size() > 1 ? t[1] : "";
    t.clear();
    if (first[0] == '#') continue;  // the preprocessor's
    if (first == "BEGIN" || first == "END") {
      depth += first == "BEGIN" ? 1 : -1;
      if (depth == 0) in = In::Top;
    } else if (in == In::Strings) {
      rc.strings[Value(first, kIds)] = Wide(Text(second));
    } else if (in == In::Dialog && depth == 0) {  // EXSTYLE and FONT are not modelled, see below
      if (first == "STYLE") rc.dialogs.back().style = Style(f[0]);
      if (first == "CAPTION") rc.dialogs.back().caption = Text(second);
    } else if (in == In::Dialog) {
      rc.dialogs.back().controls.push_back(Control(f));
    } else if (in == In::Top && first == "STRINGTABLE") {
      in = In::Strings;
    } else if (in == In::Top && second == "DIALOGEX") {
      rc.dialogs.push_back({first, "", Value(first, kIds)});
      in = In::Dialog;
    } else if (in == In::Top && second == "ICON") {
      rc.icons.insert(Value(first, kIds));
    } else if (in == In::Top && second == "VERSIONINFO") {
      in = In::Skipped;  // Windows-only, as is the manifest: nothing on the notebook reads them
    } else if (in == In::Top && first != "LANGUAGE" && second != "RT_MANIFEST") {
      ADD_FAILURE() << "tethra.rc: statement this test does not know: " << line;
    }
  }
  return rc;
}

std::string Hex(std::uint32_t v) { return "0x" + (std::ostringstream() << std::hex << v).str(); }

// The style bits the portable description carries. Left out on purpose:
// - DS_SETFONT, DS_FIXEDSYS (with FONT and all coordinates): layout; the notebook draws nothing;
// - WS_EX_TOOLWINDOW (EXSTYLE): keeps the hidden dialog off the taskbar; the notebook has none;
// - WS_CHILD | WS_VISIBLE, implied by every control statement: every control is a shown child;
// - WS_DISABLED: carried as initiallyDisabled, compared on its own;
// - WS_GROUP, BS_DEFPUSHBUTTON: arrow-key groups and the Enter key; the notebook has no keyboard;
// - SS_NOPREFIX: how '&' is drawn; SS_ICON: carried by ControlKind::Icon.
std::uint32_t Modelled(ControlKind kind, std::uint32_t style) {
  style &= ~(kWS_CHILD | kWS_VISIBLE | kWS_DISABLED | kWS_GROUP);
  if (kind == ControlKind::Static || kind == ControlKind::Icon) style &= ~(kSS_NOPREFIX | kSS_ICON);
  if (kind == ControlKind::Button) style &= ~kBS_DEFPUSHBUTTON;
  return style;
}

TEST(ResourcesMatchRcTest, SameDialogsCaptionsStylesAndControlsInTheSameOrder) {
  const Rc rc = ReadRc();
  const auto& portable = ProgramResources().dialogs;
  ASSERT_EQ(rc.dialogs.size(), portable.size()) << "number of dialogs";
  for (const RcDialog& d : rc.dialogs) {
    SCOPED_TRACE("dialog " + d.name);
    const auto p = std::find_if(portable.begin(), portable.end(), [&](const auto& x) { return x.id == d.id; });
    ASSERT_NE(p, portable.end()) << "missing from ProgramResources()";
    EXPECT_EQ(Wide(d.caption), Wide(p->caption));
    EXPECT_EQ(Hex(d.style & ~(kDS_SETFONT | kDS_FIXEDSYS)), Hex(p->style)) << "dialog style";
    EXPECT_EQ((d.style & kWS_VISIBLE) != 0, p->visible) << "WS_VISIBLE";
    EXPECT_EQ((d.style & kWS_SYSMENU) != 0, p->hasSystemMenu) << "WS_SYSMENU";
    // The order is the tab and z order on Windows and the creation order on the notebook.
    std::vector<int> rcOrder, portableOrder;
    for (const auto& c : d.controls) rcOrder.push_back(c.id);
    for (const auto& c : p->controls) portableOrder.push_back(c.id);
    const auto at = static_cast<std::size_t>(std::mismatch(rcOrder.begin(), rcOrder.end(), portableOrder.begin(),
                                                           portableOrder.end()).first - rcOrder.begin());
    EXPECT_EQ(rcOrder, portableOrder) << "control ids in template order differ first at "
                                      << (at < d.controls.size() ? d.controls[at].name : "the .rc's end");
    if (rcOrder != portableOrder) continue;  // pairing the controls needs the same order
    for (std::size_t i = 0; i < d.controls.size(); ++i) {
      const RcControl& c = d.controls[i];
      const platform::ControlTemplate& q = p->controls[i];
      SCOPED_TRACE("control " + c.name);
      EXPECT_STREQ(kKindNames[static_cast<int>(c.kind)], kKindNames[static_cast<int>(q.kind)]);
      EXPECT_EQ(Wide(c.text), Wide(q.text));
      EXPECT_EQ(Hex(Modelled(c.kind, c.style)), Hex(q.style)) << "control style";
      EXPECT_EQ((c.style & kWS_DISABLED) != 0, q.initiallyDisabled) << "WS_DISABLED";
      const auto sort = c.kind == ControlKind::ComboBox ? kCBS_SORT : c.kind == ControlKind::ListBox ? kLBS_SORT : 0;
      EXPECT_EQ((c.style & sort) != 0, q.sorted) << "CBS_SORT / LBS_SORT";
      // The notebook shows no images, so its icon control names none; the .rc's must exist.
      if (c.kind == ControlKind::Icon) {
        EXPECT_EQ(rc.icons.count(c.image), 1u) << "the icon it shows";
      }
    }
  }
}

TEST(ResourcesMatchRcTest, SameStringTableAndIcons) {
  const Rc rc = ReadRc();
  std::map<int, std::u16string> strings;
  for (const auto& s : ProgramResources().strings) strings[static_cast<int>(s.id)] = Wide(s.text);
  EXPECT_EQ(rc.strings, strings) << "string table";
  const auto& icons = ProgramResources().icons;
  EXPECT_EQ(rc.icons, std::multiset<int>(icons.begin(), icons.end())) << "icon ids";
}

}  // namespace
}  // namespace tethra::app
