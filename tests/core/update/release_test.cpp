#include "core/update/release.hpp"

#include <gtest/gtest.h>

#include <string>

#include "core/update/fetch.hpp"

namespace thumbrover {
namespace {

TEST(ReleaseJson, ReadsTheThreeMembersAndIgnoresOthers) {
    const auto release = release_from_json(R"({
        "version": "0.2.0",
        "url": "https://thumbrover.app/download",
        "notes": "Smoother <b>scrolling</b>\nand fixes",
        "published": 1700000000,
        "assets": [{"name": "x"}]
    })");
    ASSERT_TRUE(release) << release.error();
    EXPECT_EQ(release->version, "0.2.0");
    EXPECT_EQ(release->url, "https://thumbrover.app/download");
    EXPECT_EQ(release->notes, "Smoother <b>scrolling</b>\nand fixes");
}

TEST(ReleaseJson, EmptyNotesAreFine) {
    const auto release = release_from_json(R"({"version":"1","url":"https://a/b","notes":""})");
    ASSERT_TRUE(release) << release.error();
    EXPECT_EQ(release->notes, "");
}

struct BadJson {
    std::string name;
    std::string json;
    std::string error;
};

class ReleaseJsonErrors : public ::testing::TestWithParam<BadJson> {};

// Tests print their parameter with a failure and in the test list: its name, not its bytes.
void PrintTo(const BadJson& c, std::ostream* os) {
    *os << c.name;
}

TEST_P(ReleaseJsonErrors, GivesTheExactText) {
    const auto release = release_from_json(GetParam().json);
    ASSERT_FALSE(release);
    EXPECT_EQ(release.error(), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReleaseJsonErrors,
    ::testing::Values(
        BadJson{"MissingUrl", R"({"version":"0.2.0","notes":""})", "missing member \"url\""},
        BadJson{"MissingVersion", R"({"url":"https://a","notes":""})",
                "missing member \"version\""},
        BadJson{"MissingNotes", R"({"version":"0.2.0","url":"https://a"})",
                "missing member \"notes\""},
        BadJson{"NumberVersion", R"({"version":0.2,"url":"https://a","notes":""})",
                "member \"version\" is not a string"},
        BadJson{"NullNotes", R"({"version":"0.2","url":"https://a","notes":null})",
                "member \"notes\" is not a string"},
        BadJson{"Array", R"(["0.2.0"])", "the release is not a JSON object"},
        BadJson{"NotJson", "<html>Not Found</html>",
                "syntax error while parsing value - invalid literal; last read: '<' at line 1 "
                "column 1"},
        BadJson{"Empty", "",
                "syntax error while parsing value - unexpected end of input; expected '[', '{', "
                "or a literal at line 1 column 1"},
        BadJson{"ErrorOnThirdLine", "{\n  \"version\": \"0.2\",\n  \"url\": }",
                "syntax error while parsing value - unexpected '}'; expected '[', '{', or a "
                "literal at line 3 column 10"},
        BadJson{"TrailingText", "{} x",
                "syntax error while parsing value - invalid literal; last read: '{} x'; "
                "expected end of input at line 1 column 4"},
        BadJson{"HugeNumberInAnIgnoredMember",
                R"({"version":"0.2","url":"https://a","notes":"","size":1e400})",
                "number overflow parsing '1e400'"},
        BadJson{"Truncated", "{\"version\":",
                "syntax error while parsing value - unexpected end of input; expected '[', '{', "
                "or a literal at line 1 column 12"}),
    [](const auto& param_info) { return param_info.param.name; });

struct Validation {
    std::string name;
    Release release;
    std::string error;  // empty: valid
};

class ReleaseValidation : public ::testing::TestWithParam<Validation> {};

// Tests print their parameter with a failure and in the test list: its name, not its bytes.
void PrintTo(const Validation& c, std::ostream* os) {
    *os << c.name;
}

TEST_P(ReleaseValidation, RefusesWhatMustNotBeOffered) {
    const auto valid = validate_release(GetParam().release);
    if (GetParam().error.empty()) {
        EXPECT_TRUE(valid) << valid.error();
    } else {
        ASSERT_FALSE(valid);
        EXPECT_EQ(valid.error(), GetParam().error);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReleaseValidation,
    ::testing::Values(
        Validation{"Good", {"0.2.0", "https://thumbrover.app/download", ""}, ""},
        Validation{"LeadingV", {"v0.2", "https://a/b", ""}, ""},
        Validation{"PreRelease", {"0.2.0-rc1", "https://a/b", ""}, ""},
        Validation{"FourParts", {"0.2.0.1", "https://a/b", ""}, "bad version 0.2.0.1"},
        Validation{"Letters", {"0.x", "https://a/b", ""}, "bad version 0.x"},
        Validation{"EmptyVersion", {"", "https://a/b", ""}, "bad version "},
        Validation{"PlainHttp",
                   {"0.2.0", "http://thumbrover.app/download", ""},
                   "bad download link http://thumbrover.app/download"},
        Validation{
            "UpperCaseScheme", {"0.2.0", "HTTPS://a/b", ""}, "bad download link HTTPS://a/b"},
        Validation{"FileLink",
                   {"0.2.0", "file:///etc/passwd", ""},
                   "bad download link file:///etc/passwd"},
        Validation{"NoLink", {"0.2.0", "", ""}, "bad download link "},
        Validation{"VersionCheckedFirst", {"nope", "http://a", ""}, "bad version nope"}),
    [](const auto& param_info) { return param_info.param.name; });

TEST(UpdateEndpoint, IsAnHttpsVersionJsonAddress) {
    const std::string_view endpoint = update_endpoint();
    EXPECT_TRUE(endpoint.starts_with("https://")) << endpoint;
    EXPECT_TRUE(endpoint.ends_with("/version.json")) << endpoint;
}

}  // namespace
}  // namespace thumbrover
