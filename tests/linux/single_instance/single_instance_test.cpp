#include <gtest/gtest.h>

#include <QDBusConnection>

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

TEST(SingleInstance, OnlyACopyHoldingTheSameFolderCounts) {
    TempDir folder;
    EXPECT_FALSE(instance_lock_held(folder.path()));
    {
        auto lock = InstanceLock::acquire(folder.path());
        ASSERT_TRUE(lock);
        EXPECT_TRUE(instance_lock_held(folder.path()));
    }
    EXPECT_FALSE(instance_lock_held(folder.path()));
    // Probing never keeps the lock: the engine takes it afterwards.
    EXPECT_TRUE(InstanceLock::acquire(folder.path()));
    EXPECT_FALSE(instance_lock_held(folder / "missing"));
}

}  // namespace
}  // namespace thumbrover::testing
