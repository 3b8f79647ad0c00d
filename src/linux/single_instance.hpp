#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <chrono>
#include <functional>

namespace thumbrover {

// Starting the program again while it runs (from the application menu, say) shows the running
// copy's Settings window. The running copy answers on the session bus; the second copy asks it
// and then ends.
inline constexpr const char* kInstanceService = "app.thumbrover.Thumbrover";
inline constexpr const char* kInstancePath = "/app/thumbrover/Thumbrover";
inline constexpr const char* kInstanceInterface = "app.thumbrover.Thumbrover";

// The running copy's side: while it exists, a ShowSettings call on the bus runs `show_settings`
// on the main thread. Only the copy holding the single-instance lock creates one. When the name
// still belongs to a copy that is on its way out, the request waits in the bus's queue and the
// name passes to this copy as soon as the other lets go. Without a session bus it only says so on
// standard error; the program works on without it.
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

// The second copy's side: asks the running copy to show its Settings window and waits up to
// `timeout` for the answer. True only when it answered.
[[nodiscard]] bool ask_running_copy_to_show_settings(
    QDBusConnection bus, QString service = QString::fromLatin1(kInstanceService),
    std::chrono::milliseconds timeout = std::chrono::seconds(3));

// Called at start, once the single-instance lock turned out to be held by another copy: asks that
// copy to show its Settings window, giving it up to `patience` to appear on the bus (it may have
// taken the lock a moment ago). When it answers, prints "Thumbrover is already running" and
// returns true; the caller then ends with status 0 and no notification: the user sees the running
// copy's window, which is what the start asked for (and a service manager that restarts a failed
// start must not start it again and again). Otherwise nothing is printed (the engine's own
// start-up reports it).
[[nodiscard]] bool hand_over_to_running_copy(
    QDBusConnection bus = QDBusConnection::sessionBus(),
    QString service = QString::fromLatin1(kInstanceService),
    std::chrono::milliseconds patience = std::chrono::seconds(3));

}  // namespace thumbrover
