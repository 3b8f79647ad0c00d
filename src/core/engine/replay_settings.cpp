#include <optional>
#include <sstream>
#include <string>

#include "core/common/files.hpp"
#include "core/common/text.hpp"
#include "core/common/toml_guard.hpp"
#include "core/engine/replay.hpp"
#include "core/settings/config_file.hpp"

namespace thumbrover {
namespace {

// Puts every value of `from` into `into`, keeping what `into` holds beside it in the tables both
// have.
void merge_into(toml::table& into, const toml::table& from) {
    for (auto it = from.begin(); it != from.end(); ++it) {
        const toml::key& key = it->first;
        const toml::node& node = it->second;
        toml::table* inner = into[key].as_table();
        if (inner != nullptr && node.is_table()) {
            merge_into(*inner, *node.as_table());
        } else {
            node.visit([&](const auto& concrete) { into.insert_or_assign(key, concrete); });
        }
    }
}

}  // namespace

// The change goes through the settings file's own reader, so a replayed `set` accepts and refuses
// exactly what a hand-edited settings file would.
Result<Config> config_with_setting(const Config& config, std::string_view key,
                                   std::string_view value) {
    const std::string setting = "`" + clipped_echo(key) + " = " + clipped_echo(value) + "`";
    TomlReading assignment = parse_toml("value = " + std::string(value));
    if (assignment.problem)
        return Error{"invalid setting " + setting + ": " + assignment.problem->message};
    TomlReading current = parse_toml(config_to_text(config));
    if (current.problem)
        return Error{"invalid setting " + setting + ": " + current.problem->message};
    toml::table& document = current.table;
    const toml::node* node = assignment.table.get("value");
    if (node == nullptr) return Error{"invalid setting " + setting};

    // An application's setting ("apps.vlc.buttons.a", "apps.\"org.videolan.vlc\".left_stick")
    // is a dotted key of any depth, with quoted parts.
    if (key.starts_with("apps.")) {
        TomlReading dotted = parse_toml(std::string(key) + " = " + std::string(value));
        if (dotted.problem)
            return Error{"invalid setting " + setting + ": " + dotted.problem->message};
        merge_into(document, dotted.table);
    }
    toml::table* target = &document;
    std::string_view name = key;
    for (const std::string_view table : {"buttons", "shifted"}) {
        if (!name.starts_with(table) || name.substr(table.size(), 1) != ".") continue;
        name.remove_prefix(table.size() + 1);
        target = document[table].as_table();
        if (target == nullptr) {
            document.insert_or_assign(table, toml::table{});
            target = document[table].as_table();
        }
        break;
    }
    if (name.empty()) return Error{"invalid setting " + setting};
    if (!key.starts_with("apps."))
        node->visit([&](const auto& concrete) { target->insert_or_assign(name, concrete); });

    std::ostringstream text;
    text << document;
    auto parsed = parse_config(text.str());
    if (!parsed) {
        // The reader locates the mistake in the rewritten text, which the user never saw.
        std::string_view report = parsed.error();
        if (report.starts_with("line ")) {
            const std::size_t column = report.find(", column ");
            const std::size_t after = column == std::string_view::npos
                                          ? std::string_view::npos
                                          : report.find(", ", column + 9);
            if (after != std::string_view::npos) report.remove_prefix(after + 2);
        }
        return Error{"invalid setting " + setting + ": " + std::string(report)};
    }
    return parsed;
}

namespace {

constexpr std::string_view kReplayUsage =
    "Usage: thumbroverctl replay [--config FILE | --defaults] [--off] [SCENARIO]\n";

constexpr std::string_view kReplayHelp =
    "Runs the input engine on a timed scenario (a file, or standard input when SCENARIO is\n"
    "absent or \"-\") and prints one line per command it would send: TIME KIND P1 P2 A B.\n"
    "\n"
    "  --config FILE  use the settings of FILE instead of your own settings file\n"
    "  --defaults     use the default settings instead of your own settings file\n"
    "  --off          start switched off\n"
    "\n"
    "Scenario lines are \"TIME OP ARGS\" with OP one of: button N down|up, axis N VALUE, mouse,\n"
    "gone, toggle, tick, ticks END STEP, release-all, set KEY = VALUE, front-app [ID] (the\n"
    "application in front changes; without ID, none is known). A line \"--- output\" ends the\n"
    "scenario; what follows it is not read.\n";

}  // namespace

CommandOutcome run_replay_command(std::span<const std::string_view> args,
                                  const std::function<Result<std::string>()>& read_stdin,
                                  const std::filesystem::path& user_file,
                                  std::string_view examples) {
    CommandOutcome outcome;
    const auto fail = [&](const std::string& message) {
        outcome.status = 1;
        outcome.err += "thumbroverctl: " + message + "\n";
        return outcome;
    };
    const auto refuse = [&](const std::string& message) {
        fail(message);
        outcome.status = 2;
        outcome.err += kReplayUsage;
        return outcome;
    };
    std::optional<std::string_view> config_file;
    std::optional<std::string_view> scenario_file;
    bool off = false;
    bool defaults = user_file.empty();
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg == "--off") {
            off = true;
        } else if (arg == "--defaults") {
            defaults = true;
        } else if (arg == "--config") {
            if (i + 1 >= args.size()) return refuse("`--config` needs a settings file");
            config_file = args[++i];
        } else if (arg.starts_with("--config=")) {
            config_file = arg.substr(9);
        } else if (arg == "--help" || arg == "-h") {
            std::string help = std::string(kReplayUsage) + std::string(kReplayHelp);
            if (!examples.empty()) {
                help +=
                    "\nExamples, each ending in the output it gives with the default settings:\n "
                    " " +
                    std::string(examples) + "/*.scenario\n";
            }
            return {0, std::move(help), ""};
        } else if (arg.size() > 1 && arg.front() == '-') {
            return refuse("unknown option `" + std::string(arg) + "`");
        } else if (scenario_file) {
            return refuse("only one scenario can be replayed at a time");
        } else {
            scenario_file = arg;
        }
    }

    Config config;
    if (config_file) {
        const ConfigReading reading = read_config(std::filesystem::path(*config_file));
        if (reading.status != ConfigStatus::Loaded) {
            return fail(std::string(*config_file) + ": " + reading.problem);
        }
        config = reading.config;
    } else if (!defaults) {
        // The settings the program itself would use, and one line saying which they are, since
        // the output depends on them.
        const ConfigReading reading = read_config(user_file);
        const std::string where = user_file.string();
        switch (reading.status) {
            case ConfigStatus::Loaded:
                outcome.err += "thumbroverctl: using the settings of " + where + "\n";
                config = reading.config;
                break;
            case ConfigStatus::Missing:
                outcome.err +=
                    "thumbroverctl: using the default settings (" + where + " does not exist)\n";
                break;
            case ConfigStatus::Unreadable:
            case ConfigStatus::Mistake:
                outcome.err +=
                    "thumbroverctl: using the default settings, as Thumbrover would: " + where +
                    ": " + reading.problem + "\n";
                break;
        }
    }

    Result<std::string> scenario =
        (!scenario_file || *scenario_file == "-")
            ? read_stdin()
            : read_file(std::filesystem::path(*scenario_file), 16 * 1024 * 1024, FileKinds::Any);
    if (!scenario) return fail(scenario.error());

    EngineState state(std::move(config), !off);
    const auto result = run_replay(*scenario, state, outcome.out);
    if (!result) return fail(result.error());
    return outcome;
}

}  // namespace thumbrover
