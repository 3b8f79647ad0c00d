#include "linux/desktop_names.hpp"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <system_error>

#include "core/common/text.hpp"
#include "core/settings/config.hpp"
#include "linux/front_app.hpp"

namespace thumbrover {
namespace {

namespace fs = std::filesystem;

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool less_regardless_of_case(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return lower(x) < lower(y); });
}

// The keys of the [Desktop Entry] group that are wanted, read line by line; a desktop file is
// small, but one that is not is read no further than its first megabyte.
struct Entry {
    std::string name;
    std::string wm_class;
};

Entry read_entry(const fs::path& file) {
    Entry entry;
    std::ifstream in(file);
    std::string line;
    bool in_group = false;
    std::size_t read = 0;
    while (std::getline(in, line) && (read += line.size() + 1) < (1U << 20)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line.front() == '[') {
            if (in_group) break;
            in_group = line == "[Desktop Entry]";
            continue;
        }
        if (!in_group) continue;
        const auto value_of = [&](std::string_view key) -> std::optional<std::string> {
            if (line.rfind(key, 0) != 0) return std::nullopt;
            std::string_view rest = std::string_view(line).substr(key.size());
            while (!rest.empty() && rest.front() == ' ')
                rest.remove_prefix(1);
            if (rest.empty() || rest.front() != '=') return std::nullopt;
            rest.remove_prefix(1);
            while (!rest.empty() && rest.front() == ' ')
                rest.remove_prefix(1);
            return std::string(rest);
        };
        if (auto name = value_of("Name"); name && entry.name.empty()) entry.name = *name;
        if (auto klass = value_of("StartupWMClass"); klass && entry.wm_class.empty())
            entry.wm_class = *klass;
    }
    return entry;
}

// A name as the list shows it: valid text without control characters, else none.
std::optional<std::string> usable(const std::string& name) {
    std::string text = to_valid_utf8(name);
    if (!check_app_id(text).ok()) return std::nullopt;
    return text;
}

bool is_desktop_file(const fs::directory_entry& entry) {
    std::error_code error;
    return entry.path().extension() == ".desktop" && entry.is_regular_file(error);
}

}  // namespace

std::vector<fs::path> data_folders() {
    std::vector<fs::path> folders;
    const auto variable = [](const char* name) {
        const char* value = std::getenv(name);
        return value != nullptr ? std::string(value) : std::string();
    };
    std::string home_data = variable("XDG_DATA_HOME");
    if (home_data.empty() && !variable("HOME").empty())
        home_data = variable("HOME") + "/.local/share";
    if (!home_data.empty()) folders.emplace_back(home_data);
    std::string dirs = variable("XDG_DATA_DIRS");
    if (dirs.empty()) dirs = "/usr/local/share:/usr/share";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const std::size_t end = std::min(dirs.find(':', start), dirs.size());
        if (end > start) folders.emplace_back(dirs.substr(start, end - start));
        start = end + 1;
    }
    return folders;
}

std::vector<fs::path> application_folders() {
    std::vector<fs::path> folders = data_folders();
    for (fs::path& folder : folders)
        folder /= "applications";
    return folders;
}

std::optional<std::string> desktop_name(std::string_view app_id,
                                        const std::vector<fs::path>& folders) {
    if (app_id.empty() || app_id.find('/') != std::string_view::npos) return std::nullopt;
    const std::string file_name = std::string(app_id) + ".desktop";
    for (const fs::path& folder : folders) {
        std::error_code error;
        if (fs::is_regular_file(folder / file_name, error)) {
            if (auto name = usable(read_entry(folder / file_name).name)) return name;
        }
    }
    // Names differing only in case, then the X window class a desktop file states.
    for (const bool by_class : {false, true}) {
        for (const fs::path& folder : folders) {
            std::error_code error;
            for (fs::directory_iterator it(folder, error), end; !error && it != end;
                 it.increment(error)) {
                if (!is_desktop_file(*it)) continue;
                const std::string stem = it->path().stem().string();
                if (!by_class && !same_app_id(stem, app_id)) continue;
                const Entry entry = read_entry(it->path());
                if (by_class && !same_app_id(entry.wm_class, app_id)) continue;
                if (auto name = usable(entry.name)) return name;
            }
        }
    }
    return std::nullopt;
}

std::vector<RunningApp> named_apps(const std::vector<std::string>& ids,
                                   const std::vector<fs::path>& folders) {
    std::vector<RunningApp> apps = distinct_apps(ids);
    for (RunningApp& app : apps)
        if (auto name = desktop_name(app.id, folders)) app.name = std::move(*name);
    std::stable_sort(apps.begin(), apps.end(), [](const RunningApp& a, const RunningApp& b) {
        return less_regardless_of_case(a.name, b.name);
    });
    return apps;
}

}  // namespace thumbrover
