#include "record_marker.h"

#include "content_digest.h"
#include "descriptor_files.h"

namespace store::record_marker {

namespace {

std::string markerName(const std::string& name) {
    return ".saved-" + name;
}

} // namespace

std::string digest(std::string_view content) {
    return sha256Hex(content);
}

platform::Status markSaved(int folder, const std::string& name, std::string_view content) {
    return store::descriptor_files::writeFileAtomicallyAt(folder, markerName(name),
                                                          digest(content) + "\n", markerName(name));
}

bool wasSavedHere(int folder, const std::string& name, std::string_view content) {
    auto marker =
        store::descriptor_files::readOwnedFile(folder, markerName(name), 256, markerName(name));
    const std::string expected = digest(content);
    return marker.ok() && marker->has_value() && !expected.empty() && **marker == expected + "\n";
}

} // namespace store::record_marker
