#pragma once
// The sign-in page of an account link, as HTML.

#include <string>
#include <utility>
#include <vector>

namespace server {

struct LinkPageForm {
    std::string action;                                      // where the form posts
    std::vector<std::pair<std::string, std::string>> hidden; // carried through the sign-in
    std::string name;                                        // prefilled sign-in name
    std::string message;                                     // shown above the form, may be empty
};

std::string linkPageHtml(const LinkPageForm& form);
std::string messagePageHtml(const std::string& title, const std::string& text);
// Text made safe inside HTML elements and attribute values.
std::string escapeHtml(const std::string& text);

} // namespace server
