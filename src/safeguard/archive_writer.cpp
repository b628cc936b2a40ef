#include "archive_writer.h"

#include "command_context.h"
#include "device_root.h"
#include "file_ops.h"
#include "store_layout.h"

#include <cerrno>
#include <cstdio>

bool writeArchive(CommandContext& context, std::string_view subject,
                  std::string_view archiveDevicePath, std::string_view zipInputDevicePath) {
    const std::string archive = context.path(archiveDevicePath);
    const std::string partial = file_ops::partialPath(archive);
    if (!context.check(subject, file_ops::remove(partial)))
        return false;

    const DeviceRoot& root = context.root();
    bool zipped =
        context.run(subject, store::kZipTool, {"-r", partial, root.zipInput(zipInputDevicePath)},
                    Wait::InputBlocked, 0, root.zipWorkingFolder());
    if (!zipped) {
        file_ops::remove(partial);
        return false;
    }
    if (std::rename(partial.c_str(), archive.c_str()) != 0) {
        context.fail(subject, "cannot replace " + std::string(archiveDevicePath) + ": " +
                                  file_ops::errnoText(errno));
        file_ops::remove(partial);
        return false;
    }
    return true;
}
