// The window tests run with an application object and no display. Every
// message box is answered at once, so none can block a test.
#include <QApplication>
#include <gtest/gtest.h>

#include "guitesting.h"

// The offscreen platform keeps its screen objects until the process ends.
extern "C" const char* __lsan_default_suppressions() { return "leak:libqoffscreen.so\n"; }

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new guitesting::DialogsNeverOpened);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    MessageBox_::setHandler(guitesting::MessageBoxes::answerOk());
    return RUN_ALL_TESTS();
}
