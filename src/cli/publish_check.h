// The check tarn publish runs between its build and its push (the internal
// part of tarn check), shared by check_command.cc, which defines it, and
// deploy_command.cc.
#pragma once

#include <string>

#include "workspace/workspace.h"

namespace tarn {

// Checks the site just built into workspace's public/. Returns true when
// the publish must stop: the check found errors and force (--force-check,
// --due) is off. Errors are printed on standard error with what to do; a
// forced publish says it goes on despite them; warnings alone are counted
// in one line. A site the check finds nothing in prints nothing. *found
// gets "the check found N error(s) and M warning(s)", or "" for nothing.
// Main thread.
bool PublishCheckStops(const Workspace& workspace, bool force, std::string* found);

}  // namespace tarn
