#include "dialogs/prompt.h"

#include <QPushButton>
#include <gtest/gtest.h>

#include "guitesting.h"

namespace {

TEST(Prompt, ShowsItsTextAndGivesWhatWasTypedOrChosen) {
    Prompt p("Name of the copy:");
    EXPECT_EQ(p.prompt->text(), "Name of the copy:");
    EXPECT_EQ(p.windowTitle(), "Prompt");
    EXPECT_EQ(p.getSelection(), "");
    p.addChoice("Setup1");
    p.addChoice("Setup2");
    EXPECT_EQ(p.getSelection(), "Setup1");
    p.stringBox->setCurrentIndex(1);
    EXPECT_EQ(p.getSelection(), "Setup2");
    p.stringBox->setEditText("Setup3");  // typed, not among the choices
    EXPECT_EQ(p.getSelection(), "Setup3");
    p.clearChoices();
    EXPECT_EQ(p.stringBox->count(), 0);

    const struct {
        QDialogButtonBox::StandardButton button;
        int result;
    } rows[] = {{QDialogButtonBox::Ok, QDialog::Accepted}, {QDialogButtonBox::Cancel, QDialog::Rejected}};
    for (const auto& row : rows) {
        guitesting::onNextModalDialog([&row](QDialog* d) {
            d->findChild<QDialogButtonBox*>("buttonBox")->button(row.button)->click();
        });
        EXPECT_EQ(p.exec(), row.result);
    }
}

}  // namespace
