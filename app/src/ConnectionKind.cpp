// Connection kinds: the peer limit of each switch.
#include "tethra/app/ConnectionKind.h"

namespace tethra::app {

using base::EqualsNoCase;

unsigned MaxPeersForSwitch(std::u16string_view commandLine) {
  return (EqualsNoCase(commandLine, kShareLAN) || EqualsNoCase(commandLine, kShareWLAN)) ? 10u : 5u;
}

}  // namespace tethra::app
