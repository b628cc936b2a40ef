#pragma once
// A signed HTTP request, ready for the request engine.

#include <string>
#include <utility>
#include <vector>

struct CSSignedRequest {
    std::string method;
    std::string url;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
};
