#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QThread>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include "core/settings/app_folder.hpp"
#include "linux/single_instance.hpp"
#include "qt/windows/window_test_support.hpp"

namespace thumbrover::testing {
namespace {

// A second connection to the session bus stands for the second copy of the program.
QDBusConnection second_copy_bus() {
    return QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                         QStringLiteral("thumbrover-second-copy"));
}

QString test_service() {
    return QStringLiteral("app.thumbrover.Test%1").arg(QCoreApplication::applicationPid());
}

TEST(SingleInstance, TheRunningCopyShowsItsSettingsWhenAsked) {
    windows_app();
    if (!QDBusConnection::sessionBus().isConnected()) GTEST_SKIP() << "no session bus";
    int shown = 0;
    {
        SettingsRequestListener listener([&shown] { ++shown; }, test_service());
        ASSERT_TRUE(listener.listening());
        EXPECT_TRUE(ask_running_copy_to_show_settings(second_copy_bus(), test_service()));
        EXPECT_EQ(shown, 1);
    }
    // Once the running copy has gone, nobody answers and the start goes on as usual.
    EXPECT_FALSE(ask_running_copy_to_show_settings(second_copy_bus(), test_service(),
                                                   std::chrono::milliseconds(500)));
    EXPECT_EQ(shown, 1);
}

// Asks `done` until it holds, for up to three seconds.
bool eventually(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// A copy of the program answering on a connection and thread of its own, which it offers its
// name on only after `delay` (a copy still starting up).
class LateCopy : public QThread {
  public:
    LateCopy(QString service, std::chrono::milliseconds delay)
        : service_(std::move(service)), delay_(delay) {}
    [[nodiscard]] int shown() const { return shown_; }

  protected:
    void run() override {
        std::this_thread::sleep_for(delay_);
        QDBusConnection bus =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("late-copy"));
        {
            SettingsRequestListener listener([this] { ++shown_; }, service_, bus);
            exec();
        }
        QDBusConnection::disconnectFromBus(QStringLiteral("late-copy"));
    }

  private:
    QString service_;
    std::chrono::milliseconds delay_;
    std::atomic<int> shown_{0};
};

TEST(SingleInstance, HandingOverWaitsForACopyThatHasOnlyJustTakenTheLock) {
    windows_app();
    if (!QDBusConnection::sessionBus().isConnected()) GTEST_SKIP() << "no session bus";
    const struct {
        const char* what;
        std::optional<std::chrono::milliseconds> appears_after;
        bool handed_over;
    } cases[] = {
        {"already there", std::chrono::milliseconds(0), true},
        {"there within the patience", std::chrono::milliseconds(400), true},
        {"never there", std::nullopt, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<LateCopy> running;
        if (c.appears_after) {
            running = std::make_unique<LateCopy>(test_service(), *c.appears_after);
            running->start();
            if (c.appears_after->count() == 0) {
                ASSERT_TRUE(eventually([] {
                    return second_copy_bus().interface()->isServiceRegistered(test_service());
                }));
            }
        }
        ::testing::internal::CaptureStderr();
        const bool handed_over = hand_over_to_running_copy(second_copy_bus(), test_service(),
                                                           std::chrono::milliseconds(2000));
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(handed_over, c.handed_over);
        EXPECT_EQ(said, c.handed_over ? "thumbrover: Thumbrover is already running\n" : "");
        if (running) {
            EXPECT_EQ(running->shown(), 1);
            running->quit();
            running->wait();
        }
    }
}

TEST(SingleInstance, ANameStillHeldPassesToTheRunningCopyWhenTheOtherLetsGo) {
    windows_app();
    QDBusConnection own = QDBusConnection::sessionBus();
    if (!own.isConnected()) GTEST_SKIP() << "no session bus";
    QDBusConnection leaving = second_copy_bus();
    // A copy on its way out still holds the name when the new one starts.
    ASSERT_TRUE(leaving.registerService(test_service()));
    int shown = 0;
    ::testing::internal::CaptureStderr();
    SettingsRequestListener listener([&shown] { ++shown; }, test_service(), own);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(listener.listening());
    EXPECT_EQ(own.interface()->serviceOwner(test_service()).value(), leaving.baseService());
    ASSERT_TRUE(leaving.unregisterService(test_service()));
    EXPECT_TRUE(eventually([&] {
        return own.interface()->serviceOwner(test_service()).value() == own.baseService();
    }));
    QDBusConnection asking =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("asking-copy"));
    EXPECT_TRUE(ask_running_copy_to_show_settings(asking, test_service()));
    EXPECT_EQ(shown, 1);
}

TEST(SingleInstance, ANameTheBusRefusesIsReportedWithTheBussReason) {
    windows_app();
    if (!QDBusConnection::sessionBus().isConnected()) GTEST_SKIP() << "no session bus";
    ::testing::internal::CaptureStderr();
    SettingsRequestListener listener([] {}, QStringLiteral("not a bus name"));
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(listener.listening());
    const std::string start = "thumbrover: could not offer not a bus name on the session bus: ";
    ASSERT_TRUE(said.starts_with(start)) << said;
    EXPECT_GT(said.size(), start.size() + 1) << "a reason follows";
    EXPECT_EQ(said.find('\n'), said.size() - 1) << "one line";
}

}  // namespace
}  // namespace thumbrover::testing
