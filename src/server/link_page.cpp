#include "link_page.h"

namespace server {

namespace {

const char* kStyle = "body{font-family:sans-serif;max-width:24em;margin:3em auto;padding:0 1em}"
                     "label,input,button{display:block;width:100%;margin:.4em 0;font-size:1em}"
                     "input{padding:.4em;box-sizing:border-box}button{padding:.5em}"
                     ".message{color:#a00}";

std::string page(const std::string& title, const std::string& body) {
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
           "<title>" +
           escapeHtml(title) + "</title><style>" + kStyle + "</style></head><body><h1>" +
           escapeHtml(title) + "</h1>" + body + "</body></html>\n";
}

} // namespace

std::string escapeHtml(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string linkPageHtml(const LinkPageForm& form) {
    std::string body;
    if (!form.message.empty())
        body += "<p class=\"message\">" + escapeHtml(form.message) + "</p>";
    body += "<p>Mobrix asks to reach the files of your account on this service.</p>";
    body += "<form method=\"post\" action=\"" + escapeHtml(form.action) + "\">";
    for (const auto& [name, value] : form.hidden) {
        body += "<input type=\"hidden\" name=\"" + escapeHtml(name) + "\" value=\"" +
                escapeHtml(value) + "\">";
    }
    body += "<label for=\"name\">Name</label><input id=\"name\" name=\"name\" "
            "autocomplete=\"username\" autocapitalize=\"none\" value=\"" +
            escapeHtml(form.name) +
            "\"><label for=\"password\">Password</label><input id=\"password\" "
            "name=\"password\" type=\"password\" autocomplete=\"current-password\">"
            "<button type=\"submit\" name=\"action\" value=\"allow\">Sign in and allow</button>"
            "<button type=\"submit\" name=\"action\" value=\"cancel\">Cancel</button></form>";
    return page("Link Mobrix", body);
}

std::string messagePageHtml(const std::string& title, const std::string& text) {
    return page(title, "<p>" + escapeHtml(text) + "</p>");
}

} // namespace server
