// A scenario as read from its file: the simulated notebook before the start, the timeline of
// events while the program runs, and the expectations checked afterwards. Plain data; the
// parser fills it and the runner reads it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tethra/platform/Types.h"
#include "tethra/sim/hotspot/SimHotspotService.h"

namespace tethra::simrunner {

struct RegistryPreset {
  enum class Kind { Text, Dword, Raw } kind = Kind::Text;
  std::u16string name;
  std::u16string text;
  std::uint32_t dword = 0;
  std::vector<std::uint8_t> raw;
};

struct Fault {
  int line = 0;
  std::string target;     // wlan, wlan-query, alloc, registry-write, ics, ics-grow, hotspot
  std::string operation;  // function, opcode, site or operation
  std::int64_t code = 0;
  std::int64_t size = -1;  // wlan-query: bytes returned, -1 for none; hotspot: the result's kind
  int times = -1;          // -1: every call
  int skip = 0;            // matching calls that still work before the fault starts
};

struct WlanMachine {
  bool supported = true;
  bool capable = true;  // `wlan supported unavailable`: no hosted network, as Windows reports it
  bool allowed = true;  // `wlan disallowed`
  bool firstUse = false;  // `wlan first-use`
  std::u16string hostName = u"TETHRA-NB";  // `wlan host-name "TEXT"`
  std::uint32_t state = 1;  // 0 unavailable, 1 idle, 2 active
  std::optional<std::u16string> ssidText = u"TethraNet";
  int ssidLine = 0;  // the `wlan ssid` statement, 0 for the default
  std::vector<std::uint8_t> ssidBytes;  // used when ssidText is empty
  enum class KeyKind { Text, None, NotPassphrase } keyKind = KeyKind::Text;
  std::u16string key = u"tethra-secret";
  std::uint32_t maxPeers = 100;
  platform::Guid adapter{0x5A1E0001, 0x0000, 0x4000, {0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0xAD, 0x01}};
  std::vector<std::array<std::uint8_t, 6>> peers;
  bool reportsBeforeReturn = false;  // `wlan reports before-return`
};

// The sharing service: its connections in enumeration order (none given: the default two,
// "Ethernet" and the hosted network's own connection), and what is installed.
struct ConnectionSpec {
  std::u16string name;
  std::u16string device;
  platform::Guid guid{};
  enum class Role { Off, Public, Private } role = Role::Off;
  bool supported = true;
  bool present = true;  // `absent`: gone, its sharing kept
  sim::SimConnectionKind kind = sim::SimConnectionKind::Lan;  // how its profile appears
};

struct SharingMachine {
  std::vector<ConnectionSpec> connections;
  bool installed = true;
  enum class Netshell { Present, Missing, NoExport } netshell = Netshell::Present;
};

// The system's mobile hotspot: whether the system has one, whether the connections have
// profiles, and its state, configuration and clients at the start.
struct HotspotMachine {
  bool present = true;
  bool profiles = true;
  bool on = false;
  std::u16string ssid = u"TethraHotspot";
  std::u16string key = u"hotspot-secret";
  std::uint32_t clients = 0;
  bool sessionStart = false;  // the system offers the start with a per-session configuration
  // The user's band and authentication kind; nothing: the system lacks it (`absent`).
  std::optional<platform::TetheringBand> band = platform::TetheringBand::Auto;
  std::optional<platform::TetheringAuthentication> authentication;
  // The user's NoConnections timeout setting; nothing: the system lacks it.
  std::optional<bool> noConnectionsTimeout = true;
};

struct Machine {
  std::u16string commandLine = u"/ShareLAN";
  bool controllerPresent = true;
  bool controllerHangs = false;  // `controller hangs`: its window's thread never takes a message
  bool admin = true;
  enum class Policy { Absent, Present, Value, ValueString } policy = Policy::Present;
  std::uint32_t policyValue = 0;
  std::u16string policyString;
  std::uint32_t codePage = 1252;
  bool otherInstance = false;
  WlanMachine wlan;
  bool registryKeyPresent = true;
  std::vector<RegistryPreset> registry;  // applied after the default "ShareConnection"
  enum class Netsh { Exit, Hangs, Missing } netsh = Netsh::Exit;
  std::uint32_t netshExitCode = 0;
  std::uint32_t netshDelayMs = 0;  // `delay N ms`: before the shell does anything
  bool netshStartsFirst = false;  // `after-start`: the network started even when it then fails
  std::vector<Fault> faults;
  SharingMachine sharing;
  HotspotMachine hotspot;
};

struct Trigger {
  // Window: the program's dialog exists (it may still be setting itself up).
  enum class Kind { Ready, Window, Code, Notice, After, Idle } kind = Kind::Ready;
  std::u16string code;
  std::uint64_t afterMs = 0;
};

struct Action {
  enum class Kind {
    ControllerWrites,
    WlanState,
    WlanNotifyRaw,
    StationJoin,
    StationLeave,
    Power,
    Session,
    Device,
    EndSession,
    PostClose,
    Paint,
    Click,
    Mark,
    ProgramStart,
    PostMessage,
    HotspotOff,  // code: 1 told by the network status notification, 0 untold
    HotspotTransitionThenOff,  // size: ms in transition; code: its start told (1) or not (0)
    WlanRadioOff,
    WlanAdapterDisabled,
    WlanForcedStart,  // someone else's `netsh wlan start hostednetwork`
    HotspotNetworkChange,
    HotspotClientJoin,
    HotspotClientLeave,
  } kind = Kind::PostClose;
  std::vector<std::pair<std::u16string, std::u16string>> writes;
  std::uint32_t oldState = 0, newState = 0, reason = 0;
  std::uint32_t code = 0, size = 0;
  std::array<std::uint8_t, 6> mac{};
  std::uint64_t wParam = 0;      // power / session code
  bool flag = false;             // device removed / end-session flag
  std::u16string text;           // device interface name
  int controlId = 0;             // click
  bool markEnd = false;          // mark start / mark end
  std::uint32_t message = 0;     // post message N W L
  std::int64_t lParam = 0;
};

struct TimelineEntry {
  int line = 0;
  Trigger trigger;
  Action action;
  std::string source;  // the statement as written, for the transcript
};

struct Expectation {
  int line = 0;
  // One per form of `expect`, so the runner's switch over them is checked for completeness.
  enum class Kind {
    Exit,              // exit N
    Running,           // running
    Codes,             // codes "A" ... / codes none
    Notices,           // notices N
    NoticeText,        // notice-text "TEXT"
    Registry,          // registry NAME "TEXT"
    RegistryAbsent,    // registry-absent NAME
    WlanState,         // wlan state S
    WlanSsid,          // wlan ssid "TEXT"
    WlanKey,           // wlan key "TEXT"
    WlanMaxPeers,      // wlan max-peers N
    WlanCalls,         // wlan calls FUNCTION N
    NetshRuns,         // netsh runs N
    Log,               // log "TEXT"
    NoLog,             // no-log "TEXT"
    LogOrder,          // log-order "TEXT" ...
    ControllerHidden,  // controller hidden
    WindowHidden,      // window hidden
    WindowNone,        // window none
    WakeUps,           // wake-ups N
    EditName,          // edit name "TEXT"
    EditKey,           // edit key "TEXT"
    Status,            // status "TEXT"
    Sharing,           // sharing public "NAME" private "NAME"
    SharingNone,       // sharing none
    IcsCalls,          // ics calls OPERATION N
    IcsReleased,       // ics released
    HotspotState,      // hotspot state on|off
    HotspotSsid,       // hotspot ssid "TEXT"
    HotspotKey,        // hotspot key "TEXT"
    HotspotCalls,      // hotspot calls OPERATION N
    HotspotBand,       // hotspot band auto|2.4ghz|5ghz|6ghz|absent
    HotspotAuthentication,  // hotspot authentication wpa2|wpa3-transition|wpa3|absent
    HotspotTimeout,    // hotspot no-connections-timeout on|off|absent
  } kind = Kind::Exit;
  int controlId = 0;  // EditName, EditKey, Status: the dialog control whose text is expected
  std::vector<std::u16string> texts;
  std::int64_t number = 0;
  std::string word;  // a function name, an operation, a state word
  std::string source;
};

struct Scenario {
  std::string file;
  Machine machine;
  std::vector<TimelineEntry> timeline;
  std::vector<Expectation> expectations;
};

struct ParseError {
  std::string file;
  int line = 0;
  std::string reason;
  std::string message() const { return file + ":" + std::to_string(line) + ": " + reason; }
};

// Reads a scenario. Refuses the whole file on the first malformed or unsupported statement.
std::optional<Scenario> ParseScenario(const std::string& text, const std::string& fileName, ParseError* error);

}  // namespace tethra::simrunner
