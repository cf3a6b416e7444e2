// libFuzzer target for the expression language: every input is parsed and
// checked against a small fixed setup; a valid value expression must build an
// operation and a valid test a condition, and both are evaluated against
// parameters bound to fields holding a Gaussian pulse, numbers and arrays.
#include <QApplication>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "core/condition.h"
#include "core/datashape.h"
#include "core/operation.h"
#include "core/pulse.h"
#include "interface/cavitynode.h"
#include "interface/error.h"
#include "interface/expressionparser.h"
#include "interface/measurementnode.h"
#include "interface/parameter.h"
#include "interface/setupnode.h"
#include "logger.h"

// The offscreen platform keeps its screen objects until the process ends.
extern "C" const char* __lsan_default_suppressions() { return "leak:libqoffscreen.so\n"; }

namespace {

constexpr int pulseSamples = 64;

// The live fields the tree's parameters are bound to.
struct Fields {
    Pulse_ pulse{pulseSamples, nullptr};
    int32_t integers[6] = {1, 2, 0, -3, 4, 2};
    double x = 0.5;
    optics::complex_ z{1.0f, -2.0f};
    uint8_t flag = 1;
    long double time = 1e-12L;
    long double wavelength = 800e-9L;
    double X[3] = {1.0, -2.0, 3.0};
    double Y[4] = {0.0, 1.0, 2.0, 3.0};
    optics::complex_ Z[3] = {{1.0f, 0.0f}, {0.0f, 1.0f}, {-1.0f, 0.5f}};
};

struct Tree {
    Fields fields;
    SetupNode_* setup = new SetupNode_(nullptr);
    Parameter_* holders[3] = {};
};

Parameter_* addParameter(Node_* node, const char* name, DataType_::type_ type, void* field,
                         std::vector<int> samples = {}) {
    auto* p = new Parameter_(type, static_cast<int>(samples.size()), samples.empty() ? nullptr : samples.data());
    p->setName(name);
    p->setData(field);
    node->addParameter(p);
    return p;
}

Tree& tree() {
    static Tree* t = [] {
        auto* t = new Tree;
        Fields& f = t->fields;
        f.pulse.createGaussian(1e-12, 1e-9, 800e-9, nullptr);
        t->setup->setText(0, "Setup1");
        auto* cavity = new CavityNode_;
        cavity->setText(0, "Cavity1");
        t->setup->addChild(cavity);
        addParameter(cavity, "Pulse", DataType_::pulse, &f.pulse, {pulseSamples});
        addParameter(cavity, "PulseTime", DataType_::quadprecision, &f.time);
        addParameter(cavity, "PulseWavelength", DataType_::quadprecision, &f.wavelength);
        auto* group = new MeasurementGroupNode_;
        group->setText(0, "Measurements");
        t->setup->addChild(group);
        auto* m = new MeasurementNode_;
        m->setText(0, "M1");
        group->addChild(m);
        const char* integers[] = {"a", "b", "c", "i", "j", "Roundtrip"};
        for (int k = 0; k < 6; ++k) addParameter(m, integers[k], DataType_::integer, &f.integers[k]);
        addParameter(m, "x", DataType_::doubleprecision, &f.x);
        addParameter(m, "z", DataType_::complex, &f.z);
        addParameter(m, "flag", DataType_::logical, &f.flag);
        addParameter(m, "P", DataType_::pulse, &f.pulse, {pulseSamples});
        addParameter(m, "X", DataType_::doubleprecision, f.X, {3});
        addParameter(m, "Y", DataType_::doubleprecision, f.Y, {4});
        addParameter(m, "Z", DataType_::complex, f.Z, {3});
        addParameter(m, "Label", DataType_::string, nullptr);
        const char* holders[] = {"Expr", "Parameter", "Condition"};
        for (int k = 0; k < 3; ++k) {
            t->holders[k] = addParameter(m, holders[k], DataType_::string, nullptr);
            t->holders[k]->troggleExpression(true);
        }
        return t;
    }();
    return *t;
}

[[noreturn]] void broken(const char* what, const QString& text) {
    std::fprintf(stderr, "expression fuzz: %s for \"%s\"\n", what, text.toUtf8().constData());
    std::abort();
}

// Builds and evaluates what a parser accepted; a valid expression must build.
void evaluate(ExpressionParser_& parser, const QString& text) {
    if (!parser.checkExpression()) {
        if (parser.getErrorCode() == 0 || parser.getErrorMessage().isEmpty()) broken("failure without a code", text);
        return;
    }
    std::unique_ptr<Condition_> condition(parser.getCondition());
    if (condition) {
        condition->isMet();
        return;
    }
    std::unique_ptr<Operation_> operation(parser.getOperation());
    if (!operation) broken("a valid expression built nothing", text);
    operation->perform();
    const DataShape_* shape = operation->getShape();
    shape->freeData(operation->takeResult());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "expression_fuzz";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    Logger_::setOutStream(Logger_::none);
    tree();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<int>(size));
    Tree& t = tree();
    Parameter_* any = t.holders[0];

    ExpressionParser_ parser(any);
    parser.setExpression(text);
    evaluate(parser, text);
    ExpressionParser_ copy(parser);
    if (copy.dump() != parser.dump() || copy.getErrorCode() != parser.getErrorCode()) broken("a copy differs", text);
    evaluate(copy, text);

    // The measured quantity and the condition of a measurement, as verification
    // parses them; a text that fails above fails there alike.
    const bool special = text.simplified().isEmpty() || text == QLatin1String("always");
    for (Parameter_* holder : {t.holders[1], t.holders[2]}) {
        if (!parser.checkExpression() && !special) break;
        holder->setValue(text);
        if (holder->parse() && holder->getExpression()) evaluate(*holder->getExpression(), text);
    }
    errortesting::reset();
    return 0;
}
