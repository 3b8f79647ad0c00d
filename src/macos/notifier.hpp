#pragma once

#include <string>
#include <string_view>

#include "core/common/spawn.hpp"
#include "platform/notifier.hpp"

namespace thumbrover {

// `text` as an AppleScript string literal: backslashes doubled first, then double quotes escaped,
// then the whole between double quotes.
[[nodiscard]] std::string applescript_string(std::string_view text);

// The `display notification` script that shows `body` as the text, the program's name as the
// title and `heading` as the subtitle.
[[nodiscard]] std::string notification_script(std::string_view heading, std::string_view body);

// macOS notifications through `osascript -e <script>`. Each call starts its own osascript, whose
// standard error is discarded (it complains when no user session is reachable) and whose exit a
// detached thread collects. When osascript cannot be started, the notification becomes the line
// "thumbrover: <heading>: <body> (<error>)" on standard error.
class OsascriptNotifier final : public Notifier {
  public:
    explicit OsascriptNotifier(Spawner spawner = system_spawner());
    void notify(std::string_view heading, std::string_view body) override;

  private:
    Spawner spawner_;
};

}  // namespace thumbrover
