#include "interface/expressionnode.h"

#include <QStringList>
#include <cmath>
#include <memory>

#include "core/condition.h"
#include "core/operation.h"
#include "interface/expressionparser.h"
#include "interface/node.h"
#include "interface/parameter.h"
#include "stringstream.h"

namespace {

const QString raiseName = QStringLiteral("RaiseDimension");
const QString lowerName = QStringLiteral("LowerDimension");

bool isNumber(DataType_ t) { return t == DataType_::integer || t == DataType_::doubleprecision; }

// Types an operation block can hold.
bool holdsData(DataType_ t) {
    switch (t.get()) {
        case DataType_::logical:
        case DataType_::integer:
        case DataType_::doubleprecision:
        case DataType_::complex:
        case DataType_::pulse: return true;
        default: return false;
    }
}

// Whether an operation of `kind` has an element function for this result
// type and first operand type.
bool hasElementFunction(Operation_::kind_ kind, DataType_ result, DataType_ operand) {
    switch (kind) {
        case Operation_::upcast:
            return result == DataType_::integer || result == DataType_::doubleprecision ||
                   result == DataType_::complex;
        case Operation_::downcast: return result != DataType_::pulse && holdsData(result);
        case Operation_::abs:
            return operand == DataType_::integer || operand == DataType_::doubleprecision ||
                   operand == DataType_::complex;
        default: return holdsData(result);
    }
}

// Where a text splits, found in one pass: per operator level (logic,
// comparison, additive, multiplicative) the rightmost top-level operator, the
// longer token winning at one index ("<=" over "<"); the first top-level "^"
// and "[".
struct Splits {
    enum { logic, comparison, additive, multiplicative, levels };
    int at[levels] = {-1, -1, -1, -1};
    QString token[levels];
    int power = -1;
    int bracket = -1;
};

Splits scan(const QString& text) {
    Splits s;
    const int n = text.size();
    const auto next = [&](int i) { return i + 1 < n ? text[i + 1].unicode() : 0; };
    const auto mark = [&](int level, int i, const char* token) {
        s.at[level] = i;
        s.token[level] = QLatin1String(token);
    };
    int depth = 0;
    for (int i = 0; i < n; ++i) {
        const ushort c = text[i].unicode();
        if (c == '(') ++depth;
        else if (c == ')') --depth;
        if (depth != 0) continue;
        switch (c) {
            case '.':
                if (text.midRef(i, 5) == QLatin1String(".AND.")) mark(Splits::logic, i, ".AND.");
                else if (text.midRef(i, 4) == QLatin1String(".OR.")) mark(Splits::logic, i, ".OR.");
                break;
            case '=':
                if (next(i) == '=') mark(Splits::comparison, i, "==");
                break;
            case '!':
                if (next(i) == '=') mark(Splits::comparison, i, "!=");
                break;
            case '<': mark(Splits::comparison, i, next(i) == '=' ? "<=" : "<"); break;
            case '>': mark(Splits::comparison, i, next(i) == '=' ? ">=" : ">"); break;
            case '+': mark(Splits::additive, i, "+"); break;
            case '-': mark(Splits::additive, i, "-"); break;
            case '*': mark(Splits::multiplicative, i, "*"); break;
            case '/': mark(Splits::multiplicative, i, "/"); break;
            case '^':
                if (s.power < 0) s.power = i;
                break;
            case '[':
                if (s.bracket < 0) s.bracket = i;
                break;
            default: break;
        }
    }
    return s;
}

// Whether the "(" at the start of `text` is closed by its last character.
bool closedAtEnd(const QString& text) {
    int depth = 0;
    for (int i = 0; i < text.length(); ++i) {
        if (text[i] == '(') ++depth;
        else if (text[i] == ')') --depth;
        if (depth <= 0) return i == text.length() - 1 && depth == 0;
    }
    return false;
}

}  // namespace

ExpressionNode_::ExpressionNode_(ExpressionParser_* root) : Parent(nullptr), Root(root), level(0) {}

ExpressionNode_::ExpressionNode_(ExpressionNode_* parent)
    : Parent(parent), Root(parent->Root), level(parent->level + 1) {}

ExpressionNode_::ExpressionNode_(const ExpressionNode_& other)
    : Logger_(other),
      Text(other.Text),
      Parameter(other.Parameter),
      Parent(other.Parent),
      Root(other.Root),
      errorCode(other.errorCode),
      expressionType(other.expressionType),
      OutputType(other.OutputType),
      outputDimension(other.outputDimension),
      fundamentalDimension(other.fundamentalDimension),
      extraDimensions(other.extraDimensions),
      outputSamples(other.outputSamples),
      inputSamples(other.inputSamples),
      samplesChecked(other.samplesChecked),
      typeChecked(other.typeChecked),
      shapeChecked(other.shapeChecked),
      level(other.level) {
    for (const ExpressionNode_* c : other.Child) {
        auto* copy = new ExpressionNode_(*c);
        copy->Parent = this;
        Child.append(copy);
    }
}

ExpressionNode_::~ExpressionNode_() {
    QList<ExpressionNode_*> children;
    children.swap(Child);
    for (ExpressionNode_* c : children) {
        c->Parent = nullptr;
        delete c;
    }
    if (Parent) Parent->disconnectChild(this);
}

void ExpressionNode_::setRoot(ExpressionParser_* root) {
    Root = root;
    for (ExpressionNode_* c : Child) c->setRoot(root);
}

bool ExpressionNode_::fail(expressionError_ code) {
    errorCode = code;
    return false;
}

ExpressionNode_* ExpressionNode_::addChild() {
    auto* c = new ExpressionNode_(this);
    Child.append(c);
    return c;
}

ExpressionNode_::expressionError_ ExpressionNode_::getError() const {
    if (errorCode != none) return errorCode;
    for (const ExpressionNode_* c : Child)
        if (expressionError_ e = c->getError(); e != none) return e;
    return none;
}

QString ExpressionNode_::getErrorString(expressionError_ code) {
    switch (code) {
        case none: return QStringLiteral("No error found!!");
        case unbalancedParantheses: return QStringLiteral("Unbalanced Parantheses");
        case syntaxError: return QStringLiteral("Syntax error");
        case unknownExpression: return QStringLiteral("Unknown expression");
        case typeMissmatch: return QStringLiteral("Type missmatch");
        case shapeMissmatch: return QStringLiteral("Shape missmatch");
        case unknownFunction: return QStringLiteral("Unknown function");
        case wrongArgCount: return QStringLiteral("Wrong number of arguments for function");
        case sampleMissmatch: return QStringLiteral("Shape missmatch");
        case tooLong: return QStringLiteral("Expression too long");
        case tooDeep: return QStringLiteral("Expression nested too deeply");
        case tooLarge: return QStringLiteral("Expression result too large");
    }
    return QStringLiteral("Unknown Error");
}

int ExpressionNode_::indexOfInTopLevel(const QString& text, const char& c) const {
    return indexOfInTopLevel(text, QString(QLatin1Char(c)));
}

int ExpressionNode_::indexOfInTopLevel(const QString& text, const QString& token) const {
    if (token.isEmpty()) return -1;
    int depth = 0;
    for (int i = 0; i < text.length(); ++i) {
        if (text[i] == '(') ++depth;
        else if (text[i] == ')') --depth;
        if (depth == 0 && text.midRef(i, token.length()) == token) return i;
    }
    return -1;
}

void ExpressionNode_::calculateLevel(const int& newLevel) {
    level = newLevel;
    for (ExpressionNode_* c : Child) c->calculateLevel(newLevel + 1);
}

bool ExpressionNode_::setExpression(QString text) {
    if (passesLevel(debugC)) log(("Traversing Expression String " + text + ".").toStdString(), debugC);
    if (text.length() > maximumLength) return fail(tooLong);
    if (level > maximumLevel) return fail(tooDeep);
    text = text.simplified();
    while (text.startsWith('(') && text.endsWith(')') && closedAtEnd(text))
        text = text.mid(1, text.length() - 2).simplified();

    const Splits split = scan(text);
    const expressionType_ kinds[Splits::levels] = {booloperation, comparison, operation, operation};
    for (int k = 0; k < Splits::levels; ++k)
        if (split.at[k] >= 0) return parseBinary(text, split.at[k], split.token[k], kinds[k]);
    if (split.power >= 0) return parseBinary(text, split.power, QStringLiteral("^"), operation);
    if (split.bracket >= 0) return parseIndexing(text);
    const int open = text.indexOf('(');
    if (open >= 0) {
        const Operation_::kind_ kind = Operation_::getKind(text.left(open).simplified());
        if (kind != Operation_::undefined) return parseFunction(text, open, kind);
    }
    if (Parameter_* p = findParameter(text)) return parseVariable(text, p);
    return parseConstant(text);
}

bool ExpressionNode_::parseBinary(const QString& text, int at, const QString& token, expressionType_ kind) {
    expressionType = kind;
    if (!addChild()->setExpression(text.left(at))) return false;
    if (!addChild()->setExpression(text.mid(at + token.length()))) return false;
    Text = token;
    return true;
}

// X[a][b] is LowerDimension(LowerDimension(X, a), b); X[i,j] gives one node
// of three operands, which the type check refuses.
bool ExpressionNode_::parseIndexing(QString text) {
    expressionType = function;
    if (passesLevel(debugC)) log(("E:" + text).toStdString(), debugC);
    if (!text.endsWith(']')) return fail(syntaxError);
    int open = -1;
    for (int i = text.length() - 2; i >= 0 && open < 0; --i) {
        if (text[i] == '[') open = i;
        else if (text[i] == ']') return fail(unbalancedParantheses);
    }
    if (open < 0) return fail(unbalancedParantheses);
    Text = lowerName;
    if (!addChild()->setExpression(text.left(open))) return false;
    text = text.mid(open).simplified();
    text = text.mid(1, text.length() - 2).simplified();
    for (int comma; (comma = indexOfInTopLevel(text, ',')) >= 0;) {
        if (!addChild()->setExpression(text.left(comma))) return false;
        text = text.mid(comma + 1);
    }
    if (passesLevel(debugC)) log(("E final:" + text).toStdString(), debugC);
    return addChild()->setExpression(text);
}

// The argument list is split at every comma, so no argument holds one.
bool ExpressionNode_::parseFunction(const QString& text, int open, int kind) {
    expressionType = function;
    Text = text.left(open).simplified();
    const QString rest = text.mid(open).simplified();
    if (rest.length() < 2 || !rest.startsWith('(') || !rest.endsWith(')')) return fail(unbalancedParantheses);
    const QString list = rest.mid(1, rest.length() - 2).simplified();
    const QStringList pieces = list.isEmpty() ? QStringList() : list.split(',');
    if (pieces.size() != Operation_::getArguments(static_cast<Operation_::kind_>(kind))) return fail(wrongArgCount);
    for (const QString& piece : pieces)
        if (!addChild()->setExpression(piece.simplified())) return false;
    return true;
}

Parameter_* ExpressionNode_::findParameter(const QString& name) const {
    Parameter_* own = Root ? Root->getParent() : nullptr;
    Node_* node = own ? own->getOwner() : nullptr;
    if (!node || name.isEmpty()) return nullptr;
    if (node->hasParameter(name)) return node->getParameter(name);
    // Paths are resolved within the owner's setup only.
    if (!node->getParent(Node_::setup)) return nullptr;
    return node->getParameterFromPathInSetup(name);
}

// A parameter of extended precision is read as a double; parameters of types
// an operation cannot hold (texts) are refused.
bool ExpressionNode_::parseVariable(const QString& text, Parameter_* p) {
    expressionType = variable;
    Parameter = p;
    Text = text;
    outputDimension = p->getDimension();
    fundamentalDimension = 0;
    samplesChecked = true;
    if (outputDimension > 0) {
        const int* samples = p->getSamples();
        outputSamples.assign(outputDimension, 0);
        if (samples) outputSamples.assign(samples, samples + outputDimension);
    }
    DataType_ type = p->getType();
    if (type == DataType_::quadprecision && outputDimension == 0) type = DataType_::doubleprecision;
    if (!holdsData(type)) return fail(typeMissmatch);
    OutputType = type;
    return true;
}

bool ExpressionNode_::parseConstant(const QString& text) {
    Text = text;
    bool integer = false;
    text.toInt(&integer, 10);
    bool real = false;
    const double value = integer ? 0.0 : text.toDouble(&real);
    if (text == QLatin1String("I"))
        OutputType = DataType_::complex;
    else if (integer)
        OutputType = DataType_::integer;
    else if (real && std::isfinite(value))
        OutputType = DataType_::doubleprecision;
    else
        return fail(unknownExpression);
    expressionType = constant;
    outputDimension = 0;
    fundamentalDimension = 0;
    samplesChecked = true;
    return true;
}

void ExpressionNode_::disconnectChild(ExpressionNode_* child) { Child.removeAll(child); }

ExpressionNode_* ExpressionNode_::getChild(int index) const {
    return index >= 0 && index < Child.size() ? Child[index] : nullptr;
}

int ExpressionNode_::getSamples(int axis) const {
    return axis >= 0 && axis < static_cast<int>(outputSamples.size()) ? outputSamples[axis] : -1;
}

// Type check --------------------------------------------------------------

DataType_ ExpressionNode_::checkType() {
    if (typeChecked || OutputType != DataType_::undefined || errorCode != none) return OutputType;
    typeChecked = true;
    const DataType_ type = computeType();
    OutputType = type;
    // A failing operand carries its own code; the node adds none then.
    if (type == DataType_::undefined && getError() == none) errorCode = typeMissmatch;
    return OutputType;
}

DataType_ ExpressionNode_::computeType() {
    switch (expressionType) {
        case booloperation: return typeOfLogic();
        case comparison: return typeOfComparison();
        case operation: return Text == QLatin1String("^") ? typeOfPower() : typeOfArithmetic();
        case function: return typeOfFunction();
        default: return DataType_();
    }
}

bool ExpressionNode_::valueOperands() {
    for (const ExpressionNode_* c : Child)
        if (c->isTest()) return fail(typeMissmatch);
    return true;
}

// Only comparisons and their combinations are combined: a logic operator
// over plain values would leave the condition without operands.
DataType_ ExpressionNode_::typeOfLogic() {
    if (Child.size() != 2) return DataType_();
    for (ExpressionNode_* c : Child)
        if (c->checkType() == DataType_::undefined) return DataType_();
    for (const ExpressionNode_* c : Child)
        if (!c->isTest()) {
            fail(typeMissmatch);
            return DataType_();
        }
    return DataType_(DataType_::logical);
}

// Conditions compare integers or doubles; the lower side is cast up.
DataType_ ExpressionNode_::typeOfComparison() {
    if (Child.size() != 2) return DataType_();
    const DataType_ a = Child[0]->checkType();
    const DataType_ b = Child[1]->checkType();
    if (a == DataType_::undefined || b == DataType_::undefined || !valueOperands()) return DataType_();
    if (!isNumber(a) || !isNumber(b)) {
        fail(typeMissmatch);
        return DataType_();
    }
    if (b.get() < a.get()) insertTypeCast(1, a.get());
    if (a.get() < b.get()) insertTypeCast(0, b.get());
    return DataType_(DataType_::logical);
}

DataType_ ExpressionNode_::typeOfPower() {
    if (Child.size() != 2) return DataType_();
    const DataType_ a = Child[0]->checkType();
    const DataType_ b = Child[1]->checkType();
    if (a == DataType_::undefined || b == DataType_::undefined || !valueOperands()) return DataType_();
    if (a.get() >= DataType_::complex && b.get() >= DataType_::complex) return DataType_();
    for (int i = 0; i < 2; ++i)
        if (!insertTypeCast(i, DataType_::doubleprecision)) return DataType_();
    return DataType_(DataType_::doubleprecision);
}

// A pulse on the right of "+" or "*" changes sides, since pulse arithmetic
// takes the pulse first; "-" and "/" have no such form and are refused.
DataType_ ExpressionNode_::typeOfArithmetic() {
    if (Child.size() != 2) return DataType_();
    DataType_ a = Child[0]->checkType();
    DataType_ b = Child[1]->checkType();
    if (a == DataType_::undefined || b == DataType_::undefined || !valueOperands()) return DataType_();
    if (a == DataType_::logical || b == DataType_::logical) return DataType_();
    if (b == DataType_::pulse && a != DataType_::pulse) {
        if (Text != QLatin1String("+") && Text != QLatin1String("*")) return DataType_();
        Child.swapItemsAt(0, 1);
        std::swap(a, b);
    }
    if (b.get() < a.get()) insertTypeCast(1, a == DataType_::pulse ? DataType_::complex : a.get());
    if (a.get() < b.get()) insertTypeCast(0, b.get());
    a = Child[0]->checkType();
    b = Child[1]->checkType();
    if (a == DataType_::pulse)
        return b == DataType_::pulse || b == DataType_::complex ? a : DataType_();
    return a == b ? a : DataType_();
}

// Operands are cast as the kind's type rule asks, one request at a time.
DataType_ ExpressionNode_::typeOfFunction() {
    const Operation_::kind_ kind = Operation_::getKind(Text);
    const int arguments = Operation_::getArguments(kind);
    if (kind == Operation_::undefined) return DataType_();
    if (Child.size() != arguments) {
        fail(wrongArgCount);
        return DataType_();
    }
    std::vector<DataType_> types(static_cast<size_t>(arguments));
    const auto readTypes = [&] {
        for (int i = 0; i < arguments; ++i) types[i] = Child[i]->checkType();
    };
    readTypes();
    for (const DataType_& t : types)
        if (t == DataType_::undefined) return DataType_();
    if (!valueOperands()) return DataType_();
    int err = -1;
    DataType_ result = Operation_::getOutputType(kind, types.data(), err);
    for (int attempt = 0; result == DataType_::undefined && err >= 0 && attempt < arguments; ++attempt) {
        if (!insertTypeCast(err, types[err].get())) break;
        readTypes();
        result = Operation_::getOutputType(kind, types.data(), err);
    }
    if (result == DataType_::undefined) return DataType_();
    readTypes();
    if (!hasElementFunction(kind, result, types[0])) return DataType_();
    return result;
}

void ExpressionNode_::replaceChild(int index, ExpressionNode_* replacement) {
    ExpressionNode_* old = Child[index];
    Child[index] = replacement;
    replacement->Child.append(old);
    old->Parent = replacement;
    replacement->calculateLevel(level + 1);
}

bool ExpressionNode_::insertTypeCast(const int& child, const DataType_::type_& wanted) {
    if (child < 0 || child >= Child.size()) return false;
    if (wanted > DataType_::complex) return false;
    for (;;) {
        const DataType_ type = Child[child]->checkType();
        if (type == wanted) return true;
        if (type == DataType_::undefined) return false;
        auto* cast = new ExpressionNode_(this);
        cast->expressionType = function;
        cast->Text = wanted < type.get() ? QStringLiteral("DownCast") : QStringLiteral("UpCast");
        replaceChild(child, cast);
    }
}

// Shape check -------------------------------------------------------------

int ExpressionNode_::checkShape() {
    if (shapeChecked || outputDimension != -1 || OutputType == DataType_::undefined) return outputDimension;
    shapeChecked = true;
    outputDimension = computeShape();
    if (outputDimension < 0 && getError() == none) errorCode = shapeMissmatch;
    return outputDimension;
}

int ExpressionNode_::computeShape() {
    const Operation_::kind_ kind = isTest() ? Operation_::undefined : Operation_::getKind(Text);
    fundamentalDimension = isTest() ? 0 : Operation_::getFundamentalOutputDimension(kind);
    if (fundamentalDimension < 0) return -1;
    const bool raise = expressionType == function && Text == raiseName;
    const bool lower = expressionType == function && Text == lowerName;
    if (raise || lower) {
        const int operand = Child[0]->checkShape();
        const int count = Child.size() > 1 ? Child[1]->checkShape() : 0;
        if (operand < 0 || count < 0) return -1;
        const int dimension = raise ? operand + 1 : operand - 1;
        // A pulse is indexed by its samples only when it is a single pulse.
        const bool pulseArray = lower && Child[0]->OutputType == DataType_::pulse && operand != 1;
        if (count != 0 || dimension < 0 || pulseArray) {
            fail(shapeMissmatch);
            return -1;
        }
        extraDimensions = dimension - fundamentalDimension;
        return dimension;
    }
    extraDimensions = 0;
    if (expressionType == booloperation) {
        for (ExpressionNode_* c : Child) {
            const int d = c->checkShape();
            if (d < 0) return -1;
            extraDimensions = std::max(extraDimensions, d);
        }
        return extraDimensions;
    }
    for (bool changed = true; changed;) {
        changed = false;
        for (int i = 0; i < Child.size(); ++i) {
            const int d = Child[i]->checkShape();
            if (d < 0) return -1;
            const int f = isTest() ? 0 : Operation_::getFundamentalArgumentDimension(i, kind);
            if (d < f + extraDimensions) {
                if (passesLevel(debugC))
                    log(("Inserting shape cast between child " + Child[i]->Text + " and " + Text).toStdString(),
                        debugC);
                insertShapeCast(i, 1);
                changed = true;
            } else if (d > f + extraDimensions) {
                ++extraDimensions;
                changed = true;
            }
        }
    }
    return fundamentalDimension + extraDimensions;
}

bool ExpressionNode_::insertShapeCast(const int& child, const int& count) {
    for (int k = 0; k < count; ++k) {
        const ExpressionNode_* old = Child[child];
        auto* raise = new ExpressionNode_(this);
        raise->expressionType = function;
        raise->Text = raiseName;
        raise->OutputType = old->OutputType;
        raise->outputDimension = old->outputDimension + 1;
        raise->fundamentalDimension = 0;
        raise->extraDimensions = raise->outputDimension;
        replaceChild(child, raise);
    }
    return true;
}

// Sample checks -----------------------------------------------------------

int ExpressionNode_::matchDimension(const int& axis, const int& child) const {
    const ExpressionNode_* c = getChild(child);
    if (!c) return -1;
    if (expressionType == function && child == 0 && (Text == raiseName || Text == lowerName))
        return axis < c->outputDimension ? axis : -1;
    return axis - outputDimension + c->outputDimension;
}

bool ExpressionNode_::checkFundamentalSamples() {
    if (outputDimension < 0 || samplesChecked || !outputSamples.empty()) return true;
    for (ExpressionNode_* c : Child)
        if (!c->checkFundamentalSamples()) return getError() == none ? fail(sampleMissmatch) : false;
    outputSamples.assign(outputDimension, -2);
    inputSamples.clear();
    std::vector<int*> operands;
    for (ExpressionNode_* c : Child) inputSamples.push_back(c->outputSamples);
    for (auto& s : inputSamples) operands.push_back(s.empty() ? nullptr : s.data());
    const Operation_::kind_ kind = isTest() ? Operation_::undefined : Operation_::getKind(Text);
    for (int k = 0; k < fundamentalDimension && k < outputDimension; ++k) {
        const int n = Operation_::getOutputSamples(k, operands.data(), kind);
        if (n >= 0) outputSamples[k] = n;
    }
    // A raise typed with a constant count has that many samples on its new axis.
    if (expressionType == function && Text == raiseName && Child.size() == 2 &&
        Child[1]->expressionType == constant && Child[1]->OutputType == DataType_::integer && outputDimension > 0) {
        const int count = Child[1]->Text.toInt();
        if (count <= 0) return fail(sampleMissmatch);
        outputSamples[outputDimension - 1] = count;
    }
    return true;
}

bool ExpressionNode_::checkAddedSamples() {
    if (samplesChecked) return true;
    for (ExpressionNode_* c : Child)
        if (!c->checkAddedSamples()) return getError() == none ? fail(sampleMissmatch) : false;
    const bool raise = expressionType == function && Text == raiseName;
    for (int k = 0; k < outputDimension; ++k) {
        if (outputSamples[k] != -2) continue;
        for (int i = 0; i < Child.size() && outputSamples[k] == -2; ++i) {
            const int a = matchDimension(k, i);
            if (a < 0 || a >= Child[i]->outputDimension) continue;
            const int n = Child[i]->outputSamples[a];
            if (n < 0) continue;
            outputSamples[k] = n;
            if (passesLevel(debugD)) log(StringStream_() << "    Propagated Sample Number:" << n, debugD);
        }
        if (outputSamples[k] == -2 && !(raise && k == outputDimension - 1))
            logError("Internal Error: Unable to determine sample number for added "
                     "dimension in ExpressionNode_::checkAddedSamples().",
                     debugA);
    }
    for (int k = std::max(fundamentalDimension, 0); k < outputDimension; ++k) {
        if (raise && k == outputDimension - 1) continue;
        for (int i = 0; i < Child.size(); ++i) {
            const int a = matchDimension(k, i);
            if (a < 0) continue;
            const int n = a < Child[i]->outputDimension ? Child[i]->outputSamples[a] : -1;
            if (n != outputSamples[k] && !Child[i]->defineSamples(a, outputSamples[k])) return fail(sampleMissmatch);
        }
    }
    inputSamples.clear();
    samplesChecked = true;
    return true;
}

bool ExpressionNode_::defineSamples(const int& axis, const int& samples) {
    if (axis >= outputDimension) return true;
    if (axis < 0 || axis >= static_cast<int>(outputSamples.size())) return false;
    if (outputSamples[axis] == samples) return true;
    if (outputSamples[axis] != -2) return false;
    outputSamples[axis] = samples;
    for (int i = 0; i < Child.size(); ++i) {
        const int a = matchDimension(axis, i);
        if (a >= 0 && !Child[i]->defineSamples(a, samples)) return false;
    }
    return true;
}

bool ExpressionNode_::checkSamplesKnown() {
    long long left = maximumSamples;
    return samplesWithin(left);
}

bool ExpressionNode_::samplesWithin(long long& left) {
    for (ExpressionNode_* c : Child)
        if (!c->samplesWithin(left)) return false;
    if (outputDimension > 0 && static_cast<int>(outputSamples.size()) != outputDimension)
        return fail(sampleMissmatch);
    long long samples = 1;
    for (int n : outputSamples) {
        if (n <= 0) return fail(sampleMissmatch);
        samples *= n;
        if (samples > left) return fail(tooLarge);
    }
    left -= samples;
    return true;
}

void ExpressionNode_::completeRaiseDimension() {
    for (ExpressionNode_* c : Child) c->completeRaiseDimension();
    if (expressionType != function || Text != raiseName || Child.size() != 1) return;
    ExpressionNode_* count = addChild();
    count->expressionType = constant;
    count->OutputType = DataType_::integer;
    count->outputDimension = 0;
    count->fundamentalDimension = 0;
    count->samplesChecked = true;
    count->Text = QString::number(outputDimension > 0 ? outputSamples[outputDimension - 1] : -1);
}

// Building ----------------------------------------------------------------

Operation_* ExpressionNode_::generateOperation() {
    if (errorCode != none) return nullptr;
    const int* samples = outputSamples.empty() ? nullptr : outputSamples.data();
    switch (expressionType) {
        case undefined: logError("Returning NULL for undefined in generateOperation!!", debugA); return nullptr;
        case booloperation:
        case comparison: logError("Returning NULL in generateOperation!!", debugA); return nullptr;
        case operation:
        case function: {
            const Operation_::kind_ kind = Operation_::getKind(Text);
            if (Child.size() != Operation_::getArguments(kind)) return nullptr;
            auto op = std::make_unique<Operation_>(kind, OutputType, outputDimension, samples);
            for (int i = 0; i < Child.size(); ++i) {
                Operation_* operand = Child[i]->generateOperation();
                if (!operand) return nullptr;
                op->setParameter(i, operand);
            }
            return op.release();
        }
        case variable: {
            // Read in place: the parameter must be bound to its live field.
            if (!Parameter || !Parameter->getData()) {
                logError(("Parameter " + Text + " is not bound in generateOperation.").toStdString(), normal);
                return nullptr;
            }
            auto* op = new Operation_(Operation_::copy, OutputType, outputDimension, samples);
            op->setParameter(0, static_cast<ParameterLink_*>(Parameter));
            return op;
        }
        case constant: {
            auto* op = new Operation_(Operation_::copy, OutputType, 0, nullptr);
            if (OutputType == DataType_::complex)
                op->setParameter(0, Operation_::complex_(0.0f, 1.0f));
            else if (OutputType == DataType_::integer)
                op->setParameter(0, Text.toInt());
            else
                op->setParameter(0, Text.toDouble());
            return op;
        }
    }
    return nullptr;
}

Condition_* ExpressionNode_::generateCondition() {
    if (errorCode != none || Child.size() != 2) return nullptr;
    const int* samples = outputSamples.empty() ? nullptr : outputSamples.data();
    if (expressionType == booloperation) {
        std::unique_ptr<Condition_> second(Child[1]->generateCondition());
        std::unique_ptr<Condition_> first(second ? Child[0]->generateCondition() : nullptr);
        if (!first) return nullptr;
        auto* c = new Condition_;
        c->setLogic(first.release(), second.release(), Condition_::getLogicType(Text), outputDimension, samples);
        return c;
    }
    if (expressionType == comparison) {
        std::unique_ptr<Operation_> second(Child[1]->generateOperation());
        std::unique_ptr<Operation_> first(second ? Child[0]->generateOperation() : nullptr);
        if (!first) return nullptr;
        auto* c = new Condition_;
        c->setComparison(first.release(), second.release(), Condition_::getComparisonType(Text), outputDimension,
                         samples);
        return c;
    }
    return nullptr;
}

// Dumps -------------------------------------------------------------------

void ExpressionNode_::write() {
    if (!passesLevel(debugA)) return;
    StringStream_ line;
    line << level << ":" << std::string(2 * std::max(level, 0), ' ') << Text.toStdString() << ", Err:" << errorCode
         << ", Dim:" << outputDimension << "[";
    for (size_t k = 0; k < outputSamples.size(); ++k) line << (k ? " " : "") << outputSamples[k];
    line << "], ExTy:" << expressionType << ", OTy:" << OutputType.get() << ", Addr:" << static_cast<void*>(this)
         << ", Prnt:" << static_cast<void*>(Parent) << ", Para:" << static_cast<void*>(Parameter);
    log(line, debugA);
    for (ExpressionNode_* c : Child) c->write();
}

QString ExpressionNode_::dump() const {
    if (Child.isEmpty()) return Text;
    QStringList parts;
    for (const ExpressionNode_* c : Child) parts << c->dump();
    return Text + "(" + parts.join(',') + ")";
}
