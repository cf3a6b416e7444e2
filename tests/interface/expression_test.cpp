// The expression language over a small setup: parsing, checks, building and
// evaluation, parameter expressions and tree verification.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "core/condition.h"
#include "core/operation.h"
#include "core/pulse.h"
#include "fakehost.h"
#include "interface/cavitynode.h"
#include "interface/elementnode.h"
#include "interface/expressiondialogs.h"
#include "interface/expressionnode.h"
#include "interface/expressionparser.h"
#include "interface/measurementnode.h"
#include "interface/messagebox.h"
#include "interface/setupnode.h"
#include "kernel/measures.h"

// Failures show texts as texts.
static void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace {

constexpr int pulseSamples = 64;

class ExpressionTest : public TreeFixture {
protected:
    void SetUp() override {
        TreeFixture::SetUp();
        MessageBox_::setHandler([this](const MessageBox_::Request& r) {
            boxes.push_back(r);
            return QMessageBox::Ok;
        });
        setup = new SetupNode_(host.setupTree);
        setup->setText(0, "Setup1");
        cavity = add<CavityNode_>(setup, "Cavity1");
        const int samples[] = {pulseSamples};
        auto* pulse = new Parameter_(DataType_::pulse, 1, samples);
        pulse->setName("Pulse");
        cavity->addParameter(pulse);
        measurement = add<MeasurementNode_>(add<MeasurementGroupNode_>(setup, "Measurements"), "M1");
        for (const char* name : {"a", "b", "c", "Roundtrip"}) addParameter(measurement, name, DataType_::integer);
        addParameter(measurement, "x", DataType_::doubleprecision);
        addParameter(measurement, "z", DataType_::complex);
        addParameter(measurement, "flag", DataType_::logical);
        addParameter(measurement, "text", DataType_::string);
        addParameter(measurement, "q", DataType_::quadprecision);
        addArray(measurement, "X", {3});
        addArray(measurement, "Y", {4});
        for (const char* name : {"Expr", "Parameter", "Condition"}) {
            Parameter_* p = addParameter(measurement, name, DataType_::string);
            p->troggleExpression(true);
        }
    }
    void TearDown() override {
        MessageBox_::setHandler({});
        ExpressionDialogFactory_::setFactory(nullptr);
        TreeFixture::TearDown();
    }

    static void addArray(Node_* node, const QString& name, std::vector<int> samples) {
        auto* p = new Parameter_(DataType_::doubleprecision, static_cast<int>(samples.size()), samples.data());
        p->setName(name);
        node->addParameter(p);
    }

    // A parser of the measurement's parameter `holder`, after parsing text.
    std::unique_ptr<ExpressionParser_> parse(const QString& text, const char* holder = "Expr") {
        auto parser = std::make_unique<ExpressionParser_>(measurement->getParameter(holder));
        parser->setExpression(text);
        return parser;
    }

    SetupNode_* setup = nullptr;
    CavityNode_* cavity = nullptr;
    MeasurementNode_* measurement = nullptr;
    std::vector<MessageBox_::Request> boxes;
};

struct Row {
    const char* text;
    const char* expected;
};

TEST_F(ExpressionTest, TextsSplitAtTheRightmostOperatorOfTheLowestLevelAndAtTheFirstPower) {
    const Row rows[] = {
        {"a-b-c", "-(-(a,b),c)"},
        {"a+b-c", "-(+(a,b),c)"},
        {"a/b*c", "*(/(a,b),c)"},
        {"a*b^c", "*(a,^(b,c))"},
        {"a^b^c", "^(a,^(b,c))"},
        {"((a))", "a"},
        {" ( a ) + ( b ) ", "+(a,b)"},
        {"(a+b)*(c+a)", "*(+(a,b),+(c,a))"},
        {"a<=b", "<=(a,b)"},
        {"a<b", "<(a,b)"},
        {"a != b", "!=(a,b)"},
        {"a .AND. b", ".AND.(a,b)"},
        {"a<b.OR.b<c.AND.a==c", ".AND.(.OR.(<(a,b),<(b,c)),==(a,c))"},
        {"X[a][b]", "LowerDimension(LowerDimension(X,a),b)"},
        {"X[(a+1)]", "LowerDimension(X,+(a,1))"},
        {"Intensity(Max(a),b)", "Intensity(Max(a),b)"},
        {"Energy(Cavity1%Pulse)*2", "*(Energy(Cavity1%Pulse),2)"},
        {"I*2.5", "*(I,2.5)"},
    };
    ExpressionParser_ owner(measurement->getParameter("Expr"));
    for (const Row& row : rows) {
        ExpressionNode_ root(&owner);
        EXPECT_TRUE(root.setExpression(row.text)) << row.text;
        EXPECT_EQ(root.dump().toStdString(), row.expected) << row.text;
    }
    // Only round parentheses shield a token; one running past the end is no match.
    ExpressionNode_ node(&owner);
    EXPECT_EQ(node.indexOfInTopLevel("(a.OR.b).OR.c", QStringLiteral(".OR.")), 8);
    EXPECT_EQ(node.indexOfInTopLevel("X[a.OR.b]", QStringLiteral(".OR.")), 3);
    EXPECT_EQ(node.indexOfInTopLevel("a.OR", QStringLiteral(".OR.")), -1);
    EXPECT_EQ(node.indexOfInTopLevel("(a,b),c", ','), 5);
}

TEST_F(ExpressionTest, EveryFaultEndsInItsCode) {
    struct ErrorRow {
        QString text;
        int code;
        const char* holder;
        const char* message = nullptr;  // the code's own text when null
    };
    const QString deepParentheses = QString(100000, '(') + "a" + QString(100000, ')');
    QString deepCalls = "x";
    for (int i = 0; i < 300; ++i) deepCalls = "Abs(" + deepCalls + ")";
    const ErrorRow rows[] = {
        {"Energy(Cavity1%Pulse", 1, "Expr"},
        {"X[Y[1]]", 1, "Expr"},
        {"X[1", 2, "Expr"},
        {"", 3, "Expr"},
        {"-1", 3, "Expr"},
        {"2e-3", 3, "Expr"},
        {"Foo+1", 3, "Expr"},
        {"Foo(a)", 3, "Expr"},
        {"(a+b", 3, "Expr"},
        {"a.and.b", 3, "Expr"},
        {"nan", 3, "Expr"},
        {"z==1", 4, "Expr"},
        {"flag==1", 4, "Expr"},
        {"(a<b)==1", 4, "Expr"},
        {"(a<b)+1", 4, "Expr"},
        {"Abs(a<b)", 4, "Expr"},
        {"a.AND.b", 4, "Expr"},
        {"Energy(x)", 4, "Expr"},
        {"text+1", 4, "Expr"},
        {"1-Cavity1%Pulse", 4, "Expr"},
        {"1/Cavity1%Pulse", 4, "Expr"},
        {"I^I", 4, "Expr"},
        {"UpCast(Cavity1%Pulse)", 4, "Expr"},
        {"X[1.5]", 4, "Expr"},
        {"a<b", 4, "Parameter"},
        {"", 4, "Parameter", "The expression is empty; the measurement Setup1%Measurements%M1 must measure something."},
        {"Energy(Cavity1%Pulse)", 4, "Condition"},
        {"a", 4, "Condition"},
        {"X[RaiseDimension(a,2)]", 5, "Expr"},
        {"a[1]", 5, "Expr"},
        {"Max()", 7, "Expr"},
        {"Energy(a,b)", 7, "Expr"},
        {"Intensity(RaiseDimension(a,b),c)", 7, "Expr"},
        {"X[a,b]", 7, "Expr"},
        {"X+Y", 8, "Expr"},
        {"RaiseDimension(a,0)", 8, "Expr"},
        {"RaiseDimension(a,b)", 8, "Expr"},
        {QString("a+").repeated(5000) + "a", 9, "Expr"},
        {deepParentheses, 9, "Expr"},
        {QString("a+").repeated(300) + "a", 10, "Expr"},
        {deepCalls, 10, "Expr"},
        {"RaiseDimension(X,2000000)", 11, "Expr"},
        {"RaiseDimension(Cavity1%Pulse,70000)", 11, "Expr"},
    };
    for (const ErrorRow& row : rows) {
        auto parser = parse(row.text, row.holder);
        const std::string shown = row.text.left(40).toStdString() + " in " + row.holder;
        EXPECT_FALSE(parser->checkExpression()) << shown;
        EXPECT_EQ(parser->getErrorCode(), row.code) << shown;
        EXPECT_EQ(parser->getErrorMessage(),
                  row.message ? QString(row.message)
                              : ExpressionNode_::getErrorString(static_cast<ExpressionNode_::expressionError_>(row.code)))
            << shown;
        EXPECT_EQ(parser->getOperation(), nullptr) << shown;
        EXPECT_EQ(parser->getCondition(), nullptr) << shown;
    }
    EXPECT_EQ(ExpressionNode_::getErrorString(ExpressionNode_::sampleMissmatch), "Shape missmatch");
    EXPECT_EQ(ExpressionNode_::getErrorString(static_cast<ExpressionNode_::expressionError_>(42)), "Unknown Error");
}

TEST_F(ExpressionTest, ChecksInsertCastsAndRaisesWhereOperandsDiffer) {
    struct CastRow {
        const char* text;
        const char* tree;
        DataType_::type_ type;
        int dimension;
    };
    const CastRow rows[] = {
        {"Roundtrip==1", "==(Roundtrip,1)", DataType_::logical, 0},
        {"x==1", "==(x,UpCast(1))", DataType_::logical, 0},
        {"2^3", "^(UpCast(2),UpCast(3))", DataType_::doubleprecision, 0},
        {"z+a", "+(z,UpCast(UpCast(a)))", DataType_::complex, 0},
        {"q*2", "*(q,UpCast(2))", DataType_::doubleprecision, 0},
        {"Intensity(x,1)", "Intensity(UpCast(x),UpCast(1))", DataType_::doubleprecision, 0},
        {"Energy(Cavity1%Pulse)*2", "*(Energy(Cavity1%Pulse),UpCast(2))", DataType_::doubleprecision, 0},
        {"Cavity1%Pulse*2", "*(Cavity1%Pulse,RaiseDimension(UpCast(UpCast(2)),64))", DataType_::pulse, 1},
        {"2*Cavity1%Pulse", "*(Cavity1%Pulse,RaiseDimension(UpCast(UpCast(2)),64))", DataType_::pulse, 1},
        {"X+1", "+(X,RaiseDimension(UpCast(1),3))", DataType_::doubleprecision, 1},
        {"RaiseDimension(X,2)+1", "+(RaiseDimension(X,2),RaiseDimension(RaiseDimension(UpCast(1),3),2))",
         DataType_::doubleprecision, 2},
        {"Cavity1%Pulse[5]", "LowerDimension(Cavity1%Pulse,5)", DataType_::complex, 0},
    };
    for (const CastRow& row : rows) {
        auto parser = parse(row.text);
        EXPECT_TRUE(parser->checkExpression()) << row.text << ": " << parser->getErrorMessage().toStdString();
        EXPECT_EQ(parser->dump().toStdString(), row.tree) << row.text;
        EXPECT_EQ(parser->getOutputType(), row.type) << row.text;
        EXPECT_EQ(parser->getOutputDimension(), row.dimension) << row.text;
    }
}

TEST_F(ExpressionTest, BuiltTreesReadTheBoundFieldsAtEveryEvaluation) {
    Pulse_ pulse(pulseSamples, nullptr);
    pulse.createGaussian(1e-12, 1e-9, 800e-9, nullptr);
    int roundtrip = 0;
    long double time = 2.5L;
    std::vector<double> values{1.0, 2.0, 3.0};
    cavity->getParameter("Pulse")->setData(&pulse);
    measurement->getParameter("Roundtrip")->setData(&roundtrip);
    measurement->getParameter("q")->setData(&time);
    measurement->getParameter("X")->setData(values.data());

    std::unique_ptr<Operation_> energy(parse("Energy(Cavity1%Pulse)*2", "Parameter")->getOperation());
    ASSERT_NE(energy, nullptr);
    EXPECT_DOUBLE_EQ(*static_cast<double*>(energy->perform()), 2 * optics::energy(*pulse.get()));
    pulse.createGaussian(1e-12, 3e-9, 800e-9, nullptr);
    EXPECT_DOUBLE_EQ(*static_cast<double*>(energy->perform()), 2 * optics::energy(*pulse.get()));

    // The pulse's samples scaled by two, whichever side the pulse stands on.
    for (const char* text : {"Cavity1%Pulse*2", "2*Cavity1%Pulse"}) {
        std::unique_ptr<Operation_> doubled(parse(text, "Parameter")->getOperation());
        ASSERT_NE(doubled, nullptr) << text;
        const Pulse_& result = *static_cast<Pulse_*>(doubled->perform());
        ASSERT_EQ(result.getSamples(), pulseSamples);
        for (int i = 0; i < pulseSamples; ++i) EXPECT_EQ(result.getSample(i), 2.0f * pulse.getSample(i)) << text;
    }

    std::unique_ptr<Operation_> shifted(parse("X+q", "Parameter")->getOperation());
    ASSERT_NE(shifted, nullptr);
    const double* sum = static_cast<double*>(shifted->perform());
    EXPECT_EQ(std::vector<double>(sum, sum + 3), (std::vector<double>{3.5, 4.5, 5.5}));

    std::unique_ptr<Condition_> first(parse("Roundtrip==1", "Condition")->getCondition());
    std::unique_ptr<Condition_> window(parse("(Roundtrip>5).AND.(Roundtrip<10)", "Condition")->getCondition());
    ASSERT_NE(first, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_NE(first->getRHS(), nullptr);
    EXPECT_NE(window->getChild1(), nullptr);
    for (roundtrip = 0; roundtrip < 12; ++roundtrip) {
        EXPECT_EQ(first->isMet(), roundtrip == 1) << roundtrip;
        EXPECT_EQ(window->isMet(), roundtrip > 5 && roundtrip < 10) << roundtrip;
    }

    // A test gives no operation, a value no condition; an unbound parameter neither.
    EXPECT_TRUE(std::unique_ptr<Operation_>(parse("Roundtrip==1")->getOperation()) == nullptr);
    EXPECT_TRUE(std::unique_ptr<Condition_>(parse("a+1")->getCondition()) == nullptr);
    EXPECT_TRUE(std::unique_ptr<Operation_>(parse("a+1")->getOperation()) == nullptr);
}

TEST_F(ExpressionTest, ANewParserHasNothingAndAValidTextClearsTheLastError) {
    ExpressionParser_ parser(measurement->getParameter("Expr"));
    EXPECT_FALSE(parser.checkExpression());
    EXPECT_EQ(parser.getOperation(), nullptr);
    EXPECT_EQ(parser.getOutputType(), DataType_::undefined);
    EXPECT_EQ(parser.getOutputDimension(), -1);
    EXPECT_FALSE(parser.setExpression("Foo+1"));
    EXPECT_TRUE(parser.setExpression("Roundtrip==1"));
    EXPECT_EQ(parser.getErrorCode(), 0);
    EXPECT_TRUE(parser.getErrorMessage().isEmpty());
    EXPECT_EQ(parser.getOutputType(), DataType_::logical);
    EXPECT_EQ(parser.getOutputDimension(), 0);
}

// Parameter expressions -----------------------------------------------------

TEST_F(ExpressionTest, EmptyAndAlwaysConditionsHoldNoParserAndAMissingQuantityIsRefused) {
    Parameter_* condition = measurement->getParameter("Condition");
    condition->setValue("Roundtrip==1");
    ASSERT_TRUE(condition->verify());
    ASSERT_NE(condition->getExpression(), nullptr);
    for (const char* text : {"always", ""}) {
        condition->setValue("Roundtrip==1");
        condition->parse();
        condition->setValue(text);
        EXPECT_TRUE(condition->verify()) << text;
        EXPECT_EQ(condition->getExpression(), nullptr) << text;
    }

    Parameter_* quantity = measurement->getParameter("Parameter");
    quantity->setValue("");
    EXPECT_FALSE(quantity->verify());
    condition->setValue("Foo+1");
    EXPECT_FALSE(condition->verify());
    ASSERT_NE(condition->getExpression(), nullptr);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].kind, MessageBox_::information);
    EXPECT_EQ(boxes[0].title, "Parse Error");
    EXPECT_EQ(boxes[0].text, "Error in field Parameter: The expression is empty; the measurement "
                             "Setup1%Measurements%M1 must measure something.");
    EXPECT_EQ(boxes[1].text, "Error in field Condition: Unknown expression");
    EXPECT_EQ(boxes[1].buttons, QMessageBox::Ok);
}

TEST_F(ExpressionTest, ACopiedExpressionParameterHoldsItsOwnEqualParser) {
    Pulse_ pulse(pulseSamples, nullptr);
    pulse.createGaussian(1e-12, 1e-9, 800e-9, nullptr);
    cavity->getParameter("Pulse")->setData(&pulse);
    Parameter_* source = measurement->getParameter("Parameter");
    source->setValue("Energy(Cavity1%Pulse)*2");
    ASSERT_TRUE(source->parse());

    Parameter_ copy(*source);
    copy.setOwner(measurement);
    ASSERT_NE(copy.getExpression(), nullptr);
    EXPECT_NE(copy.getExpression(), source->getExpression());
    EXPECT_EQ(copy.getExpression()->getParent(), &copy);
    EXPECT_EQ(copy.getExpression()->dump(), source->getExpression()->dump());
    std::unique_ptr<Operation_> original(source->getExpression()->getOperation());
    std::unique_ptr<Operation_> copied(copy.getExpression()->getOperation());
    ASSERT_NE(copied, nullptr);
    EXPECT_EQ(*static_cast<double*>(copied->perform()), *static_cast<double*>(original->perform()));

    source->setValue("Abs(z)");
    ASSERT_TRUE(source->parse());
    EXPECT_EQ(copy.getExpression()->getExpression(), "Energy(Cavity1%Pulse)*2");
}

struct FakeDialog : ExpressionDialog_ {
    FakeDialog(bool accept, QString text, Parameter_* holder) : accept(accept), text(text), holder(holder) {}
    bool exec(const QString& start) override {
        started = start;
        return accept;
    }
    ExpressionParser_* takeExpression() override {
        auto* parser = new ExpressionParser_(holder);
        parser->setExpression(text);
        return parser;
    }
    QString getSelection() const override { return text; }

    bool accept;
    QString text;
    Parameter_* holder;
    static inline QString started;
};

struct FakeDialogs : ExpressionDialogFactory_ {
    ExpressionDialog_* createComposeParameter(Node_* node) override {
        opened << "ComposeParameter";
        forNode = node;
        return new FakeDialog(accept, text, holder);
    }
    ExpressionDialog_* createSelectCondition(Node_* node) override {
        opened << "SelectCondition";
        forNode = node;
        return new FakeDialog(accept, text, holder);
    }

    bool accept = true;
    QString text;
    Parameter_* holder = nullptr;
    QStringList opened;
    Node_* forNode = nullptr;
};

TEST_F(ExpressionTest, AcceptedDialogsReplaceTheExpressionAndCancelledOnesChangeNothing) {
    FakeDialogs dialogs;
    ExpressionDialogFactory_::setFactory(&dialogs);
    Parameter_* dimension = addParameter(measurement, "Dimension", DataType_::integer, "0");
    Parameter_* type = addParameter(measurement, "DataType", DataType_::string, "Integer");
    Parameter_* quantity = measurement->getParameter("Parameter");
    quantity->setValue("a");
    dialogs.holder = quantity;
    dialogs.text = "X+1";
    quantity->inputExpression();
    EXPECT_EQ(dialogs.opened, QStringList{"ComposeParameter"});
    EXPECT_EQ(dialogs.forNode, measurement);
    EXPECT_EQ(FakeDialog::started, "a");
    EXPECT_EQ(quantity->getValue()->text(), "X+1");
    ASSERT_NE(quantity->getExpression(), nullptr);
    EXPECT_EQ(dimension->getValue()->text(), "1");
    EXPECT_EQ(type->getValue()->text(), "Double");

    dialogs.accept = false;
    dialogs.text = "Roundtrip==2";
    ExpressionParser_* kept = quantity->getExpression();
    quantity->inputExpression();
    EXPECT_EQ(quantity->getExpression(), kept);
    EXPECT_EQ(quantity->getValue()->text(), "X+1");

    Parameter_* condition = measurement->getParameter("Condition");
    dialogs.accept = true;
    dialogs.holder = condition;
    condition->inputExpression();
    EXPECT_EQ(condition->getValue()->text(), "Roundtrip==2");
    ASSERT_NE(condition->getExpression(), nullptr);
    EXPECT_TRUE(condition->getExpression()->checkExpression());
    EXPECT_EQ(dimension->getValue()->text(), "1");

    // Plain values and other expressions open nothing.
    measurement->getParameter("x")->inputExpression();
    measurement->getParameter("Expr")->inputExpression();
    EXPECT_EQ(dialogs.opened, (QStringList{"ComposeParameter", "ComposeParameter", "SelectCondition"}));
}

// Verification ---------------------------------------------------------------

TEST_F(ExpressionTest, VerificationShowsTheFirstProblemOfTheTree) {
    auto* lone = new SetupNode_(host.setupTree);
    lone->setText(0, "Lone");
    EXPECT_TRUE(lone->verify());
    EXPECT_TRUE(boxes.empty());

    measurement->getParameter("Parameter")->setValue("a+1");
    EXPECT_TRUE(setup->verify());
    EXPECT_FALSE(setup->verify(99));

    Parameter_* length = addParameter(cavity, "Length", DataType_::doubleprecision, "abc");
    EXPECT_FALSE(setup->verify());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].kind, MessageBox_::warning);
    EXPECT_EQ(boxes[0].title, "Expression Error");
    EXPECT_EQ(boxes[0].text,
              "The expression abc for parameter Setup1%Cavity1Length is not valid. Correct it before you run the "
              "simulation.");
    EXPECT_FALSE(cavity->verify(cavity->getParameters() - 1));
    length->setValue("");

    boxes.clear();
    measurement->getParameter("Condition")->setValue("Foo+1");
    EXPECT_FALSE(setup->verify());
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].title, "Parse Error");
    EXPECT_EQ(boxes[1].text,
              "The expression Foo+1 for parameter Setup1%Measurements%M1Condition is not valid. Correct it before "
              "you run the simulation.");
    measurement->getParameter("Condition")->setValue("always");

    boxes.clear();
    add<MeasurementNode_>(measurement, "Inner");
    EXPECT_TRUE(setup->verify());
    add<MeasurementGroupNode_>(measurement, "Group");
    add<ElementNode_>(setup, "Gain1");
    EXPECT_FALSE(setup->verify());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "Setup Error");
    EXPECT_EQ(boxes[0].text,
              "The item Group cannot be child of M1. You have to correct this before you can run the simulation.");

    boxes.clear();
    add<MeasurementGroupNode_>(add<ElementNode_>(add<CavityNode_>(lone, "Cavity1"), "Gain2"), "Group");
    EXPECT_FALSE(lone->verify());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text,
              "The item Group cannot be child of Gain2. You have to correct this before you can run the simulation.");
}

}  // namespace
