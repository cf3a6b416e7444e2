// Runs of experiments built from setup trees: an application object for the
// queued signals of the setup threads, and no display.
#include <QApplication>
#include <gtest/gtest.h>

// The offscreen platform keeps its screen objects until the process ends.
extern "C" const char* __lsan_default_suppressions() { return "leak:libqoffscreen.so\n"; }

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
