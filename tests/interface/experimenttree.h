#pragma once
// Experiments written as setup trees, with the parameters the window gives
// new items, for tests that build and run them.
#include <QString>
#include <initializer_list>
#include <utility>

#include "interface/cavitynode.h"
#include "interface/elementnode.h"
#include "interface/measurementnode.h"
#include "interface/parameter.h"
#include "interface/setupnode.h"

namespace experimenttree {

constexpr int samples = 256;

inline Parameter_* addParameter(Node_* node, const QString& name, DataType_::type_ type,
                                const QString& value, bool expression = false, int pulseSamples = samples) {
    const int extent[] = {pulseSamples};
    const bool pulse = type == DataType_::pulse;
    auto* p = new Parameter_(type, pulse ? 1 : 0, pulse ? extent : nullptr);
    p->setName(name);
    p->setValue(value);
    if (expression) p->troggleExpression(true);
    node->addParameter(p);
    return p;
}

template <class N>
N* add(Node_* parent, const QString& name) {
    auto* n = new N;
    n->setText(0, name);
    parent->addChild(n);
    return n;
}

// A top-level setup with its "Measurements" group.
inline SetupNode_* setup(QTreeWidget* tree, const QString& name, int roundtrips, int pulseSamples = samples) {
    auto* s = new SetupNode_(tree);
    s->setText(0, name);
    addParameter(s, "Roundtrips", DataType_::integer, QString::number(roundtrips));
    addParameter(s, "Roundtrip", DataType_::integer, "");
    addParameter(s, "Samples", DataType_::integer, QString::number(pulseSamples));
    addParameter(s, "Directory", DataType_::string, name);
    add<MeasurementGroupNode_>(s, "Measurements");
    return s;
}

// A cavity with a Gaussian pulse of 1e-7 J; its "Pulse" holds as many
// samples as the setup gives it.
inline CavityNode_* cavity(Node_* setup, const QString& name, int pulseSamples = samples) {
    auto* c = new CavityNode_;
    c->setText(0, name);
    setup->insertChild(setup->childCount() - 1, c);
    addParameter(c, "InnitialPulseShape", DataType_::string, "Gaussian");
    addParameter(c, "InnitialPulseDuration", DataType_::doubleprecision, "1e-12");
    addParameter(c, "InnitialPulseDomain", DataType_::string, "time");
    addParameter(c, "PulseTime", DataType_::quadprecision, "0");
    addParameter(c, "PulseWavelength", DataType_::quadprecision, "1064e-9");
    addParameter(c, "InnitialPulseEnergy", DataType_::doubleprecision, "1e-7");
    addParameter(c, "Pulse", DataType_::pulse, "", false, pulseSamples);
    addParameter(c, "RecenterPulse", DataType_::logical, "true");
    return c;
}

using Values = std::initializer_list<std::pair<const char*, const char*>>;

// The nodes of a new element of `kind`, one per holder, linked as its inputs.
inline QList<ElementNode_*> element(const QString& name, const QString& kind, Values values,
                                    std::initializer_list<Node_*> holders) {
    QList<ElementNode_*> nodes;
    QList<ElementBaseNode_*> inputs;
    for (Node_* holder : holders) {
        auto* e = add<ElementNode_>(holder, name);
        addParameter(e, "ElementType", DataType_::string, kind);
        addParameter(e, "Condition", DataType_::string, "always", true);
        for (const auto& v : values) addParameter(e, v.first, DataType_::doubleprecision, v.second);
        nodes.append(e);
        inputs.append(e);
    }
    ElementBaseNode_::linkNewElement(inputs);
    return nodes;
}

inline ElementGroupNode_* group(Node_* holder, const QString& name, int iterations) {
    auto* g = add<ElementGroupNode_>(holder, name);
    addParameter(g, "Iterations", DataType_::integer, QString::number(iterations));
    addParameter(g, "Condition", DataType_::string, "always", true);
    return g;
}

inline MeasurementNode_* measurement(Node_* group, const QString& name, const QString& what,
                                     const QString& when = "always") {
    auto* m = add<MeasurementNode_>(group, name);
    addParameter(m, "Parameter", DataType_::string, what, true);
    addParameter(m, "Condition", DataType_::string, when, true);
    addParameter(m, "FileName", DataType_::string, name + ".dat");
    return m;
}

inline Node_* measurements(SetupNode_* setup) { return setup->getMeasurementsGroup(); }

}  // namespace experimenttree
