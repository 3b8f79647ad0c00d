#include "qt/settings_file_watch.hpp"

#include <QFileInfo>
#include <utility>

namespace thumbrover {

SettingsFileWatch::SettingsFileWatch(std::filesystem::path file, std::function<void()> changed,
                                     std::chrono::milliseconds settle)
    : file_(QString::fromStdString(file.string())),
      folder_(QString::fromStdString(file.parent_path().string())),
      changed_(std::move(changed)) {
    settle_.setSingleShot(true);
    settle_.setInterval(static_cast<int>(settle.count()));
    connect(&settle_, &QTimer::timeout, this, [this] {
        // A rename over the file ends the watch of the old one; the new one is watched again.
        watch_file();
        if (changed_) changed_();
    });
    // The folder tells of a file created, removed or renamed over; the file of writes in place.
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this,
            [this] { something_changed(); });
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, [this] { something_changed(); });
    if (QFileInfo(folder_).isDir()) watcher_.addPath(folder_);
    watch_file();
}

bool SettingsFileWatch::watching_file() const {
    return watcher_.files().contains(file_);
}

void SettingsFileWatch::something_changed() {
    settle_.start();
}

void SettingsFileWatch::watch_file() {
    if (!watching_file() && QFileInfo::exists(file_)) watcher_.addPath(file_);
}

}  // namespace thumbrover
