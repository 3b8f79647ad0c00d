#include "linux/uinput_output.hpp"

#include <fcntl.h>
#include <libevdev/libevdev-uinput.h>
#include <libevdev/libevdev.h>
#include <linux/input.h>
#include <unistd.h>

#include <QString>
#include <QVariant>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusVariant>
#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "core/common/diag.hpp"

namespace thumbrover {
namespace {

constexpr const char* kEventError = "could not create an input event";
constexpr const char* kUinputPath = "/dev/uinput";

struct EvdevFree {
    void operator()(libevdev* dev) const { libevdev_free(dev); }
};
struct UinputFree {
    void operator()(libevdev_uinput* u) const { libevdev_uinput_destroy(u); }
};

// One virtual device: libevdev's record of it, destroyed (the kernel removes the device) before
// the descriptor it was made on closes.
class UinputDeviceSink final : public EvdevSink {
  public:
    UinputDeviceSink(UniqueFd fd, std::unique_ptr<libevdev_uinput, UinputFree> device)
        : sink_(std::move(fd)), device_(std::move(device)) {}
    ~UinputDeviceSink() override { device_.reset(); }
    [[nodiscard]] Result<void> write(std::span<const input_event> events) override {
        return sink_.write(events);
    }

  private:
    FdEvdevSink sink_;
    std::unique_ptr<libevdev_uinput, UinputFree> device_;
};

Result<std::unique_ptr<EvdevSink>> create_device(
    std::string_view name, std::uint16_t product,
    const std::vector<std::pair<unsigned, std::vector<std::uint16_t>>>& codes,
    std::string* node = nullptr) {
    UniqueFd fd(::open(kUinputPath, O_RDWR | O_CLOEXEC));
    if (!fd.valid()) {
        const int error = errno;
        return Error{describe_uinput_problem(error, false).what};
    }
    const std::unique_ptr<libevdev, EvdevFree> dev(libevdev_new());
    if (!dev) return Error{"could not create a virtual input device: out of memory"};
    const std::string owned_name(name);
    libevdev_set_name(dev.get(), owned_name.c_str());
    libevdev_set_id_bustype(dev.get(), kUinputBus);
    libevdev_set_id_vendor(dev.get(), kUinputVendor);
    libevdev_set_id_product(dev.get(), product);
    libevdev_set_id_version(dev.get(), 1);
    for (const auto& [type, list] : codes) {
        for (const std::uint16_t code : list) {
            if (libevdev_enable_event_code(dev.get(), type, code, nullptr) != 0) {
                return Error{"could not create a virtual input device: cannot declare its keys"};
            }
        }
    }
    libevdev_uinput* created = nullptr;
    const int status = libevdev_uinput_create_from_device(dev.get(), fd.get(), &created);
    if (status != 0) {
        return Error{"could not create a virtual input device: " + errno_text(-status)};
    }
    if (node != nullptr) {
        const char* path = libevdev_uinput_get_devnode(created);
        *node = path != nullptr ? path : "";
    }
    return std::unique_ptr<EvdevSink>(std::make_unique<UinputDeviceSink>(
        std::move(fd), std::unique_ptr<libevdev_uinput, UinputFree>(created)));
}

bool uinput_rule_installed() {
    for (const char* dir : {"/etc/udev/rules.d", "/run/udev/rules.d", "/usr/local/lib/udev/rules.d",
                            "/usr/lib/udev/rules.d", "/lib/udev/rules.d"}) {
        std::error_code error;
        if (std::filesystem::exists(std::filesystem::path(dir) / kUinputRuleFile, error))
            return true;
    }
    return false;
}

std::optional<std::string> environment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

// systemd-localed's X11 layout and variant, the system's keyboard as the installer or
// `localectl set-x11-keymap` set it. None without a system bus or a localed.
std::optional<LayoutNames> localed_layout() {
    const QString connection_name = QStringLiteral("thumbrover-localed");
    std::optional<LayoutNames> names;
    {
        QDBusConnection bus =
            QDBusConnection::connectToBus(QDBusConnection::SystemBus, connection_name);
        if (bus.isConnected()) {
            const auto property = [&bus](const char* name) -> std::optional<std::string> {
                QDBusMessage call = QDBusMessage::createMethodCall(
                    QStringLiteral("org.freedesktop.locale1"),
                    QStringLiteral("/org/freedesktop/locale1"),
                    QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
                call << QStringLiteral("org.freedesktop.locale1") << QString::fromUtf8(name);
                const QDBusMessage reply = bus.call(call, QDBus::Block, 2000);
                if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
                    return std::nullopt;
                const QVariant value = reply.arguments().front().value<QDBusVariant>().variant();
                return value.toString().toStdString();
            };
            const auto layout = property("X11Layout");
            if (layout) names = LayoutNames{*layout, property("X11Variant").value_or("")};
        }
    }
    QDBusConnection::disconnectFromBus(connection_name);
    return names;
}

}  // namespace

Result<void> FdEvdevSink::write(std::span<const input_event> events) {
    const auto* bytes = reinterpret_cast<const char*>(events.data());
    const std::size_t size = events.size_bytes();
    ssize_t written = 0;
    do {
        written = ::write(fd_.get(), bytes, size);
    } while (written < 0 && errno == EINTR);
    // The kernel takes whole events or none; a part would leave the device's reader out of step.
    if (written != static_cast<ssize_t>(size)) return Error{kEventError};
    return {};
}

UinputProblem describe_uinput_problem(int error_number, bool rule_installed) {
    const std::string reason = errno_text(error_number);
    if (error_number == ENOENT || error_number == ENODEV || error_number == ENXIO) {
        return {error_number,
                "/dev/uinput is missing: the uinput kernel module is not loaded (" + reason + ")",
                "sudo modprobe uinput"};
    }
    const std::string reapply =
        "sudo udevadm control --reload && sudo udevadm trigger --sysname-match=uinput";
    if (rule_installed) {
        return {error_number,
                "/dev/uinput is not writable for you (" + reason +
                    "): Thumbrover's udev rule has not been applied to it yet",
                reapply};
    }
    return {error_number,
            "/dev/uinput is not writable for you (" + reason +
                "): no udev rule gives the user at the seat access to it",
            "echo '" + std::string(kUinputUdevRule) + "' | sudo tee /etc/udev/rules.d/" +
                std::string(kUinputRuleFile) + " && " + reapply};
}

std::optional<UinputProblem> uinput_access_problem() {
    if (::access(kUinputPath, R_OK | W_OK) == 0) return std::nullopt;
    const int error = errno;
    return describe_uinput_problem(error, uinput_rule_installed());
}

Result<std::unique_ptr<UinputEventOutput>> UinputEventOutput::create(KeyboardLayout layout) {
    if (auto problem = uinput_access_problem()) return Error{problem->what};
    std::string pointer_node;
    auto pointer = create_device(
        kUinputPointerName, kUinputPointerProduct,
        {{EV_REL, uinput_pointer_axes()}, {EV_KEY, uinput_pointer_buttons()}}, &pointer_node);
    if (!pointer) return Error{pointer.error()};
    auto keyboard = create_device(kUinputKeyboardName, kUinputKeyboardProduct,
                                  {{EV_KEY, uinput_keyboard_keys()}});
    if (!keyboard) return Error{keyboard.error()};
    auto output = std::make_unique<UinputEventOutput>(std::move(layout), std::move(pointer).value(),
                                                      std::move(keyboard).value());
    output->pointer_node_ = std::move(pointer_node);
    return output;
}

UinputEventOutput::UinputEventOutput(KeyboardLayout layout, std::unique_ptr<EvdevSink> pointer,
                                     std::unique_ptr<EvdevSink> keyboard)
    : events_(std::move(layout)), pointer_(std::move(pointer)), keyboard_(std::move(keyboard)) {
    buffer_.reserve(32);
}

UinputEventOutput::~UinputEventOutput() {
    // Only then are the devices removed, so the desktop sees the releases first rather than
    // relying on its own clean-up of a vanished device.
    release_all();
}

void UinputEventOutput::release_all() {
    batch_.clear();
    events_.release_all(batch_);
    (void)flush();
}

Result<void> UinputEventOutput::perform(const OutputCommand& command) {
    batch_.clear();
    const Result<void> made = events_.translate(command, batch_);
    // Whatever the command decided before a failure still goes out, so that the held state the
    // logic recorded is what the desktop was told.
    const Result<void> written = flush();
    if (!made) return made;
    return written;
}

Result<void> UinputEventOutput::flush() {
    Result<void> result;
    const auto send = [&](const std::vector<EvdevEvent>& events, EvdevSink& sink) {
        if (events.empty()) return;
        buffer_.clear();
        for (const EvdevEvent& e : events) {
            input_event event{};
            event.type = e.type;
            event.code = e.code;
            event.value = e.value;
            buffer_.push_back(event);
        }
        if (!sink.write(buffer_)) result = Error{kEventError};
    };
    send(batch_.keyboard, *keyboard_);
    send(batch_.pointer, *pointer_);
    return result;
}

KeyboardLayout user_keyboard_layout() {
    const auto env_layout = environment("XKB_DEFAULT_LAYOUT");
    std::optional<LayoutNames> localed;
    if (!env_layout || env_layout->empty()) localed = localed_layout();
    const LayoutNames names =
        choose_layout(env_layout, environment("XKB_DEFAULT_VARIANT"), std::move(localed));
    auto layout = KeyboardLayout::compile(names);
    if (layout) return std::move(layout).value();
    diag("keys are typed as on a US keyboard: " + layout.error());
    auto us = KeyboardLayout::compile({"us", ""});
    if (us) return std::move(us).value();
    // Without xkb data nothing can be looked up; letters and digits then fail as keys the layout
    // cannot type, while the layout-free keys still work.
    return KeyboardLayout{};
}

std::atomic<std::uint64_t>& uinput_recheck_counter() {
    static std::atomic<std::uint64_t> counter{0};
    return counter;
}

PendingUinputOutput::PendingUinputOutput(Factory factory, std::atomic<std::uint64_t>& recheck)
    : factory_(std::move(factory)), recheck_(recheck), tried_at_(recheck.load()) {}

Result<void> PendingUinputOutput::perform(const OutputCommand& command) {
    if (!output_) {
        const std::uint64_t now = recheck_.load(std::memory_order_relaxed);
        if (now == tried_at_) return {};
        tried_at_ = now;
        auto made = factory_();
        if (!made) return {};
        output_ = std::move(made).value();
        diag("/dev/uinput is accessible now: posting input through uinput");
    }
    return output_->perform(command);
}

}  // namespace thumbrover
