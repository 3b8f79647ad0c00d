#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QObject>
#include <QThread>
#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <vector>

#include "linux/tray_host.hpp"
#include "qt/windows/window_test_support.hpp"

namespace thumbrover::testing {
namespace {

using namespace std::chrono_literals;

const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");

// The watcher a panel runs, with or without a host (the panel's tray) registered with it.
class FakeWatcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ host_registered)

  public:
    [[nodiscard]] bool host_registered() const { return host_; }
    void set_host(bool host) {
        host_ = host;
        if (host)
            emit StatusNotifierHostRegistered();
        else
            emit StatusNotifierHostUnregistered();
    }

  Q_SIGNALS:
    void StatusNotifierHostRegistered();
    void StatusNotifierHostUnregistered();

  private:
    std::atomic<bool> host_{false};
};

// A panel on a connection and thread of its own: it answers while the test's thread waits for
// the answer.
class Panel : public QThread {
  public:
    explicit Panel(bool host) : host_(host) {}
    ~Panel() override {
        quit();
        wait();
    }

    // Runs on the panel's thread.
    void set_host(bool host) {
        QMetaObject::invokeMethod(
            watcher_, [this, host] { watcher_->set_host(host); }, Qt::BlockingQueuedConnection);
    }
    void go_away() {
        QMetaObject::invokeMethod(
            watcher_, [] { QDBusConnection(QStringLiteral("panel")).unregisterService(kWatcher); },
            Qt::BlockingQueuedConnection);
    }
    [[nodiscard]] bool ready() const { return ready_; }

  protected:
    void run() override {
        {
            QDBusConnection bus =
                QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("panel"));
            FakeWatcher watcher;
            if (host_) watcher.set_host(true);
            watcher_ = &watcher;
            bus.registerObject(
                QStringLiteral("/StatusNotifierWatcher"), &watcher,
                QDBusConnection::ExportAllProperties | QDBusConnection::ExportAllSignals);
            bus.registerService(kWatcher);
            ready_ = true;
            exec();
            bus.unregisterService(kWatcher);
            watcher_ = nullptr;
        }
        QDBusConnection::disconnectFromBus(QStringLiteral("panel"));
    }

  private:
    bool host_;
    FakeWatcher* watcher_ = nullptr;
    std::atomic<bool> ready_{false};
};

bool eventually(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + 3s;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

TEST(TrayHost, AStartWithoutAHostIsToldWhenAPanelsTrayComesAndGoes) {
    windows_app();
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "the tests run with a session bus";
    ASSERT_FALSE(QDBusConnection::sessionBus().interface()->isServiceRegistered(kWatcher));
    StatusNotifierHostWatch watch;
    EXPECT_FALSE(watch.available());
    std::vector<bool> told;
    watch.on_change([&told](bool available) { told.push_back(available); });

    // A panel starts, its tray a moment later.
    Panel panel(false);
    panel.start();
    ASSERT_TRUE(eventually([&] { return panel.ready(); }));
    // A panel without its tray yet is no tray.
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_TRUE(told.empty());
    panel.set_host(true);
    ASSERT_TRUE(eventually([&] { return told == std::vector<bool>{true}; }));
    EXPECT_TRUE(watch.available());

    // The tray goes, then the whole panel.
    panel.set_host(false);
    ASSERT_TRUE(eventually([&] { return told == std::vector<bool>{true, false}; }));
    panel.set_host(true);
    ASSERT_TRUE(eventually([&] { return told.size() == 3; }));
    panel.go_away();
    ASSERT_TRUE(eventually([&] { return told == std::vector<bool>{true, false, true, false}; }));
    EXPECT_FALSE(watch.available());
}

TEST(TrayHost, AnXEmbedTrayAtStartCountsAndAHostThereAtStartIsSeen) {
    windows_app();
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected());
    EXPECT_TRUE(StatusNotifierHostWatch(QDBusConnection::sessionBus(), true).available());
    Panel panel(true);
    panel.start();
    ASSERT_TRUE(eventually([&] { return panel.ready(); }));
    EXPECT_TRUE(StatusNotifierHostWatch().available());
}

}  // namespace
}  // namespace thumbrover::testing

#include "tray_host_test.moc"
