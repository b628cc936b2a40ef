#pragma once

#include "result.h"

// The identity the program runs under, settled before anything reads the
// environment or the arguments.
namespace runtime::startup_identity {

// Refuses a set-user-ID or set-group-ID start (the real and effective
// identities differ), whose caller would steer a root process through its
// options and environment. When the process already is root, it takes root's
// own identity whole: no supplementary groups, then the group, then the user.
// An error tells why the program must not run.
platform::Status settle();

// True when the effective user is root.
bool isRoot();

} // namespace runtime::startup_identity
