// GNOME keeps one acceleration setting for every mouse, in GSettings; mutter applies it to ours
// too. Read through GIO, which the session's own settings backend (dconf) plugs into: each read
// sees the value as it is now, without a main loop to deliver change signals.

#include <gio/gio.h>

#include <memory>

#include "linux/pointer_acceleration.hpp"

namespace thumbrover {
namespace {

constexpr const char* kSchema = "org.gnome.desktop.peripherals.mouse";

struct ObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
struct SchemaUnref {
    void operator()(GSettingsSchema* schema) const { g_settings_schema_unref(schema); }
};
struct FreeText {
    void operator()(gchar* text) const { g_free(text); }
};

class GnomeMouseReader final : public MouseSettingReader {
  public:
    explicit GnomeMouseReader(GSettings* settings) : settings_(settings) {}
    [[nodiscard]] std::string_view desktop() const override { return "GNOME"; }

    [[nodiscard]] std::optional<DesktopAcceleration> read() override {
        GSettings* settings = static_cast<GSettings*>(settings_.get());
        const std::unique_ptr<gchar, FreeText> profile(
            g_settings_get_string(settings, "accel-profile"));
        DesktopAcceleration acceleration;
        // "default" is each device's own default, which for a mouse is adaptive.
        if (profile && std::string_view(profile.get()) == "flat")
            acceleration.profile = AccelerationProfile::Flat;
        acceleration.speed = g_settings_get_double(settings, "speed");
        return acceleration;
    }

  private:
    std::unique_ptr<void, ObjectUnref> settings_;
};

}  // namespace

std::unique_ptr<MouseSettingReader> make_gnome_mouse_reader() {
    // Made without looking first, GSettings aborts the process for a schema that is not there.
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    if (source == nullptr) return nullptr;
    const std::unique_ptr<GSettingsSchema, SchemaUnref> schema(
        g_settings_schema_source_lookup(source, kSchema, TRUE));
    if (!schema || !g_settings_schema_has_key(schema.get(), "accel-profile") ||
        !g_settings_schema_has_key(schema.get(), "speed"))
        return nullptr;
    return std::make_unique<GnomeMouseReader>(g_settings_new_full(schema.get(), nullptr, nullptr));
}

}  // namespace thumbrover
