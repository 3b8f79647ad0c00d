#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <chrono>
#include <filesystem>
#include <functional>

namespace thumbrover {

// Starting the program again while it runs (from the application menu, say) shows the running
// copy's Settings window. The running copy answers on the session bus; the second copy asks it
// and then ends.
inline constexpr const char* kInstanceService = "app.thumbrover.Thumbrover";
inline constexpr const char* kInstancePath = "/app/thumbrover/Thumbrover";
inline constexpr const char* kInstanceInterface = "app.thumbrover.Thumbrover";

// The running copy's side: while it exists, a ShowSettings call on the bus runs `show_settings`
// on the main thread. Without a session bus, or when another program holds the name, it only
// says so on standard error; the program works on without it.
class SettingsRequestListener final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "app.thumbrover.Thumbrover")

  public:
    explicit SettingsRequestListener(std::function<void()> show_settings,
                                     QString service = QString::fromLatin1(kInstanceService),
                                     QDBusConnection bus = QDBusConnection::sessionBus());
    ~SettingsRequestListener() override;
    SettingsRequestListener(const SettingsRequestListener&) = delete;
    SettingsRequestListener& operator=(const SettingsRequestListener&) = delete;

    [[nodiscard]] bool listening() const { return listening_; }

  public Q_SLOTS:
    Q_SCRIPTABLE void ShowSettings();

  private:
    std::function<void()> show_settings_;
    QString service_;
    QDBusConnection bus_;
    bool listening_ = false;
};

// Whether another process holds the single-instance lock of `app_dir` right now. The lock is
// taken and let go again at once when it is free, so the engine can take it afterwards.
[[nodiscard]] bool instance_lock_held(const std::filesystem::path& app_dir);

// The second copy's side: asks the running copy to show its Settings window and waits up to
// `timeout` for the answer. True only when it answered.
[[nodiscard]] bool ask_running_copy_to_show_settings(
    QDBusConnection bus, QString service = QString::fromLatin1(kInstanceService),
    std::chrono::milliseconds timeout = std::chrono::seconds(3));

// Called at start, before the engine takes the lock: when another copy runs for the same
// application folder and shows its Settings window, prints "Thumbrover is already running" and
// returns true; the caller then ends with status 0 and no notification: the user sees the running
// copy's window, which is what the start asked for (and a service manager that restarts a failed
// start must not start it again and again). Otherwise nothing is printed and the start goes on (a
// copy that did not answer is then reported by the engine's own start-up as usual).
[[nodiscard]] bool hand_over_to_running_copy(const std::filesystem::path& app_dir);

}  // namespace thumbrover
