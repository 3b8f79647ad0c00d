#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <functional>

namespace thumbrover {

// Tells when the settings file may have changed: saved in place, replaced by a rename (how most
// editors and the program itself save), removed or created again. The system tells of changes
// (inotify on Linux); nothing is polled. A burst of changes (an editor writing in several steps)
// is told once, shortly after it ends. Main thread only.
class SettingsFileWatch final : public QObject {
  public:
    static constexpr std::chrono::milliseconds kSettleTime{150};

    SettingsFileWatch(std::filesystem::path file, std::function<void()> changed,
                      std::chrono::milliseconds settle = kSettleTime);

    // Whether the file itself is watched now (false while it does not exist).
    [[nodiscard]] bool watching_file() const;

  private:
    void something_changed();
    void watch_file();

    QString file_;
    QString folder_;
    std::function<void()> changed_;
    QFileSystemWatcher watcher_;
    QTimer settle_;
};

}  // namespace thumbrover
