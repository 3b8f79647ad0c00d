#include "core/common/toml_guard.hpp"

#include "core/common/text.hpp"

#include <algorithm>
#include <string>
#include <vector>

namespace thumbrover {
namespace {

bool is_ascii(char c) {
    return static_cast<unsigned char>(c) < 0x80;
}

bool is_space_or_break(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

std::optional<TomlSpot> find_in_toml(
    std::string_view text, const std::function<bool(const TomlSpot&, TomlPlace)>& wanted) {
    enum class State { Plain, Comment, Basic, Literal, MultiBasic, MultiLiteral };
    State state = State::Plain;
    std::size_t line = 1;
    std::size_t line_start = 0;
    const auto opens = [&](std::size_t i, std::string_view what) {
        return text.substr(i, 3) == what;
    };
    const auto spot = [&](std::size_t i) { return TomlSpot{i, line, line_start}; };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\n') {
            ++line;
            line_start = i + 1;
            if (state != State::MultiBasic && state != State::MultiLiteral) state = State::Plain;
            continue;
        }
        switch (state) {
            case State::Plain:
                if (wanted(spot(i), TomlPlace::Bare)) return spot(i);
                if (c == '#') {
                    state = State::Comment;
                } else if (c == '"') {
                    state = opens(i, "\"\"\"") ? State::MultiBasic : State::Basic;
                    if (state == State::MultiBasic) i += 2;
                } else if (c == '\'') {
                    state = opens(i, "'''") ? State::MultiLiteral : State::Literal;
                    if (state == State::MultiLiteral) i += 2;
                }
                break;
            case State::Comment:
                break;
            case State::Basic:
            case State::MultiBasic:
                if (c == '\\') {
                    std::size_t next = i + 1;
                    if (state == State::MultiBasic) {
                        while (next < text.size() && is_space_or_break(text[next])) {
                            if (text[next] == '\n') {
                                ++line;
                                line_start = next + 1;
                            }
                            ++next;
                        }
                    }
                    if (next < text.size() && wanted(spot(next), TomlPlace::Escaped))
                        return spot(next);
                    if (next > i + 1) {
                        i = next - 1;
                    } else if (next < text.size() && text[next] != '\n') {
                        i = next;  // the escaped character, so that \" does not end the string
                    }
                } else if (state == State::Basic && c == '"') {
                    state = State::Plain;
                } else if (state == State::MultiBasic && opens(i, "\"\"\"")) {
                    state = State::Plain;
                    i += 2;
                }
                break;
            case State::Literal:
                if (c == '\'') state = State::Plain;
                break;
            case State::MultiLiteral:
                if (opens(i, "'''")) {
                    state = State::Plain;
                    i += 2;
                }
                break;
        }
    }
    return std::nullopt;
}

namespace {

// Follows how deep each key and value sits: the dots of the current table header, then every
// bracket of an array or inline table opened in a value and the dots of the keys inside it. A
// header's own bracket counts on its line only. Parts of a line the parser would refuse are
// followed loosely; only a bound on the depth matters here.
class NestingWalk {
  public:
    explicit NestingWalk(std::string_view text) : text_(text) {}

    enum class Verdict { Fine, TooDeep, TooMany };

    // Whether the character at `spot` takes the nesting or the number of items past its limit.
    Verdict step(const TomlSpot& spot, TomlPlace place) {
        const bool deep = too_deep(spot, place);
        if (deep) return Verdict::TooDeep;
        return items_ > kMaxTomlItems ? Verdict::TooMany : Verdict::Fine;
    }

  private:
    bool too_deep(const TomlSpot& spot, TomlPlace place) {
        if (spot.line != line_) start_line(spot.line);
        if (place != TomlPlace::Bare) return false;
        const char c = text_[spot.index];
        if (in_key_) {
            if (c == '[' && frames_.empty()) {
                if (!in_header_) {
                    in_header_ = true;
                    header_dots_ = 0;
                    depth_ = 0;  // a header names its table from the top
                    ++items_;
                    return deeper();
                }
                return false;
            }
            if (c == '.') {
                if (in_header_) ++header_dots_;
                return deeper();
            }
            if (c == ']' && in_header_) {
                in_header_ = false;
                in_key_ = false;
                header_depth_ = header_dots_;
                return false;
            }
            if (c == '=') {
                in_key_ = false;
                ++items_;
                return false;
            }
        }
        switch (c) {
            case '[':
            case '{':
                ++items_;
                frames_.push_back(Frame{c, depth_, depth_ + 1});
                in_key_ = c == '{';
                return deeper();
            case ']':
            case '}':
                if (!frames_.empty()) {
                    depth_ = frames_.back().outer;
                    frames_.pop_back();
                }
                in_key_ = false;
                return false;
            case ',':
                if (!frames_.empty()) {
                    depth_ = frames_.back().inner;
                    in_key_ = frames_.back().bracket == '{';
                    // The next array element; an inline table's next key counts at its '='.
                    if (!in_key_) ++items_;
                }
                return false;
            default:
                return false;
        }
    }

    struct Frame {
        char bracket;
        int outer;  // depth before the bracket
        int inner;  // depth of what the bracket holds
    };

    void start_line(std::size_t line) {
        line_ = line;
        in_header_ = false;
        // Only an array goes on past the end of its line.
        if (frames_.empty()) {
            in_key_ = true;
            depth_ = header_depth_;
        }
    }

    bool deeper() { return ++depth_ > kMaxTomlNesting; }

    std::string_view text_;
    std::size_t line_ = 0;
    std::vector<Frame> frames_;
    int depth_ = 0;
    int header_depth_ = 0;
    int header_dots_ = 0;
    bool in_key_ = true;
    bool in_header_ = false;
    std::size_t items_ = 0;  // keys, tables, arrays and array elements so far
};

// The first place where the text nests too deep or holds too many items, before a parser builds
// anything from it.
std::optional<TomlProblem> shape_problem(std::string_view text) {
    NestingWalk walk(text);
    NestingWalk::Verdict verdict = NestingWalk::Verdict::Fine;
    const auto found = find_in_toml(text, [&](const TomlSpot& spot, TomlPlace place) {
        verdict = walk.step(spot, place);
        return verdict != NestingWalk::Verdict::Fine;
    });
    if (!found) return std::nullopt;
    const std::size_t column = found->index - found->line_start + 1;
    if (verdict == NestingWalk::Verdict::TooDeep)
        return TomlProblem{found->line, column,
                           "nested more than " + std::to_string(kMaxTomlNesting) + " levels deep"};
    return TomlProblem{found->line, column,
                       "more than " + std::to_string(kMaxTomlItems) + " keys, tables and values"};
}

// The key text of the line at `spot` that a "cannot redefine" error is about: for a table header
// what stands between its brackets, otherwise the key before the last '=' ahead of the value.
// Quoted parts are kept as written.
std::string key_at(std::string_view text, std::size_t line, std::size_t column) {
    std::size_t start = 0;
    for (std::size_t l = 1; l < line && start < text.size(); ++l) {
        const auto next = text.find('\n', start);
        start = next == std::string_view::npos ? text.size() : next + 1;
    }
    std::string_view row = text.substr(start);
    row = row.substr(0, row.find('\n'));
    const std::size_t end = std::min(row.size(), column > 0 ? column - 1 : 0);
    const auto trimmed = [](std::string_view part) {
        const auto first = part.find_first_not_of(" \t");
        if (first == std::string_view::npos) return std::string_view();
        return part.substr(first, part.find_last_not_of(" \t") - first + 1);
    };
    char quote = 0;
    std::size_t key_start = 0;
    std::string_view key;
    const std::string_view header = trimmed(row);
    const bool is_header = header.starts_with('[');
    std::size_t i = is_header ? row.find('[') + (header.starts_with("[[") ? 2 : 1) : 0;
    const std::size_t header_start = i;
    for (; i < (is_header ? row.size() : end); ++i) {
        const char c = row[i];
        if (quote != 0) {
            if (c == '\\' && quote == '"') {
                ++i;
            } else if (c == quote) {
                quote = 0;
            }
            continue;
        }
        if (c == '"' || c == '\'') {
            quote = c;
        } else if (is_header && c == ']') {
            return std::string(trimmed(row.substr(header_start, i - header_start)));
        } else if (!is_header && (c == '{' || c == ',')) {
            key_start = i + 1;
        } else if (!is_header && c == '=') {
            key = trimmed(row.substr(key_start, i - key_start));
        }
    }
    return std::string(key);
}

// toml++ garbles the name of a quoted key it refuses to redefine ('"ababc" ' for "abc"), so
// the name is put back as the file has it.
std::string with_key_as_written(std::string description, std::string_view text, std::size_t line,
                                std::size_t column) {
    constexpr std::string_view redefine = "cannot redefine existing ";
    const auto at = description.find(redefine);
    if (at == std::string::npos) return description;
    const auto quote = description.find('\'', at);
    if (quote == std::string::npos) return description;
    const std::string key = key_at(text, line, column);
    if (key.empty()) return description;
    description.replace(quote, std::string::npos, "'" + clipped_echo(key) + "'");
    return description;
}

}  // namespace

std::optional<TomlHazard> find_toml_hazard(std::string_view text) {
    if (std::all_of(text.begin(), text.end(), is_ascii)) return std::nullopt;
    // The stand-in below goes to the parser, which must never see a text of such a shape.
    if (auto deep = shape_problem(text))
        return TomlHazard{deep->line, deep->column, std::move(deep->message)};
    std::string stand_in(text);
    std::replace_if(
        stand_in.begin(), stand_in.end(), [](char c) { return !is_ascii(c); }, '@');
    try {
        (void)toml::parse(stand_in);
    } catch (const toml::parse_error& e) {
        const auto line = static_cast<std::size_t>(e.source().begin.line);
        const auto column = static_cast<std::size_t>(e.source().begin.column);
        // toml++ counts columns in bytes here, and every stand-in is one byte.
        std::size_t start = 0;
        for (std::size_t l = 1; l < line && start != std::string_view::npos; ++l) {
            start = text.find('\n', start);
            if (start != std::string_view::npos) ++start;
        }
        const std::size_t at = start == std::string_view::npos ? text.size() : start + column - 1;
        const bool on_stand_in = at < text.size() && !is_ascii(text[at]);
        return TomlHazard{
            line, column,
            on_stand_in ? std::string(kTomlHazardMessage) : std::string(e.description())};
    }
    const auto found = find_in_toml(
        text, [&](const TomlSpot& spot, TomlPlace) { return !is_ascii(text[spot.index]); });
    if (!found) return std::nullopt;
    // Columns count characters: every byte but UTF-8 continuation bytes starts one.
    std::size_t column = 1;
    for (std::size_t k = found->line_start; k < found->index; ++k)
        if ((static_cast<unsigned char>(text[k]) & 0xC0) != 0x80) ++column;
    return TomlHazard{found->line, column, std::string(kTomlHazardMessage)};
}

TomlReading parse_toml(std::string_view text) {
    // Some editors start a UTF-8 file with a byte-order mark; it says nothing about the settings.
    constexpr std::string_view byte_order_mark = "\xEF\xBB\xBF";
    if (text.starts_with(byte_order_mark)) text.remove_prefix(byte_order_mark.size());
    TomlReading reading;
    if (auto shape = shape_problem(text)) {
        reading.problem = std::move(shape);
        return reading;
    }
    if (auto hazard = find_toml_hazard(text)) {
        reading.problem = TomlProblem{hazard->line, hazard->column, std::move(hazard->message)};
        return reading;
    }
    try {
        reading.table = toml::parse(text);
    } catch (const toml::parse_error& e) {
        const auto line = static_cast<std::size_t>(e.source().begin.line);
        const auto column = static_cast<std::size_t>(e.source().begin.column);
        reading.problem = TomlProblem{
            line, column, with_key_as_written(std::string(e.description()), text, line, column)};
    }
    return reading;
}

}  // namespace thumbrover
