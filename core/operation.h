#pragma once
// One node of an evaluation tree compiled from a value expression. The node
// has a kind, a typed result block of fixed shape and one operand per
// argument: a child node, a constant it owns, or a value read in place (a
// tree parameter or a live field). Evaluation runs bottom-up: children write
// their own result blocks, then the node's bound element function computes
// its result from the operands' blocks. Built once, evaluated many times on
// one thread; evaluation allocates nothing except where a pulse result must
// grow to a larger operand pulse.
#include <QString>
#include <memory>
#include <vector>

#include "core/datashape.h"
#include "core/datatype.h"
#include "kernel/pulserecord.h"
#include "logger.h"

class Measurement_;
class ParameterLink_;
class Pulse_;

class Operation_ : public Logger_ {
public:
    enum kind_ : int32_t {
        undefined = 0,
        intensity = 1,
        add = 2,
        multiply = 3,
        divide = 4,
        exponent = 5,
        substract = 6,
        copy = 7,
        upcast = 8,
        downcast = 9,
        abs = 10,
        energy = 11,
        msq = 12,
        centerofmass = 13,
        fwhm = 14,
        maximum = 15,
        tofrequency = 16,
        totime = 17,
        raisedimension = 18,
        lowerdimension = 19,
        real = 20,
        imag = 21,
        conjugate = 22,
        complexexp = 23,
        complexarg = 24,
    };

    using complex_ = optics::complex_;
    using elementFunction_ = void* (Operation_::*)();

    // The name typed in expressions; "Undefined" and any other text give undefined.
    static kind_ getKind(const QString& name);
    // "Error" for a value outside the kinds.
    static QString getName(kind_ kind);
    // -1 outside 1 to 24.
    static int getArguments(const kind_& kind);
    static int getFundamentalArgumentDimension(int argument, kind_ kind);
    static int getFundamentalOutputDimension(kind_ kind);
    // Samples of output axis `odimension` when the kind fixes them (the first
    // argument's samples on axis 0 for the domain transforms), else -1.
    static int getOutputSamples(int odimension, int** isample, kind_ kind);
    // The result type for the argument types AT (one per argument), or
    // undefined. When one argument must be converted first its entry is set
    // to the wanted type and `err` names it; `err` is -1 when no single
    // conversion helps.
    static DataType_ getOutputType(kind_ kind, DataType_* AT, int& err);

    // A node whose result has this type, number of axes and samples per axis.
    Operation_(kind_ kind, DataType_ type, int dimension, const int* samples);
    // A deep copy: children, operand shapes and the operands' current values
    // (parameters included) are copied and owned by the copy.
    Operation_(const Operation_& other);
    Operation_& operator=(const Operation_&) = delete;
    ~Operation_();

    // Each operand is set once; an index out of range or an operand already
    // set leaves the node unchanged, except that a constant may be rewritten
    // with a value of its own type.
    void setParameter(int i, Operation_* child);         // takes ownership
    void setParameter(int i, ParameterLink_* parameter);  // read in place
    void setParameter(int i, int value);
    void setParameter(int i, double value);
    void setParameter(int i, complex_ value);
    void setParameter(int i, double* value);  // read in place, not owned
    void setParameter(int i, complex_* value);

    // The measurement whose errors this tree reports; passed down to every child.
    void setMeasurement(Measurement_* measurement);
    Measurement_* getMeasurement() const { return Measurement; }

    // Evaluates the tree; returns the start of this node's result block.
    void* perform();
    // A new copy of the current result, freed by the caller through getShape().
    void* takeResult() const;
    const DataShape_* getShape() const { return ResultShape.get(); }

    DataType_::type_ getParameterType(int i) const;
    int getParameterDimension(int i) const;
    int getParameterSamples(int i, int axis) const;
    int getParameterBytes(int i) const;

    void write(const int& indent);

    // Binds the element function and allocates the result block, once.
    int ready();

private:
    bool validIndex(int i) const { return i >= 0 && i < parameters; }
    bool operandFree(int i) const { return validIndex(i) && !parameterData[i] && !Operation[i]; }
    template <typename T>
    void setConstant(int i, DataType_::type_ type, T value);
    void setInPlace(int i, DataType_::type_ type, void* value);
    void bindAbs();
    // A "Copy" of an extended-precision scalar into a double result converts.
    void bindQuadCopy();
    void bindIterator();
    elementFunction_ chooseFunction();
    void unimplemented(const char* message);
    // A fault inside one evaluation: filed on the measurement's node with
    // `code`, or logged when the tree belongs to a condition.
    void reportFault(const char* message, int code);
    void reportDivisionByZero(const char* message);

    template <typename T>
    T& arg(int i) const { return *static_cast<T*>(parameterData[i]); }
    template <typename T>
    T& res() const { return *static_cast<T*>(oresult); }
    // Operand i or the result as one pulse: a pulse object for one axis,
    // else the pulse the handle at the current position points to.
    Pulse_& pulseArg(int i) const;
    Pulse_& pulseResult() const;
    // Bytes one position on `axis` of a block of `shape` spans; 0 for an axis
    // the shape does not have (the operand is the same at every position).
    static long stepOf(const DataShape_& shape, int axis);
    void walk(int axis);

    void* iterator();
    void* oaddint();
    void* oadddouble();
    void* oaddcomplex();
    void* oaddpulse();
    void* osubstractint();
    void* osubstractdouble();
    void* osubstractcomplex();
    void* osubstractpulse();
    void* omultiplyint();
    void* omultiplydouble();
    void* omultiplycomplex();
    void* omultiplypulse();
    void* odivideint();
    void* odividedouble();
    void* odividecomplex();
    void* odividepulse();
    void* opower();
    void* ocomplexpower();
    void* ocopy();
    void* oquadtodouble();
    void* ointtodouble();
    void* odoubletocomplex();
    void* obooltoint();
    void* odoubletoint();
    void* ointtobool();
    void* ocomplextodouble();
    void* opulsetocomplex();
    void* oabsint();
    void* oabsdouble();
    void* oabscomplex();
    void* oenergy();
    void* omsq();
    void* ocenterofmass();
    void* ofwhm();
    void* omax();
    void* otofrequency();
    void* ototime();
    void* oraise();
    void* olower();
    void* oimag();
    void* oconjugate();
    void* oconjugatepulse();
    void* oexp();
    void* oarg();
    void* ointensity();
    // Pulse arithmetic: the result is pulse a with `f` applied to each sample
    // and the matching sample or element of b.
    template <typename F>
    void* pulseArithmetic(F f, const char* unimplementedMessage);

    std::vector<std::unique_ptr<Operation_>> Operation;
    std::vector<void*> parameterData;
    int parameters;
    std::vector<std::unique_ptr<DataShape_>> ParameterShape;
    std::vector<bool> constant;
    kind_ kind;
    void* oresult;
    std::unique_ptr<DataShape_> ResultShape;
    elementFunction_ operation;
    elementFunction_ suboperation;
    int extraDimensions;
    Measurement_* Measurement;
};
