#include "command_fixture.h"

#include <sys/stat.h>

CommandTest::CommandTest() : environment(DeviceRoot(device.root()), runner) {
    device.fillLiveFolders();
    device.makeStoreFolders();
}

std::string CommandTest::ownerOf(const std::string& devicePath) const {
    struct stat status {};
    if (::lstat(device.path(devicePath).c_str(), &status) != 0)
        return "missing";
    return std::to_string(status.st_uid) + ":" + std::to_string(status.st_gid);
}
