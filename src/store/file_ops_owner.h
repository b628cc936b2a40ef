#pragma once

#include "file_ops_at.h"
#include "process_identity.h"

namespace store::file_ops {

// Who the tools that read or write a live folder run as: whoever controls
// what its path names. That is the nearest owner on the way that is not root
// (the folder's own owner first), so that a tool never reaches more than that
// user could alone; root only when root owns the whole way.
ProcessIdentity dataOwner(const OpenedFolder& folder);

} // namespace store::file_ops
