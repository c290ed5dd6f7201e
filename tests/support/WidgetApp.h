#pragma once
#include <QApplication>

// The widget application a test program needs, made once and never
// destroyed: a static one would go after the platform plugin it needs.
inline void EnsureWidgetApplication()
{
    static int argc = 1;
    static char arg0[] = "tests";
    static char *argv[] = {arg0, nullptr};
    if (!QApplication::instance())
        new QApplication(argc, argv);
}
