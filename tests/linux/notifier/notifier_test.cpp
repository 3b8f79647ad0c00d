#include "linux/notifier.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSemaphore>
#include <QThread>
#include <QVariantMap>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusConnectionInterface>
#include <mutex>
#include <vector>

namespace thumbrover {
namespace {

struct Received {
    QString app;
    QString icon;
    QString summary;
    QString body;
};

// A stand-in for the desktop's notification service, serving the session bus from a thread of
// its own so that the notifier's blocking calls can reach it.
class FakeNotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
  public:
    explicit FakeNotificationServer(bool markup) : markup_(markup) {}

    std::vector<Received> received() {
        std::lock_guard lock(mutex_);
        return received_;
    }

  public slots:
    Q_SCRIPTABLE QStringList GetCapabilities() {
        return markup_ ? QStringList{QStringLiteral("body"), QStringLiteral("body-markup")}
                       : QStringList{QStringLiteral("body")};
    }
    Q_SCRIPTABLE uint Notify(const QString& app, uint /*replaces*/, const QString& icon,
                             const QString& summary, const QString& body,
                             const QStringList& /*actions*/, const QVariantMap& /*hints*/,
                             int /*timeout*/) {
        std::lock_guard lock(mutex_);
        received_.push_back({app, icon, summary, body});
        return static_cast<uint>(received_.size());
    }

  private:
    bool markup_;
    std::mutex mutex_;
    std::vector<Received> received_;
};

class ServerThread : public QThread {
  public:
    explicit ServerThread(bool markup) : server_(markup) {}
    FakeNotificationServer& server() { return server_; }
    bool registered() const { return registered_; }

  protected:
    void run() override {
        QDBusConnection bus =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake"));
        registered_ = bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &server_,
                                         QDBusConnection::ExportScriptableSlots) &&
                      bus.registerService(QStringLiteral("org.freedesktop.Notifications"));
        ready_.release();
        exec();
        bus.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
        QDBusConnection::disconnectFromBus(QStringLiteral("fake"));
    }

  public:
    QSemaphore ready_;

  private:
    FakeNotificationServer server_;
    bool registered_ = false;
};

class DbusNotifierTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "notifier_test";
        static char* argv[] = {name, nullptr};
        if (QCoreApplication::instance() == nullptr) app_ = new QCoreApplication(argc, argv);
    }
    static inline QCoreApplication* app_ = nullptr;
};

TEST_F(DbusNotifierTest, DeliversHeadingAsSummaryAndBodyUnderTheProgramName) {
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "tests run on a private bus";
    for (const bool markup : {false, true}) {
        ServerThread thread(markup);
        thread.server().moveToThread(&thread);
        thread.start();
        thread.ready_.acquire();
        ASSERT_TRUE(thread.registered());
        {
            DbusNotifier notifier;
            notifier.notify("Thumbrover could not start", "Thumbrover is already running");
            notifier.notify("Heading", "a <b> & c");
            notifier.flush();
        }
        const auto got = thread.server().received();
        thread.quit();
        thread.wait();

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

#include "notifier_test.moc"
