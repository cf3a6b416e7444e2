#include "core/condition.h"

#include "core/datashape.h"
#include "core/operation.h"

namespace {

template <typename T>
bool compareValues(const T& x, const T& y, Condition_::comparison_ c) {
    switch (c) {
        case Condition_::EQUAL: return x == y;
        case Condition_::SMALLER: return x < y;
        case Condition_::GREATER: return x > y;
        case Condition_::GREATEROREQUAL: return x >= y;
        case Condition_::SMALLEROREQUAL: return x <= y;
        case Condition_::NOTEQUAL: return x < y || x > y;  // false with a NaN, as every comparison
        default: return false;
    }
}

}  // namespace

Condition_::comparison_ Condition_::getComparisonType(const QString& text) {
    if (text == QLatin1String("==")) return EQUAL;
    if (text == QLatin1String("<")) return SMALLER;
    if (text == QLatin1String(">")) return GREATER;
    if (text == QLatin1String(">=")) return GREATEROREQUAL;
    if (text == QLatin1String("<=")) return SMALLEROREQUAL;
    if (text == QLatin1String("!=")) return NOTEQUAL;
    return undefinedComparison;
}

Condition_::logic_ Condition_::getLogicType(const QString& text) {
    if (text == QLatin1String(".AND.")) return AND;
    if (text == QLatin1String(".OR.")) return OR;
    return undefinedLogic;
}

Condition_::Condition_() : logic(undefinedLogic), comparison(undefinedComparison), outputDimension(0) {}

Condition_::Condition_(const Condition_& other)
    : Logger_(other),
      Child1(other.Child1 ? std::make_unique<Condition_>(*other.Child1) : nullptr),
      Child2(other.Child2 ? std::make_unique<Condition_>(*other.Child2) : nullptr),
      LHS(other.LHS ? std::make_unique<Operation_>(*other.LHS) : nullptr),
      RHS(other.RHS ? std::make_unique<Operation_>(*other.RHS) : nullptr),
      logic(other.logic),
      comparison(other.comparison),
      outputDimension(other.outputDimension),
      outputSamples(other.outputSamples) {}

Condition_::~Condition_() = default;

void Condition_::setOutput(const int& dimension, const int* samples) {
    outputDimension = dimension;
    if (dimension > 0 && samples)
        outputSamples.assign(samples, samples + dimension);
    else
        outputSamples.clear();
}

void Condition_::setComparison(Operation_* first, Operation_* second, const comparison_& c, const int& dimension,
                               const int* samples) {
    setOutput(dimension, samples);
    if (!empty()) return;
    RHS.reset(first);
    LHS.reset(second);
    comparison = c;
}

void Condition_::setLogic(Condition_* first, Condition_* second, const logic_& l, const int& dimension,
                          const int* samples) {
    setOutput(dimension, samples);
    if (!empty()) return;
    Child1.reset(first);
    Child2.reset(second);
    logic = l;
}

int Condition_::getSamples(int axis) const {
    return axis >= 0 && axis < static_cast<int>(outputSamples.size()) ? outputSamples[axis] : -1;
}

bool Condition_::internalError() {
    logError("Internal error in Condition_::isMet()", normal);
    return false;
}

// The text's left operand (RHS) against its right (LHS), first elements only.
bool Condition_::compare() {
    if (!LHS) return internalError();
    const void* x = RHS->perform();
    const void* y = LHS->perform();
    const DataType_::type_ type = RHS->getShape()->getType().get();
    if (!x || !y || comparison == undefinedComparison || LHS->getShape()->getType() != type) return internalError();
    if (type == DataType_::integer)
        return compareValues(*static_cast<const int32_t*>(x), *static_cast<const int32_t*>(y), comparison);
    if (type == DataType_::doubleprecision)
        return compareValues(*static_cast<const double*>(x), *static_cast<const double*>(y), comparison);
    return internalError();
}

bool Condition_::isMet() {
    if (RHS) return compare();
    // A missing child counts as not met.
    switch (logic) {
        case AND: return Child1 && Child2 && Child1->isMet() && Child2->isMet();
        case OR: return (Child1 && Child1->isMet()) || (Child2 && Child2->isMet());
        case undefinedLogic: return internalError();
        default: return false;
    }
}
