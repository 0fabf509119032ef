// ICommandTarget: what the registry commands do to the rest of the program, the one way the
// command watcher reaches it. CHostedNetworkSession is it: it holds the access point in use, the
// edits that show name and key, and the controller link.
//
// Owner: the dialog owns the session; CCommandChannel holds a reference for the life of the
// process. Threads: the command watcher's, for every method; the session answers the same calls
// on the dialog's thread as well. Codes: none; the access point's own come back through it.
#pragma once

#include <string>

#include "tethra/app/AccessPoint.h"

namespace tethra::app {

class ICommandTarget {
 public:
  // The access point in use (switched once, before the mobile hotspot starts).
  virtual IAccessPoint& AccessPoint() const = 0;
  // Into the name and key in use and their edits; nullptr leaves one as it is.
  virtual void ShowNameAndKey(const std::u16string* name, const std::u16string* key) = 0;
  // The name-and-key notice to the controller, while the access point runs.
  virtual void AnnounceNameAndKey() = 0;
  // A status code to the controller, unless the close is a silent one.
  virtual void ReportStatus(const char16_t* code) = 0;
  // Posts WM_CLOSE to the dialog: the program ends through its usual way out.
  virtual void PostClose() = 0;

 protected:
  ~ICommandTarget() = default;
};

}  // namespace tethra::app
