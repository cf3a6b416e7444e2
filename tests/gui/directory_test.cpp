// The directory chooser keeps only a directory that can be written to.
#include <QLineEdit>
#include <QTemporaryDir>
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "dialogs/directory.h"
#include "guitesting.h"

namespace {

using guitesting::MessageBoxes;
using guitesting::onNextModalDialog;
using guitesting::WorkingDirectory;

TEST(Directory, RefusesAPathThatIsNoWritableDirectory) {
    MessageBoxes boxes;
    QTemporaryDir folder;
    WorkingDirectory::write(folder.filePath("file.txt"), "text");
    const struct {
        QString typed;
        bool accepted;
    } rows[] = {{folder.filePath("file.txt"), false},
                {folder.filePath("missing"), false},
                {folder.path(), true}};
    for (const auto& row : rows) {
        boxes.shown.clear();
        Directory_ chooser(nullptr);
        chooser.setName("previous");
        bool stayedOpen = false;
        onNextModalDialog([&row, &stayedOpen](QDialog* d) {
            d->findChild<QLineEdit*>("fileNameEdit")->setText(row.typed);
            QMetaObject::invokeMethod(d, "accept");
            stayedOpen = d->isVisible();
        });
        EXPECT_EQ(chooser.exec(), row.accepted ? QDialog::Accepted : QDialog::Rejected);
        EXPECT_EQ(stayedOpen, !row.accepted) << row.typed.toStdString();
        ASSERT_EQ(boxes.shown.size(), row.accepted ? 0u : 1u) << row.typed.toStdString();
        if (!row.accepted) {
            EXPECT_TRUE(boxes.shown[0].text.startsWith(row.typed));
        }
        EXPECT_EQ(chooser.getName(), row.accepted ? row.typed : "previous");
    }
}

// The window tests' helper: an expected dialog that does not open in time
// fails the test, and the helper leaves the next dialog alone.
TEST(Directory, AChooserThatNeverOpensFailsTheTestAndIsNotActedOnLater) {
    static bool acted = false;
    EXPECT_NONFATAL_FAILURE(
        {
            onNextModalDialog([](QDialog*) { acted = true; }, 50);
            while (!guitesting::waitingForDialogs().empty())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        },
        "no modal dialog opened within 50 ms");
    Directory_ chooser(nullptr);
    QTimer::singleShot(100, &chooser, &QDialog::reject);
    EXPECT_EQ(chooser.exec(), QDialog::Rejected);
    EXPECT_FALSE(acted);
}

}  // namespace
