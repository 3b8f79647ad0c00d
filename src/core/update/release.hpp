#pragma once

#include <string>
#include <string_view>

#include "core/common/result.hpp"

namespace thumbrover {

// What the version endpoint says about the current release. `notes` is plain text: whoever shows
// it must show it literally and never let a toolkit interpret it as markup, since it comes from
// the network.
struct Release {
    std::string version;
    std::string url;
    std::string notes;

    friend bool operator==(const Release&, const Release&) = default;
};

// Reads the endpoint's JSON object. "version", "url" and "notes" are required strings; other
// members are ignored. A syntax error fails with the parser's description followed by
// " at line N column M".
[[nodiscard]] Result<Release> release_from_json(std::string_view json);

// Refuses a release that must not be offered: a version that does not parse fails with
// "bad version {version}", a link that is not https with "bad download link {url}".
[[nodiscard]] Result<void> validate_release(const Release& release);

// Whether a link may be handed to the system's opener: only https pages are.
[[nodiscard]] bool is_https_link(std::string_view url) noexcept;

}  // namespace thumbrover
