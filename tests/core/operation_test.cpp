// Operation trees: the kind table, the result-type rules, the element
// functions on small blocks and on real pulses, and the guarded faults.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <memory>

#include "kernel/measures.h"
#include "tests/core/logcapture.h"
#include "tests/core/measurementfakes.h"

namespace {

using T = DataType_;
using K = Operation_;
using complex_ = optics::complex_;

std::unique_ptr<Pulse_> gaussianPulse(int n = 256, double duration = 100e-15) {
    auto p = std::make_unique<Pulse_>(n, nullptr);
    p->createGaussian(duration, 1e-9, 800e-9, nullptr);
    return p;
}

template <typename R>
R evaluate(Operation_& op) {
    return *static_cast<R*>(op.perform());
}

TEST(OperationKinds, TableOfNamesArgumentsAndAxes) {
    struct Row {
        K::kind_ kind;
        const char* name;
        int arguments, argumentAxes, outputAxes;
    };
    const Row rows[] = {
        {K::undefined, "Undefined", -1, -1, -1},       {K::intensity, "Intensity", 2, 0, 0},
        {K::add, "+", 2, 0, 0},                        {K::multiply, "*", 2, 0, 0},
        {K::divide, "/", 2, 0, 0},                     {K::exponent, "^", 2, 0, 0},
        {K::substract, "-", 2, 0, 0},                  {K::copy, "Copy", 1, 0, 0},
        {K::upcast, "UpCast", 1, 0, 0},                {K::downcast, "DownCast", 1, 0, 0},
        {K::abs, "Abs", 1, 0, 0},                      {K::energy, "Energy", 1, 1, 0},
        {K::msq, "MSQ", 1, 1, 0},                      {K::centerofmass, "CenterOfMass", 1, 1, 0},
        {K::fwhm, "FWHM", 1, 1, 0},                    {K::maximum, "Max", 1, 1, 0},
        {K::tofrequency, "ToFrequency", 1, 1, 1},      {K::totime, "ToTime", 1, 1, 1},
        {K::raisedimension, "RaiseDimension", 2, 0, 0}, {K::lowerdimension, "LowerDimension", 2, 1, 0},
        {K::real, "Re", 1, 0, 0},                      {K::imag, "Im", 1, 0, 0},
        {K::conjugate, "Conjugate", 1, 0, 0},          {K::complexexp, "Exp", 1, 0, 0},
        {K::complexarg, "Arg", 1, 0, 0},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(K::getName(r.kind), QString(r.name));
        EXPECT_EQ(K::getKind(r.name), r.kind) << r.name;  // "Undefined" too gives undefined
        EXPECT_EQ(K::getArguments(r.kind), r.arguments) << r.name;
        EXPECT_EQ(K::getFundamentalArgumentDimension(5, r.kind), r.argumentAxes) << r.name;
        EXPECT_EQ(K::getFundamentalOutputDimension(r.kind), r.outputAxes) << r.name;
    }
    EXPECT_EQ(K::getKind("energy"), K::undefined);
    EXPECT_EQ(K::getName(static_cast<K::kind_>(25)), "Error");
    int samples[] = {512, 3};
    int* perArgument[] = {samples};
    EXPECT_EQ(K::getOutputSamples(0, perArgument, K::tofrequency), 512);
    EXPECT_EQ(K::getOutputSamples(1, perArgument, K::tofrequency), -1);
    EXPECT_EQ(K::getOutputSamples(0, perArgument, K::energy), -1);
}

TEST(OperationKinds, OutputTypesAndConversionRequests) {
    struct Row {
        K::kind_ kind;
        T::type_ a0, a1;
        T::type_ result;
        int err;
        T::type_ wanted;  // the entry of argument err afterwards
    };
    const T::type_ U = T::undefined, I = T::integer, D = T::doubleprecision, C = T::complex, P = T::pulse,
                   L = T::logical, S = T::string;
    const Row rows[] = {
        {K::intensity, D, D, U, 0, C},  {K::intensity, C, I, U, 1, D}, {K::intensity, C, D, D, -1, U},
        {K::add, I, D, U, 0, D},        {K::add, D, I, U, 1, D},       {K::add, I, I, I, -1, U},
        {K::add, P, I, U, 1, C},        {K::add, C, P, P, -1, U},      {K::divide, P, P, P, -1, U},
        {K::multiply, S, S, U, 0, U},   {K::add, U, I, U, 0, U},       {K::exponent, C, D, U, 1, C},
        {K::exponent, D, D, D, -1, U},  {K::upcast, C, U, U, 0, U},    {K::upcast, I, U, D, -1, U},
        {K::downcast, L, U, U, 0, U},   {K::downcast, P, U, C, -1, U}, {K::abs, C, U, D, -1, U},
        {K::abs, L, U, U, 0, I},        {K::maximum, P, U, I, -1, U},  {K::energy, D, U, U, 0, P},
        {K::tofrequency, P, U, P, -1, U}, {K::raisedimension, D, D, U, 1, D}, {K::lowerdimension, P, I, C, -1, U},
        {K::real, D, U, U, 0, C},       {K::conjugate, P, U, P, -1, U}, {K::complexarg, C, U, D, -1, U},
    };
    for (const Row& r : rows) {
        T types[2] = {T(r.a0), T(r.a1)};
        int err = 7;
        EXPECT_EQ(K::getOutputType(r.kind, types, err).get(), r.result) << K::getName(r.kind).toStdString();
        EXPECT_EQ(err, r.err) << K::getName(r.kind).toStdString();
        if (err >= 0) {
            EXPECT_EQ(types[err].get(), r.wanted) << K::getName(r.kind).toStdString();
        }
    }
    T integers[2] = {T(I), T(I)};
    int err = 0;
    EXPECT_EQ(K::getOutputType(K::exponent, integers, err).get(), U);  // both become doubles, no single request
    EXPECT_EQ(err, -1);
    EXPECT_EQ(integers[0].get(), D);
    EXPECT_EQ(integers[1].get(), D);
}

// Each row: a kind over two constants (or one), the expected value.
TEST(OperationElements, ScalarArithmeticAndConversions) {
    const auto binary = [](K::kind_ k, T::type_ t, auto a, auto b) {
        auto op = std::unique_ptr<Operation_>(scalar(k, t));
        op->setParameter(0, a);
        op->setParameter(1, b);
        return op;
    };
    EXPECT_EQ(evaluate<double>(*binary(K::substract, T::doubleprecision, 5.0, 3.0)), 2.0);
    EXPECT_EQ(evaluate<int32_t>(*binary(K::divide, T::integer, -7, 2)), -3);  // toward zero
    EXPECT_EQ(evaluate<int32_t>(*binary(K::add, T::integer, INT_MAX, 1)), INT_MIN);  // wraps, no trap
    EXPECT_EQ(evaluate<double>(*binary(K::exponent, T::doubleprecision, 2.0, 10.0)), 1024.0);
    const complex_ product = evaluate<complex_>(*binary(K::multiply, T::complex, complex_(1, 2), complex_(3, -1)));
    EXPECT_EQ(product, complex_(5, 5));
    const complex_ quotient = evaluate<complex_>(*binary(K::divide, T::complex, complex_(5, 5), complex_(3, -1)));
    EXPECT_NEAR(std::abs(quotient - complex_(1, 2)), 0.0, 1e-6);

    const auto unary = [](K::kind_ k, T::type_ t, auto a) {
        auto op = std::unique_ptr<Operation_>(scalar(k, t));
        op->setParameter(0, a);
        return op;
    };
    EXPECT_EQ(evaluate<double>(*unary(K::abs, T::doubleprecision, complex_(3, 4))), 25.0);  // squared modulus
    EXPECT_EQ(evaluate<int32_t>(*unary(K::abs, T::integer, -4)), 4);
    EXPECT_EQ(evaluate<int32_t>(*unary(K::downcast, T::integer, -2.9)), -2);
    EXPECT_EQ(evaluate<int32_t>(*unary(K::downcast, T::integer, 1e300)), INT_MAX);  // held at the range's end
    EXPECT_EQ(evaluate<double>(*unary(K::upcast, T::doubleprecision, 3)), 3.0);
    EXPECT_EQ(evaluate<double>(*unary(K::imag, T::doubleprecision, complex_(1, -2))), -2.0);
    EXPECT_EQ(evaluate<complex_>(*unary(K::conjugate, T::complex, complex_(1, 2))), complex_(1, -2));
    const complex_ e = evaluate<complex_>(*unary(K::complexexp, T::complex, complex_(0, float(M_PI / 2))));
    EXPECT_NEAR(std::abs(e - complex_(0, 1)), 0.0, 1e-6);
    // Arg in (-pi/2, pi/2); on the imaginary axis by the sign of the imaginary part.
    EXPECT_DOUBLE_EQ(evaluate<double>(*unary(K::complexarg, T::doubleprecision, complex_(1, 1))), M_PI / 4);
    EXPECT_DOUBLE_EQ(evaluate<double>(*unary(K::complexarg, T::doubleprecision, complex_(-1, 1))), -M_PI / 4);
    EXPECT_DOUBLE_EQ(evaluate<double>(*unary(K::complexarg, T::doubleprecision, complex_(0, 2))), M_PI / 2);
    EXPECT_DOUBLE_EQ(evaluate<double>(*unary(K::complexarg, T::doubleprecision, complex_(0, -2))), -M_PI / 2);
    EXPECT_EQ(evaluate<double>(*unary(K::complexarg, T::doubleprecision, complex_(0, 0))), 0.0);
}

// a^b = exp(b ln a): i^2 = -1, (-1)^0.5 = i, 4^0.5 = 2, anything^0 = 1.
TEST(OperationElements, ComplexPowerFollowsTheBasesModulusAndArgument) {
    struct Row {
        complex_ a, b, expected;
    };
    const Row rows[] = {{{0, 1}, {2, 0}, {-1, 0}}, {{-1, 0}, {0.5f, 0}, {0, 1}}, {{4, 0}, {0.5f, 0}, {2, 0}},
                        {{3, 7}, {0, 0}, {1, 0}},  {{0, 0}, {2, 0}, {0, 0}}};
    for (const Row& r : rows) {
        std::unique_ptr<Operation_> op(scalar(K::exponent, T::complex));
        op->setParameter(0, r.a);
        op->setParameter(1, r.b);
        EXPECT_NEAR(std::abs(evaluate<complex_>(*op) - r.expected), 0.0, 1e-6) << r.a << "^" << r.b;
    }
}

TEST(OperationOperands, ConstantsChildrenAndInPlaceValues) {
    std::unique_ptr<Operation_> op(scalar(K::add, T::integer));
    op->setParameter(0, 2);
    op->setParameter(0, 5);    // same type: rewritten
    op->setParameter(0, 9.0);  // another type: ignored
    op->setParameter(7, 1);    // out of range: ignored
    Operation_* first = scalar(K::copy, T::integer);
    first->setParameter(0, 10);
    op->setParameter(1, first);
    Operation_ second(K::copy, T(T::integer), 0, nullptr);
    op->setParameter(1, &second);  // operand taken: the second child stays with the caller
    EXPECT_EQ(evaluate<int32_t>(*op), 15);
    EXPECT_EQ(op->getParameterType(1), T::integer);
    EXPECT_EQ(op->getParameterDimension(2), -1);

    double live = 1.5;
    std::unique_ptr<Operation_> reads(scalar(K::multiply, T::doubleprecision));
    reads->setParameter(0, &live);
    reads->setParameter(1, 2.0);
    EXPECT_EQ(evaluate<double>(*reads), 3.0);
    live = 4.0;  // a tuned value reaches the next evaluation
    EXPECT_EQ(evaluate<double>(*reads), 8.0);
    // A deep copy holds its own copy of the value read in place.
    Operation_ copy(*reads);
    live = 100.0;
    EXPECT_EQ(evaluate<double>(copy), 8.0);
}

// A result of one extra axis of three samples: the element function runs per element.
TEST(OperationElements, IteratorAppliesTheFunctionToEveryElement) {
    const int three = 3;
    Operation_ sum(K::add, T(T::doubleprecision), 1, &three);
    double a[3] = {1, 2, 3}, b[3] = {10, 20, 30};
    FakeParameter pa(a, DataShape_(T(T::doubleprecision), 1, &three)),
        pb(b, DataShape_(T(T::doubleprecision), 1, &three));
    sum.setParameter(0, &pa);
    sum.setParameter(1, &pb);
    const double* r = static_cast<const double*>(sum.perform());
    EXPECT_EQ((std::vector<double>(r, r + 3)), (std::vector<double>{11, 22, 33}));

    // Two extra axes, 3 x 2, over a complex array: every combination once.
    const int grid[] = {3, 2};
    Operation_ re(K::real, T(T::doubleprecision), 2, grid);
    complex_ z[6] = {{1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}};
    FakeParameter pz(z, DataShape_(T(T::complex), 2, grid));
    re.setParameter(0, &pz);
    const double* x = static_cast<const double*>(re.perform());
    EXPECT_EQ((std::vector<double>(x, x + 6)), (std::vector<double>{1, 2, 3, 4, 5, 6}));
}

TEST(OperationElements, RaiseAndLowerDimension) {
    const int three = 3;
    Operation_ raise(K::raisedimension, T(T::doubleprecision), 1, &three);
    raise.setParameter(0, 2.5);
    int32_t count = 3;
    FakeParameter pc = integerParameter(count);
    raise.setParameter(1, &pc);
    const double* r = static_cast<const double*>(raise.perform());
    EXPECT_EQ((std::vector<double>(r, r + 3)), (std::vector<double>{2.5, 2.5, 2.5}));

    // "P[k]": sample k of a pulse; an index past the last sample is refused.
    auto pulse = gaussianPulse(64);
    Operation_ sample(K::lowerdimension, T(T::complex), 0, nullptr);
    FakeParameter pp = pulseParameter(*pulse);
    sample.setParameter(0, &pp);
    int32_t k = 32;
    FakeParameter pk = integerParameter(k);
    sample.setParameter(1, &pk);
    EXPECT_EQ(evaluate<complex_>(sample), pulse->getSample(32));
    LogCapture log;
    for (int bad : {64, -1}) {
        k = bad;
        EXPECT_EQ(evaluate<complex_>(sample), pulse->getSample(32)) << "result left as it was";
    }
    // A count beyond the block or left negative is refused the same way.
    for (int bad : {4, -2}) {
        count = bad;
        r = static_cast<const double*>(raise.perform());
        EXPECT_EQ((std::vector<double>(r, r + 3)), (std::vector<double>{2.5, 2.5, 2.5}));
    }
    EXPECT_EQ(log.count("out of range"), 4);
}

// Pulse + pulse sums sample by sample on the first pulse's grid; the
// transforms copy, leaving the operand in its domain; the measures are the kernel's.
TEST(OperationPulses, ArithmeticTransformsAndMeasuresOnGaussians) {
    auto a = gaussianPulse(), b = gaussianPulse(256, 50e-15);
    const int n = 256;
    Operation_ sum(K::add, T(T::pulse), 1, &n);
    FakeParameter pa = pulseParameter(*a), pb = pulseParameter(*b);
    sum.setParameter(0, &pa);
    sum.setParameter(1, &pb);
    const Pulse_& s = *static_cast<Pulse_*>(sum.perform());
    ASSERT_EQ(s.getSamples(), n);
    for (int i = 0; i < n; ++i) EXPECT_EQ(s.getSample(i), a->getSample(i) + b->getSample(i)) << i;
    EXPECT_EQ(s.t0(), a->t0());
    EXPECT_EQ(s.domain(), a->domain());

    Operation_ spectrum(K::tofrequency, T(T::pulse), 1, &n);
    spectrum.setParameter(0, &pa);
    const Pulse_& f = *static_cast<Pulse_*>(spectrum.perform());
    EXPECT_FALSE(f.domain());
    EXPECT_TRUE(a->domain());
    Pulse_ expected(*a);
    optics::tofrequency(*expected.get());
    for (int i = 0; i < n; ++i) EXPECT_EQ(f.getSample(i), expected.getSample(i)) << i;

    struct Row {
        K::kind_ kind;
        double value;
    };
    const Row measures[] = {{K::energy, optics::energy(*a->get())},
                            {K::msq, optics::msq(*a->get())},
                            {K::fwhm, optics::fwhm(*a->get())},
                            {K::centerofmass, double(optics::centerofmass(*a->get()))}};
    for (const Row& r : measures) {
        std::unique_ptr<Operation_> op(pulseMeasure(r.kind, *a));
        EXPECT_EQ(evaluate<double>(*op), r.value) << K::getName(r.kind).toStdString();
    }
    std::unique_ptr<Operation_> peak(pulseMeasure(K::maximum, *a));
    int largest = 0;
    for (int i = 1; i < n; ++i)
        if (std::abs(a->getSample(i)) > std::abs(a->getSample(largest))) largest = i;
    EXPECT_EQ(evaluate<int32_t>(*peak), largest + 1);  // counted from 1

    // "Energy(P)*2" over a child node.
    Operation_ twice(K::multiply, T(T::doubleprecision), 0, nullptr);
    twice.setParameter(0, pulseMeasure(K::energy, *a));
    twice.setParameter(1, 2.0);
    EXPECT_EQ(evaluate<double>(twice), 2 * optics::energy(*a->get()));

    // Conjugate of a pulse conjugates every sample.
    Operation_ conj(K::conjugate, T(T::pulse), 1, &n);
    conj.setParameter(0, &pa);
    const Pulse_& c = *static_cast<Pulse_*>(conj.perform());
    for (int i = 0; i < n; ++i) EXPECT_EQ(c.getSample(i), std::conj(a->getSample(i))) << i;
}

// The pulse has fewer samples than when the tree was built: refused, not read past its end.
TEST(OperationPulses, ShrunkenOperandPulseIsRefused) {
    auto a = gaussianPulse();
    const int n = 256;
    Operation_ sum(K::add, T(T::pulse), 1, &n);
    FakeParameter pa = pulseParameter(*a);
    complex_ w[n] = {};
    FakeParameter pw(w, DataShape_(T(T::complex), 1, &n));
    sum.setParameter(0, &pa);
    sum.setParameter(1, &pw);
    EXPECT_EQ(static_cast<Pulse_*>(sum.perform())->getSample(128), a->getSample(128));
    Operation_ samples(K::downcast, T(T::complex), 1, &n);
    samples.setParameter(0, &pa);
    samples.perform();
    *a = Pulse_(512, nullptr);  // the array operand now covers only half the pulse
    LogCapture log;
    sum.perform();
    EXPECT_EQ(log.count("not matching"), 1);
    *a = Pulse_(128, nullptr);
    samples.perform();
    EXPECT_EQ(log.count("fewer samples"), 1);
}

// One copy per call, independent of the node and of later evaluations.
TEST(OperationResults, TakeResultIsAnIndependentCopy) {
    auto p = gaussianPulse();
    std::unique_ptr<Operation_> op(pulseCopy(*p));
    op->perform();
    auto* copy = static_cast<Pulse_*>(op->takeResult());
    copy->getSamplePointer(128)[0] = complex_(0, 0);
    EXPECT_EQ(static_cast<Pulse_*>(op->perform())->getSample(128), p->getSample(128));
    *p->getSamplePointer(128) *= 2.0f;
    op->perform();
    EXPECT_EQ(copy->getSample(128), complex_(0, 0));
    op->getShape()->freeData(copy);
}

struct DivisionByZero : ::testing::Test {
    void SetUp() override { errortesting::reset(); }
    void TearDown() override { errortesting::reset(); }
};

TEST_F(DivisionByZero, SubstitutesFilesCappedReportsOnTheNodeAndNoneInConditions) {
    FakeMeasurementNode node(3);
    Measurement_ m(nullptr, &node);
    auto* op = scalar(K::divide, T::integer);
    op->setParameter(0, 7);
    op->setParameter(1, 0);
    m.setOperation(op);
    for (int k = 0; k < 15; ++k) EXPECT_EQ(evaluate<int32_t>(*op), 7);
    int fpe = 0;
    for (const ErrorRow& row : listedErrors())
        if (row.code == Error_::FPE && row.source == node.node()) ++fpe;
    EXPECT_EQ(fpe, 10) << "capped per node";
    errortesting::reset();

    // Real and complex divisors, and the smallest integer over -1, which
    // overflows: the substitute and one report each.
    struct Row {
        T::type_ type;
        const char* text;
    };
    const Row rows[] = {{T::doubleprecision, "Division by zero while dividing real number"},
                        {T::complex, "Division by zero while dividing complex number"},
                        {T::integer, "Overflow while dividing integer number"}};
    int source = 4;
    for (const Row& r : rows) {
        FakeMeasurementNode other(source++);
        Measurement_ owner(nullptr, &other);
        auto* d = scalar(K::divide, r.type);
        owner.setOperation(d);
        if (r.type == T::complex) {
            d->setParameter(0, complex_(3, 4));
            d->setParameter(1, complex_(0, 0));
            EXPECT_EQ(evaluate<complex_>(*d), complex_(0, 0));
        } else if (r.type == T::doubleprecision) {
            d->setParameter(0, 2.5);
            d->setParameter(1, 0.0);
            EXPECT_EQ(evaluate<double>(*d), 2.5);
        } else {
            d->setParameter(0, INT_MIN);
            d->setParameter(1, -1);
            EXPECT_EQ(evaluate<int32_t>(*d), INT_MIN);
        }
        const std::vector<ErrorRow> errors = listedErrors();
        ASSERT_EQ(errors.size(), 1u) << r.text;
        EXPECT_TRUE(errors[0].message.contains(r.text)) << errors[0].message.toStdString();
        EXPECT_EQ(errors[0].code, Error_::FPE);
        EXPECT_EQ(errors[0].source, other.node());
    }
    errortesting::reset();

    // In a condition's tree nothing is filed.
    Operation_* quotient = scalar(K::divide, T::doubleprecision);
    quotient->setParameter(0, 1.0);
    quotient->setParameter(1, 0.0);
    Operation_* one = scalar(K::copy, T::doubleprecision);
    one->setParameter(0, 1.0);
    Condition_ c;
    c.setComparison(quotient, one, Condition_::EQUAL, 0, nullptr);
    EXPECT_TRUE(c.isMet());
    EXPECT_TRUE(listedErrors().empty());
}

}  // namespace
