#pragma once
// One answer of the service: an HTTP status and a JSON body (an object with
// "error" for every status but 200).

#include "cs_json_value.h"

#include <string>

namespace server {

struct ApiAnswer {
    int status = 200;
    CSJsonValue body;

    bool ok() const { return status == 200; }
    static ApiAnswer success(CSJsonValue body) { return {200, std::move(body)}; }
    static ApiAnswer error(int status, const std::string& message) {
        return {status, CSJsonValue::object({{"error", CSJsonValue(message)}})};
    }
};

} // namespace server
