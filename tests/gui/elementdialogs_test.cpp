// Adding elements through the element dialog (catalogue kinds and plug-ins,
// one input or several across cavities), adding instances through the
// instance dialog, the panels that follow inputs and instances, and removal
// along the rules of the instance grid. Dialogs are driven through their
// widgets while their modal run goes on.
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardItemModel>
#include <QTreeWidgetItemIterator>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "configfile.h"
#include "dialogs/addinstance.h"
#include "dialogs/comboboxdelegate.h"
#include "dialogs/selectelement.h"
#include "guitesting.h"
#include "interface/cavitynode.h"
#include "interface/elementnode.h"
#include "interface/error.h"
#include "interface/parameter.h"
#include "mainwindow.h"
#include "plugindirectory.h"

namespace {

using guitesting::MessageBoxes;
using guitesting::WorkingDirectory;

std::string loggedWhile(const std::function<void()>& act) {
    testing::internal::CaptureStdout();
    act();
    return testing::internal::GetCapturedStdout();
}

QStringList texts(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
    return out;
}

QStringList texts(const QComboBox* box) {
    QStringList out;
    for (int i = 0; i < box->count(); ++i) out << box->itemText(i);
    return out;
}

QStringList childNames(const QTreeWidgetItem* item) {
    QStringList names;
    for (int i = 0; item && i < item->childCount(); ++i) names << item->child(i)->text(0);
    return names;
}

QStringList parameterNames(Node_* node) {
    QStringList names;
    for (int i = 0; i < node->getParameters(); ++i) names << node->getParameter(i)->getName()->text();
    return names;
}

QString text(const std::string& s) { return QString::fromStdString(s); }

// Clicks the row of `list` showing `row`, as the user does.
void click(QListWidget* list, const QString& row) {
    const QList<QListWidgetItem*> found = list->findItems(row, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << row.toStdString();
    list->setCurrentItem(found.first());
    emit list->itemClicked(found.first());
}

// Chooses `choice` in the combo box the cell's editor offers and commits it.
void choose(QAbstractItemView* view, int row, int column, const QString& choice) {
    const QModelIndex cell = view->model()->index(row, column);
    QAbstractItemDelegate* delegate = view->itemDelegateForColumn(column);
    std::unique_ptr<QWidget> editor(delegate->createEditor(view->viewport(), QStyleOptionViewItem(), cell));
    auto* box = qobject_cast<QComboBox*>(editor.get());
    ASSERT_NE(box, nullptr);
    delegate->setEditorData(box, cell);
    const int i = box->findText(choice);
    ASSERT_GE(i, 0) << choice.toStdString() << " is not offered in row " << row;
    box->setCurrentIndex(i);
    delegate->setModelData(box, view->model(), cell);
}

QStringList choices(SelectElement& d, int column, int row) {
    auto* delegate = static_cast<ComboBoxDelegate*>(d.InputList->itemDelegateForColumn(column));
    const QStringList* list = delegate->getChoices(row);
    return list ? *list : QStringList();
}

QString cell(SelectElement& d, int row, int column) {
    return d.InputList->model()->index(row, column).data().toString();
}

// What the user chooses in the element dialog; empty texts keep what the
// dialog proposes.
struct Choice {
    QString kind;
    QString set;
    // Container, then place, for each input row.
    std::vector<std::pair<QString, QString>> rows;
    QString name;
    bool confirm = true;
};

void fill(SelectElement& d, const Choice& c) {
    click(d.elementType, c.kind);
    if (!c.set.isEmpty()) click(d.elementParameters, c.set);
    for (int r = 0; r < static_cast<int>(c.rows.size()); ++r) {
        if (!c.rows[r].first.isEmpty()) choose(d.InputList, r, 1, c.rows[r].first);
        if (!c.rows[r].second.isEmpty()) choose(d.InputList, r, 2, c.rows[r].second);
    }
    if (!c.name.isEmpty()) d.lineEditName->setText(c.name);
}

// The paths of every element node of the tree, in tree order.
QStringList elementPaths(QTreeWidget* tree) {
    QStringList paths;
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        if (auto* n = dynamic_cast<ElementNode_*>(*it)) paths << n->getPath();
    return paths;
}

// Each row of the instance dialog: its title, cavity list and position list.
struct InstanceRow {
    QGroupBox* box;
    QComboBox* cavity;
    QComboBox* position;
};

std::vector<InstanceRow> instanceRows(QDialog* d) {
    std::vector<InstanceRow> rows;
    for (QGroupBox* box : d->findChildren<QGroupBox*>()) {
        const QList<QComboBox*> lists = box->findChildren<QComboBox*>();
        if (lists.size() == 2) rows.push_back({box, lists[0], lists[1]});
    }
    return rows;
}

class ElementDialogs : public ::testing::Test {
protected:
    void start(bool withPlugins = false) {
        if (withPlugins) guitesting::layOutPlugins("plugins");
        w = std::make_unique<MainWindow>();
    }
    void TearDown() override {
        w.reset();
        loggertesting::reset();
        errortesting::reset();
    }

    Node_* node(const QString& path) { return dynamic_cast<Node_*>(w->findSetupTreeNode(path)); }
    ElementNode_* element(const QString& path) { return dynamic_cast<ElementNode_*>(node(path)); }
    void select(const QString& path) {
        ASSERT_NE(node(path), nullptr) << path.toStdString();
        w->treeWidget->setCurrentItem(node(path));
    }
    // Adds an element through the window's action and the dialog.
    void addElement(const Choice& c) {
        guitesting::onNextModalDialog([&c](QDialog* dialog) {
            auto* d = qobject_cast<SelectElement*>(dialog);
            ASSERT_NE(d, nullptr);
            fill(*d, c);
            if (c.confirm) d->buttonBox->button(QDialogButtonBox::Ok)->click();
        });
        w->actionAdd_Element->trigger();
    }
    // Adds an instance of the current element: per input, the cavity list
    // entry and the position list entry (-1 keeps the proposed one).
    void addInstance(const std::vector<std::pair<int, int>>& rows) {
        guitesting::onNextModalDialog([&rows](QDialog* d) {
            std::vector<InstanceRow> boxes = instanceRows(d);
            ASSERT_EQ(boxes.size(), rows.size());
            for (size_t r = 0; r < rows.size(); ++r) {
                boxes[r].cavity->setCurrentIndex(rows[r].first);
                if (rows[r].second >= 0) boxes[r].position->setCurrentIndex(rows[r].second);
            }
            d->accept();
        });
        w->buttonAddInstance->click();
    }
    void addCavity() {
        select("Setup1");
        w->actionAdd_Cavity->trigger();
    }

    WorkingDirectory dir{true};
    std::unique_ptr<MainWindow> w;
};

TEST(ComboBoxDelegateRows, GrowAtTheEndOnlyAndEditorsOfferTheirRowsChoices) {
    ComboBoxDelegate d(nullptr, nullptr);
    EXPECT_EQ(d.getChoices(0), nullptr);  // one row, without choices
    d.addChoice("a", 2);                  // past the next row: ignored
    EXPECT_EQ(d.getChoices(2), nullptr);
    d.addChoice("a", 0);
    d.addChoice("B", 1);
    d.setChoices(new QStringList{"x", "y"}, 2);
    EXPECT_EQ(*d.getChoices(0), QStringList{"a"});
    EXPECT_EQ(*d.getChoices(2), (QStringList{"x", "y"}));
    d.clearChoices(1);
    EXPECT_EQ(d.getChoices(1), nullptr);
    EXPECT_NE(d.getChoices(2), nullptr);  // the cleared row keeps its place
    EXPECT_EQ(d.getChoices(-1), nullptr);
    EXPECT_EQ(d.getChoices(3), nullptr);

    QStandardItemModel model(4, 1);
    QWidget parent;
    struct Edit {
        int row;
        QString cellText;
        QStringList offered;
        int selected;
    };
    const std::vector<Edit> edits = {{2, "y", {"x", "y"}, 1}, {2, "Y", {"x", "y"}, -1}, {1, "B", {}, -1}};
    for (const Edit& e : edits) {
        const QModelIndex index = model.index(e.row, 0);
        model.setData(index, e.cellText);
        std::unique_ptr<QWidget> editor(d.createEditor(&parent, QStyleOptionViewItem(), index));
        auto* box = qobject_cast<QComboBox*>(editor.get());
        ASSERT_NE(box, nullptr);
        d.setEditorData(box, index);
        EXPECT_EQ(texts(box), e.offered) << e.row;
        EXPECT_EQ(box->currentIndex(), e.selected) << e.row << " " << e.cellText.toStdString();
        d.setModelData(box, &model, index);
        EXPECT_EQ(model.data(index).toString(), e.selected >= 0 ? e.cellText : QString());
    }
    d.clearChoices(-1);
    EXPECT_EQ(d.getChoices(0), nullptr);
    d.addChoice("again", 0);
    EXPECT_EQ(*d.getChoices(0), QStringList{"again"});
}

TEST_F(ElementDialogs, EveryCatalogueKindIsBuiltWithItsSetItsInputsAndItsCavities) {
    start();
    ConfigNode_* root = w->getElementData()->getRoot();
    ASSERT_GT(root->getChildren(), 0);
    struct Row {
        QString kind, set, name;
    };
    std::vector<Row> rows;
    for (int k = 0; k < root->getChildren(); ++k)
        rows.push_back({text(root->getChild(k)->getValue()), "", ""});
    rows.push_back({"LinearLoss", "Output Coupler 10%", "Coupler"});

    for (const Row& row : rows) {
        SCOPED_TRACE(row.kind.toStdString() + " " + row.set.toStdString());
        const ConfigNode_* kind = root->findChildValue(row.kind.toStdString());
        const ConfigNode_* inputs = kind->getChild(std::string("Inputs"));
        const ConfigNode_* parameters = kind->getChild(std::string("Parameters"));
        const ConfigNode_* set = kind->findChildValue(row.set.isEmpty() ? "Default" : row.set.toStdString());
        ASSERT_TRUE(inputs && parameters && set);

        select("Setup1%Cavity1");
        const int cavities = node("Setup1")->childCount();
        addElement({row.kind, row.set, {}, row.name});
        const QString name = row.name.isEmpty() ? row.kind + "1" : row.name;
        ElementNode_* master = element("Setup1%Cavity1%" + name);
        ASSERT_NE(master, nullptr);
        EXPECT_TRUE(master->isMaster());
        EXPECT_TRUE(master->flags() & Qt::ItemIsEditable);

        QStringList expectedNames{"ElementType", "Condition"};
        for (int i = 0; i < parameters->getChildren(); ++i)
            expectedNames << text(parameters->getChild(i)->getLabel());
        ASSERT_EQ(parameterNames(master), expectedNames);
        Parameter_* type = master->getParameter("ElementType");
        EXPECT_EQ(type->getValue()->text(), row.kind);
        EXPECT_FALSE(type->getMeasurable() || (type->getValue()->flags() & Qt::ItemIsEditable));
        EXPECT_TRUE(master->getParameter("Condition")->isExpression());
        EXPECT_EQ(master->getParameter("Condition")->getValue()->text(), "always");
        for (int i = 0; i < parameters->getChildren(); ++i) {
            Parameter_* p = master->getParameter(i + 2);
            EXPECT_EQ(p->getText()->text(), text(parameters->getChild(i)->getValue()));
            EXPECT_EQ(p->getValue()->text(),
                      text(set->getChild(parameters->getChild(i)->getLabel())->getValue()));
            EXPECT_EQ(p->getTypeString(), "Double");
            EXPECT_TRUE(p->getHotChangeable());
        }

        // Input 0 in the selected cavity, each other input in a new cavity of its own.
        ASSERT_EQ(master->getInputs(), inputs->getChildren());
        EXPECT_EQ(node("Setup1")->childCount(), cavities + inputs->getChildren() - 1);
        for (int i = 0; i < master->getInputs(); ++i) {
            ElementBaseNode_* input = master->getInput(i);
            EXPECT_EQ(input->getInputType(i), text(inputs->getChild(i)->getValue()));
            EXPECT_EQ(input->getMaster(), master);
            EXPECT_EQ(input->getInputs(), master->getInputs());
            EXPECT_EQ(input->text(0), name);
            EXPECT_EQ(input->getParameters(), i == 0 ? expectedNames.size() : 0);
            const Node_* cavity = master->getCavityNode(i, 0);
            ASSERT_NE(cavity, nullptr);
            EXPECT_EQ(cavity->text(0),
                      i == 0 ? QString("Cavity1") : "Cavity" + QString::number(cavities + i - 1));
        }
    }
    EXPECT_TRUE(w->getProjectChanged());
}

TEST_F(ElementDialogs, AThreeInputElementJoinsThreeCavitiesAtTheChosenPlaces) {
    start();
    select("Setup1%Cavity1");
    addElement({"LinearLoss", "", {}, ""});
    select("Setup1%Cavity1");
    addElement({"Propagation", "", {}, ""});
    addCavity();
    addCavity();
    select("Setup1%Cavity3");
    w->actionAdd_Element_Group->trigger();
    select("Setup1%Cavity1");

    guitesting::onNextModalDialog([](QDialog* dialog) {
        auto& d = *qobject_cast<SelectElement*>(dialog);
        click(d.elementType, "DFGTime");
        ASSERT_EQ(d.getInputs(), 3);
        EXPECT_EQ((QStringList{d.getInput(0), d.getInput(1), d.getInput(2)}),
                  (QStringList{"Pump", "Signal", "Idler"}));
        const QStringList containers = {"New Cavity", "Setup1%Cavity1", "Setup1%Cavity2", "Setup1%Cavity3",
                                        "Setup1%Cavity3%ElementGroup1"};
        for (int r = 0; r < 3; ++r) {
            EXPECT_EQ(choices(d, 1, r), containers) << r;
            EXPECT_EQ(cell(d, r, 1), r == 0 ? "Setup1%Cavity1" : "New Cavity") << r;
            EXPECT_EQ(cell(d, r, 2), "Place at the end.") << r;
        }
        EXPECT_EQ(choices(d, 2, 0), (QStringList{"Place at the beginning.", "Place after LinearLoss1.",
                                                 "Place after Propagation1.", "Place at the end."}));
        const std::vector<std::pair<QString, int>> places = {{"Place at the beginning.", 0},
                                                             {"Place after LinearLoss1.", 1},
                                                             {"Place after Propagation1.", 2},
                                                             {"Place at the end.", 2}};
        for (const auto& [place, index] : places) {
            choose(d.InputList, 0, 2, place);
            EXPECT_EQ(d.getSelectedPosition(0), index) << place.toStdString();
        }
        EXPECT_EQ(d.getSelectedPosition(3), 0);
        fill(
            d,
            {"DFGTime",
             "",
             {{"", "Place after LinearLoss1."}, {"Setup1%Cavity2", ""}, {"Setup1%Cavity3%ElementGroup1", ""}},
             ""});
        EXPECT_EQ(choices(d, 2, 1), (QStringList{"Place at the beginning.", "Place at the end."}));
        d.buttonBox->button(QDialogButtonBox::Ok)->click();
    });
    w->actionAdd_Element->trigger();
    EXPECT_EQ(childNames(node("Setup1%Cavity1")), (QStringList{"LinearLoss1", "DFGTime1", "Propagation1"}));
    ElementNode_* master = element("Setup1%Cavity1%DFGTime1");
    ASSERT_NE(master, nullptr);
    const QStringList inputs = {"Setup1%Cavity1%DFGTime1", "Setup1%Cavity2%DFGTime1",
                                "Setup1%Cavity3%ElementGroup1%DFGTime1"};
    for (int i = 0; i < 3; ++i) {
        ASSERT_NE(master->getInput(i), nullptr);
        EXPECT_EQ(master->getInput(i)->getPath(), inputs[i]);
        EXPECT_EQ(master->getInput(i)->getInput(0), master);
    }

    // New cavities hold the element as deep as the deepest chosen container.
    addElement({"DFGFrequency", "", {{"Setup1%Cavity3%ElementGroup1", ""}, {}, {}}, ""});
    master = element("Setup1%Cavity3%ElementGroup1%DFGFrequency1");
    ASSERT_NE(master, nullptr);
    EXPECT_EQ(master->getInput(1)->getPath(), "Setup1%Cavity4%ElementGroup1%DFGFrequency1");
    EXPECT_EQ(master->getInput(2)->getPath(), "Setup1%Cavity5%ElementGroup1%DFGFrequency1");

    // Nodes built and never taken go with the dialog, all three at once.
    SelectElement d(w->getElementData(), w.get());
    guitesting::onNextModalDialog([](QDialog* dialog) {
        auto* d = qobject_cast<SelectElement*>(dialog);
        fill(*d, {"DFGTime", "", {}, "Unplaced"});
        d->buttonBox->button(QDialogButtonBox::Ok)->click();
    });
    ASSERT_TRUE(d.execute());
    EXPECT_EQ(d.getCreatedNode(2)->getInput(0), d.getCreatedNode(0));
}

TEST_F(ElementDialogs, RefusedOrCancelledDialogsBuildNothing) {
    start();
    // Placed by hand, so that the window has no change to record yet.
    auto* loss = new ElementNode_;
    loss->setText(0, "Loss");
    ElementBaseNode_::linkNewElement({loss});
    node("Setup1%Cavity1")->addChild(loss);
    const QStringList before = elementPaths(w->treeWidget);
    const int setupChildren = node("Setup1")->childCount();
    struct Row {
        const char* what;
        Choice choice;
        bool refused;
    };
    const std::vector<Row> rows = {
        {"cancel", {"LinearLoss", "", {{"Setup1%Cavity1", ""}}, "", false}, false},
        {"taken in the cavity", {"LinearLoss", "", {{"Setup1%Cavity1", ""}}, "Loss"}, true},
        {"two inputs in one cavity",
         {"DFGTime", "", {{"Setup1%Cavity1", ""}, {"Setup1%Cavity1", ""}, {}}, ""},
         true},
    };
    for (const Row& row : rows) {
        MessageBoxes boxes;
        addElement(row.choice);
        ASSERT_EQ(boxes.shown.size(), row.refused ? 1u : 0u) << row.what;
        if (row.refused) {
            EXPECT_EQ(boxes.shown[0].title, "Ambiguous Name");
            EXPECT_EQ(boxes.shown[0].text, "The name selected is not unique. Choose a different name.");
        }
        EXPECT_EQ(elementPaths(w->treeWidget), before) << row.what;
        EXPECT_EQ(node("Setup1")->childCount(), setupChildren) << row.what;
        EXPECT_FALSE(w->getProjectChanged()) << row.what;
    }
}

TEST_F(ElementDialogs, CatalogueEntriesThatCannotBeBuiltAreRefusedWithTheReason) {
    WorkingDirectory::write("config/elements.config", R"(
"Element" "NoInputs" { "Parameters" { "a" "A"; } "ParameterSet" "Default" { "a" "1"; } }
"Element" "Lacking" { "Parameters" { "a" "A"; "b" "B"; } "ParameterSet" "Half" { "a" "1"; }
    "ParameterSet" "Full" { "a" "1"; "b" "2"; } "Inputs" { "Input" "Pulse"; } }
"Element" "NoSet" { "Parameters" { "a" "A"; } "Inputs" { "Input" "Pulse"; } }
"Element" "Bare" { "Inputs" { "Input" "Pulse"; } }
)");
    start();
    select("Setup1%Cavity1");
    struct Row {
        QString kind, set, refusal;
        int inputs;
    };
    const std::vector<Row> rows = {
        {"NoInputs", "", "The element kind NoInputs has no inputs in the element catalogue.", 0},
        {"Lacking", "Half", "The parameter set Half of the element kind Lacking has no value for b.", 1},
        {"Lacking", "Full", "", 1},
        {"NoSet", "",
         "The element kind NoSet has parameters but no parameter set None in the element catalogue.", 1},
        {"Bare", "", "", 1},
    };
    MessageBoxes boxes;
    SelectElement d(w->getElementData(), w.get());
    ASSERT_EQ(boxes.shown.size(), 1u);  // the first kind is chosen as the dialog opens
    for (const Row& row : rows) {
        boxes.shown.clear();
        click(d.elementType, row.kind);
        if (!row.set.isEmpty()) {
            boxes.shown.clear();
            click(d.elementParameters, row.set);
        }
        SCOPED_TRACE(row.kind.toStdString() + " " + row.set.toStdString());
        EXPECT_EQ(d.getInputs(), row.inputs);
        EXPECT_EQ(d.buttonBox->button(QDialogButtonBox::Ok)->isEnabled(), row.refusal.isEmpty());
        if (row.refusal.isEmpty()) {
            EXPECT_TRUE(boxes.shown.empty());
        } else {
            ASSERT_FALSE(boxes.shown.empty());
            EXPECT_EQ(boxes.shown.back().title, "Invalid Element");
            EXPECT_EQ(boxes.shown.back().text, row.refusal);
        }
    }
    EXPECT_EQ(texts(d.elementParameters), QStringList{"None"});

    // A kind without parameters carries only its type and condition.
    addElement({"Bare", "", {}, ""});
    ASSERT_NE(node("Setup1%Cavity1%Bare1"), nullptr);
    EXPECT_EQ(parameterNames(node("Setup1%Cavity1%Bare1")), (QStringList{"ElementType", "Condition"}));
    // Accepted past a disabled OK, a kind without inputs still builds nothing.
    const QStringList before = elementPaths(w->treeWidget);
    guitesting::onNextModalDialog([](QDialog* dialog) {
        click(qobject_cast<SelectElement*>(dialog)->elementType, "NoInputs");
        dialog->accept();
    });
    w->actionAdd_Element->trigger();
    EXPECT_EQ(elementPaths(w->treeWidget), before);
}

TEST_F(ElementDialogs, AnEmptyCatalogueWithoutPluginsOffersNothingAndBuildsNothing) {
    WorkingDirectory::write("config/elements.config", "");
    start();
    w->treeWidget->clearSelection();
    SelectElement d(w->getElementData(), w.get());
    EXPECT_EQ(d.elementType->count(), 0);
    EXPECT_EQ(d.getInputs(), 0);
    EXPECT_FALSE(d.buttonBox->button(QDialogButtonBox::Ok)->isEnabled());
    EXPECT_EQ(d.getSelectedSetup(), node("Setup1"));
    EXPECT_EQ(d.takeCreatedNode(0), nullptr);
    guitesting::onNextModalDialog([](QDialog* dialog) { dialog->accept(); });
    w->actionAdd_Element->trigger();
    EXPECT_TRUE(elementPaths(w->treeWidget).isEmpty());
}

TEST_F(ElementDialogs, OnlyValidPluginsAreOfferedAndBuildOneNumberPerParameterName) {
    start(true);
    select("Setup1%Cavity1");
    SelectElement d(w->getElementData(), w.get());
    QStringList kinds;
    ConfigNode_* root = w->getElementData()->getRoot();
    for (int k = 0; k < root->getChildren(); ++k) kinds << text(root->getChild(k)->getValue());
    EXPECT_EQ(texts(d.elementType),
              kinds + (QStringList{"Endless", "LinearLoss2", "MultiOnly", "TestScale", "TestScale2"}));
    click(d.elementType, "Endless");
    EXPECT_EQ(texts(d.elementParameters), QStringList{"None"});
    ASSERT_EQ(d.getInputs(), 2);
    EXPECT_EQ(d.getInput(1), "Pulse1");
    EXPECT_EQ(cell(d, 0, 1), "Setup1%Cavity1");
    EXPECT_EQ(cell(d, 1, 1), "New Cavity");
    EXPECT_EQ(choices(d, 1, 1), (QStringList{"New Cavity", "Setup1%Cavity1"}));
    EXPECT_EQ(d.lineEditName->text(), "Endless1");

    addElement({"TestScale", "", {}, ""});
    ElementNode_* scale = element("Setup1%Cavity1%TestScale1");
    ASSERT_NE(scale, nullptr);
    EXPECT_EQ(parameterNames(scale),
              (QStringList{"ElementType", "Condition", "scale", " delay", "spectrum"}));
    EXPECT_EQ(scale->getParameter("ElementType")->getValue()->text(), "TestScale");
    for (int i = 2; i < 5; ++i) {
        EXPECT_EQ(scale->getParameter(i)->getValue()->text(), "0");
        EXPECT_EQ(scale->getParameter(i)->getTypeString(), "Double");
    }
    EXPECT_EQ(scale->getInputs(), 1);
    EXPECT_EQ(scale->getInputType(0), "Pulse0");
}

TEST_F(ElementDialogs, TheInstanceDialogOffersTheSetupsCavitiesAndTheirPlaces) {
    start();
    select("Setup1%Cavity1");
    addElement({"LinearLoss", "", {}, ""});
    select("Setup1%Cavity1");
    addElement({"Propagation", "", {}, ""});
    addCavity();
    select("Setup1%Cavity1");
    w->actionAdd_Element_Group->trigger();

    AddInstance_ d(w.get(), element("Setup1%Cavity1%LinearLoss1"));
    std::vector<InstanceRow> rows = instanceRows(&d);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].box->title(), "Pulse");
    EXPECT_EQ(texts(rows[0].cavity), (QStringList{"Cavity1", "Cavity2"}));
    EXPECT_EQ(texts(rows[0].position), (QStringList{"In the beginning", "In the end", "After LinearLoss1",
                                                    "After Propagation1", "After ElementGroup1"}));
    EXPECT_EQ(rows[0].position->currentIndex(), 1);
    const std::vector<int> positions = {0, 3, 1, 2, 3};
    for (int i = 0; i < 5; ++i) {
        rows[0].position->setCurrentIndex(i);
        EXPECT_EQ(d.getPosition(0), positions[i]) << i;
    }
    rows[0].cavity->setCurrentIndex(1);
    EXPECT_EQ(d.getGroup(0), node("Setup1%Cavity2"));
    EXPECT_EQ(texts(rows[0].position), (QStringList{"In the beginning", "In the end"}));
    EXPECT_EQ(d.getPosition(0), 0);
    for (int row : {-1, 1}) {
        EXPECT_EQ(d.getGroup(row), nullptr);
        EXPECT_EQ(d.getPosition(row), 0);
    }

    // Three inputs: three rows titled by the inputs; a new cavity refreshes only its row.
    addElement({"DFGTime", "", {{"Setup1%Cavity1", ""}, {"Setup1%Cavity2", ""}, {}}, ""});
    AddInstance_ three(w.get(), element("Setup1%Cavity1%DFGTime1"));
    rows = instanceRows(&three);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ((QStringList{rows[0].box->title(), rows[1].box->title(), rows[2].box->title()}),
              (QStringList{"Pump", "Signal", "Idler"}));
    rows[2].cavity->setCurrentIndex(2);
    EXPECT_EQ(three.getPosition(0), 4);
    EXPECT_EQ(three.getPosition(2), 1);
    EXPECT_EQ(texts(rows[2].position), (QStringList{"In the beginning", "In the end", "After DFGTime1"}));
}

TEST_F(ElementDialogs, InstancesArePlacedAsChosenAndThePanelsFollowInputsAndInstances) {
    start();
    select("Setup1%Cavity1");
    addElement({"LinearLoss", "", {}, ""});
    addCavity();
    select("Setup1%Cavity2");
    addElement({"Propagation", "", {}, ""});
    select("Setup1%Cavity1%LinearLoss1");
    addInstance({{1, 0}});
    EXPECT_EQ(childNames(node("Setup1%Cavity2")), (QStringList{"LinearLoss1.11", "Propagation1"}));
    EXPECT_EQ(w->treeWidget->currentItem(), node("Setup1%Cavity1%LinearLoss1"));
    EXPECT_EQ(texts(w->instanceList),
              (QStringList{"Setup1%Cavity1%LinearLoss1", "Setup1%Cavity2%LinearLoss1.11"}));
    EXPECT_EQ(w->instanceList->currentRow(), 0);

    const std::string logged = loggedWhile([&] { w->instanceList->setCurrentRow(1); });
    EXPECT_EQ(logged.rfind("Setting treeWidget->setCurrentItem(", 0), 0u) << logged;
    EXPECT_NE(logged.find("); for row 1.\n"), std::string::npos) << logged;
    EXPECT_EQ(w->treeWidget->currentItem(), node("Setup1%Cavity2%LinearLoss1.11"));
    EXPECT_EQ(w->itemName->text(), "LinearLoss1.11");
    EXPECT_EQ(w->instanceList->currentRow(), 1);

    // Three inputs: the inputs panel jumps to an input and lists its instances.
    addElement({"DFGTime", "", {{"Setup1%Cavity1", ""}, {"Setup1%Cavity2", ""}, {}}, ""});
    select("Setup1%Cavity1%DFGTime1");
    ASSERT_EQ(w->inputList->topLevelItemCount(), 3);
    EXPECT_EQ(w->inputList->topLevelItem(2)->text(0), "Idler");
    EXPECT_EQ(w->inputList->topLevelItem(2)->text(1), "Setup1%Cavity3%DFGTime1");
    w->inputList->setCurrentItem(w->inputList->topLevelItem(1));
    EXPECT_EQ(w->treeWidget->currentItem(), node("Setup1%Cavity2%DFGTime1"));
    EXPECT_EQ(texts(w->instanceList), QStringList{"Setup1%Cavity2%DFGTime1"});
    EXPECT_EQ(w->itemName->text(), "DFGTime1");

    select("Setup1%Cavity1%DFGTime1");
    addInstance({{2, 0}, {0, -1}, {1, -1}});
    ElementNode_* master = element("Setup1%Cavity1%DFGTime1");
    ASSERT_EQ(master->getInstances(), 2);
    const QStringList row1 = {"Setup1%Cavity3%DFGTime1.11", "Setup1%Cavity1%DFGTime1.11",
                              "Setup1%Cavity2%DFGTime1.11"};
    ElementBaseNode_* pump = master->getInstance(1);
    ASSERT_EQ(pump->getInputs(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(pump->getInput(i)->getPath(), row1[i]);
        EXPECT_EQ(pump->getInput(i)->getMasterInput(), pump);
        EXPECT_EQ(pump->getInput(i)->getMaster(), master);
    }
    EXPECT_EQ(childNames(node("Setup1%Cavity3")).first(), "DFGTime1.11");  // at the beginning

    // A later click in the tree refills the panel again.
    select("Setup1%Cavity2");
    EXPECT_EQ(w->itemName->text(), "Cavity2");

    // Elements inside groups get no instance from here.
    select("Setup1%Cavity1");
    w->actionAdd_Element_Group->trigger();
    addElement({"GaussianFilter", "", {{"Setup1%Cavity1%ElementGroup1", ""}}, ""});
    select("Setup1%Cavity1%ElementGroup1%GaussianFilter1");
    const QStringList before = elementPaths(w->treeWidget);
    EXPECT_EQ(loggedWhile([&] { w->buttonAddInstance->click(); }),
              "Instances inside element groups not implemented yet.\n");
    EXPECT_EQ(elementPaths(w->treeWidget), before);
}

TEST_F(ElementDialogs, RemovingANodeTakesItsRowAndRemovingAMasterTheWholeElement) {
    start();
    addCavity();
    select("Setup1%Cavity1");
    addElement({"LinearLoss", "", {}, "Loss"});
    select("Setup1%Cavity1%Loss");
    addInstance({{1, -1}});
    addInstance({{0, -1}});
    addElement({"DFGTime", "", {{"Setup1%Cavity1", ""}, {"Setup1%Cavity2", ""}, {}}, "Mix"});
    select("Setup1%Cavity1%Mix");
    addInstance({{1, -1}, {0, -1}, {2, -1}});

    // Paths below Setup1; what is left after each removal, in path order.
    const QStringList mix = {"Cavity1%Mix", "Cavity2%Mix", "Cavity3%Mix"};
    const QStringList mixInstance = {"Cavity1%Mix.11", "Cavity2%Mix.11", "Cavity3%Mix.11"};
    const std::vector<std::pair<QString, QStringList>> steps = {
        {"Cavity1", QStringList{"Cavity1%Loss", "Cavity1%Loss.21", "Cavity2%Loss.11"} + mix + mixInstance},
        {"Cavity2%Loss.11", QStringList{"Cavity1%Loss", "Cavity1%Loss.21"} + mix + mixInstance},  // itself
        {"Cavity1%Loss", mix + mixInstance},  // the master: every instance
        {"Cavity3%Mix.11", mix},              // one input of instance 1: its row
        {"Cavity3%Mix", {}},                  // an input of instance 0: the whole element
    };
    for (const auto& [removed, remaining] : steps) {
        select("Setup1%" + removed);
        w->buttonRemoveInstance->click();
        QStringList left = elementPaths(w->treeWidget).replaceInStrings(QRegularExpression("^Setup1%"), "");
        left.sort();
        QStringList expected = remaining;
        expected.sort();
        EXPECT_EQ(left, expected) << removed.toStdString();
    }
}

}  // namespace
