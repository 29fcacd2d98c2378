#pragma once
// The real window with the doubles behind it: shown offscreen and, when asked, connected to the
// fake port through the port box as an operator would (answer "1").

#include "support/doubles.h"
#include "ui/mainwindow.h"

#include <gtest/gtest.h>
#include <QTest>

struct WindowOnDoubles : ConsoleDoubles
{
    PumpConsole console{seams()};
    MainWindow window{console, boxes};

    // Both end the test (wrap the call in ASSERT_NO_FATAL_FAILURE) when they did not happen.
    void show()
    {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    void connectPump()
    {
        boxes.answers.push_back(QStringLiteral("1"));
        window.console().choosePort();
        ASSERT_TRUE(port.isOpen());
        boxes.shown.clear();
    }
};
