#pragma once

#include <QApplication>

namespace thumbrover::testing {

// The one application object of a test program, made on first use. Every test in a program that
// needs Qt goes through here, since Qt allows one application object per process. It is never
// destroyed: at exit Qt's own globals may already be gone, and its destructor would crash.
inline QApplication& qt_app() {
    static int argc = 1;
    static char name[] = "thumbrover-test";
    static char* argv[] = {name, nullptr};
    static QApplication* application = new QApplication(argc, argv);
    return *application;
}

// The same for a program that needs Qt's event loop and D-Bus but shows nothing: an application
// object without windows, unless the program already has one.
inline QCoreApplication& core_app() {
    static int argc = 1;
    static char name[] = "thumbrover-test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* application = QCoreApplication::instance() != nullptr
                                               ? QCoreApplication::instance()
                                               : new QCoreApplication(argc, argv);
    return *application;
}

}  // namespace thumbrover::testing
