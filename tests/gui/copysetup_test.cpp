// Copies of a setup for a parameter scan: the stepped values of a varied
// loss, the names of the copies and links that stay inside each copy.
#include "dialogs/copysetup.h"

#include <QPushButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <cmath>

#include "guitesting.h"
#include "interface/elementnode.h"
#include "interface/parameter.h"
#include "interface/setupnode.h"
#include "mainwindow.h"

namespace {

using guitesting::MessageBoxes;
using guitesting::WorkingDirectory;

const QString lossPath = "Setup1%Cavity1%Loss1%loss";

struct Variation {
    QString path;
    CopySetup::increment_ mode;
    QString from, to;
    // Clicked in the parameter chooser rather than handed to the dialog.
    bool picked = false;
};

// Clicks the leaf at `path` in the parameter chooser and accepts it.
void pickInChooser(QDialog* chooser, const QString& path) {
    auto* tree = chooser->findChild<QTreeWidget*>("parameterTree");
    ASSERT_NE(tree, nullptr);
    QTreeWidgetItem* item = tree->invisibleRootItem();
    for (const QString& name : path.split('%')) {
        QTreeWidgetItem* next = nullptr;
        for (int i = 0; i < item->childCount() && !next; ++i)
            if (item->child(i)->text(0) == name) next = item->child(i);
        ASSERT_NE(next, nullptr) << name.toStdString();
        item = next;
    }
    emit tree->itemClicked(item, 0);
    chooser->findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Ok)->click();
}

// What the user sets in the dialog before OK.
struct Scan {
    QList<Variation> variations;
    int copies = 1;
    QString pattern = "Setup#";
    int start = 1;
    int increment = 1;
    // OK is refused with a box; the dialog that opens again is cancelled.
    bool refused = false;
};

QStringList topNames(const QTreeWidget* tree) {
    QStringList names;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) names << tree->topLevelItem(i)->text(0);
    return names;
}

Node_* topOf(Node_* node) {
    QTreeWidgetItem* top = node;
    while (top->parent()) top = top->parent();
    return dynamic_cast<Node_*>(top);
}

// Every element link of the subtree stays inside `setup`; counts the links.
int expectLinksInside(QTreeWidgetItem* item, Node_* setup) {
    int links = 0;
    if (auto* e = dynamic_cast<ElementBaseNode_*>(item)) {
        QList<ElementBaseNode_*> partners{e->getMaster(), e->getMasterInstance(), e->getMasterInput()};
        for (int i = 0; i < e->getInstances(); ++i) partners << e->getInstance(i);
        for (int i = 0; i < e->getInputs(); ++i) partners << e->getInput(i);
        for (ElementBaseNode_* p : partners) {
            EXPECT_TRUE(p && topOf(p) == setup) << e->getPath().toStdString();
            ++links;
        }
    }
    for (int i = 0; i < item->childCount(); ++i) links += expectLinksInside(item->child(i), setup);
    return links;
}

class CopySetupTest : public ::testing::Test {
protected:
    // Setup1 holds a loss element with inputs in two cavities and a second
    // instance, so a copy has links to re-make.
    CopySetupTest() {
        w.addCavity(setup(0));
        auto* first = new ElementNode_;
        auto* second = new ElementNode_;
        first->setText(0, "Loss1");
        second->setText(0, "Loss1");
        auto* loss = new Parameter_(DataType_::doubleprecision, 0, nullptr);
        loss->setName("loss");
        loss->setValue("0.3");
        first->addParameter(loss);
        ElementBaseNode_::linkNewElement({first, second});
        setup(0)->getChild(1)->addChild(first);
        setup(0)->getChild(2)->addChild(second);
        setup(0)->getChild(1)->addChild(first->createInstance());
    }
    ~CopySetupTest() override {
        loggertesting::reset();
        errortesting::reset();
    }

    Node_* setup(int i) { return dynamic_cast<Node_*>(w.treeWidget->topLevelItem(i)); }
    QString value(int setupIndex, const QString& relative) {
        Parameter_* p = setup(setupIndex)->getParameterFromPathInSetup(relative);
        return p ? p->getValue()->text() : "(none)";
    }

    // Fills the dialog of the Copy Setup action as `scan` says, lets `then`
    // act on it and answers with `button`.
    void copy(const Scan& scan, QDialogButtonBox::StandardButton button = QDialogButtonBox::Ok,
              std::function<void(CopySetup*)> then = {}) {
        guitesting::onNextModalDialog([=](QDialog* d) {
            auto* dialog = qobject_cast<CopySetup*>(d);
            ASSERT_NE(dialog, nullptr);
            for (const Variation& v : scan.variations) {
                if (v.picked)
                    guitesting::onNextModalDialog([v](QDialog* d) { pickInChooser(d, v.path); });
                else
                    dialog->setParameterChooser([v](QWidget*, Node_*) { return v.path; });
                dialog->addButton->click();
                dialog->intervalsBox->setCurrentIndex(v.mode);
                dialog->fromText->setText(v.from);
                emit dialog->fromText->editingFinished();
                dialog->toText->setText(v.to);
                emit dialog->toText->editingFinished();
            }
            dialog->copiesBox->setValue(scan.copies);
            dialog->nameText->setText(scan.pattern);
            dialog->startBox->setValue(scan.start);
            dialog->incrementBox->setValue(scan.increment);
            if (then) then(dialog);
            if (scan.refused) guitesting::onNextModalDialog([](QDialog*) {});
            dialog->buttonBox->button(button)->click();
        });
        w.actionCopy_Setup->trigger();
    }

    WorkingDirectory dir{true};
    MainWindow w;
};

TEST_F(CopySetupTest, AVariedLossStepsAcrossCopiesWithUniqueNamesAndLinksOfTheirOwn) {
    const struct {
        CopySetup::increment_ mode;
        const char *from, *to;
        // value of copy i over `from`, with four copies
        double ratio[4];
    } rows[] = {
        {CopySetup::linear, "0.2", "1.0", {1, 2, 3, 4}},        // equal steps, the last one below `to`
        {CopySetup::logarithmic, "0.01", "0.16", {1, 2, 4, 8}},  // equal ratios
        {CopySetup::quadratic, "0.2", "1.0", {1, 1.25, 2, 3.25}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.mode);
        while (w.treeWidget->topLevelItemCount() > 1) delete w.treeWidget->topLevelItem(1);
        copy({{{lossPath, row.mode, row.from, row.to}}, 4});

        ASSERT_EQ(topNames(w.treeWidget), (QStringList{"Setup1", "Setup2", "Setup3", "Setup4", "Setup5"}));
        EXPECT_EQ(value(0, "Cavity1%Loss1%loss"), "0.3");  // the template keeps its value
        const int templateLinks = expectLinksInside(setup(0), setup(0));
        for (int i = 0; i < 4; ++i) {
            const QString text = value(i + 1, "Cavity1%Loss1%loss");
            EXPECT_EQ(text, CopySetup::numberText(text.toDouble()));
            EXPECT_NEAR(text.toDouble(), QString(row.from).toDouble() * row.ratio[i], 1e-6);
            EXPECT_EQ(value(i + 1, "Directory"), setup(i + 1)->text(0));
            EXPECT_EQ(expectLinksInside(setup(i + 1), setup(i + 1)), templateLinks);
        }
    }
}

TEST_F(CopySetupTest, CopiesTakeTheFirstFreeNamesOfThePatternOrAreRefused) {
    w.addSetup();
    w.addSetup();
    delete w.treeWidget->topLevelItem(1);  // Setup1 and Setup3 remain
    const struct {
        const char* pattern;
        int start, increment, copies;
        QStringList names;  // none: refused, and the dialog cancelled when it opens again
        bool refused;
    } rows[] = {
        {"Setup#", 1, 1, 3, {"Setup2", "Setup4", "Setup5"}, false},
        {"Run#_#", 7, 1, 1, {"Run7_7"}, false},
        {"Scan", 1, 1, 1, {"Scan"}, false},
        {"Setup#", 1, 1, 0, {}, false},
        {"Scan", 1, 1, 2, {}, true},    // two copies cannot share a name
        {"Setup#", 3, 0, 1, {}, true},  // the name cannot change with an increment of 0
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.pattern);
        while (w.treeWidget->topLevelItemCount() > 2) delete w.treeWidget->topLevelItem(2);
        MessageBoxes boxes;
        copy({{}, row.copies, row.pattern, row.start, row.increment, row.refused});
        EXPECT_EQ(topNames(w.treeWidget), QStringList({"Setup1", "Setup3"}) + row.names);
        EXPECT_EQ(boxes.shown.size(), row.refused ? 1u : 0u);
    }
    copy({{}, 2}, QDialogButtonBox::Cancel);
    EXPECT_EQ(topNames(w.treeWidget), (QStringList{"Setup1", "Setup3"}));
}

TEST_F(CopySetupTest, RowsKeepTheirOwnValuesAndOnlyVariationsOfTheTemplateAreApplied) {
    const auto show = [](CopySetup* d, int row) {
        d->parameterList->setCurrentRow(row);
        emit d->parameterList->itemClicked(d->parameterList->item(row));
    };
    // The middle row goes; the others keep their ranges and modes when shown again.
    copy({{{lossPath, CopySetup::logarithmic, "1", "4", true},
           {"Setup1%Roundtrips", CopySetup::linear, "7", "7"},
           {"Setup1%Samples", CopySetup::linear, "512", "1024"}},
          2},
         QDialogButtonBox::Ok, [show](CopySetup* d) {
             show(d, 1);
             d->removeButton->click();
             emit d->fromText->editingFinished();  // leaving the edit stores into the new current row
             show(d, 0);
             show(d, 1);
         });
    ASSERT_EQ(topNames(w.treeWidget), (QStringList{"Setup1", "Setup2", "Setup3"}));
    EXPECT_EQ(value(1, "Cavity1%Loss1%loss").toDouble(), 1.0);
    EXPECT_EQ(value(2, "Cavity1%Loss1%loss").toDouble(), 2.0);
    EXPECT_EQ(value(2, "Roundtrips"), "10");
    EXPECT_EQ(value(1, "Samples").toDouble(), 512.0);
    EXPECT_EQ(value(2, "Samples").toDouble(), 768.0);

    // A row added while Setup1 was the template is not applied to a copy of Setup2.
    copy({{{lossPath, CopySetup::linear, "9", "9"}}, 1}, QDialogButtonBox::Ok,
         [](CopySetup* d) { d->setupBox->setCurrentIndex(1); });
    ASSERT_EQ(topNames(w.treeWidget), (QStringList{"Setup1", "Setup2", "Setup3", "Setup4"}));
    EXPECT_EQ(value(3, "Cavity1%Loss1%loss"), value(1, "Cavity1%Loss1%loss"));
}

TEST_F(CopySetupTest, UnsteppableRangesAndAMissingTemplateCopyNothing) {
    for (const char* from : {"0", "-1"}) {
        MessageBoxes boxes;
        Scan scan{{{lossPath, CopySetup::logarithmic, from, "1"}}, 2};
        scan.refused = true;
        copy(scan);
        EXPECT_EQ(w.treeWidget->topLevelItemCount(), 1) << from;
        EXPECT_EQ(boxes.shown.size(), 1u) << from;
    }
    w.treeWidget->clear();
    MessageBoxes boxes;
    copy({{}, 2});
    EXPECT_EQ(w.treeWidget->topLevelItemCount(), 0);
    EXPECT_EQ(boxes.shown.size(), 1u);
}

TEST_F(CopySetupTest, EachUseHandsOverOnlyItsOwnCopies) {
    CopySetup dialog(&w);
    for (const char* name : {"Setup2", "Setup3"}) {
        guitesting::onNextModalDialog([](QDialog* d) {
            qobject_cast<CopySetup*>(d)->buttonBox->button(QDialogButtonBox::Ok)->click();
        });
        ASSERT_TRUE(dialog.exec());
        ASSERT_EQ(dialog.getSetups(), 1);
        EXPECT_EQ(dialog.getSetup(-1), nullptr);
        EXPECT_EQ(dialog.getSetup(1), nullptr);
        w.treeWidget->addTopLevelItem(dialog.getSetup(0));
        EXPECT_EQ(dialog.getSetup(0)->text(0), name);
    }
}

}  // namespace
