#include "interface/measurementrow.h"

#include "interface/measurementnode.h"
#include "interface/measurementtreenode.h"

namespace {
MeasurementRow_::Factory& factory() {
    static MeasurementRow_::Factory f;
    return f;
}
}  // namespace

MeasurementRow_::MeasurementRow_(MeasurementNode_* node) : MeasurementNode(node) {}

MeasurementRow_::~MeasurementRow_() { MeasurementNode->forgetRow(this); }

void MeasurementRow_::refreshInfo() {
    setText(0, MeasurementNode->text(0));
    setText(1, MeasurementNode->getPath());
}

MeasurementRow_* MeasurementRow_::create(MeasurementNode_* node) {
    if (factory()) return factory()(node);
    return new MeasurementTreeNode_(node);
}

void MeasurementRow_::setFactory(Factory f) { factory() = std::move(f); }
