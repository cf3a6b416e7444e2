#include "interface/setupstatus.h"

#include <QTreeWidget>
#include <QVBoxLayout>

#include "interface/error.h"
#include "interface/node.h"

namespace {
SetupStatusSink_::Factory& factory() {
    static SetupStatusSink_::Factory f;
    return f;
}
}  // namespace

SetupStatusSink_* SetupStatusSink_::create(QWidget* parent, SetupNode_* node) {
    if (factory()) return factory()(parent, node);
    return new PlainSetupStatus_(parent);
}

void SetupStatusSink_::setFactory(Factory f) { factory() = std::move(f); }

PlainSetupStatus_::PlainSetupStatus_(QWidget* parent)
    : QWidget(parent), Errors(new QTreeWidget(this)) {
    Errors->setColumnCount(3);
    Errors->setHeaderLabels({tr("Code"), tr("Message"), tr("Source")});
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Errors);
    setEnabled(false);
}

void PlainSetupStatus_::addError(const QString& message, Node_* source, int code) {
    auto* row = new QTreeWidgetItem(Errors);
    row->setText(0, Error_::getErrorString(static_cast<Error_::errorCode_>(code)));
    row->setText(1, message);
    row->setText(2, source ? source->getPath() : QStringLiteral("Unknown"));
}

void PlainSetupStatus_::setSetup(Setup_*) { setEnabled(true); }

void PlainSetupStatus_::clearSetup() {
    Errors->clear();
    setEnabled(false);
}
