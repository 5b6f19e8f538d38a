#include "BenchApplication.h"

#include "platform/gui/Application.h"

#include <QApplication>

#include <cstdlib>

void EnsureBenchApplication()
{
    if (!QApplication::instance()) {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char name[] = "bench_platform_gui";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
    }
    // Also when another benchmark made the Qt application first.
    static const bool initialized = [] {
        Application->Initialize();
        return true;
    }();
    (void)initialized;
}
