#include "dialogs/addinstance.h"

#include <QComboBox>
#include <QGroupBox>
#include <QVBoxLayout>

#include "interface/elementnode.h"

AddInstance_::AddInstance_(MainWindow* mw, ElementNode_* element) : MW(mw), ElementNode(element) {
    setupUi(this);
    const int inputs = ElementNode ? ElementNode->getInputs() : 0;
    groupBox->setTitle(inputs > 0 ? ElementNode->getInputType(0) : QString());
    cavityBoxList << cavityBox;
    positionBoxList << positionBox;
    for (int i = 1; i < inputs; ++i) {
        auto* row = new QGroupBox(ElementNode->getInputType(i), this);
        verticalLayout_2->insertWidget(i, row);
        auto* layout = new QVBoxLayout(row);
        for (QList<QComboBox*>* list : {&cavityBoxList, &positionBoxList}) {
            auto* box = new QComboBox(row);
            box->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
            layout->addWidget(box);
            list->append(box);
        }
        adjustSize();
    }
    // Only cavities directly in the setup are offered: not the setup's
    // measurements, not element groups.
    Node_* setup = ElementNode ? ElementNode->getParent(Node_::setup) : nullptr;
    for (int c = 0; setup && c < setup->childCount(); ++c) {
        Node_* child = setup->getChild(c);
        if (!child || child->getNodeType() != Node_::cavity) continue;
        for (QComboBox* box : cavityBoxList) box->addItem(child->text(0));
        ElementGroupList << child;
    }
    if (inputs > 0) {
        for (QComboBox* box : cavityBoxList) box->setCurrentIndex(0);
        cavitySelectionChanged(0);
    }
    for (QComboBox* box : cavityBoxList)
        connect(box, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                &AddInstance_::cavitySelectionChanged);
}

AddInstance_::~AddInstance_() { ElementGroupList.clear(); }

void AddInstance_::cavitySelectionChanged(int index) {
    for (int row = 0; row < cavityBoxList.size(); ++row) {
        if (sender() && sender() != cavityBoxList[row]) continue;
        positionBoxList[row]->clear();
        if (index < 0 || index >= ElementGroupList.size()) return;
        fillPositions(positionBoxList[row], index);
    }
}

void AddInstance_::fillPositions(QComboBox* positions, int index) {
    positions->addItem(tr("In the beginning"));
    positions->addItem(tr("In the end"));
    Node_* container = ElementGroupList[index];
    for (int k = 0; k < container->childCount(); ++k)
        positions->addItem(tr("After ") + container->child(k)->text(0));
    positions->setCurrentIndex(1);
}

Node_* AddInstance_::getGroup(int row) const {
    if (row < 0 || row >= cavityBoxList.size()) return nullptr;
    return ElementGroupList.value(cavityBoxList[row]->currentIndex(), nullptr);
}

int AddInstance_::getPosition(int row) const {
    if (row < 0 || row >= positionBoxList.size()) return 0;
    const QComboBox* positions = positionBoxList[row];
    const int c = positions->currentIndex();
    if (c <= 0) return 0;
    if (c == 1) return positions->count() - 2;
    return c - 1;
}
