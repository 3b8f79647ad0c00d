#include "core/update/release.hpp"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "core/update/version.hpp"

namespace thumbrover {
namespace {

// nlohmann reports the 1-based index of the last byte it read; the line and column are counted
// from the input so that they match what an editor shows for the same text.
std::string position_text(std::string_view json, std::size_t byte) {
    const std::size_t end = std::min(byte > 0 ? byte - 1 : 0, json.size());
    const std::string_view before = json.substr(0, end);
    const auto line = 1 + static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n'));
    const std::size_t line_start = before.rfind('\n');
    const std::size_t column = line_start == std::string_view::npos ? end + 1 : end - line_start;
    return " at line " + std::to_string(line) + " column " + std::to_string(column);
}

// The library's text starts with its own exception name and, for syntax errors, a position:
// "[json.exception.parse_error.101] parse error at line 1, column 1: syntax error ..." or
// "[json.exception.out_of_range.406] number overflow parsing '1e999'". Only the description is
// kept; the position is added in this program's own form.
std::string error_description(const nlohmann::json::exception& error) {
    std::string_view what = error.what();
    if (what.starts_with('[')) {
        const std::size_t bracket = what.find("] ");
        if (bracket != std::string_view::npos) what.remove_prefix(bracket + 2);
    }
    if (what.starts_with("parse error")) {
        const std::size_t colon = what.find(": ");
        if (colon != std::string_view::npos) what.remove_prefix(colon + 2);
    }
    return std::string(what);
}

Result<std::string> string_member(const nlohmann::json& object, const char* name) {
    const auto it = object.find(name);
    if (it == object.end()) return Error{std::string("missing member \"") + name + "\""};
    if (!it->is_string()) return Error{std::string("member \"") + name + "\" is not a string"};
    return it->get<std::string>();
}

}  // namespace

Result<Release> release_from_json(std::string_view json) {
    nlohmann::json document;
    try {
        document = nlohmann::json::parse(json);
    } catch (const nlohmann::json::parse_error& error) {
        std::string message = error_description(error);
        if (error.byte > 0) message += position_text(json, error.byte);
        return Error{std::move(message)};
    } catch (const nlohmann::json::exception& error) {
        // A number too large for a double anywhere in the answer (even in a member we ignore)
        // is reported by another exception type; it must fail the check, not the program.
        return Error{error_description(error)};
    }
    if (!document.is_object()) return Error{"the release is not a JSON object"};

    auto version = string_member(document, "version");
    if (!version) return Error{version.error()};
    auto url = string_member(document, "url");
    if (!url) return Error{url.error()};
    auto notes = string_member(document, "notes");
    if (!notes) return Error{notes.error()};
    return Release{std::move(version).value(), std::move(url).value(), std::move(notes).value()};
}

bool is_https_link(std::string_view url) noexcept {
    return url.starts_with("https://");
}

Result<void> validate_release(const Release& release) {
    if (!parse_version(release.version)) return Error{"bad version " + release.version};
    if (!is_https_link(release.url)) return Error{"bad download link " + release.url};
    return {};
}

}  // namespace thumbrover
