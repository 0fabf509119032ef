// Scenario parser: one statement a line, words separated by blanks, texts in double quotes
// with \" \\ \n and \uXXXX escapes, `#` comments outside quotes. The first malformed or
// unsupported statement refuses the whole file with its line and the reason.
#include <algorithm>
#include <charconv>
#include <limits>

#include "tethra/app/Resource.h"
#include "tethra/scenario/Scenario.h"
#include "tethra/scenario/Text.h"
#include "tethra/scenario/Tokens.h"
#include "tethra/ics/IcsManager.h"
#include "tethra/sim/CodePage.h"
#include "tethra/sim/hotspot/SimHotspotService.h"
#include "tethra/sim/wlan/SimWlanService.h"
#include "tethra/sim/Text.h"
#include "tethra/wlan/AllocationSites.h"

namespace tethra::simrunner {

using platform::Guid;
using sim::text::Utf16ToUtf8;
using sim::text::Utf8ToUtf16;

bool Tokenize(const std::string& line, std::vector<Token>& out, std::string& reason) {
  std::size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
    } else if (c == '#') {
      break;
    } else if (c == ':') {
      out.push_back({Token::Kind::Colon, ":", {}});
      ++i;
    } else if (c == '"') {
      std::string raw;
      std::u16string decoded;
      ++i;
      bool closed = false;
      while (i < line.size()) {
        const char d = line[i];
        if (d == '"') {
          closed = true;
          ++i;
          break;
        }
        if (d == '\\') {
          if (i + 1 >= line.size()) {
            reason = "a text ends in the middle of an escape";
            return false;
          }
          const char e = line[i + 1];
          if (e == '"' || e == '\\') {
            raw.push_back(e);
            i += 2;
          } else if (e == 'n') {
            raw.push_back('\n');
            i += 2;
          } else if (e == 'u') {
            if (i + 6 > line.size()) {
              reason = "\\u needs four hexadecimal digits";
              return false;
            }
            unsigned value = 0;
            const auto hex = line.substr(i + 2, 4);
            auto [p, ec] = std::from_chars(hex.data(), hex.data() + 4, value, 16);
            if (ec != std::errc() || p != hex.data() + 4) {
              reason = "\\u needs four hexadecimal digits";
              return false;
            }
            decoded += Utf8ToUtf16(raw);
            raw.clear();
            decoded.push_back(static_cast<char16_t>(value));
            i += 6;
          } else {
            reason = std::string("unknown escape \\") + e + " in a text";
            return false;
          }
        } else {
          raw.push_back(d);
          ++i;
        }
      }
      if (!closed) {
        reason = "a text is not closed with a double quote";
        return false;
      }
      decoded += Utf8ToUtf16(raw);
      out.push_back({Token::Kind::Text, {}, decoded});
    } else {
      std::string word;
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != ':' &&
             line[i] != '"' && line[i] != '#') {
        word.push_back(line[i++]);
      }
      out.push_back({Token::Kind::Word, word, {}});
    }
  }
  return true;
}

namespace {

// What the simulated machine can honour; every number of a scenario is held to one of these
// ranges (README.md lists them), so no statement asks for an unbounded allocation, time or
// call count.
constexpr std::int64_t kDwordMax = 0xFFFFFFFF;             // a DWORD: error codes, exit codes, values
constexpr std::int64_t kHResultMin = -0x80000000LL;        // an HRESULT, also written as signed
constexpr std::int64_t kMaxDataBytes = 65536;              // a buffer the services hand out
constexpr std::int64_t kMaxTimelineMs = 86400000;          // one day of virtual time a step
constexpr std::int64_t kMaxFaultCalls = 10000;             // `times N`, `skip N`
constexpr std::int64_t kMaxExpectedCount = 1000000;        // counts of calls, runs, notices, wake-ups
constexpr std::int64_t kMaxQueryOpcode = 3;                // connection, security, station profile, enable

class Failure {
 public:
  std::string reason;
};

class Cursor {
 public:
  explicit Cursor(const std::vector<Token>& tokens) : m_Tokens(tokens) {}

  bool atEnd() const { return m_Pos >= m_Tokens.size(); }
  const Token* peek() const { return atEnd() ? nullptr : &m_Tokens[m_Pos]; }
  bool peekNumber() const {
    std::int64_t value = 0;
    return !atEnd() && m_Tokens[m_Pos].kind == Token::Kind::Word && ParseNumber(m_Tokens[m_Pos].word, value);
  }
  bool peekWord(std::string_view w) const {
    return !atEnd() && m_Tokens[m_Pos].kind == Token::Kind::Word && m_Tokens[m_Pos].word == w;
  }

  std::string word(const char* what) {
    if (atEnd() || m_Tokens[m_Pos].kind != Token::Kind::Word) throw Failure{std::string("expected ") + what};
    return m_Tokens[m_Pos++].word;
  }
  void keyword(std::string_view w) {
    if (!peekWord(w)) throw Failure{"expected `" + std::string(w) + "`"};
    ++m_Pos;
  }
  std::u16string text(const char* what) {
    if (atEnd() || m_Tokens[m_Pos].kind != Token::Kind::Text) {
      throw Failure{std::string("expected ") + what + " in double quotes"};
    }
    return m_Tokens[m_Pos++].text;
  }
  // A value name: a text, or a bare word.
  std::u16string name() {
    if (!atEnd() && m_Tokens[m_Pos].kind == Token::Kind::Word) return Utf8ToUtf16(m_Tokens[m_Pos++].word);
    return text("a value name");
  }
  std::int64_t number(const char* what) {
    const std::string w = word(what);
    std::int64_t value = 0;
    if (!ParseNumber(w, value)) throw Failure{std::string("expected ") + what + " (a number), found `" + w + "`"};
    return value;
  }
  // A number from `low` to `high`.
  std::int64_t number(const char* what, std::int64_t low, std::int64_t high) {
    const std::int64_t value = number(what);
    if (value < low || value > high) {
      throw Failure{std::string("expected ") + what + " from " + std::to_string(low) + " to " + std::to_string(high) +
                    ", found `" + m_Tokens[m_Pos - 1].word + "`"};
    }
    return value;
  }
  void colon() {
    if (atEnd() || m_Tokens[m_Pos].kind != Token::Kind::Colon) throw Failure{"expected `:` after the trigger"};
    ++m_Pos;
  }
  void end() {
    if (!atEnd()) {
      const Token& t = m_Tokens[m_Pos];
      throw Failure{"unexpected `" + (t.kind == Token::Kind::Text ? "\"" + Utf16ToUtf8(t.text) + "\"" : t.word) +
                    "` at the end of the statement"};
    }
  }

 private:
  const std::vector<Token>& m_Tokens;
  std::size_t m_Pos = 0;
};

std::uint32_t State(const std::string& w) {
  if (w == "unavailable") return 0;
  if (w == "idle") return 1;
  if (w == "active") return 2;
  throw Failure{"unknown hosted network state `" + w + "` (unavailable, idle or active)"};
}

Guid GuidOf(const std::string& w) {
  Guid g;
  if (!ParseGuid(w, g)) throw Failure{"expected a GUID {8-4-4-4-12}, found `" + w + "`"};
  return g;
}

std::array<std::uint8_t, 6> MacOf(const std::string& w) {
  std::array<std::uint8_t, 6> mac{};
  if (!ParseMac(w, mac)) throw Failure{"expected a MAC address 00-1A-2B-3C-4D-5E, found `" + w + "`"};
  return mac;
}

std::vector<std::uint8_t> HexOf(const std::string& w) {
  std::vector<std::uint8_t> bytes;
  if (!ParseHexBytes(w, bytes)) throw Failure{"expected hexadecimal bytes, found `" + w + "`"};
  return bytes;
}

// The bytes `text` takes in `codePage`, as the WLAN service stores a name.
std::size_t EncodedSize(const std::u16string& text, std::uint32_t codePage) {
  if (text.empty()) return 0;
  const sim::CodePageConverter converter(codePage);
  const auto r = converter.toMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                       nullptr);
  return static_cast<std::size_t>(std::max(r.value, 0));
}

// The sharing service's operations that `fault ics` and `expect ics calls` name.
bool IsIcsOperation(const std::string& w) {
  static const char* const kOperations[] = {
      "create",        "installed",     "enum",           "new-enum",           "next",
      "reset",         "properties",    "configuration",  "sharing-enabled",    "sharing-type",
      "enable-public", "enable-private", "disable",       "create-connections", "enum-connections",
      "disconnect",    "connect",       "load-library",   "get-proc-address",   "free-library",
      "free-properties", "task-mem-free", "string-from-clsid", "debug-output"};
  for (const char* op : kOperations) {
    if (w == op) return true;
  }
  return false;
}

std::string IcsOperation(Cursor& c) {
  const std::string op = c.word("a sharing operation");
  if (!IsIcsOperation(op)) {
    throw Failure{"unknown sharing operation `" + op +
                  "` (create, installed, enum, properties, configuration, sharing-enabled, sharing-type, "
                  "enable-public, enable-private, disable, ...)"};
  }
  return op;
}

// connection name "N" device "D" guid GUID [shared public|private] [unsupported] [absent] [kind lan|wlan|wwan|ras]
void ParseConnection(Cursor& c, SharingMachine& sharing) {
  ConnectionSpec spec;
  c.keyword("name");
  spec.name = c.text("the connection name");
  c.keyword("device");
  spec.device = c.text("the device name");
  c.keyword("guid");
  spec.guid = GuidOf(c.word("a GUID"));
  if (c.peekWord("shared")) {
    c.keyword("shared");
    const std::string side = c.word("`public` or `private`");
    if (side != "public" && side != "private") throw Failure{"expected `public` or `private` after `shared`"};
    spec.role = side == "public" ? ConnectionSpec::Role::Public : ConnectionSpec::Role::Private;
    for (const ConnectionSpec& other : sharing.connections) {
      if (other.role == spec.role) throw Failure{"only one connection can be shared as " + side};
    }
  }
  if (c.peekWord("unsupported")) {
    c.keyword("unsupported");
    spec.supported = false;
  }
  if (c.peekWord("absent")) {
    c.keyword("absent");
    spec.present = false;
    if (spec.role == ConnectionSpec::Role::Off) {
      throw Failure{"a connection that is gone is known only by the sharing it kept (`shared public|private absent`)"};
    }
  }
  if (c.peekWord("kind")) {
    c.keyword("kind");
    const std::string kind = c.word("`lan`, `wlan`, `wwan` or `ras`");
    if (kind == "lan") {
      spec.kind = sim::SimConnectionKind::Lan;
    } else if (kind == "wlan") {
      spec.kind = sim::SimConnectionKind::Wlan;
    } else if (kind == "wwan") {
      spec.kind = sim::SimConnectionKind::Wwan;
    } else if (kind == "ras") {
      spec.kind = sim::SimConnectionKind::Ras;
    } else {
      throw Failure{"unknown connection kind `" + kind + "` (lan, wlan, wwan, ras)"};
    }
  }
  sharing.connections.push_back(spec);
}

// A word that must be one of `names` (a misspelt one would fault or count nothing, silently).
template <typename Names>
std::string WordFrom(Cursor& c, const char* what, const char* kind, const Names& names) {
  const std::string word = c.word(what);
  if (std::find(std::begin(names), std::end(names), word) == std::end(names)) {
    throw Failure{"unknown " + std::string(kind) + " `" + word + "` (" +
                  JoinText(names, ", ", [](std::string_view name) { return name; }) + ")"};
  }
  return word;
}

std::string WlanFunction(Cursor& c) {
  return WordFrom(c, "a WLAN function name", "WLAN function", sim::kSimWlanFunctions);
}

std::string HotspotOperation(Cursor& c) {
  return WordFrom(c, "a hotspot operation", "hotspot operation", sim::kSimHotspotOperations);
}

// `hangs`, `late MS [ignores-cancel]`, a tethering result by name, or an HRESULT. A
// configuration is an action without a tethering result: it ends well or with an HRESULT; only a
// start or a stop has a tethering result.
void ParseHotspotResult(Cursor& c, Fault& f) {
  if (c.peekWord("hangs")) {
    c.keyword("hangs");
    f.size = sim::kHotspotFaultHangs;
  } else if (c.peekWord("late")) {
    c.keyword("late");
    if (f.operation != "configure" && f.operation != "start" && f.operation != "session-start" &&
        f.operation != "stop" && f.operation != "set-timeout") {
      throw Failure{"only an operation (configure, start, session-start, stop, set-timeout) can end late"};
    }
    f.code = c.number("a time in ms");
    if (f.code <= 0 || f.code > 600000) throw Failure{"`late` takes a time from 1 to 600000 ms"};
    f.size = sim::kHotspotFaultLate;
    if (c.peekWord("ignores-cancel")) {
      c.keyword("ignores-cancel");
      f.size = sim::kHotspotFaultLateIgnoringCancel;
    }
  } else if (c.peekNumber()) {
    f.code = c.number("an HRESULT", kHResultMin, kDwordMax);
    f.size = sim::kHotspotFaultHResult;
  } else {
    const std::string name = c.word("a tethering result, an HRESULT, `late` or `hangs`");
    const auto status = sim::TetheringStatusNamed(name);
    if (!status) throw Failure{"unknown tethering result `" + name + "`"};
    if (f.operation == "configure" || f.operation == "set-timeout") {
      throw Failure{"a configuration ends with an HRESULT, not a tethering result (`" + name + "`)"};
    }
    // A call that is no start or stop fails with an HRESULT: nothing else can come back from it.
    if (f.operation != "start" && f.operation != "session-start" && f.operation != "stop") {
      throw Failure{"only a start or a stop ends with a tethering result (`" + name + "`)"};
    }
    f.code = static_cast<std::int64_t>(*status);
    f.size = sim::kHotspotFaultStatus;
  }
}

void ParseHotspotMachine(Cursor& c, HotspotMachine& h) {
  const std::string what = c.word("a hotspot setting");
  if (what == "absent") {
    h.present = false;
  } else if (what == "profile") {
    c.keyword("none");
    h.profiles = false;
  } else if (what == "state") {
    const std::string state = c.word("`on` or `off`");
    if (state != "on" && state != "off") throw Failure{"`hotspot state` takes `on` or `off`"};
    h.on = state == "on";
  } else if (what == "ssid") {
    h.ssid = c.text("the hotspot's SSID");
    // The system holds no configuration it would refuse to take.
    if (!sim::HotspotSsidAccepted(h.ssid)) {
      throw Failure{"`hotspot ssid` takes 1 to 32 characters, neither first nor last a space"};
    }
  } else if (what == "key") {
    h.key = c.text("the hotspot's passphrase");
    if (!sim::HotspotPassphraseAccepted(h.key)) {
      throw Failure{"`hotspot key` takes 8 to 63 printable ASCII characters, neither first nor last a space"};
    }
  } else if (what == "clients") {
    h.clients = static_cast<std::uint32_t>(c.number("a number of clients", 0, sim::SimHotspotConfig{}.maxClients));
  } else if (what == "band") {
    const std::string band = c.word("a band");
    if (band == "absent") {
      h.band.reset();
    } else if (const auto named = sim::TetheringBandNamed(band)) {
      h.band = *named;
    } else {
      throw Failure{"`hotspot band` takes `auto`, `2.4ghz`, `5ghz`, `6ghz` or `absent`"};
    }
  } else if (what == "authentication") {
    const std::string kind = c.word("an authentication kind");
    if (kind == "absent") {
      h.authentication.reset();
    } else if (const auto named = sim::TetheringAuthenticationNamed(kind)) {
      h.authentication = *named;
    } else {
      throw Failure{"`hotspot authentication` takes `wpa2`, `wpa3-transition`, `wpa3` or `absent`"};
    }
  } else if (what == "no-connections-timeout") {
    const std::string setting = c.word("`on`, `off` or `absent`");
    if (setting != "on" && setting != "off" && setting != "absent") {
      throw Failure{"`hotspot no-connections-timeout` takes `on`, `off` or `absent`"};
    }
    h.noConnectionsTimeout = setting == "absent" ? std::nullopt : std::optional<bool>(setting == "on");
  } else if (what == "session-start") {
    const std::string offered = c.word("`yes` or `no`");
    if (offered != "yes" && offered != "no") throw Failure{"`hotspot session-start` takes `yes` or `no`"};
    h.sessionStart = offered == "yes";
  } else {
    throw Failure{"unknown hotspot setting `" + what + "`"};
  }
}

void ParseFault(Cursor& c, Machine& m, int line) {
  Fault f;
  f.line = line;
  f.target = c.word("a fault target");
  if (f.target == "wlan") {
    f.operation = WlanFunction(c);
    f.code = c.number("an error code", 0, kDwordMax);
  } else if (f.target == "wlan-query") {
    f.operation = std::to_string(c.number("a property opcode", 0, kMaxQueryOpcode));
    const std::string how = c.word("`size N` or `none`");
    if (how == "size") {
      f.size = c.number("a size in bytes", 0, kMaxDataBytes);
    } else if (how != "none") {
      throw Failure{"expected `size N` or `none` after the opcode"};
    }
  } else if (f.target == "registry-write") {
    // Optionally only the writes of one value, and only from the Nth such write on.
    if (c.peekWord("value")) {
      c.keyword("value");
      // Matched as the registry matches value names (its simulated writes fold them alike).
      f.operation = Utf16ToUtf8(sim::text::FoldRegistryName(c.text("a value name")));
    }
    if (c.peekWord("skip")) {
      c.keyword("skip");
      f.skip = static_cast<int>(c.number("a count of writes", 0, kMaxFaultCalls));
    }
  } else if (f.target == "alloc") {
    // The sites the program allocates at, by the names the layers define for them.
    const std::string_view sites[] = {wlan::kAllocSiteSink, wlan::kAllocSiteStation, wlan::kAllocSiteDevice,
                                      wlan::kAllocSiteRecord, ics::kAllocSiteSnapshot};
    f.operation = WordFrom(c, "an allocation site", "allocation site", sites);
  } else if (f.target == "ics") {
    f.operation = IcsOperation(c);
    f.code = c.number("an HRESULT", kHResultMin, kDwordMax);
  } else if (f.target == "com") {
    // The one COM call a scenario can fail: the process's security.
    const std::string_view functions[] = {"CoInitializeSecurity"};
    f.operation = WordFrom(c, "a COM function", "COM function", functions);
    f.code = c.number("an HRESULT", kHResultMin, kDwordMax);
  } else if (f.target == "ics-grow") {
  } else if (f.target == "hotspot") {
    f.operation = HotspotOperation(c);
    ParseHotspotResult(c, f);
  } else {
    throw Failure{"unknown fault target `" + f.target + "`"};
  }
  if (c.peekWord("times")) {
    c.keyword("times");
    f.times = static_cast<int>(c.number("a count of calls", 1, kMaxFaultCalls));
  }
  c.end();
  // Success without a connection, every time: the enumeration would never end.
  if (f.target == "ics" && f.operation == "next" && f.code == 0 && f.times < 0) {
    throw Failure{"`fault ics next 0` never lets the enumeration end: give it `times N`"};
  }
  m.faults.push_back(f);
}

void ParseWlanMachine(Cursor& c, WlanMachine& w, int line) {
  const std::string what = c.word("a WLAN setting");
  if (what == "supported") {
    // `no`: every hosted-network call fails with error 50; `unavailable`: the documented signal,
    // the state unavailable for good with no virtual adapter.
    const std::string how = c.word("`no` or `unavailable`");
    if (how != "no" && how != "unavailable") throw Failure{"`wlan supported` takes `no` or `unavailable`"};
    (how == "no" ? w.supported : w.capable) = false;
  } else if (what == "disallowed") {
    w.allowed = false;
  } else if (what == "first-use") {
    w.firstUse = true;
  } else if (what == "host-name") {
    w.hostName = c.text("the host name");
    if (w.hostName.empty() || w.hostName.size() > 63) throw Failure{"a host name has 1 to 63 characters"};
  } else if (what == "state") {
    w.state = State(c.word("a state"));
  } else if (what == "ssid") {
    w.ssidText = c.text("the SSID");
    w.ssidLine = line;
    // The service never holds an empty name: its settings, once made, have one.
    if (w.ssidText->empty()) throw Failure{"the service always holds a name (`wlan first-use`: none made yet)"};
  } else if (what == "ssid-bytes") {
    w.ssidText.reset();
    w.ssidBytes = HexOf(c.word("the SSID bytes"));
    if (w.ssidBytes.size() > 32) throw Failure{"an SSID holds at most 32 bytes"};
    if (w.ssidBytes.empty()) throw Failure{"the service always holds a name (`wlan first-use`: none made yet)"};
  } else if (what == "key") {
    if (c.peekWord("none")) {
      c.keyword("none");
      w.keyKind = WlanMachine::KeyKind::None;
    } else {
      w.keyKind = WlanMachine::KeyKind::Text;
      w.key = c.text("the key");
      // The service stores a passphrase of 8 to 63 printable ASCII characters and no other.
      const bool printable =
          std::all_of(w.key.begin(), w.key.end(), [](char16_t ch) { return ch >= 0x20 && ch <= 0x7E; });
      if (w.key.size() < 8 || w.key.size() > 63 || !printable) {
        throw Failure{"the service holds a passphrase of 8 to 63 printable ASCII characters only"};
      }
    }
  } else if (what == "key-not-passphrase") {
    w.keyKind = WlanMachine::KeyKind::NotPassphrase;
  } else if (what == "max-peers") {
    w.maxPeers = static_cast<std::uint32_t>(c.number("a number of peers", 1, kDwordMax));
  } else if (what == "adapter") {
    const std::string g = c.word("a GUID or `none`");
    w.adapter = g == "none" ? Guid{} : GuidOf(g);
  } else if (what == "peer") {
    w.peers.push_back(MacOf(c.word("a MAC address")));
  } else if (what == "reports") {
    const std::string when = c.word("`before-return` or `after-return`");
    if (when != "before-return" && when != "after-return") {
      throw Failure{"`wlan reports` takes `before-return` or `after-return`"};
    }
    w.reportsBeforeReturn = when == "before-return";
  } else {
    throw Failure{"unknown WLAN setting `" + what + "`"};
  }
  c.end();
}

bool ParseMachine(const std::string& head, Cursor& c, Machine& m, int line) {
  if (head == "command-line") {
    m.commandLine = c.text("the command line");
  } else if (head == "controller") {
    const std::string w = c.word("`present`, `absent` or `hangs`");
    if (w != "present" && w != "absent" && w != "hangs") throw Failure{"expected `present`, `absent` or `hangs`"};
    m.controllerPresent = w != "absent";
    m.controllerHangs = w == "hangs";
  } else if (head == "admin") {
    const std::string w = c.word("`yes` or `no`");
    if (w != "yes" && w != "no") throw Failure{"expected `yes` or `no`"};
    m.admin = w == "yes";
  } else if (head == "policy") {
    const std::string w = c.word("`absent`, `present`, `value N` or `value-string \"TEXT\"`");
    if (w == "absent") {
      m.policy = Machine::Policy::Absent;
    } else if (w == "present") {
      m.policy = Machine::Policy::Present;
    } else if (w == "value") {
      m.policy = Machine::Policy::Value;
      m.policyValue = static_cast<std::uint32_t>(c.number("a 32-bit value", 0, kDwordMax));
    } else if (w == "value-string") {
      m.policy = Machine::Policy::ValueString;
      m.policyString = c.text("the value");
    } else {
      throw Failure{"unknown policy form `" + w + "`"};
    }
  } else if (head == "codepage") {
    const auto cp = c.number("a code page");
    if (cp != 1252 && cp != 65001) throw Failure{"the simulated system offers code pages 1252 and 65001"};
    m.codePage = static_cast<std::uint32_t>(cp);
  } else if (head == "other-instance") {
    c.keyword("yes");
    m.otherInstance = true;
  } else if (head == "wlan") {
    ParseWlanMachine(c, m.wlan, line);
    return true;
  } else if (head == "registry") {
    RegistryPreset r;
    r.name = c.name();
    r.text = c.text("the value text");
    m.registry.push_back(r);
  } else if (head == "registry-dword") {
    RegistryPreset r;
    r.kind = RegistryPreset::Kind::Dword;
    r.name = c.name();
    r.dword = static_cast<std::uint32_t>(c.number("a 32-bit value", 0, kDwordMax));
    m.registry.push_back(r);
  } else if (head == "registry-raw") {
    RegistryPreset r;
    r.kind = RegistryPreset::Kind::Raw;
    r.name = c.name();
    r.raw = HexOf(c.word("the raw bytes"));
    m.registry.push_back(r);
  } else if (head == "registry-missing-key") {
    m.registryKeyPresent = false;
  } else if (head == "netsh") {
    const std::string w = c.word("`exit N`, `hangs` or `missing`");
    if (w == "exit") {
      m.netsh = Machine::Netsh::Exit;
      m.netshExitCode = static_cast<std::uint32_t>(c.number("an exit code", 0, kDwordMax));
    } else if (w == "hangs") {
      m.netsh = Machine::Netsh::Hangs;
    } else if (w == "missing") {
      m.netsh = Machine::Netsh::Missing;
    } else {
      throw Failure{"unknown netsh behaviour `" + w + "`"};
    }
    // `after-start`: the shell starts the hosted network first, then exits N or hangs all the same.
    if (m.netsh != Machine::Netsh::Missing && c.peekWord("after-start")) {
      c.keyword("after-start");
      m.netshStartsFirst = true;
    }
    // `delay N ms`: the shell runs that long before it does anything (a slow machine's shell).
    if (m.netsh != Machine::Netsh::Missing && c.peekWord("delay")) {
      c.keyword("delay");
      m.netshDelayMs = static_cast<std::uint32_t>(c.number("a delay", 0, 600000));
      c.keyword("ms");
    }
  } else if (head == "fault") {
    ParseFault(c, m, line);
    return true;
  } else if (head == "connection") {
    ParseConnection(c, m.sharing);
  } else if (head == "sharing") {
    c.keyword("installed");
    c.keyword("no");
    m.sharing.installed = false;
  } else if (head == "hotspot") {
    ParseHotspotMachine(c, m.hotspot);
  } else if (head == "netshell") {
    const std::string w = c.word("`missing` or `no-export`");
    if (w != "missing" && w != "no-export") throw Failure{"expected `netshell missing` or `netshell no-export`"};
    m.sharing.netshell = w == "missing" ? SharingMachine::Netshell::Missing : SharingMachine::Netshell::NoExport;
  } else {
    return false;
  }
  c.end();
  return true;
}

Trigger ParseTrigger(Cursor& c) {
  Trigger t;
  const std::string w = c.word("a trigger");
  if (w == "ready") {
    t.kind = Trigger::Kind::Ready;
  } else if (w == "code") {
    t.kind = Trigger::Kind::Code;
    t.code = c.text("the status code");
  } else if (w == "notice") {
    t.kind = Trigger::Kind::Notice;
  } else if (w == "after") {
    t.kind = Trigger::Kind::After;
    t.afterMs = static_cast<std::uint64_t>(c.number("a number of milliseconds", 0, kMaxTimelineMs));
    c.keyword("ms");
  } else if (w == "idle") {
    t.kind = Trigger::Kind::Idle;
  } else if (w == "window") {
    t.kind = Trigger::Kind::Window;
  } else {
    throw Failure{"unknown trigger `" + w + "` (ready, window, code, notice, after N ms, idle)"};
  }
  c.colon();
  return t;
}

void ParseControllerWrites(Cursor& c, Action& a) {
  c.keyword("writes");
  a.kind = Action::Kind::ControllerWrites;
  do {
    std::u16string name = c.name();
    std::u16string value = c.text("the value text");
    a.writes.emplace_back(std::move(name), std::move(value));
  } while (!c.atEnd());
}

void ParseWlanAction(Cursor& c, Action& a) {
  const std::string what = c.word("`state`, `notify-raw`, `radio`, `adapter` or `forced-start`");
  if (what == "forced-start") {
    a.kind = Action::Kind::WlanForcedStart;
  } else if (what == "radio") {
    c.keyword("off");
    a.kind = Action::Kind::WlanRadioOff;
  } else if (what == "adapter") {
    c.keyword("disabled");
    a.kind = Action::Kind::WlanAdapterDisabled;
  } else if (what == "state") {
    a.kind = Action::Kind::WlanState;
    a.oldState = State(c.word("the old state"));
    c.keyword("->");
    a.newState = State(c.word("the new state"));
    c.keyword("reason");
    a.reason = static_cast<std::uint32_t>(c.number("a reason", 0, kDwordMax));
  } else if (what == "notify-raw") {
    a.kind = Action::Kind::WlanNotifyRaw;
    a.code = static_cast<std::uint32_t>(c.number("a notification code", 0, kDwordMax));
    a.size = static_cast<std::uint32_t>(c.number("a data size", 0, kMaxDataBytes));
    // The service's reports are at least as large as their structure; a larger one may come.
    constexpr std::uint32_t kSizes[] = {12, 28, 8};  // state, peer state, radio state
    if (a.code >= 4096 && a.code <= 4098 && a.size < kSizes[a.code - 4096]) {
      throw Failure{"a report of code " + std::to_string(a.code) + " is at least " +
                    std::to_string(kSizes[a.code - 4096]) + " bytes"};
    }
  } else {
    throw Failure{"unknown WLAN action `" + what + "`"};
  }
}

void ParseHotspotAction(Cursor& c, Action& a) {
  const std::string what = c.word("`off`, `network-change`, `transition-then-off` or `client`");
  // Whether the network status notification tells of it: the scenario says so each time.
  const auto told = [&c](const char* form) {
    const std::string how = c.word("`told` or `untold`");
    if (how != "told" && how != "untold") throw Failure{std::string("expected `") + form + " told` or `untold`"};
    return how == "told" ? 1u : 0u;
  };
  if (what == "off") {
    a.kind = Action::Kind::HotspotOff;
    a.code = told("hotspot off");
  } else if (what == "transition-then-off") {
    a.kind = Action::Kind::HotspotTransitionThenOff;
    const std::int64_t ms = c.number("a time in ms");
    if (ms <= 0 || ms > 600000) throw Failure{"`transition-then-off` takes a time from 1 to 600000 ms"};
    a.size = static_cast<std::uint32_t>(ms);
    a.code = told("hotspot transition-then-off MS");
  } else if (what == "network-change") {
    a.kind = Action::Kind::HotspotNetworkChange;
  } else if (what == "client") {
    const std::string how = c.word("`join` or `leave`");
    if (how != "join" && how != "leave") throw Failure{"expected `hotspot client join` or `hotspot client leave`"};
    a.kind = how == "join" ? Action::Kind::HotspotClientJoin : Action::Kind::HotspotClientLeave;
  } else {
    throw Failure{"unknown hotspot action `" + what + "`"};
  }
}

void ParsePowerAction(Cursor& c, Action& a) {
  a.kind = Action::Kind::Power;
  const std::string what = c.word("`suspend`, `resume` or `other N`");
  if (what == "suspend") {
    a.wParam = 4;
  } else if (what == "resume") {
    a.wParam = 0x12;
  } else if (what == "other") {
    a.wParam = static_cast<std::uint64_t>(c.number("a power event", 0, kDwordMax));
  } else {
    throw Failure{"unknown power event `" + what + "`"};
  }
}

void ParseSessionAction(Cursor& c, Action& a) {
  a.kind = Action::Kind::Session;
  const std::string what = c.word("a session change");
  static const std::pair<const char*, std::uint64_t> kinds[] = {
      {"console-connect", 1}, {"console-disconnect", 2}, {"remote-connect", 3}, {"remote-disconnect", 4},
      {"logon", 5},           {"logoff", 6},             {"lock", 7},           {"unlock", 8}};
  bool found = false;
  for (const auto& [name, code] : kinds) {
    if (what == name) {
      a.wParam = code;
      found = true;
    }
  }
  if (!found) throw Failure{"unknown session change `" + what + "`"};
}

void ParsePostAction(Cursor& c, Action& a) {
  const std::string what = c.word("`close` or `message N WPARAM LPARAM`");
  if (what == "close") {
    a.kind = Action::Kind::PostClose;
  } else if (what == "message") {
    a.kind = Action::Kind::PostMessage;
    a.message = static_cast<std::uint32_t>(c.number("a message number", 0, kDwordMax));
    // WPARAM is unsigned, LPARAM signed: any 64-bit value of each (the latter: any number).
    a.wParam = static_cast<std::uint64_t>(c.number("wParam", 0, std::numeric_limits<std::int64_t>::max()));
    a.lParam = c.number("lParam");
  } else {
    throw Failure{"expected `post close` or `post message N WPARAM LPARAM`"};
  }
}

void ParseClickAction(Cursor& c, Action& a) {
  a.kind = Action::Kind::Click;
  const std::string what = c.word("`start`, `clear` or `enable-ics`");
  if (what == "start") {
    a.controlId = IDC_BUTTON_START;
  } else if (what == "clear") {
    a.controlId = IDC_BUTTON_CLEAR;
  } else if (what == "enable-ics") {
    a.controlId = IDC_CHECK_ENABLE_ICS;
  } else {
    throw Failure{"unknown control `" + what + "`"};
  }
}

// One of two words, `yes` for the first; `expected` is the complaint for anything else.
bool EitherWord(Cursor& c, const char* what, const char* yes, const char* no, const char* expected) {
  const std::string w = c.word(what);
  if (w != yes && w != no) throw Failure{expected};
  return w == yes;
}

Action ParseAction(Cursor& c) {
  Action a;
  const std::string w = c.word("an action");
  if (w == "controller") {
    ParseControllerWrites(c, a);
  } else if (w == "wlan") {
    ParseWlanAction(c, a);
  } else if (w == "hotspot") {
    ParseHotspotAction(c, a);
  } else if (w == "station") {
    const bool join = EitherWord(c, "`join` or `leave`", "join", "leave", "expected `join` or `leave`");
    a.kind = join ? Action::Kind::StationJoin : Action::Kind::StationLeave;
    a.mac = MacOf(c.word("a MAC address"));
  } else if (w == "power") {
    ParsePowerAction(c, a);
  } else if (w == "session") {
    ParseSessionAction(c, a);
  } else if (w == "device") {
    a.kind = Action::Kind::Device;
    a.flag = EitherWord(c, "`removed` or `arrived`", "removed", "arrived", "expected `removed` or `arrived`");
    a.text = c.text("the interface name");
  } else if (w == "end-session") {
    a.kind = Action::Kind::EndSession;
    a.flag = EitherWord(c, "`true` or `false`", "true", "false", "expected `true` or `false`");
  } else if (w == "post") {
    ParsePostAction(c, a);
  } else if (w == "program") {
    c.keyword("start");
    a.kind = Action::Kind::ProgramStart;
    a.text = c.text("the command line");
  } else if (w == "paint") {
    a.kind = Action::Kind::Paint;
  } else if (w == "mark") {
    a.kind = Action::Kind::Mark;
    a.markEnd = !EitherWord(c, "`start` or `end`", "start", "end", "expected `mark start` or `mark end`");
  } else if (w == "click") {
    ParseClickAction(c, a);
  } else {
    throw Failure{"unknown action `" + w + "`"};
  }
  c.end();
  return a;
}

using ExpectKind = Expectation::Kind;

// The program's end, status codes, notices, wake-ups, netsh runs and windows.
bool ParseProgramExpectation(const std::string& w, Cursor& c, Expectation& e) {
  if (w == "exit") {
    e.kind = ExpectKind::Exit;
    e.number = c.number("an exit code", 0, kDwordMax);
  } else if (w == "wake-ups") {
    e.kind = ExpectKind::WakeUps;
    e.number = c.number("a number of wake-ups", 0, kMaxExpectedCount);
  } else if (w == "running") {
    e.kind = ExpectKind::Running;
  } else if (w == "notices") {
    e.kind = ExpectKind::Notices;
    e.number = c.number("a number of notices", 0, kMaxExpectedCount);
  } else if (w == "netsh") {
    e.kind = ExpectKind::NetshRuns;
    c.keyword("runs");
    e.number = c.number("a number of runs", 0, kMaxExpectedCount);
  } else if (w == "codes") {
    e.kind = ExpectKind::Codes;
    if (c.peekWord("none")) {
      c.keyword("none");
    } else {
      do {
        e.texts.push_back(c.text("a status code"));
      } while (!c.atEnd());
    }
  } else if (w == "controller") {
    e.kind = ExpectKind::ControllerHidden;
    c.keyword("hidden");
  } else if (w == "window") {
    const std::string what = c.word("`hidden` or `none`");
    if (what != "hidden" && what != "none") throw Failure{"expected `hidden` or `none`"};
    e.kind = what == "none" ? ExpectKind::WindowNone : ExpectKind::WindowHidden;
  } else {
    return false;
  }
  return true;
}

// Texts: of the log, a notice, a control of the dialog or a registry value.
bool ParseTextExpectation(const std::string& w, Cursor& c, Expectation& e) {
  if (w == "log-order") {
    e.kind = ExpectKind::LogOrder;
    do {
      e.texts.push_back(c.text("a log text"));
    } while (!c.atEnd());
    return true;
  }
  if (w == "registry" || w == "registry-absent") {
    e.kind = w == "registry" ? ExpectKind::Registry : ExpectKind::RegistryAbsent;
    e.texts.push_back(c.name());
    if (w == "registry") e.texts.push_back(c.text("the value text"));
    return true;
  }
  if (w == "notice-text") {
    e.kind = ExpectKind::NoticeText;
  } else if (w == "log") {
    e.kind = ExpectKind::Log;
  } else if (w == "no-log") {
    e.kind = ExpectKind::NoLog;
  } else if (w == "status") {
    e.kind = ExpectKind::Status;
    e.controlId = IDC_STATIC_STATUS;
  } else if (w == "edit") {
    const std::string what = c.word("`name` or `key`");
    if (what == "name") {
      e.kind = ExpectKind::EditName;
      e.controlId = IDC_EDIT_NAME;
    } else if (what == "key") {
      e.kind = ExpectKind::EditKey;
      e.controlId = IDC_EDIT_KEY;
    } else {
      throw Failure{"expected `name` or `key`"};
    }
  } else {
    return false;
  }
  e.texts.push_back(c.text("the text"));
  return true;
}

void ParseWlanExpectation(Cursor& c, Expectation& e) {
  const std::string what = c.word("a WLAN property");
  if (what == "state") {
    e.kind = ExpectKind::WlanState;
    e.number = State(c.word("a state"));
  } else if (what == "ssid") {
    e.kind = ExpectKind::WlanSsid;
    e.texts.push_back(c.text("the text"));
  } else if (what == "key") {
    e.kind = ExpectKind::WlanKey;
    e.texts.push_back(c.text("the text"));
  } else if (what == "max-peers") {
    e.kind = ExpectKind::WlanMaxPeers;
    e.number = c.number("a number of peers", 1, kDwordMax);
  } else if (what == "calls") {
    e.kind = ExpectKind::WlanCalls;
    e.word = WlanFunction(c);
    e.number = c.number("a number of calls", 0, kMaxExpectedCount);
  } else {
    throw Failure{"unknown WLAN expectation `" + what + "`"};
  }
}

void ParseHotspotExpectation(Cursor& c, Expectation& e) {
  const std::string what = c.word("a hotspot property");
  if (what == "state") {
    e.kind = ExpectKind::HotspotState;
    e.word = c.word("`on` or `off`");
    if (e.word != "on" && e.word != "off") throw Failure{"`expect hotspot state` takes `on` or `off`"};
  } else if (what == "ssid") {
    e.kind = ExpectKind::HotspotSsid;
    e.texts.push_back(c.text("the text"));
  } else if (what == "key") {
    e.kind = ExpectKind::HotspotKey;
    e.texts.push_back(c.text("the text"));
  } else if (what == "band") {
    e.kind = ExpectKind::HotspotBand;
    e.word = c.word("a band");
    if (e.word != "absent" && !sim::TetheringBandNamed(e.word)) {
      throw Failure{"`expect hotspot band` takes `auto`, `2.4ghz`, `5ghz`, `6ghz` or `absent`"};
    }
  } else if (what == "authentication") {
    e.kind = ExpectKind::HotspotAuthentication;
    e.word = c.word("an authentication kind");
    if (e.word != "absent" && !sim::TetheringAuthenticationNamed(e.word)) {
      throw Failure{"`expect hotspot authentication` takes `wpa2`, `wpa3-transition`, `wpa3` or `absent`"};
    }
  } else if (what == "no-connections-timeout") {
    e.kind = ExpectKind::HotspotTimeout;
    e.word = c.word("`on`, `off` or `absent`");
    if (e.word != "on" && e.word != "off" && e.word != "absent") {
      throw Failure{"`expect hotspot no-connections-timeout` takes `on`, `off` or `absent`"};
    }
  } else if (what == "calls") {
    e.kind = ExpectKind::HotspotCalls;
    e.word = HotspotOperation(c);
    e.number = c.number("a number of calls", 0, kMaxExpectedCount);
  } else {
    throw Failure{"unknown hotspot expectation `" + what + "`"};
  }
}

// The simulated services: WLAN, hotspot, connection sharing.
bool ParseServiceExpectation(const std::string& w, Cursor& c, Expectation& e) {
  if (w == "wlan") {
    ParseWlanExpectation(c, e);
  } else if (w == "hotspot") {
    ParseHotspotExpectation(c, e);
  } else if (w == "sharing") {
    if (c.peekWord("none")) {
      c.keyword("none");
      e.kind = ExpectKind::SharingNone;
    } else {
      e.kind = ExpectKind::Sharing;
      c.keyword("public");
      e.texts.push_back(c.text("the public connection's name"));
      c.keyword("private");
      e.texts.push_back(c.text("the private connection's name"));
    }
  } else if (w == "ics") {
    const std::string what = c.word("`calls` or `released`");
    if (what == "calls") {
      e.kind = ExpectKind::IcsCalls;
      e.word = IcsOperation(c);
      e.number = c.number("a number of calls", 0, kMaxExpectedCount);
    } else if (what == "released") {
      e.kind = ExpectKind::IcsReleased;
    } else {
      throw Failure{"expected `expect ics calls OPERATION N` or `expect ics released`"};
    }
  } else {
    return false;
  }
  return true;
}

Expectation ParseExpectation(Cursor& c) {
  Expectation e;
  const std::string w = c.word("an expectation");
  if (!ParseProgramExpectation(w, c, e) && !ParseTextExpectation(w, c, e) && !ParseServiceExpectation(w, c, e)) {
    throw Failure{"unknown expectation `" + w + "`"};
  }
  c.end();
  return e;
}

}  // namespace

std::optional<Scenario> ParseScenario(const std::string& text, const std::string& fileName, ParseError* error) {
  Scenario scenario;
  scenario.file = fileName;
  std::size_t start = 0;
  int lineNumber = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    ++lineNumber;

    std::vector<Token> tokens;
    std::string reason;
    try {
      if (!Tokenize(line, tokens, reason)) throw Failure{reason};
      if (tokens.empty()) continue;
      Cursor c(tokens);
      std::string trimmed = line;
      if (const auto hash = trimmed.find(" #"); hash != std::string::npos) trimmed.resize(hash);
      while (!trimmed.empty() && (trimmed.back() == ' ' || trimmed.back() == '\r')) trimmed.pop_back();
      const std::string head = c.word("a statement");
      if (head == "when") {
        TimelineEntry entry;
        entry.line = lineNumber;
        entry.trigger = ParseTrigger(c);
        entry.action = ParseAction(c);
        entry.source = trimmed.substr(trimmed.find_first_not_of(' '));
        scenario.timeline.push_back(std::move(entry));
      } else if (head == "expect") {
        Expectation e = ParseExpectation(c);
        e.line = lineNumber;
        e.source = trimmed.substr(trimmed.find_first_not_of(' '));
        scenario.expectations.push_back(std::move(e));
      } else if (!ParseMachine(head, c, scenario.machine, lineNumber)) {
        throw Failure{"unknown statement `" + head + "`"};
      }
    } catch (const Failure& failure) {
      if (error != nullptr) *error = ParseError{fileName, lineNumber, failure.reason};
      return std::nullopt;
    }
  }
  // The bytes a name needs depend on the code page, which a later line may set.
  const WlanMachine& wlan = scenario.machine.wlan;
  const std::size_t bytes = wlan.ssidText ? EncodedSize(*wlan.ssidText, scenario.machine.codePage) : 0;
  if (bytes > 32) {
    if (error != nullptr) {
      *error = ParseError{fileName, wlan.ssidLine,
                          "an SSID holds at most 32 bytes; this one needs " + std::to_string(bytes) + " in code page " +
                              std::to_string(scenario.machine.codePage)};
    }
    return std::nullopt;
  }
  return scenario;
}

}  // namespace tethra::simrunner
