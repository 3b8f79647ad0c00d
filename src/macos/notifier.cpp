#include "macos/notifier.hpp"

#include <utility>

#include "core/common/diag.hpp"

namespace thumbrover {

std::string applescript_string(std::string_view text) {
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted.push_back('"');
    for (const char c : text) {
        if (c == '\\' || c == '"') quoted.push_back('\\');
        quoted.push_back(c);
    }
    quoted.push_back('"');
    return quoted;
}

std::string notification_script(std::string_view heading, std::string_view body) {
    return "display notification " + applescript_string(body) + " with title " +
           applescript_string("Thumbrover") + " subtitle " + applescript_string(heading);
}

OsascriptNotifier::OsascriptNotifier(Spawner spawner) : spawner_(std::move(spawner)) {}

void OsascriptNotifier::notify(std::string_view heading, std::string_view body) {
    SpawnOptions options;
    options.discard_stderr = true;
    const Result<void> started =
        spawner_("osascript", {"-e", notification_script(heading, body)}, options);
    if (!started) {
        std::string line;
        line.append(heading).append(": ").append(body).append(" (").append(started.error());
        line.push_back(')');
        diag(line);
    }
}

}  // namespace thumbrover
