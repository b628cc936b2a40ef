#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace restore {

// Puts a finished copy in place. The copy was written as the live folder's
// owner beside it, in the same parent; each of its files and links then
// replaces its live namesake by one rename, a folder the live side lacks is
// moved over whole, and folders present on both sides are merged into. So an
// interrupted restoration leaves each live file as it was or as restored,
// never cut short. Only folders that belong to `owner` (and are not sticky)
// are written in, and no link is ever followed: nothing here reaches more
// than the owner could alone. Returns one line per entry not put in place.
std::vector<std::string> mergeInto(int copyFd, int liveFd, uid_t owner,
                                   const std::string& shownLive);

} // namespace restore
