#pragma once
// One node of the tree an expression text is parsed into. Parsing splits the
// text recursively, level by level (logic, comparison, additive,
// multiplicative, power, then indexing, function calls, parameters and
// constants); the checks then give every node its type, axes and samples per
// axis and insert casts and dimension raises; a checked tree is turned into
// the operation or condition a run evaluates. User-interface thread only.
//
// Texts are bounded in length and trees in depth, so that no input can
// exhaust the stack of the recursive passes.
#include <QList>
#include <QString>
#include <vector>

#include "core/datatype.h"
#include "logger.h"

class Condition_;
class ExpressionParser_;
class Operation_;
class Parameter_;

class ExpressionNode_ : public Logger_ {
public:
    enum expressionType_ {
        undefined = 0,
        booloperation = 1,
        comparison = 2,
        operation = 3,
        function = 4,
        variable = 5,
        constant = 6,
    };
    enum expressionError_ {
        none = 0,
        unbalancedParantheses = 1,
        syntaxError = 2,
        unknownExpression = 3,
        typeMissmatch = 4,
        shapeMissmatch = 5,
        unknownFunction = 6,
        wrongArgCount = 7,
        sampleMissmatch = 8,
        tooLong = 9,
        tooDeep = 10,
        tooLarge = 11,
    };

    // Longest text parsed, deepest node made by parsing, and most samples
    // (a pulse's samples included) the results of one tree may hold.
    static constexpr int maximumLength = 4096;
    static constexpr int maximumLevel = 200;
    static constexpr long long maximumSamples = 1LL << 22;

    // A root node of the tree that `root` owns.
    explicit ExpressionNode_(ExpressionParser_* root);
    // A child of `parent`; the creator appends it to the parent's children.
    explicit ExpressionNode_(ExpressionNode_* parent);
    // A deep copy of the subtree, with the same parent and parser.
    ExpressionNode_(const ExpressionNode_& other);
    ExpressionNode_& operator=(const ExpressionNode_&) = delete;
    // Destroys the subtree and leaves the parent's children.
    ~ExpressionNode_();

    // Parses `text` into this node and its subtree; on failure the failing
    // node carries the code and the nodes made so far stay.
    bool setExpression(QString text);

    // This node's code, else the first code of the children, pre-order.
    expressionError_ getError() const;
    static QString getErrorString(expressionError_ code);

    // The first index at which `c`, or the whole `token`, stands outside
    // round parentheses; -1 when none (a token running past the end does
    // not match).
    int indexOfInTopLevel(const QString& text, const char& c) const;
    int indexOfInTopLevel(const QString& text, const QString& token) const;
    void calculateLevel(const int& level);

    // The checks, in the order they run. Failure: undefined, -1 or false.
    DataType_ checkType();
    bool insertTypeCast(const int& child, const DataType_::type_& wanted);
    int checkShape();
    bool insertShapeCast(const int& child, const int& count);
    bool checkFundamentalSamples();
    bool checkAddedSamples();
    bool defineSamples(const int& axis, const int& samples);
    // The child's axis matching this node's axis; negative when none. Axes
    // align at their last axis, except below an indexing or a dimension
    // raise, whose operand keeps the leading axes.
    int matchDimension(const int& axis, const int& child) const;
    // Whether every axis of the tree has a positive number of samples and the
    // tree's results stay within maximumSamples.
    bool checkSamplesKnown();
    void completeRaiseDimension();

    // New trees owned by the caller; null for a node that cannot give one.
    Operation_* generateOperation();
    Condition_* generateCondition();

    void disconnectChild(ExpressionNode_* child);
    ExpressionNode_* getChild(int index) const;
    int getChildren() const { return Child.size(); }

    expressionType_ getType() const { return expressionType; }
    DataType_ getOutputType() const { return OutputType; }
    ExpressionNode_* getParent() const { return Parent; }
    ExpressionParser_* getRoot() const { return Root; }
    // Makes `root` the parser of the whole subtree.
    void setRoot(ExpressionParser_* root);
    int getDimension() const { return outputDimension; }
    // -1 for an axis the node does not have.
    int getSamples(int axis) const;
    QString getText() const { return Text; }
    Parameter_* getParameter() const { return Parameter; }
    int getLevel() const { return level; }
    // A comparison or a logic combination.
    bool isTest() const { return expressionType == booloperation || expressionType == comparison; }

    // The subtree to the log, one line per node.
    void write();
    // The subtree in one line: the text, then the children in brackets, as in
    // "*(Energy(P),UpCast(2))".
    QString dump() const;

private:
    bool fail(expressionError_ code);
    ExpressionNode_* addChild();
    bool parseBinary(const QString& text, int at, const QString& token, expressionType_ kind);
    bool parseIndexing(QString text);
    bool parseFunction(const QString& text, int open, int kind);
    bool parseVariable(const QString& text, Parameter_* p);
    bool parseConstant(const QString& text);
    Parameter_* findParameter(const QString& name) const;

    DataType_ computeType();
    DataType_ typeOfLogic();
    DataType_ typeOfComparison();
    DataType_ typeOfPower();
    DataType_ typeOfArithmetic();
    DataType_ typeOfFunction();
    // Whether every child is a value (not a test), failing with code 4 otherwise.
    bool valueOperands();
    void replaceChild(int index, ExpressionNode_* replacement);
    int computeShape();
    void setSamples(int axis, int samples);
    // Counts the subtree's samples against `left`.
    bool samplesWithin(long long& left);

    QString Text;
    Parameter_* Parameter = nullptr;
    QList<ExpressionNode_*> Child;
    ExpressionNode_* Parent;
    ExpressionParser_* Root;
    expressionError_ errorCode = none;
    expressionType_ expressionType = undefined;
    DataType_ OutputType;
    int outputDimension = -1;
    int fundamentalDimension = -1;
    int extraDimensions = 0;
    std::vector<int> outputSamples;
    std::vector<std::vector<int>> inputSamples;
    bool samplesChecked = false;
    // The type and shape are computed once, failures included.
    bool typeChecked = false;
    bool shapeChecked = false;
    int level;
};
