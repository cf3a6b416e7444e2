#include "core/operation.h"

#include <climits>
#include <cmath>
#include <cstring>

#include "core/measurement.h"
#include "core/measurementnodelink.h"
#include "core/parameterlink.h"
#include "core/pulse.h"
#include "interface/error.h"
#include "kernel/cinterface.h"
#include "kernel/grid.h"
#include "kernel/measures.h"
#include "kernel/pulse.h"
#include "kernel/tools.h"
#include "stringstream.h"

namespace {

struct KindRow {
    const char* name;
    int arguments, argumentAxes, outputAxes;
};

// Indexed by kind_.
constexpr KindRow kinds[] = {
    {"Undefined", -1, -1, -1},    {"Intensity", 2, 0, 0},     {"+", 2, 0, 0},
    {"*", 2, 0, 0},               {"/", 2, 0, 0},             {"^", 2, 0, 0},
    {"-", 2, 0, 0},               {"Copy", 1, 0, 0},          {"UpCast", 1, 0, 0},
    {"DownCast", 1, 0, 0},        {"Abs", 1, 0, 0},           {"Energy", 1, 1, 0},
    {"MSQ", 1, 1, 0},             {"CenterOfMass", 1, 1, 0},  {"FWHM", 1, 1, 0},
    {"Max", 1, 1, 0},             {"ToFrequency", 1, 1, 1},   {"ToTime", 1, 1, 1},
    {"RaiseDimension", 2, 0, 0},  {"LowerDimension", 2, 1, 0}, {"Re", 1, 0, 0},
    {"Im", 1, 0, 0},              {"Conjugate", 1, 0, 0},     {"Exp", 1, 0, 0},
    {"Arg", 1, 0, 0},
};
constexpr int lastKind = 24;

bool builtIn(int kind) { return kind >= 1 && kind <= lastKind; }

using complex_ = optics::complex_;
using wide_ = long double;

complex_ narrow(wide_ re, wide_ im) { return {static_cast<float>(re), static_cast<float>(im)}; }

// Complex arithmetic in extended precision, stored as floats.
complex_ cadd(complex_ a, complex_ b) { return narrow(wide_(a.real()) + b.real(), wide_(a.imag()) + b.imag()); }
complex_ csub(complex_ a, complex_ b) { return narrow(wide_(a.real()) - b.real(), wide_(a.imag()) - b.imag()); }
complex_ cmul(complex_ a, complex_ b) {
    return narrow(wide_(a.real()) * b.real() - wide_(a.imag()) * b.imag(),
                  wide_(a.real()) * b.imag() + wide_(a.imag()) * b.real());
}
complex_ cdiv(complex_ a, complex_ b) {
    const wide_ m = wide_(b.real()) * b.real() + wide_(b.imag()) * b.imag();
    return narrow((wide_(a.real()) * b.real() + wide_(a.imag()) * b.imag()) / m,
                  (wide_(a.imag()) * b.real() - wide_(a.real()) * b.imag()) / m);
}

// Two's-complement arithmetic: an overflowing user expression wraps instead
// of being undefined.
int32_t wrap(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(v)); }

// Requests `wanted` for argument i.
DataType_ request(DataType_* AT, int i, DataType_::type_ wanted, int& err) {
    AT[i] = wanted;
    err = i;
    return DataType_(DataType_::undefined);
}

DataType_ refuse(DataType_* AT, int i, int& err) { return request(AT, i, DataType_::undefined, err); }

}  // namespace

Operation_::kind_ Operation_::getKind(const QString& name) {
    for (int k = 1; k <= lastKind; ++k)
        if (name == QLatin1String(kinds[k].name)) return static_cast<kind_>(k);
    return undefined;
}

QString Operation_::getName(kind_ kind) {
    const int k = kind;
    return k >= 0 && k <= lastKind ? QString::fromLatin1(kinds[k].name) : QStringLiteral("Error");
}

int Operation_::getArguments(const kind_& kind) { return builtIn(kind) ? kinds[kind].arguments : -1; }

int Operation_::getFundamentalArgumentDimension(int, kind_ kind) {
    return builtIn(kind) ? kinds[kind].argumentAxes : -1;
}

int Operation_::getFundamentalOutputDimension(kind_ kind) { return builtIn(kind) ? kinds[kind].outputAxes : -1; }

int Operation_::getOutputSamples(int odimension, int** isample, kind_ kind) {
    if ((kind == tofrequency || kind == totime) && odimension == 0 && isample && isample[0]) return isample[0][0];
    return -1;
}

DataType_ Operation_::getOutputType(kind_ kind, DataType_* AT, int& err) {
    using T = DataType_;
    err = -1;
    const T undefinedType(T::undefined);
    if (!builtIn(kind)) return undefinedType;
    for (int i = 0; i < kinds[kind].arguments; ++i)
        if (AT[i] == T::undefined) {
            err = i;
            return undefinedType;
        }
    switch (kind) {
        case intensity:
            if (AT[0] != T::complex) return request(AT, 0, T::complex, err);
            if (AT[1] != T::doubleprecision) return request(AT, 1, T::doubleprecision, err);
            return T(T::doubleprecision);
        case add:
        case multiply:
        case divide:
        case substract:
            if (AT[0] == T::pulse)
                return AT[1] == T::pulse || AT[1] == T::complex ? T(T::pulse) : request(AT, 1, T::complex, err);
            if (AT[1] == T::pulse) return AT[0] == T::complex ? T(T::pulse) : request(AT, 0, T::complex, err);
            if (AT[0] == T::string) return refuse(AT, 0, err);
            if (AT[0] != AT[1]) {
                const int lower = AT[1].get() < AT[0].get() ? 1 : 0;
                return request(AT, lower, AT[1 - lower].get(), err);
            }
            return AT[0];
        case exponent:
            if (AT[0] == T::pulse) return AT[1] == T::complex ? T(T::pulse) : request(AT, 1, T::complex, err);
            if (AT[0] == T::complex) return AT[1] == T::complex ? T(T::complex) : request(AT, 1, T::complex, err);
            if (AT[1] == T::complex) return request(AT, 0, T::complex, err);
            if (AT[0] == T::doubleprecision && AT[1] == T::doubleprecision) return T(T::doubleprecision);
            AT[0] = T::doubleprecision;
            AT[1] = T::doubleprecision;
            return undefinedType;
        case copy: return AT[0];
        case upcast:
            if (AT[0] == T::string || AT[0] == T::complex) return refuse(AT, 0, err);
            return T(AT[0].get() + 1);
        case downcast:
            if (AT[0] == T::string || AT[0] == T::logical) return refuse(AT, 0, err);
            return T(AT[0].get() - 1);
        case abs:
            if (AT[0] == T::complex) return T(T::doubleprecision);
            if (AT[0] == T::doubleprecision || AT[0] == T::integer) return AT[0];
            return request(AT, 0, T::integer, err);
        case energy:
        case msq:
        case centerofmass:
        case fwhm:
            return AT[0] == T::pulse ? T(T::doubleprecision) : request(AT, 0, T::pulse, err);
        case maximum: return AT[0] == T::pulse ? T(T::integer) : request(AT, 0, T::pulse, err);
        case tofrequency:
        case totime: return AT[0] == T::pulse ? T(T::pulse) : request(AT, 0, T::pulse, err);
        case raisedimension:
        case lowerdimension:
            if (AT[1] != T::integer) {
                err = 1;
                return undefinedType;
            }
            if (kind == lowerdimension && AT[0] == T::pulse) return T(T::complex);
            return AT[0];
        case real:
        case imag:
        case complexarg:
            return AT[0] == T::complex ? T(T::doubleprecision) : request(AT, 0, T::complex, err);
        case conjugate:
            if (AT[0] == T::pulse || AT[0] == T::complex) return AT[0];
            return request(AT, 0, T::complex, err);
        case complexexp: return AT[0] == T::complex ? T(T::complex) : request(AT, 0, T::complex, err);
        default: return undefinedType;
    }
}

Operation_::Operation_(kind_ kind, DataType_ type, int dimension, const int* samples)
    : parameters(-1),
      kind(kind),
      oresult(nullptr),
      ResultShape(std::make_unique<DataShape_>(type, dimension, samples)),
      operation(nullptr),
      suboperation(nullptr),
      extraDimensions(dimension + 1),
      Measurement(nullptr) {
    if (passesLevel(debugB)) log(StringStream_() << "Operation type " << getName(kind).toStdString(), debugB);
    if (builtIn(kind)) {
        extraDimensions = dimension - kinds[kind].outputAxes;
        parameters = kinds[kind].arguments;
    } else {
        logError(StringStream_() << "Unhandeled Operation_::kind " << getName(kind).toStdString()
                                 << " in Operation_::Operation_.",
                 debugA);
    }
    if (parameters >= 1) {
        Operation.resize(static_cast<size_t>(parameters));
        parameterData.assign(static_cast<size_t>(parameters), nullptr);
        ParameterShape.resize(static_cast<size_t>(parameters));
        constant.assign(static_cast<size_t>(parameters), false);
    }
    ready();
}

Operation_::Operation_(const Operation_& other)
    : Logger_(other),
      parameters(other.parameters),
      kind(other.kind),
      oresult(nullptr),
      ResultShape(std::make_unique<DataShape_>(*other.ResultShape)),
      operation(nullptr),
      suboperation(nullptr),
      extraDimensions(ResultShape->getDimension() + 1),
      Measurement(nullptr) {
    if (builtIn(kind))
        extraDimensions = ResultShape->getDimension() - kinds[kind].outputAxes;
    else
        logError(StringStream_() << "Unhandeled Operation_::kind " << getName(kind).toStdString()
                                 << " in Operation_::Operation_.",
                 debugA);
    if (parameters >= 1) {
        Operation.resize(static_cast<size_t>(parameters));
        parameterData.assign(static_cast<size_t>(parameters), nullptr);
        ParameterShape.resize(static_cast<size_t>(parameters));
        constant.assign(static_cast<size_t>(parameters), false);
    }
    for (int i = 0; i < parameters; ++i) {
        if (other.ParameterShape[i]) ParameterShape[i] = std::make_unique<DataShape_>(*other.ParameterShape[i]);
        if (other.Operation[i]) {
            Operation[i] = std::make_unique<Operation_>(*other.Operation[i]);
            parameterData[i] = Operation[i]->oresult;
        } else if (other.parameterData[i] && ParameterShape[i]) {
            parameterData[i] = ParameterShape[i]->copyData(other.parameterData[i]);
            constant[i] = true;
        }
    }
    ready();
    if (kind == abs && parameters >= 1 && parameterData[0]) bindAbs();
    if (kind == copy && parameters >= 1 && parameterData[0]) bindQuadCopy();
}

Operation_::~Operation_() {
    for (int i = 0; i < parameters; ++i)
        if (constant[i]) ParameterShape[i]->freeData(parameterData[i]);
    Operation.clear();
    ResultShape->freeData(oresult);
}

void Operation_::setParameter(int i, Operation_* child) {
    if (!child || !operandFree(i)) return;
    Operation[i].reset(child);
    ParameterShape[i] = std::make_unique<DataShape_>(*child->ResultShape);
    parameterData[i] = child->oresult;
    if (Measurement) child->setMeasurement(Measurement);
    if (kind == abs && i == 0) bindAbs();
}

void Operation_::setParameter(int i, ParameterLink_* parameter) {
    if (passesLevel(debugB))
        log(StringStream_() << "Attempt setting parameter for operation: " << static_cast<void*>(parameter), debugB);
    if (!parameter || !operandFree(i)) return;
    void* data = parameter->getData();
    const DataShape_* shape = parameter->getShape();
    if (!data || !shape) {
        logError("Parameter without data or shape in Operation_::setParameter.", normal);
        return;
    }
    if (passesLevel(debugB)) {
        log(StringStream_() << "Type: " << shape->getType().getTypeString().toStdString(), debugB);
        log(StringStream_() << "Dimension: " << shape->getDimension(), debugB);
        log(StringStream_() << "Data: " << data, debugB);
    }
    ParameterShape[i] = std::make_unique<DataShape_>(*shape);
    parameterData[i] = data;
    if (kind == abs && i == 0) bindAbs();
    if (kind == copy && i == 0) bindQuadCopy();
}

template <typename T>
void Operation_::setConstant(int i, DataType_::type_ type, T value) {
    if (!validIndex(i)) return;
    if (operandFree(i)) {
        ParameterShape[i] = std::make_unique<DataShape_>(DataType_(type), 0, nullptr);
        parameterData[i] = ParameterShape[i]->allocateData();
        constant[i] = true;
        if (kind == abs && i == 0) bindAbs();
    } else if (!constant[i] || ParameterShape[i]->getType() != type) {
        return;
    }
    *static_cast<T*>(parameterData[i]) = value;
}

void Operation_::setParameter(int i, int value) { setConstant<int32_t>(i, DataType_::integer, value); }
void Operation_::setParameter(int i, double value) { setConstant(i, DataType_::doubleprecision, value); }
void Operation_::setParameter(int i, complex_ value) { setConstant(i, DataType_::complex, value); }

void Operation_::setInPlace(int i, DataType_::type_ type, void* value) {
    if (!value || !operandFree(i)) return;
    ParameterShape[i] = std::make_unique<DataShape_>(DataType_(type), 0, nullptr);
    parameterData[i] = value;
    if (kind == abs && i == 0) bindAbs();
}

void Operation_::setParameter(int i, double* value) { setInPlace(i, DataType_::doubleprecision, value); }
void Operation_::setParameter(int i, complex_* value) { setInPlace(i, DataType_::complex, value); }

void Operation_::setMeasurement(Measurement_* measurement) {
    Measurement = measurement;
    for (auto& child : Operation)
        if (child) child->setMeasurement(measurement);
}

void* Operation_::perform() {
    for (int i = 0; i < parameters; ++i) {
        if (Operation[i]) parameterData[i] = Operation[i]->perform();
        if (!parameterData[i]) {
            logError("Internal error in Operation_::perform(): operand not set.", normal);
            return oresult;
        }
    }
    if (!operation || !oresult) {
        logError("Internal error in Operation_::perform(): no element function bound.", normal);
        return oresult;
    }
    return (this->*operation)();
}

void* Operation_::takeResult() const { return oresult ? ResultShape->copyData(oresult) : nullptr; }

DataType_::type_ Operation_::getParameterType(int i) const {
    if (!validIndex(i)) return DataType_::undefined;
    if (Operation[i]) return Operation[i]->ResultShape->getType().get();
    return ParameterShape[i] ? ParameterShape[i]->getType().get() : DataType_::undefined;
}

int Operation_::getParameterDimension(int i) const {
    if (!validIndex(i)) return -1;
    if (Operation[i]) return Operation[i]->ResultShape->getDimension();
    return ParameterShape[i] ? ParameterShape[i]->getDimension() : -1;
}

int Operation_::getParameterSamples(int i, int axis) const {
    if (!validIndex(i) || axis < 0) return -1;
    if (Operation[i]) {
        const DataShape_& s = *Operation[i]->ResultShape;
        return axis < s.getDimension() ? s.getSamples()[axis] : 0;
    }
    if (!ParameterShape[i] || axis >= ParameterShape[i]->getDimension()) return -1;
    return ParameterShape[i]->getSamples()[axis];
}

int Operation_::getParameterBytes(int i) const {
    if (!validIndex(i) || !ParameterShape[i]) return -1;
    return ParameterShape[i]->getTotalSamples() * ParameterShape[i]->getSize();
}

void Operation_::write(const int& indent) {
    log(StringStream_(indent) << "Operation Addr: " << static_cast<void*>(this), debugA);
    log(StringStream_(indent) << "Operation kind: " << getName(kind).toStdString(), debugA);
    log(StringStream_(indent) << "Output Type: " << ResultShape->getType().getTypeString().toStdString(), debugA);
    log(StringStream_(indent) << "Output Dimension: " << ResultShape->getDimension(), debugA);
    StringStream_ samples(indent);
    samples << "Output Samples: " << "[";
    for (int d = 0; d < ResultShape->getDimension(); ++d) samples << ResultShape->getSamples()[d] << " ";
    samples << "]";
    log(samples, debugA);
    log(StringStream_(indent) << "Function Addr: " << (operation ? 1 : 0), debugA);
    log(StringStream_(indent) << "Result Addr: " << oresult, debugA);
    log(StringStream_(indent) << "Children: ", debugA);
    for (int i = 0; i < parameters; ++i) {
        log(StringStream_(indent + 2) << i << ":", debugA);
        if (Operation[i])
            Operation[i]->write(indent + 4);
        else
            log(StringStream_(indent + 4) << "Constant or parameter.", debugA);
    }
    log(StringStream_(indent) << "End Children of " << static_cast<void*>(this), debugA);
}

int Operation_::ready() {
    if (oresult || operation) return 0;
    operation = chooseFunction();
    oresult = ResultShape->allocateData();
    if (!oresult) logError("oresult==NULL after initialization in Operation_!", normal);
    bindIterator();
    return 0;
}

void Operation_::bindIterator() {
    if (operation && extraDimensions > 0 && kind != raisedimension && kind != lowerdimension && kind != copy) {
        suboperation = operation;
        operation = &Operation_::iterator;
    }
}

void Operation_::unimplemented(const char* message) {
    logError(StringStream_() << message << ResultShape->getType().getTypeString().toStdString(), normal);
}

void Operation_::bindAbs() {
    if (operation || !ParameterShape[0]) return;
    switch (ParameterShape[0]->getType().get()) {
        case DataType_::doubleprecision: operation = &Operation_::oabsdouble; break;
        case DataType_::complex: operation = &Operation_::oabscomplex; break;
        case DataType_::integer: operation = &Operation_::oabsint; break;
        default: unimplemented("Unimplemented abs() operation requested for type "); return;
    }
    bindIterator();
}

void Operation_::bindQuadCopy() {
    if (ParameterShape[0] && ParameterShape[0]->getType() == DataType_::quadprecision &&
        ParameterShape[0]->getDimension() == 0 && ResultShape->getType() == DataType_::doubleprecision &&
        ResultShape->getDimension() == 0)
        operation = &Operation_::oquadtodouble;
}

Operation_::elementFunction_ Operation_::chooseFunction() {
    const DataType_::type_ type = ResultShape->getType().get();
    // Pulse arithmetic handles the pulse's sample axis itself.
    const auto overPulse = [this](elementFunction_ f) {
        --extraDimensions;
        return f;
    };
    const auto byType = [&](elementFunction_ d, elementFunction_ i, elementFunction_ c, elementFunction_ p,
                            const char* message) -> elementFunction_ {
        switch (type) {
            case DataType_::doubleprecision: return d;
            case DataType_::integer: return i;
            case DataType_::complex: return c;
            case DataType_::pulse: return overPulse(p);
            default: unimplemented(message); return nullptr;
        }
    };
    switch (kind) {
        case intensity: return &Operation_::ointensity;
        case add:
            return byType(&Operation_::oadddouble, &Operation_::oaddint, &Operation_::oaddcomplex,
                          &Operation_::oaddpulse, "Unimplemented addition operation requested for type ");
        case multiply:
            return byType(&Operation_::omultiplydouble, &Operation_::omultiplyint, &Operation_::omultiplycomplex,
                          &Operation_::omultiplypulse, "Unimplemented multiplication operation requested for type ");
        case divide:
            return byType(&Operation_::odividedouble, &Operation_::odivideint, &Operation_::odividecomplex,
                          &Operation_::odividepulse, "Unimplemented division operation requested for type ");
        case substract:
            return byType(&Operation_::osubstractdouble, &Operation_::osubstractint, &Operation_::osubstractcomplex,
                          &Operation_::osubstractpulse, "Unimplemented substraction operation requested for type ");
        case exponent:
            if (type == DataType_::doubleprecision) return &Operation_::opower;
            if (type == DataType_::complex) return &Operation_::ocomplexpower;
            unimplemented("Unimplemented exponentiation operation requested for type ");
            return nullptr;
        case copy: return &Operation_::ocopy;
        case upcast:
            if (type == DataType_::doubleprecision) return &Operation_::ointtodouble;
            if (type == DataType_::complex) return &Operation_::odoubletocomplex;
            if (type == DataType_::integer) return &Operation_::obooltoint;
            unimplemented("Unimplemented up casting operation requested for type ");
            return nullptr;
        case downcast:
            if (type == DataType_::integer) return &Operation_::odoubletoint;
            if (type == DataType_::logical) return &Operation_::ointtobool;
            if (type == DataType_::doubleprecision) return &Operation_::ocomplextodouble;
            if (type == DataType_::complex) return overPulse(&Operation_::opulsetocomplex);
            unimplemented("Unimplemented down casting operation requested for type ");
            return nullptr;
        case abs: return nullptr;  // bound by the operand's type once it is set
        case energy: return &Operation_::oenergy;
        case msq: return &Operation_::omsq;
        case centerofmass: return &Operation_::ocenterofmass;
        case fwhm: return &Operation_::ofwhm;
        case maximum: return &Operation_::omax;
        case tofrequency: return &Operation_::otofrequency;
        case totime: return &Operation_::ototime;
        case raisedimension: return &Operation_::oraise;
        case lowerdimension: return &Operation_::olower;
        case real: return &Operation_::ocomplextodouble;
        case imag: return &Operation_::oimag;
        case conjugate:
            if (type == DataType_::complex) return &Operation_::oconjugate;
            if (type == DataType_::pulse) return overPulse(&Operation_::oconjugatepulse);
            unimplemented("Unimplemented conjugate operation requested for type ");
            return nullptr;
        case complexexp: return &Operation_::oexp;
        case complexarg: return &Operation_::oarg;
        default: logError("Internal error in Operation_::ready(): undefined kind_.", normal); return nullptr;
    }
}

void Operation_::reportFault(const char* message, int code) {
    MeasurementNodeLink_* node = Measurement ? Measurement->getMeasurementNode() : nullptr;
    if (node)
        node->getErrorSource().report(message, static_cast<Error_::errorCode_>(code));
    else
        logError(message, normal);
}

void Operation_::reportDivisionByZero(const char* message) {
    // Conditions divide silently: only a measurement's tree reports.
    if (Measurement) reportFault(message, Error_::FPE);
}

Pulse_& Operation_::pulseArg(int i) const {
    if (ParameterShape[i]->getDimension() > 1) return **static_cast<Pulse_**>(parameterData[i]);
    return *static_cast<Pulse_*>(parameterData[i]);
}

Pulse_& Operation_::pulseResult() const {
    if (ResultShape->getDimension() > 1) return **static_cast<Pulse_**>(oresult);
    return *static_cast<Pulse_*>(oresult);
}

long Operation_::stepOf(const DataShape_& shape, int axis) {
    if (axis < 0 || axis >= shape.getDimension()) return 0;
    if (shape.getType() != DataType_::pulse) return shape.getSetSize(axis);
    if (axis == 0) return 0;  // a pulse's own samples are walked by its element function
    long step = static_cast<long>(sizeof(Pulse_*));
    for (int k = 1; k < axis; ++k) step *= shape.getSamples()[k];
    return step;
}

// Walks the extra axes from the highest down, so that the lowest axis runs
// fastest, as the blocks are stored.
void Operation_::walk(int axis) {
    if (axis < ResultShape->getDimension() - extraDimensions) {
        (this->*suboperation)();
        return;
    }
    if (passesLevel(debugD)) log(StringStream_() << "Iterating over dimension " << axis, debugD);
    constexpr int maxOperands = 2;
    void* const result = oresult;
    void* operands[maxOperands];
    long steps[maxOperands];
    for (int i = 0; i < parameters; ++i) {
        operands[i] = parameterData[i];
        steps[i] = ParameterShape[i] ? stepOf(*ParameterShape[i], ParameterShape[i]->matchDimension(axis, *ResultShape)) : 0;
    }
    const long resultStep = stepOf(*ResultShape, axis);
    for (int k = 0; k < ResultShape->getSamples()[axis]; ++k) {
        walk(axis - 1);
        oresult = static_cast<char*>(oresult) + resultStep;
        for (int i = 0; i < parameters; ++i) parameterData[i] = static_cast<char*>(parameterData[i]) + steps[i];
    }
    oresult = result;
    for (int i = 0; i < parameters; ++i) parameterData[i] = operands[i];
}

void* Operation_::iterator() {
    walk(ResultShape->getDimension() - 1);
    return oresult;
}

void* Operation_::oaddint() {
    res<int32_t>() = wrap(int64_t(arg<int32_t>(0)) + arg<int32_t>(1));
    return oresult;
}
void* Operation_::osubstractint() {
    res<int32_t>() = wrap(int64_t(arg<int32_t>(0)) - arg<int32_t>(1));
    return oresult;
}
void* Operation_::omultiplyint() {
    res<int32_t>() = wrap(int64_t(arg<int32_t>(0)) * arg<int32_t>(1));
    return oresult;
}
void* Operation_::oadddouble() {
    res<double>() = arg<double>(0) + arg<double>(1);
    return oresult;
}
void* Operation_::osubstractdouble() {
    res<double>() = arg<double>(0) - arg<double>(1);
    return oresult;
}
void* Operation_::omultiplydouble() {
    res<double>() = arg<double>(0) * arg<double>(1);
    return oresult;
}
void* Operation_::oaddcomplex() {
    res<complex_>() = cadd(arg<complex_>(0), arg<complex_>(1));
    return oresult;
}
void* Operation_::osubstractcomplex() {
    res<complex_>() = csub(arg<complex_>(0), arg<complex_>(1));
    return oresult;
}
void* Operation_::omultiplycomplex() {
    res<complex_>() = cmul(arg<complex_>(0), arg<complex_>(1));
    return oresult;
}

void* Operation_::odivideint() {
    const int32_t a = arg<int32_t>(0), b = arg<int32_t>(1);
    if (b == 0) {
        res<int32_t>() = a;
        reportDivisionByZero("Division by zero while dividing integer number");
    } else if (a == INT32_MIN && b == -1) {
        res<int32_t>() = a;
        reportDivisionByZero("Overflow while dividing integer number");
    } else {
        res<int32_t>() = a / b;
    }
    return oresult;
}

void* Operation_::odividedouble() {
    const double a = arg<double>(0), b = arg<double>(1);
    if (b == 0.0) {
        res<double>() = a;
        reportDivisionByZero("Division by zero while dividing real number");
    } else {
        res<double>() = a / b;
    }
    return oresult;
}

void* Operation_::odividecomplex() {
    const complex_ b = arg<complex_>(1);
    if (b.real() == 0.0f && b.imag() == 0.0f) {
        res<complex_>() = b;
        reportDivisionByZero("Division by zero while dividing complex number");
    } else {
        res<complex_>() = cdiv(arg<complex_>(0), b);
    }
    return oresult;
}

template <typename F>
void* Operation_::pulseArithmetic(F f, const char* unimplementedMessage) {
    Pulse_& a = pulseArg(0);
    const int n = a.getSamples();
    const complex_* w = nullptr;
    int available = 0;
    if (ParameterShape[1]->getType() == DataType_::pulse) {
        Pulse_& b = pulseArg(1);
        w = b.get()->envelope.data();
        available = b.getSamples();
    } else if (ParameterShape[1]->getType() == DataType_::complex) {
        w = &arg<complex_>(1);
        available = ParameterShape[1]->getDimension() > 0 ? ParameterShape[1]->getSamples()[0] : 1;
    } else {
        logError(unimplementedMessage, normal);
        return oresult;
    }
    if (available < n) {
        reportFault("Operand sizes are not matching in pulse arithmetic.", Error_::inputOutOfDomain);
        return oresult;
    }
    Pulse_& r = pulseResult();
    r = a;
    complex_* out = r.get()->envelope.data();
    for (int i = 0; i < n; ++i) out[i] = f(out[i], w[i]);
    return oresult;
}

void* Operation_::oaddpulse() { return pulseArithmetic(cadd, "Unimplemented operation Pulse+Pulse"); }
void* Operation_::omultiplypulse() { return pulseArithmetic(cmul, "Unimplemented operation Pulse+Pulse"); }
void* Operation_::osubstractpulse() {
    return pulseArithmetic(csub, "Unimplemented operation in void* Operation_::osubstractpulse()");
}
void* Operation_::odividepulse() {
    return pulseArithmetic(cdiv, "Unimplemented operation in void* Operation_::odividepulse()");
}

void* Operation_::opower() {
    res<double>() = std::pow(arg<double>(0), arg<double>(1));
    return oresult;
}

// a^b = exp(b ln a) on the principal branch of the logarithm.
void* Operation_::ocomplexpower() {
    const complex_ a = arg<complex_>(0), b = arg<complex_>(1);
    if (b.real() == 0.0f && b.imag() == 0.0f) {
        res<complex_>() = complex_(1.0f, 0.0f);
    } else if (a.real() == 0.0f && a.imag() == 0.0f) {
        res<complex_>() = complex_(0.0f, 0.0f);
    } else {
        const wide_ m = wide_(a.real()) * a.real() + wide_(a.imag()) * a.imag();
        const wide_ theta = std::atan2(wide_(a.imag()), wide_(a.real()));
        const wide_ amplitude = std::pow(m, 0.5L * b.real()) * std::exp(-wide_(b.imag()) * theta);
        const wide_ phase = theta * b.real() + 0.5L * b.imag() * std::log(m);
        res<complex_>() = narrow(amplitude * std::cos(phase), amplitude * std::sin(phase));
    }
    return oresult;
}

void* Operation_::ocopy() {
    ResultShape->copyData(oresult, parameterData[0]);
    return oresult;
}

void* Operation_::oquadtodouble() {
    res<double>() = cinterface::todouble(arg<optics::quad_>(0));
    return oresult;
}

void* Operation_::ointtodouble() {
    res<double>() = arg<int32_t>(0);
    return oresult;
}
void* Operation_::odoubletocomplex() {
    res<complex_>() = complex_(static_cast<float>(arg<double>(0)), 0.0f);
    return oresult;
}
void* Operation_::obooltoint() {
    res<int32_t>() = arg<uint8_t>(0) != 0 ? 1 : 0;
    return oresult;
}
void* Operation_::ointtobool() {
    res<uint8_t>() = arg<int32_t>(0) != 0 ? 1 : 0;
    return oresult;
}

// Truncates toward zero; values beyond the integer range are held at its
// ends and NaN gives 0, where a plain conversion would be undefined.
void* Operation_::odoubletoint() {
    const double a = arg<double>(0);
    if (std::isnan(a))
        res<int32_t>() = 0;
    else if (a >= 2147483648.0)
        res<int32_t>() = INT32_MAX;
    else if (a <= -2147483649.0)
        res<int32_t>() = INT32_MIN;
    else
        res<int32_t>() = static_cast<int32_t>(a);
    return oresult;
}

void* Operation_::ocomplextodouble() {
    res<double>() = arg<complex_>(0).real();
    return oresult;
}
void* Operation_::oimag() {
    res<double>() = arg<complex_>(0).imag();
    return oresult;
}

void* Operation_::opulsetocomplex() {
    Pulse_& a = pulseArg(0);
    const int n = ResultShape->getDimension() > 0 ? ResultShape->getSamples()[0] : 1;
    if (a.getSamples() < n) {
        reportFault("Pulse has fewer samples than the result in DownCast.", Error_::inputOutOfDomain);
        return oresult;
    }
    std::memcpy(oresult, a.get()->envelope.data(), static_cast<size_t>(n) * sizeof(complex_));
    return oresult;
}

void* Operation_::oabsint() {
    const int32_t a = arg<int32_t>(0);
    res<int32_t>() = a < 0 ? wrap(-int64_t(a)) : a;
    return oresult;
}
void* Operation_::oabsdouble() {
    res<double>() = std::fabs(arg<double>(0));
    return oresult;
}
// The squared modulus, as stored experiments expect.
void* Operation_::oabscomplex() {
    const complex_ a = arg<complex_>(0);
    res<double>() = double(a.real()) * a.real() + double(a.imag()) * a.imag();
    return oresult;
}

void* Operation_::oenergy() {
    res<double>() = optics::energy(*pulseArg(0).get());
    return oresult;
}
void* Operation_::omsq() {
    res<double>() = optics::msq(*pulseArg(0).get());
    return oresult;
}
void* Operation_::ocenterofmass() {
    res<double>() = cinterface::todouble(optics::centerofmass(*pulseArg(0).get()));
    return oresult;
}
void* Operation_::ofwhm() {
    res<double>() = optics::fwhm(*pulseArg(0).get());
    return oresult;
}
void* Operation_::omax() {
    res<int32_t>() = tools::findmax(pulseArg(0).get()->envelope);
    return oresult;
}
void* Operation_::otofrequency() {
    Pulse_& r = pulseResult();
    optics::copypulse(*pulseArg(0).get(), *r.get());
    optics::tofrequency(*r.get());
    return oresult;
}
void* Operation_::ototime() {
    Pulse_& r = pulseResult();
    optics::copypulse(*pulseArg(0).get(), *r.get());
    optics::totime(*r.get());
    return oresult;
}

// Repeats operand 0 n times along the result's last axis.
void* Operation_::oraise() {
    const int n = arg<int32_t>(1);
    const int dimension = ResultShape->getDimension();
    const int capacity = dimension > 0 ? ResultShape->getSamples()[dimension - 1] : 0;
    const DataShape_& from = *ParameterShape[0];
    if (n < 0 || n > capacity) {
        reportFault("Count out of range in RaiseDimension.", Error_::inputOutOfDomain);
        return oresult;
    }
    if (ResultShape->getType() != DataType_::pulse) {
        const size_t bytes = static_cast<size_t>(from.getSetSize(from.getDimension()));
        for (int k = 0; k < n; ++k) std::memcpy(static_cast<char*>(oresult) + k * bytes, parameterData[0], bytes);
        return oresult;
    }
    Pulse_** to = static_cast<Pulse_**>(oresult);
    if (from.getDimension() == 1) {
        for (int k = 0; k < n; ++k) *to[k] = *static_cast<Pulse_*>(parameterData[0]);
        return oresult;
    }
    int pulses = 1;
    for (int d = 1; d < from.getDimension(); ++d) pulses *= from.getSamples()[d];
    Pulse_** source = static_cast<Pulse_**>(parameterData[0]);
    for (int k = 0; k < n; ++k)
        for (int j = 0; j < pulses; ++j) *to[k * pulses + j] = *source[j];
    return oresult;
}

// Element k of operand 0's last axis; a sample of a pulse when the result is a scalar.
void* Operation_::olower() {
    const int k = arg<int32_t>(1);
    const DataShape_& from = *ParameterShape[0];
    if (from.getType() == DataType_::pulse && ResultShape->getDimension() == 0) {
        Pulse_& a = pulseArg(0);
        if (k < 0 || k >= a.getSamples())
            reportFault("Index out of range in LowerDimension.", Error_::inputOutOfDomain);
        else
            res<complex_>() = a.getSample(k);
        return oresult;
    }
    const int extent = from.getDimension() > 0 ? from.getSamples()[from.getDimension() - 1] : 0;
    if (k < 0 || k >= extent) {
        reportFault("Index out of range in LowerDimension.", Error_::inputOutOfDomain);
        return oresult;
    }
    if (ResultShape->getType() != DataType_::pulse) {
        const size_t bytes = static_cast<size_t>(ResultShape->getSetSize(ResultShape->getDimension()));
        std::memcpy(oresult, static_cast<char*>(parameterData[0]) + k * bytes, bytes);
        return oresult;
    }
    Pulse_** source = static_cast<Pulse_**>(parameterData[0]);
    if (ResultShape->getDimension() == 1) {
        ResultShape->copyData(oresult, source[k]);
        return oresult;
    }
    int pulses = 1;
    for (int d = 1; d < ResultShape->getDimension(); ++d) pulses *= ResultShape->getSamples()[d];
    ResultShape->copyData(oresult, source + k * pulses);
    return oresult;
}

void* Operation_::oconjugate() {
    res<complex_>() = std::conj(arg<complex_>(0));
    return oresult;
}

void* Operation_::oconjugatepulse() {
    Pulse_& r = pulseResult();
    r = pulseArg(0);
    for (complex_& s : r.get()->envelope) s = std::conj(s);
    return oresult;
}

void* Operation_::oexp() {
    const complex_ a = arg<complex_>(0);
    const wide_ m = std::exp(wide_(a.real()));
    res<complex_>() = narrow(m * std::cos(wide_(a.imag())), m * std::sin(wide_(a.imag())));
    return oresult;
}

// In (-pi/2, pi/2) as stored experiments expect; on the imaginary axis
// +-pi/2 by the sign of the imaginary part, and 0 at the origin.
void* Operation_::oarg() {
    const complex_ a = arg<complex_>(0);
    if (a.real() != 0.0f)
        res<double>() = std::atan(double(a.imag()) / a.real());
    else if (a.imag() == 0.0f)
        res<double>() = 0.0;
    else
        res<double>() = std::copysign(M_PI / 2, double(a.imag()));
    return oresult;
}

void* Operation_::ointensity() {
    res<double>() = optics::intensity(arg<complex_>(0), arg<double>(1));
    return oresult;
}
