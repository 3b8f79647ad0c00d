// The KWin and GNOME followers against stand-ins on the tests' private session bus that behave as
// the real ones document: KWin loads a script from a file and runs it, the script calling back
// over D-Bus; the extension answers Front and RunningApps and signals FrontChanged.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "linux/dbus_front_app.hpp"
#include "linux/front_app/front_app_reports.hpp"
#include "test_support.hpp"

#include <QFile>
#include <QRegularExpression>
#include <QSemaphore>
#include <QThread>
#include <QXmlStreamReader>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusConnectionInterface>
#include <QtDBus/QDBusMessage>

#include "qt/qt_app.hpp"

namespace thumbrover {

// KWin's scripting object as far as the followers use it.
class FakeKWinScripting : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.kwin.Scripting")
  public:
    struct Script {
        std::string text;
        QString caller;  // the destination of its callDBus
        bool running = false;
    };
    QDBusConnection* bus = nullptr;
    std::string active;
    QStringList windows;

    std::mutex mutex;
    std::map<QString, Script> loaded;
    std::vector<std::string> texts;

  public slots:
    Q_SCRIPTABLE int loadScript(const QString& path, const QString& plugin) {
        std::lock_guard lock(mutex);
        if (loaded.count(plugin) != 0) return -1;
        // KWin keeps the path and reads the file when the script runs.
        loaded[plugin] = Script{path.toStdString(), {}, false};
        return static_cast<int>(loaded.size());
    }
    Q_SCRIPTABLE void start() {
        std::lock_guard lock(mutex);
        for (auto& [plugin, script] : loaded) {
            if (script.running) continue;
            QFile file(QString::fromStdString(script.text));
            if (!file.open(QIODevice::ReadOnly)) continue;
            script.text = file.readAll().toStdString();
            texts.push_back(script.text);
            const auto match = QRegularExpression(QStringLiteral("callDBus\\(\"([^\"]+)\""))
                                   .match(QString::fromStdString(script.text));
            script.caller = match.captured(1);
            script.running = true;
            // What the script does when it starts.
            if (script.text.find("call(\"Windows\"") != std::string::npos)
                call(script.caller, QStringLiteral("Windows"), windows.join(QLatin1Char('\n')));
            else
                call(script.caller, QStringLiteral("Activated"), QString::fromStdString(active));
        }
    }
    Q_SCRIPTABLE bool unloadScript(const QString& plugin) {
        std::lock_guard lock(mutex);
        return loaded.erase(plugin) > 0;
    }

    // A window comes to the front: every following script reports it.
    Q_INVOKABLE void activate(const QString& id) {
        std::lock_guard lock(mutex);
        active = id.toStdString();
        for (auto& [plugin, script] : loaded)
            if (script.running && script.text.find("\"Activated\"") != std::string::npos)
                call(script.caller, QStringLiteral("Activated"), id);
    }

  private:
    void call(const QString& to, const QString& method, const QString& text) {
        QDBusMessage m = QDBusMessage::createMethodCall(
            to, QString::fromUtf8(front_app_bus::kPath.data()),
            QString::fromUtf8(front_app_bus::kInterface.data()), method);
        m << text;
        bus->send(m);
    }
};

// The extension's object as GNOME Shell would serve it.
class FakeExtension : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "app.thumbrover.FrontApp1")
  public:
    QString front;
    QStringList running;

  public slots:
    Q_SCRIPTABLE QString Front() { return front; }
    Q_SCRIPTABLE QStringList RunningApps() { return running; }
    Q_INVOKABLE void focus(const QString& id) {
        front = id;
        emit FrontChanged(id);
    }
  signals:
    Q_SCRIPTABLE void FrontChanged(const QString& app_id);
};

namespace {

using namespace std::chrono_literals;

// Serves an `Object` at `path` under `service` from a thread and connection of its own, so that
// the followers' blocking calls are answered. The object lives and dies on that thread, while its
// connection is open.
template <class Object>
class StandIn final : public QThread {
  public:
    StandIn(QString path, QString service, std::function<void(Object&, QDBusConnection&)> setup)
        : path_(std::move(path)), service_(std::move(service)), setup_(std::move(setup)) {
        start();
        ready_.acquire();
    }
    ~StandIn() override {
        quit();
        wait();
    }
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;

    // Runs `what` with the object on its thread and waits for it.
    void run_there(const std::function<void(Object&)>& what) {
        QMetaObject::invokeMethod(
            object_, [&] { what(*object_); }, Qt::BlockingQueuedConnection);
    }
    // Takes or gives up the service's name, as a desktop starting or ending would.
    void serve(bool on) {
        run_there([this, on](Object&) {
            QDBusConnection bus(name_);
            if (on)
                bus.registerService(service_);
            else
                bus.unregisterService(service_);
        });
    }

  protected:
    void run() override {
        {
            QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, name_);
            Object object;
            setup_(object, bus);
            bus.registerObject(
                path_, &object,
                QDBusConnection::ExportScriptableSlots | QDBusConnection::ExportScriptableSignals);
            bus.registerService(service_);
            object_ = &object;
            ready_.release();
            exec();
            bus.unregisterService(service_);
            bus.unregisterObject(path_);
        }
        QDBusConnection::disconnectFromBus(name_);
    }

  private:
    QString path_;
    QString service_;
    std::function<void(Object&, QDBusConnection&)> setup_;
    QString name_ = QStringLiteral("stand-in-") + service_;
    Object* object_ = nullptr;
    QSemaphore ready_;
};

using Reports = testing::FrontAppReports;

const QString kPath = QString::fromUtf8(front_app_bus::kPath.data());

// Desktop files and extensions of the test's own, where the followers look for them.
class DataHome {
  public:
    DataHome() {
        ::setenv("XDG_DATA_HOME", dir_.path().c_str(), 1);
        ::setenv("XDG_DATA_DIRS", (dir_.path() / "none").c_str(), 1);
        std::filesystem::create_directories(dir_ / "applications");
    }
    ~DataHome() {
        ::unsetenv("XDG_DATA_HOME");
        ::unsetenv("XDG_DATA_DIRS");
    }
    void desktop_file(const std::string& id, const std::string& name) {
        testing::put(dir_ / ("applications/" + id + ".desktop"),
                     "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=true\n");
    }
    void install_extension() {
        const auto folder =
            dir_ / "gnome-shell/extensions" / std::string(front_app_bus::kExtensionUuid);
        std::filesystem::create_directories(folder);
        testing::put(folder / "metadata.json", "{}");
    }

  private:
    testing::TempDir dir_;
};

TEST(KWinFrontApp, FollowsWhatTheScriptReportsAndUnloadsIt) {
    testing::core_app();
    FakeKWinScripting* kwin_object = nullptr;
    StandIn<FakeKWinScripting> stand_in(
        QStringLiteral("/Scripting"), QStringLiteral("org.kde.KWin"),
        [&](FakeKWinScripting& kwin, QDBusConnection& bus) {
            kwin.bus = &bus;
            kwin.active = "org.kde.dolphin";
            kwin.windows = {QStringLiteral("org.kde.dolphin"), QStringLiteral("firefox"),
                            QStringLiteral("org.kde.dolphin")};
            kwin_object = &kwin;
        });
    // Read under its mutex only; it lives as long as the stand-in.
    FakeKWinScripting& kwin = *kwin_object;
    ASSERT_TRUE(KWinFrontAppWatcher::offered());
    DataHome data;
    data.desktop_file("org.kde.dolphin", "Dolphin");

    Reports reports;
    auto watcher = std::make_unique<KWinFrontAppWatcher>();
    watcher->watch([&](std::string id) { reports.add(std::move(id)); });
    EXPECT_TRUE(reports.settles_on("org.kde.dolphin"));  // the one in front already
    stand_in.run_there([](FakeKWinScripting& k) { k.activate(QStringLiteral("firefox")); });
    EXPECT_TRUE(reports.settles_on("firefox"));
    // A window without an identity (the desktop, a panel) is no application; control characters
    // make none either.
    stand_in.run_there([](FakeKWinScripting& k) { k.activate(QStringLiteral("bad\tid")); });
    EXPECT_TRUE(reports.settles_on(""));

    // Another program on the bus cannot pass for KWin.
    QString follower;
    {
        std::lock_guard lock(kwin.mutex);
        ASSERT_FALSE(kwin.loaded.empty());
        follower = kwin.loaded.begin()->second.caller;
    }
    QDBusMessage spoof = QDBusMessage::createMethodCall(
        follower, kPath, QString::fromUtf8(front_app_bus::kInterface.data()),
        QStringLiteral("Activated"));
    spoof << QStringLiteral("spoofed");
    QDBusConnection::sessionBus().call(spoof, QDBus::Block, 2000);
    stand_in.run_there([](FakeKWinScripting& k) { k.activate(QStringLiteral("firefox")); });
    EXPECT_TRUE(reports.settles_on("firefox"));
    EXPECT_EQ(reports.all(),
              (std::vector<std::string>{"org.kde.dolphin", "firefox", "", "firefox"}));

    // The list comes from a script of its own, unloaded once it has answered.
    EXPECT_EQ(watcher->running_apps(),
              (std::vector<RunningApp>{{"org.kde.dolphin", "Dolphin"}, {"firefox", "firefox"}}));
    {
        std::lock_guard lock(kwin.mutex);
        EXPECT_EQ(kwin.loaded.size(), 1u);
        // The script listens to Plasma 6's names and Plasma 5's.
        ASSERT_FALSE(kwin.texts.empty());
        for (const char* name : {"workspace.windowActivated", "workspace.clientActivated"})
            EXPECT_NE(kwin.texts.front().find(name), std::string::npos) << name;
    }
    watcher.reset();
    stand_in.run_there([](FakeKWinScripting& k) {
        EXPECT_TRUE(k.loaded.empty()) << "the script stayed loaded in KWin";
    });
}

TEST(GnomeFrontApp, FollowsTheExtensionWhileItRunsAndSaysHowToSwitchItOn) {
    testing::core_app();
    DataHome data;
    data.desktop_file("org.gnome.Nautilus", "Files");
    StandIn<FakeExtension> stand_in(
        kPath, QString::fromUtf8(front_app_bus::kService.data()),
        [](FakeExtension& extension, QDBusConnection&) {
            extension.front = QStringLiteral("org.gnome.Nautilus");
            extension.running = {QStringLiteral("firefox"), QStringLiteral("org.gnome.Nautilus")};
        });
    stand_in.serve(false);  // not switched on yet

    GnomeFrontAppWatcher watcher;
    EXPECT_FALSE(watcher.available());
    EXPECT_EQ(watcher.note(), gnome_extension_note(false));
    data.install_extension();
    EXPECT_EQ(watcher.note(), gnome_extension_note(true));
    EXPECT_NE(watcher.note().find("`gnome-extensions enable thumbrover@thumbrover.app`"),
              std::string::npos);
    EXPECT_TRUE(watcher.running_apps().empty());

    Reports reports;
    watcher.watch([&](std::string id) { reports.add(std::move(id)); });
    EXPECT_TRUE(reports.settles_on(""));
    stand_in.serve(true);  // switched on while the program runs
    EXPECT_TRUE(reports.settles_on("org.gnome.Nautilus"));
    EXPECT_TRUE(watcher.available());
    EXPECT_EQ(watcher.note(), "");
    stand_in.run_there([](FakeExtension& e) { e.focus(QStringLiteral("firefox")); });
    EXPECT_TRUE(reports.settles_on("firefox"));
    EXPECT_EQ(watcher.running_apps(),
              (std::vector<RunningApp>{{"org.gnome.Nautilus", "Files"}, {"firefox", "firefox"}}));
    stand_in.serve(false);  // switched off, or GNOME Shell restarting
    EXPECT_TRUE(reports.settles_on(""));
    EXPECT_EQ(reports.all(), (std::vector<std::string>{"", "org.gnome.Nautilus", "firefox", ""}));
}

// The extension that is shipped offers what the follower asks for, under the same names.
TEST(GnomeFrontApp, TheShippedExtensionOffersWhatTheFollowerUses) {
    const std::filesystem::path folder = std::filesystem::path(THUMBROVER_SOURCE_DIR) /
                                         "packaging/gnome-shell" /
                                         std::string(front_app_bus::kExtensionUuid);
    const std::string script = testing::slurp(folder / "extension.js");
    for (std::string_view name : {front_app_bus::kService, front_app_bus::kPath})
        EXPECT_NE(script.find("'" + std::string(name) + "'"), std::string::npos) << name;
    EXPECT_NE(testing::slurp(folder / "metadata.json")
                  .find("\"uuid\": \"" + std::string(front_app_bus::kExtensionUuid) + "\""),
              std::string::npos);

    QFile file(QString::fromStdString((folder / "app.thumbrover.FrontApp1.xml").string()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    std::vector<std::string> members;
    QString interface;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        if (xml.name() == QStringLiteral("interface"))
            interface = xml.attributes().value(QStringLiteral("name")).toString();
        if (xml.name() == QStringLiteral("method") || xml.name() == QStringLiteral("signal"))
            members.push_back(
                xml.attributes().value(QStringLiteral("name")).toString().toStdString());
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(interface.toStdString(), front_app_bus::kInterface);
    EXPECT_EQ(members, (std::vector<std::string>{"Front", "RunningApps", "FrontChanged"}));
}

}  // namespace
}  // namespace thumbrover

#include "dbus_front_app_test.moc"
