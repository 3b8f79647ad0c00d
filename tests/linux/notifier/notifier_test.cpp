#include "linux/notifier.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusConnectionInterface>

#include "fakes/notification_service.hpp"
#include "qt/qt_app.hpp"

namespace thumbrover {
namespace {

using fakes::NotificationServiceThread;

class DbusNotifierTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { testing::core_app(); }
};

TEST_F(DbusNotifierTest, DeliversHeadingAsSummaryAndBodyUnderTheProgramName) {
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "tests run on a private bus";
    for (const bool markup : {false, true}) {
        NotificationServiceThread thread(markup);
        ASSERT_TRUE(thread.registered());
        {
            DbusNotifier notifier;
            notifier.notify("Thumbrover could not start", "Thumbrover is already running");
            notifier.notify("Heading", "a <b> & c");
            notifier.flush();
        }
        const auto got = thread.service().received();
        ASSERT_EQ(got.size(), 2u);
        EXPECT_EQ(got[0].app, "Thumbrover");
        EXPECT_EQ(got[0].summary, "Thumbrover could not start");
        EXPECT_EQ(got[0].body, "Thumbrover is already running");
        EXPECT_EQ(got[1].body, markup ? "a &lt;b&gt; &amp; c" : "a <b> & c") << markup;
    }
}

TEST_F(DbusNotifierTest, FallsBackToStandardErrorWithoutAService) {
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected());
    ASSERT_FALSE(QDBusConnection::sessionBus().interface()->isServiceRegistered(
        QStringLiteral("org.freedesktop.Notifications")));
    ::testing::internal::CaptureStderr();
    {
        DbusNotifier notifier;
        notifier.notify("Controller battery is low", "Charge it or change the batteries soon.");
        notifier.flush();
    }
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_THAT(err, ::testing::StartsWith("thumbrover: Controller battery is low: Charge it or "
                                           "change the batteries soon. ("));
    EXPECT_THAT(err, ::testing::EndsWith(")\n"));
}

}  // namespace
}  // namespace thumbrover

#include "fakes/moc_notification_service.cpp"
