#include "interface/measurementtreenode.h"

#include <QList>
#include <QStringList>
#include <QTreeWidget>

#include "core/datashape.h"
#include "core/measurement.h"
#include "core/operation.h"
#include "interface/measurementnode.h"
#include "interface/parameter.h"

QPointer<QTextEdit> MeasurementTreeNode_::MeasurementText;

MeasurementTreeNode_::MeasurementTreeNode_(MeasurementNode_* node) : MeasurementRow_(node) {}

void MeasurementTreeNode_::setMeasurementText(QTextEdit* pane) { MeasurementText = pane; }

void MeasurementTreeNode_::refreshInfo() {
    MeasurementRow_::refreshInfo();
    QTreeWidget* tree = treeWidget();
    if (tree && isSelected()) refreshText();
    followExpansion(tree);

    const int sets = listedSets();
    const int listed = childCount();
    // A closed row offers to open while it has sets without rows.
    setChildIndicatorPolicy(sets > listed ? ShowIndicator : DontShowIndicatorWhenChildless);
    if (sets <= listed || !isExpanded()) return;
    const QString name = text(0) + QLatin1Char('.');
    const QString path = text(1);
    // One insertion for all new rows: a run adds thousands between two ticks.
    QList<QTreeWidgetItem*> rows;
    rows.reserve(sets - listed);
    for (int i = listed; i < sets; ++i)
        rows.append(new QTreeWidgetItem(QStringList{name + QString::number(i), path}));
    addChildren(rows);
}

void MeasurementTreeNode_::followExpansion(QTreeWidget* tree) {
    static const char* const followed = "measurementRowsFollowed";
    if (!tree || tree->property(followed).toBool()) return;
    tree->setProperty(followed, true);
    // Every row is one line of text: uniform heights spare the view measuring
    // each of a million rows on every layout.
    tree->setUniformRowHeights(true);
    QObject::connect(tree, &QTreeWidget::itemExpanded, tree, [](QTreeWidgetItem* item) {
        if (auto* row = dynamic_cast<MeasurementTreeNode_*>(item)) row->refreshInfo();
    });
}

int MeasurementTreeNode_::listedSets() const {
    const Measurement_* m = MeasurementNode->Measurement;
    const Operation_* op = m ? m->getOperation() : nullptr;
    if (!op) return 0;
    const DataShape_* result = op->getShape();
    if (result->getDimension() < 1 && result->getType() != DataType_::pulse) return 0;
    return m->getInMemory();
}

QString MeasurementTreeNode_::parameterValue(const QString& name) const {
    if (!MeasurementNode->hasParameter(name)) return QStringLiteral("Unknown");
    return MeasurementNode->getParameter(name)->getValue()->text();
}

void MeasurementTreeNode_::refreshText() {
    if (!MeasurementText) return;
    const Measurement_* m = MeasurementNode->Measurement;
    const unsigned collected = m ? static_cast<unsigned>(m->getCollected()) : 0u;
    MeasurementText->setText(QStringLiteral("<b>Parameter</b>: ") + parameterValue(QStringLiteral("Parameter")) +
                             QStringLiteral("<br><br><b>Data Type</b>: ") + parameterValue(QStringLiteral("DataType")) +
                             QStringLiteral("<br><b>Dimension</b>: ") + parameterValue(QStringLiteral("Dimension")) +
                             QStringLiteral("<br><br><b>File Name</b>: ") + parameterValue(QStringLiteral("FileName")) +
                             QStringLiteral("<br><br><b>Collected Samples</b>: ") + QString::number(collected));
}
