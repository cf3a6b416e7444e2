#include "dialogs/setupstatuswidget.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QStringList>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdint>
#include <limits>

#include "core/setup.h"
#include "interface/error.h"
#include "interface/node.h"
#include "interface/parameter.h"
#include "interface/qwtplot.h"
#include "interface/setupnode.h"

namespace {

// Whether `P` is still a parameter of `node` or of a node below it.
bool holdsParameter(Node_* node, const Parameter_* P) {
    for (int i = 0; i < node->getParameters(); ++i)
        if (node->getParameter(i) == P) return true;
    for (int i = 0; i < node->childCount(); ++i)
        if (Node_* child = node->getChild(i); child && holdsParameter(child, P)) return true;
    return false;
}

constexpr int historyInterval = 500;

}  // namespace

SetupStatusWidgetParameterNode_::SetupStatusWidgetParameterNode_(const QString& name)
    : QTreeWidgetItem(itemType), Parameter(nullptr) {
    setText(0, name);
}

SetupStatusWidgetParameterNode_::SetupStatusWidgetParameterNode_(Parameter_* P)
    : QTreeWidgetItem(itemType), Parameter(P) {
    setText(0, P->getName()->text());
}

void SetupStatusWidget_::installFactory() {
    SetupStatusSink_::setFactory([](QWidget* parent, SetupNode_* node) -> SetupStatusSink_* {
        return new SetupStatusWidget_(parent, node);
    });
}

SetupStatusWidget_::SetupStatusWidget_(QWidget* parent, SetupNode_* node)
    : QWidget(parent), SetupNode(node) {
    setupUi(this);
    Plot = new QwtPlot_(plotBox);
    auto* plotLayout = new QVBoxLayout(plotBox);
    plotLayout->addWidget(Plot);
    splitter_3->setSizes({400, 200});
    setEnabled(false);
    showIdleTexts();
    setupProgress->setRange(0, 100);
    setupProgress->setValue(0);
    tuneSlider->setRange(0, 200);
    tuneSlider->setValue(100);
    tuneSlider->setEnabled(false);
    // Room for a double's full text, with a blank on either side for the frame's padding.
    const QString widest = ' ' + QString::number(-std::numeric_limits<double>::max(), 'e', 10) + ' ';
    parameterValueText->setMinimumWidth(QFontMetrics(parameterValueText->font()).horizontalAdvance(widest) +
                                        2 * style()->pixelMetric(QStyle::PM_DefaultFrameWidth));
    connect(parameterTree, &QTreeWidget::itemClicked, this, &SetupStatusWidget_::parameterClicked);
    connect(errorList, &QTreeWidget::itemClicked, this, &SetupStatusWidget_::errorClicked);
    connect(tuneSlider, &QSlider::sliderReleased, this, &SetupStatusWidget_::tune);
}

void SetupStatusWidget_::showIdleTexts() {
    setupText->setText(tr("The simulation is not running."));
    parameterText->setText(tr("No parameter is selected."));
    errorText->setText(tr("No error is selected."));
}

void SetupStatusWidget_::setSetup(Setup_* S) {
    if (Setup || !S) return;
    Setup = S;
    const QString samplesLine = tr("Samples per Pulse: ") + QString::number(S->getSamples()) + '\n';
    if (!S->isRunning()) {
        totalRoundtrips = S->getRoundtrips();
        setupText->setText(tr("Cavities: ") + QString::number(S->getCavities()) + '\n' +
                           tr("Total Elements: ") + QString::number(S->getElements()) + '\n' +
                           tr("Direct Measurements: ") + QString::number(S->getMeasurements()) + '\n' +
                           tr("Total Roundtrips: ") + QString::number(totalRoundtrips) + '\n' +
                           samplesLine);
    } else {
        setupText->setText(
            tr("Internal error in\nvoid SetupStatusWidget_::setSetup(Setup_* const S):\n"
               "Function called with running Setup_.\n") +
            samplesLine);
    }
    // The channel is made after the tab, so the tab connects once a run comes.
    if (Accessor_* accessor = SetupNode ? SetupNode->getAccessor() : nullptr) {
        const auto queued = static_cast<Qt::ConnectionType>(Qt::QueuedConnection | Qt::UniqueConnection);
        connect(accessor, &Accessor_::updateSetupStatus, this, &SetupStatusWidget_::updateSetupStatus, queued);
        connect(accessor, &Accessor_::updateParameterDisplay, this,
                &SetupStatusWidget_::updateParameterDisplay, queued);
        connect(accessor, &Accessor_::plotHistory, this, &SetupStatusWidget_::plotHistory, queued);
        connect(accessor, &Accessor_::plotParameter, this, &SetupStatusWidget_::plotParameter, queued);
        connect(accessor, &Accessor_::updatePlot, this, &SetupStatusWidget_::updatePlot, queued);
    }
    buildParameterTree(nullptr, nullptr);
    setEnabled(true);
    refresh();
}

void SetupStatusWidget_::clearSetup() {
    dropQueuedReports();
    setEnabled(false);
    parameterTree->clear();
    errorList->clear();
    showIdleTexts();
    setupProgress->setValue(0);
    // Nothing of this run's live value and history stays for the next.
    clearValue();
    Setup = nullptr;
}

void SetupStatusWidget_::clearValue() {
    parameterValueText->clear();
    Plot->setPlotData(nullptr, nullptr, 0);
    Plot->reset();
}

void SetupStatusWidget_::clearErrors() { errorList->clear(); }

void SetupStatusWidget_::update() {
    if (isRunning()) return;
    Parameter_* P = selectedParameter();
    setParameterValue(P ? P->getRealValue(nullptr) : QString());
}

void SetupStatusWidget_::setParameterValue(const QString& text) {
    parameterValueText->setText(text);
    // A long number reads from its mantissa, not from its end.
    parameterValueText->setCursorPosition(0);
}

void SetupStatusWidget_::buildParameterTree(Node_* node, SetupStatusWidgetParameterNode_* row) {
    if (!node) node = SetupNode;
    if (!node) return;
    const auto add = [this, row](QTreeWidgetItem* item) {
        if (row) row->addChild(item);
        else parameterTree->addTopLevelItem(item);
    };
    for (int i = 0; i < node->childCount(); ++i) {
        Node_* child = node->getChild(i);
        // The setup's own measurement group holds no parameters worth watching.
        if (!child || (node == SetupNode && child->getNodeType() == Node_::measurementgroup)) continue;
        auto* branch = new SetupStatusWidgetParameterNode_(child->text(0));
        add(branch);
        buildParameterTree(child, branch);
    }
    for (int i = 0; i < node->getParameters(); ++i) {
        Parameter_* P = node->getParameter(i);
        if (P && P->getMeasurable()) add(new SetupStatusWidgetParameterNode_(P));
    }
}

Parameter_* SetupStatusWidget_::selectedParameter() {
    auto* row = dynamic_cast<SetupStatusWidgetParameterNode_*>(parameterTree->currentItem());
    if (!row || !row->Parameter) return nullptr;
    // Editing after a run may have removed the parameter; the row is then a dead end.
    if (!SetupNode || !holdsParameter(SetupNode, row->Parameter)) row->Parameter = nullptr;
    return row->Parameter;
}

bool SetupStatusWidget_::isRunning() const { return Setup && Setup->isRunning(); }

void SetupStatusWidget_::refresh() {
    Parameter_* P = selectedParameter();
    if (!P) {
        tuneSlider->setEnabled(false);
        parameterText->setText(tr("No parameter is selected."));
        // Nothing is watched, so no value or curve is shown.
        if (isRunning()) {
            SetupNode->getAccessor()->request(nullptr, historyInterval);
            dropQueuedReports();
        }
        clearValue();
        return;
    }
    const int dimension = P->getDimension();
    QString text = tr("Parameter: ") + P->getName()->text() + '\n';
    if (P->getVisible()) text += tr("InnitialValue: ") + P->getValue()->text() + '\n';
    text += tr("Data Type: ") + P->getTypeString() + '\n';
    text += tr("Dimension: ") + QString::number(dimension) + '\n';
    if (dimension > 0) {
        QStringList extents;
        for (int d = 0; d < dimension; ++d) extents << QString::number(P->getSamples()[d]);
        text += tr("Samples: [") + extents.join(QStringLiteral("; ")) + "]\n";
    }
    if (P->isExpression()) text += tr("This parameter is derived from an expression.");
    parameterText->setText(text);

    const DataType_::type_ type = P->getType().get();
    const bool running = isRunning();
    tuneSlider->setEnabled(dimension == 0 && running && P->getHotChangeable() &&
                           (type == DataType_::logical || type == DataType_::integer ||
                            type == DataType_::doubleprecision));
    if (!running) {
        // No setup thread runs, so the bound value stands still.
        setParameterValue(P->getRealValue(nullptr));
        if (dimension == 1) {
            Plot->setPlotData(P);
            Plot->plot(nullptr, -1);
        }
        return;
    }
    SetupNode->getAccessor()->request(P->getLive(), historyInterval);
    dropQueuedReports();
    setParameterValue(tr("updating"));
}

void SetupStatusWidget_::addError(const QString& message, Node_*, int code) {
    auto* row = new QTreeWidgetItem(errorList);
    row->setText(0, QString::number(code));
    row->setText(1, message);
}

void SetupStatusWidget_::parameterClicked(QTreeWidgetItem*, int) { refresh(); }

void SetupStatusWidget_::errorClicked(QTreeWidgetItem* item, int) {
    if (!item) return;
    const auto code = static_cast<Error_::errorCode_>(item->text(0).toInt());
    errorText->setHtml(QStringLiteral("Error Type <b>") + Error_::getErrorString(code) +
                       QStringLiteral("</b>:<br><br>") + Error_::getErrorExplanation(code));
}

// The setup thread scales its own current value after its next round trip,
// so a tune holds from the first round trips of a run; the channel then
// reports the new value.
void SetupStatusWidget_::tune() {
    const int percent = std::max(1, tuneSlider->value());
    tuneSlider->setValue(100);
    Parameter_* P = selectedParameter();
    if (!P || P->getDimension() != 0 || !P->getData()) return;
    SetupNode->getAccessor()->tune(percent, P->getLive());
}

void SetupStatusWidget_::updateSetupStatus(int rt) {
    if (rt == -1) {
        setupProgress->setValue(setupProgress->maximum());
        return;
    }
    if (totalRoundtrips <= 0) return;
    const int64_t percent = int64_t(rt) * 100 / totalRoundtrips;
    if (percent >= setupProgress->minimum() && percent <= setupProgress->maximum())
        setupProgress->setValue(int(percent));
}

void SetupStatusWidget_::updateParameterDisplay(QString text) { setParameterValue(text); }

void SetupStatusWidget_::plotHistory(QVector<double> x, QVector<double> y) {
    Plot->setPlotData(x.constData(), y.constData(), std::min(x.size(), y.size()));
}

void SetupStatusWidget_::plotParameter(ParameterValuePtr value) {
    if (value) Plot->setPlotData(value->getShape(), value->getData());
}

void SetupStatusWidget_::updatePlot() { Plot->plot(nullptr, -1); }

void SetupStatusWidget_::dropQueuedReports() {
    QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
}
