#include "interface/monitornode.h"

#include "interface/parameter.h"
#include "interface/plot.h"

MonitorNode_::MonitorNode_(Parameter_* P, PlotFactory makePlot)
    : Parameter(P), makePlot(makePlot ? std::move(makePlot) : [] { return std::make_unique<Plot_>(); }) {
    refresh();
}

MonitorNode_::~MonitorNode_() = default;

void MonitorNode_::refresh() {
    setText(1, Parameter->getTypeString());
    setText(2, QString::number(Parameter->getDimension()));
    setText(3, Parameter->getRealValue(nullptr));
    if (Parameter->getType() != DataType_::pulse && Parameter->getDimension() < 1) return;
    if (!Plot) Plot = makePlot();
    Plot->plot(Parameter);
}
