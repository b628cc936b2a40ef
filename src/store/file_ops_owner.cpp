#include "file_ops_owner.h"

namespace store::file_ops {

ProcessIdentity dataOwner(const OpenedFolder& folder) {
    if (folder.pathUser == 0)
        return ProcessIdentity{0, 0, {0}};
    return ProcessIdentity::ofOwner(folder.pathUser, folder.pathGroup);
}

} // namespace store::file_ops
