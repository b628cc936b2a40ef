#include "cs_metadata.h"

#include "cs_record_fields.h"

namespace {

std::shared_ptr<const std::vector<CSMetadata>>
readContents(const CSJsonValue& list, std::optional<CSMetadata> (*build)(const CSJsonValue&)) {
    auto contents = std::make_shared<std::vector<CSMetadata>>();
    contents->reserve(list.size());
    for (const CSJsonValue& element : list.elements()) {
        if (std::optional<CSMetadata> child = build(element))
            contents->push_back(std::move(*child));
    }
    return contents;
}

void putText(CSJsonValue& archive, std::string_view key, const std::optional<std::string>& text) {
    if (text)
        archive.set(key, *text);
}

void putDate(CSJsonValue& archive, std::string_view key, const std::optional<CSDate>& date) {
    if (date)
        archive.set(key, date->secondsSince1970);
}

std::optional<CSDate> dateFromArchive(const CSJsonValue* value) {
    if (!value || !value->isNumber())
        return std::nullopt;
    return CSDate{value->asInt64()};
}

} // namespace

// One pass over the members, keys told apart by length first: listings are
// large, and each entry has a dozen keys.
std::optional<CSMetadata> CSMetadata::initWithDictionary(const CSJsonValue& dictionary) {
    if (!dictionary.isObject())
        return std::nullopt;
    CSMetadata m;
    for (const CSJsonMember& member : dictionary.members()) {
        const std::string_view key = member.key();
        const CSJsonValue* value = &member.value;
        switch (key.size()) {
        case 3:
            if (key == "rev")
                m.rev_ = CSReadText(value);
            break;
        case 4:
            if (key == "path")
                m.path_ = CSReadText(value);
            else if (key == "hash")
                m.hash_ = CSReadText(value);
            else if (key == "size")
                m.humanReadableSize_ = CSReadText(value);
            else if (key == "root")
                m.root_ = CSReadText(value);
            else if (key == "icon")
                m.icon_ = CSReadText(value);
            break;
        case 5:
            if (key == "bytes")
                m.totalBytes_ = CSReadInteger(value);
            break;
        case 6:
            if (key == "is_dir")
                m.isDirectory_ = CSReadFlag(value);
            break;
        case 8:
            if (key == "modified")
                m.lastModifiedDate_ = CSReadDate(value);
            else if (key == "contents" && value->isArray())
                m.contents_ = readContents(*value, &CSMetadata::initWithDictionary);
            else if (key == "revision")
                m.revision_ = CSReadInteger(value);
            break;
        case 10:
            if (key == "is_deleted")
                m.isDeleted_ = CSReadFlag(value);
            break;
        case 12:
            if (key == "thumb_exists")
                m.thumbnailExists_ = CSReadFlag(value);
            else if (key == "client_mtime")
                m.clientMtime_ = CSReadDate(value);
            break;
        default:
            break;
        }
    }
    return m;
}

std::string CSMetadata::filename() const {
    if (!path_)
        return {};
    std::string_view path = *path_;
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    if (path == "/")
        return "/";
    const std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

bool CSMetadata::operator==(const CSMetadata& other) const {
    if (this == &other)
        return true;
    return rev_ && other.rev_ && *rev_ == *other.rev_;
}

CSJsonValue CSMetadata::archive() const {
    CSJsonValue a = CSJsonValue::object({{"thumbnailExists", thumbnailExists_},
                                         {"totalBytes", totalBytes_},
                                         {"isDirectory", isDirectory_},
                                         {"revision", revision_},
                                         {"isDeleted", isDeleted_}});
    putDate(a, "lastModifiedDate", lastModifiedDate_);
    putDate(a, "clientMtime", clientMtime_);
    putText(a, "path", path_);
    if (contents_) {
        CSJsonValue::Array list;
        list.reserve(contents_->size());
        for (const CSMetadata& child : *contents_)
            list.push_back(child.archive());
        a.set("contents", CSJsonValue(std::move(list)));
    }
    putText(a, "hash", hash_);
    putText(a, "humanReadableSize", humanReadableSize_);
    putText(a, "root", root_);
    putText(a, "icon", icon_);
    putText(a, "rev", rev_);
    return a;
}

std::optional<CSMetadata> CSMetadata::restore(const CSJsonValue& archive) {
    if (!archive.isObject())
        return std::nullopt;
    CSMetadata m;
    m.thumbnailExists_ = CSReadFlag(archive.find("thumbnailExists"));
    m.totalBytes_ = CSReadInteger(archive.find("totalBytes"));
    m.lastModifiedDate_ = dateFromArchive(archive.find("lastModifiedDate"));
    m.clientMtime_ = dateFromArchive(archive.find("clientMtime"));
    m.path_ = CSReadText(archive.find("path"));
    m.isDirectory_ = CSReadFlag(archive.find("isDirectory"));
    if (const CSJsonValue* contents = archive.find("contents"); contents && contents->isArray())
        m.contents_ = readContents(*contents, &CSMetadata::restore);
    m.hash_ = CSReadText(archive.find("hash"));
    m.humanReadableSize_ = CSReadText(archive.find("humanReadableSize"));
    m.root_ = CSReadText(archive.find("root"));
    m.icon_ = CSReadText(archive.find("icon"));
    m.rev_ = CSReadText(archive.find("rev"));
    m.revision_ = CSReadInteger(archive.find("revision"));
    m.isDeleted_ = CSReadFlag(archive.find("isDeleted"));
    return m;
}
