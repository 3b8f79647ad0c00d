#include "core/common/toml_guard.hpp"

namespace thumbrover {
namespace {

bool is_ascii(char c) {
    return static_cast<unsigned char>(c) < 0x80;
}

bool is_space_or_break(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

std::optional<TomlHazard> find_toml_hazard(std::string_view text) {
    enum class State { Plain, Comment, Basic, Literal, MultiBasic, MultiLiteral };
    State state = State::Plain;
    std::size_t line = 1;
    std::size_t line_start = 0;
    const auto opens = [&](std::size_t i, std::string_view what) {
        return text.substr(i, 3) == what;
    };
    const auto hazard_at = [&](std::size_t i) {
        // Columns count characters: every byte but UTF-8 continuation bytes starts one.
        std::size_t column = 1;
        for (std::size_t k = line_start; k < i; ++k)
            if ((static_cast<unsigned char>(text[k]) & 0xC0) != 0x80) ++column;
        return TomlHazard{line, column};
    };
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
                if (!is_ascii(c)) return hazard_at(i);
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
                    if (next < text.size() && !is_ascii(text[next])) return hazard_at(next);
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

}  // namespace thumbrover
