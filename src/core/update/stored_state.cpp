#include "core/update/stored_state.hpp"

#include <sstream>
#include <system_error>

#include "core/common/diag.hpp"
#include "core/common/files.hpp"
#include "core/common/toml_guard.hpp"

namespace thumbrover {
namespace {

// The file holds at most one release of at most 64 KiB of text, quoted; anything much larger
// was not written by this program.
constexpr std::size_t max_file_bytes = 1024 * 1024;

std::optional<std::string> string_at(const toml::table& table, std::string_view key) {
    const auto* value = table.get_as<std::string>(key);
    if (value == nullptr) return std::nullopt;
    return value->get();
}

}  // namespace

StoredUpdate stored_update_from_toml(std::string_view text) {
    TomlReading parsed = parse_toml(text);
    if (!parsed.ok()) return {};
    const toml::table& document = parsed.table;

    StoredUpdate stored;
    if (const toml::node* node = document.get("checked_at")) {
        const auto* integer = node->as_integer();
        if (integer == nullptr) return {};
        stored.checked_at = integer->get();
    }
    if (const toml::node* node = document.get("latest")) {
        const toml::table* latest = node->as_table();
        if (latest == nullptr) return {};
        auto version = string_at(*latest, "version");
        auto url = string_at(*latest, "url");
        auto notes = string_at(*latest, "notes");
        if (!version || !url || !notes) return {};
        stored.latest = Release{std::move(*version), std::move(*url), std::move(*notes)};
    }
    return stored;
}

std::string stored_update_to_toml(const StoredUpdate& stored) {
    toml::table document;
    if (stored.checked_at) document.insert("checked_at", *stored.checked_at);
    if (stored.latest) {
        document.insert("latest", toml::table{{"version", stored.latest->version},
                                              {"url", stored.latest->url},
                                              {"notes", stored.latest->notes}});
    }
    std::ostringstream out;
    // Basic (double-quoted) strings on one line each, whatever the notes contain.
    out << toml::toml_formatter{document, toml::format_flags::allow_unicode_strings};
    std::string text = out.str();
    if (!text.empty() && text.back() != '\n') text.push_back('\n');
    return text;
}

StoredUpdate load_stored_update(const std::filesystem::path& path) {
    auto text = read_file(path, max_file_bytes);
    if (!text) {
        if (is_not_regular_file_error(text.error())) diag(text.error());
        return {};
    }
    return stored_update_from_toml(*text);
}

Result<void> save_stored_update(const std::filesystem::path& path, const StoredUpdate& stored) {
    const std::filesystem::path folder = path.parent_path();
    if (!folder.empty()) {
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        if (error) return Error{"could not create " + folder.string() + ": " + error.message()};
    }
    return write_file_atomically(path, stored_update_to_toml(stored));
}

}  // namespace thumbrover
