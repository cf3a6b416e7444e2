#pragma once
// Runs experiments from a test on the main thread's event loop.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QObject>
#include <functional>
#include <gtest/gtest.h>

#include "core/base.h"

// Runs the event loop until `done` holds or 60 s have passed.
inline bool processUntil(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 60000) QCoreApplication::processEvents();
    return done();
}

// Starts the experiment and waits for its end.
inline void runToEnd(Base_& base) {
    bool over = false;
    const QMetaObject::Connection c = QObject::connect(&base, &Base_::runFinished, [&over] { over = true; });
    base.runExperiment();
    ASSERT_TRUE(processUntil([&over] { return over; }));
    QObject::disconnect(c);
    EXPECT_FALSE(base.isRunning());
}
