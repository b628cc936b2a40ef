#include "metadata_store.h"

#include "sqlite_metadata_store.h"
#ifdef MOBRIX_WITH_POSTGRES
#include "postgres_metadata_store.h"
#endif

namespace server {

std::string keysBelowPattern(const std::string& key) {
    if (key == "/")
        return "/%";
    std::string pattern;
    for (char c : key) {
        if (c == '%' || c == '_' || c == '\\')
            pattern += '\\';
        pattern += c;
    }
    return pattern + "/%";
}

std::unique_ptr<MetadataStore> openMetadataStore(const std::string& url, std::string* error) {
    if (url.rfind("sqlite:", 0) == 0)
        return SqliteMetadataStore::open(url.substr(7), error);
#ifdef MOBRIX_WITH_POSTGRES
    if (url.rfind("postgresql:", 0) == 0 || url.rfind("postgres:", 0) == 0)
        return PostgresMetadataStore::open(url, error);
#endif
    if (error)
        *error = "unsupported metadata store \"" + url + "\" (sqlite:PATH or postgresql://...)";
    return nullptr;
}

} // namespace server
