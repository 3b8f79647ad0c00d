#include "linux/dbus_front_app.hpp"

#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <optional>
#include <system_error>
#include <utility>

#include "core/common/diag.hpp"
#include "core/common/files.hpp"
#include "linux/desktop_names.hpp"
#include "linux/front_app.hpp"

// Qt last: its `emit` macro would otherwise rewrite a name in the core's headers.
#include <QObject>
#include <QThread>
#include <QTimer>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusConnectionInterface>
#include <QtDBus/QDBusContext>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusReply>
#include <QtDBus/QDBusServiceWatcher>

namespace thumbrover {
namespace {

constexpr int kCallTimeoutMs = 3000;
// How long a list of windows is waited for before the list is given as empty.
constexpr int kListTimeoutMs = 2000;

const QString kKWinService = QStringLiteral("org.kde.KWin");
const QString kKWinScriptingPath = QStringLiteral("/Scripting");
const QString kKWinScripting = QStringLiteral("org.kde.kwin.Scripting");
const QString kFollowPlugin = QStringLiteral("thumbrover-front-app");

QString qt(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string identity(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return app_id_of_class(
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

// Each thread's own connection, so that what one waits for never waits on another's.
QDBusConnection private_bus(const QString& name) {
    return QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
}

QString connection_name(const char* what) {
    static std::atomic<unsigned> serial{0};
    return QStringLiteral("thumbrover-%1-%2").arg(QLatin1String(what)).arg(serial.fetch_add(1));
}

bool has_owner(const QString& service) {
    QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    return bus != nullptr && bus->isServiceRegistered(service).value();
}

// The applications named by one identity a line, as the script and the extension give them.
std::vector<RunningApp> apps_from_lines(const QStringList& lines) {
    std::vector<std::string> ids;
    for (const QString& line : lines)
        ids.push_back(identity(line));
    return named_apps(ids, application_folders());
}

// ---------------------------------------------------------------------------------- KWin

// The script KWin runs: it reports the window activated, and with `list` the windows there are
// once, to the object of the connection named `service`. Plasma 6 names windows "window", Plasma
// 5 "client"; a Wayland window's resourceClass is its app_id and an X window's its class, as
// in an X11 session (a string from Plasma 6 on; before, desktopFileName stands in).
std::string kwin_script(const QString& service, bool list) {
    std::string script =
        "function identity(w) {\n"
        "    if (!w) return \"\";\n"
        "    var c = w.resourceClass;\n"
        "    if (typeof c === \"string\" && c.length > 0) return c;\n"
        "    return String(w.desktopFileName || \"\");\n"
        "}\n"
        "function call(method, text) {\n"
        "    callDBus(\"" +
        service.toStdString() + "\", \"" + std::string(front_app_bus::kPath) + "\", \"" +
        std::string(front_app_bus::kInterface) +
        "\", method, text);\n"
        "}\n";
    if (list) {
        script +=
            "var all = workspace.windowList ? workspace.windowList() : workspace.clientList();\n"
            "var ids = [];\n"
            "for (var i = 0; i < all.length; ++i)\n"
            "    if (all[i].normalWindow) ids.push(identity(all[i]));\n"
            "call(\"Windows\", ids.join(\"\\n\"));\n";
    } else {
        script +=
            "function report(w) { call(\"Activated\", identity(w)); }\n"
            "if (workspace.windowActivated) {\n"
            "    workspace.windowActivated.connect(report);\n"
            "    report(workspace.activeWindow);\n"
            "} else {\n"
            "    workspace.clientActivated.connect(report);\n"
            "    report(workspace.activeClient);\n"
            "}\n";
    }
    return script;
}

// A file that KWin reads the script from when it runs it; removed with the object.
class ScriptFile {
  public:
    static std::optional<ScriptFile> write(const std::string& text) {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        const char* tmp = std::getenv("TMPDIR");
        std::string path = runtime != nullptr && *runtime != '\0' ? runtime
                           : tmp != nullptr && *tmp != '\0'       ? tmp
                                                                  : "/tmp";
        path += "/thumbrover-kwin-XXXXXX.js";
        UniqueFd fd(::mkstemps(path.data(), 3));
        if (!fd.valid()) return std::nullopt;
        ScriptFile file(path);
        std::size_t written = 0;
        while (written < text.size()) {
            const ssize_t n = ::write(fd.get(), text.data() + written, text.size() - written);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return std::nullopt;
            written += static_cast<std::size_t>(n);
        }
        return file;
    }
    ScriptFile(ScriptFile&& other) noexcept : path_(std::exchange(other.path_, {})) {}
    ScriptFile& operator=(ScriptFile&&) = delete;
    ScriptFile(const ScriptFile&) = delete;
    ScriptFile& operator=(const ScriptFile&) = delete;
    ~ScriptFile() {
        if (!path_.empty()) ::unlink(path_.c_str());
    }
    [[nodiscard]] const std::string& path() const { return path_; }

  private:
    explicit ScriptFile(std::string path) : path_(std::move(path)) {}
    std::string path_;
};

QDBusMessage scripting_call(const QString& method, const QVariantList& args) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(kKWinService, kKWinScriptingPath, kKWinScripting, method);
    call.setArguments(args);
    return call;
}

// A script loaded into KWin and running, unloaded again with the object.
class LoadedScript {
  public:
    static Result<std::unique_ptr<LoadedScript>> load(QDBusConnection bus, const QString& plugin,
                                                      const std::string& text) {
        auto file = ScriptFile::write(text);
        if (!file) return Error{"the script for KWin could not be written: " + errno_text(errno)};
        // One left loaded by a run that ended without unloading it would keep the name.
        bus.call(scripting_call(QStringLiteral("unloadScript"), {plugin}), QDBus::Block,
                 kCallTimeoutMs);
        const QDBusMessage loaded =
            bus.call(scripting_call(QStringLiteral("loadScript"), {qt(file->path()), plugin}),
                     QDBus::Block, kCallTimeoutMs);
        if (loaded.type() != QDBusMessage::ReplyMessage || loaded.arguments().isEmpty() ||
            loaded.arguments().front().toInt() < 0)
            return Error{"KWin did not load the script: " + loaded.errorMessage().toStdString()};
        auto script =
            std::unique_ptr<LoadedScript>(new LoadedScript(bus, plugin, std::move(*file)));
        const QDBusMessage started =
            bus.call(scripting_call(QStringLiteral("start"), {}), QDBus::Block, kCallTimeoutMs);
        if (started.type() != QDBusMessage::ReplyMessage)
            return Error{"KWin did not run the script: " + started.errorMessage().toStdString()};
        return script;
    }
    LoadedScript(const LoadedScript&) = delete;
    LoadedScript& operator=(const LoadedScript&) = delete;
    ~LoadedScript() {
        bus_.call(scripting_call(QStringLiteral("unloadScript"), {plugin_}), QDBus::Block,
                  kCallTimeoutMs);
    }

  private:
    LoadedScript(QDBusConnection bus, QString plugin, ScriptFile file)
        : bus_(std::move(bus)), plugin_(std::move(plugin)), file_(std::move(file)) {}
    QDBusConnection bus_;
    QString plugin_;
    ScriptFile file_;
};

}  // namespace

// What KWin's script calls. Only KWin is listened to: any other program on the session bus could
// call the same methods.
class KWinReceiver : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "app.thumbrover.FrontApp1")
  public:
    KWinReceiver(QDBusConnection bus, std::function<void(const QString& method, QString text)> got)
        : bus_(std::move(bus)), got_(std::move(got)) {
        if (QDBusConnectionInterface* names = bus_.interface())
            kwin_ = names->serviceOwner(kKWinService).value();
    }
    [[nodiscard]] bool registered() {
        return bus_.registerObject(qt(front_app_bus::kPath), this,
                                   QDBusConnection::ExportScriptableSlots);
    }

  public slots:
    Q_SCRIPTABLE void Activated(const QString& id) { take(QStringLiteral("Activated"), id); }
    Q_SCRIPTABLE void Windows(const QString& ids) { take(QStringLiteral("Windows"), ids); }

  private:
    void take(const QString& method, const QString& text) {
        if (!calledFromDBus() || kwin_.isEmpty() || message().service() != kwin_) return;
        got_(method, text);
    }

    QDBusConnection bus_;
    std::function<void(const QString&, QString)> got_;
    QString kwin_;
};

// The follower's thread, or one that fetches the list of windows once.
class KWinFrontAppWatcher::Thread final : public QThread {
  public:
    // `changed` set: follows until destroyed; otherwise lists the windows and ends.
    explicit Thread(std::function<void(std::string)> changed) : changed_(std::move(changed)) {}
    ~Thread() override {
        quit();
        wait();
    }
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    [[nodiscard]] std::vector<RunningApp> windows() const { return windows_; }

  protected:
    void run() override {
        setObjectName(QStringLiteral("front-app"));
        const bool following = static_cast<bool>(changed_);
        const QString name = connection_name(following ? "kwin-follow" : "kwin-list");
        {
            QDBusConnection bus = private_bus(name);
            std::string last;
            bool told = false;
            KWinReceiver receiver(bus, [&](const QString& method, const QString& text) {
                if (method == QStringLiteral("Windows") && !following) {
                    windows_ = apps_from_lines(text.split(QLatin1Char('\n')));
                    quit();
                } else if (method == QStringLiteral("Activated") && following) {
                    std::string id = identity(text);
                    if (told && id == last) return;
                    told = true;
                    last = id;
                    changed_(std::move(id));
                }
            });
            if (!bus.isConnected() || !receiver.registered()) {
                if (following)
                    diag("the bindings of each application are not used: no D-Bus session");
            } else {
                const QString plugin =
                    following ? kFollowPlugin : QStringLiteral("thumbrover-window-list-") + name;
                auto script =
                    LoadedScript::load(bus, plugin, kwin_script(bus.baseService(), !following));
                if (!script) {
                    if (following)
                        diag("the bindings of each application are not used: " + script.error());
                } else {
                    if (!following)
                        QTimer::singleShot(kListTimeoutMs, &receiver, [this] { quit(); });
                    exec();
                }
            }
        }
        QDBusConnection::disconnectFromBus(name);
    }

  private:
    std::function<void(std::string)> changed_;
    std::vector<RunningApp> windows_;
};

KWinFrontAppWatcher::KWinFrontAppWatcher() = default;
KWinFrontAppWatcher::~KWinFrontAppWatcher() = default;

bool KWinFrontAppWatcher::offered() {
    return has_owner(kKWinService);
}

void KWinFrontAppWatcher::watch(std::function<void(std::string)> changed) {
    if (thread_ || !changed) return;
    thread_ = std::make_unique<Thread>(std::move(changed));
    thread_->start();
}

std::vector<RunningApp> KWinFrontAppWatcher::running_apps() {
    Thread lister{nullptr};
    lister.start();
    lister.wait();
    return lister.windows();
}

// ---------------------------------------------------------------------------------- GNOME

std::string gnome_extension_note(bool installed) {
    if (!installed)
        return "GNOME tells which application is in front only to Thumbrover's GNOME Shell "
               "extension, which is not installed (the package and make install put it in place).";
    return "To use each application's own buttons, switch on Thumbrover's GNOME Shell extension: "
           "run `gnome-extensions enable " +
           std::string(front_app_bus::kExtensionUuid) + "`; GNOME loads it at the next log-in.";
}

// Hands the extension's signal on; a slot by name, as QtDBus connects signals.
class FrontRelay : public QObject {
    Q_OBJECT
  public:
    explicit FrontRelay(std::function<void(const QString&)> got) : got_(std::move(got)) {}
  public slots:
    void take(const QString& id) { got_(id); }

  private:
    std::function<void(const QString&)> got_;
};

class GnomeFrontAppWatcher::Thread final : public QThread {
  public:
    explicit Thread(std::function<void(std::string)> changed) : changed_(std::move(changed)) {}
    ~Thread() override {
        quit();
        wait();
    }
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

  protected:
    void run() override {
        setObjectName(QStringLiteral("front-app"));
        const QString name = connection_name("gnome-follow");
        {
            QDBusConnection bus = private_bus(name);
            if (!bus.isConnected()) {
                diag("the bindings of each application are not used: no D-Bus session");
            } else {
                follow(bus);
            }
        }
        QDBusConnection::disconnectFromBus(name);
    }

  private:
    void follow(QDBusConnection& bus) {
        const QString service = qt(front_app_bus::kService);
        const QString path = qt(front_app_bus::kPath);
        const QString interface = qt(front_app_bus::kInterface);
        std::optional<std::string> last;
        const auto report = [&](std::string id) {
            if (last == id) return;
            last = id;
            changed_(std::move(id));
        };
        const auto ask = [&] {
            const QDBusMessage reply = bus.call(
                QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("Front")),
                QDBus::Block, kCallTimeoutMs);
            report(reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
                       ? identity(reply.arguments().front().toString())
                       : std::string());
        };
        FrontRelay relay([&](const QString& id) { report(identity(id)); });
        // Subscribed before the first question, so that no change falls between the two.
        bus.connect(service, path, interface, QStringLiteral("FrontChanged"), &relay,
                    SLOT(take(QString)));
        QDBusServiceWatcher extension(service, bus,
                                      QDBusServiceWatcher::WatchForRegistration |
                                          QDBusServiceWatcher::WatchForUnregistration);
        QObject::connect(&extension, &QDBusServiceWatcher::serviceRegistered, &relay, ask);
        QObject::connect(&extension, &QDBusServiceWatcher::serviceUnregistered, &relay,
                         [&] { report(std::string()); });
        ask();
        exec();
    }

  private:
    std::function<void(std::string)> changed_;
};

GnomeFrontAppWatcher::GnomeFrontAppWatcher() = default;
GnomeFrontAppWatcher::~GnomeFrontAppWatcher() = default;

bool GnomeFrontAppWatcher::offered() {
    return has_owner(QStringLiteral("org.gnome.Shell"));
}

bool GnomeFrontAppWatcher::extension_installed() {
    const std::string folder =
        "gnome-shell/extensions/" + std::string(front_app_bus::kExtensionUuid) + "/metadata.json";
    for (const std::filesystem::path& base : data_folders()) {
        std::error_code error;
        if (std::filesystem::is_regular_file(base / folder, error)) return true;
    }
    return false;
}

bool GnomeFrontAppWatcher::available() const {
    return has_owner(qt(front_app_bus::kService));
}

std::string GnomeFrontAppWatcher::note() const {
    if (available()) return {};
    return gnome_extension_note(extension_installed());
}

void GnomeFrontAppWatcher::watch(std::function<void(std::string)> changed) {
    if (thread_ || !changed) return;
    thread_ = std::make_unique<Thread>(std::move(changed));
    thread_->start();
}

std::vector<RunningApp> GnomeFrontAppWatcher::running_apps() {
    const QDBusMessage reply = QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall(qt(front_app_bus::kService), qt(front_app_bus::kPath),
                                       qt(front_app_bus::kInterface),
                                       QStringLiteral("RunningApps")),
        QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
    return apps_from_lines(reply.arguments().front().toStringList());
}

}  // namespace thumbrover

#include "dbus_front_app.moc"
