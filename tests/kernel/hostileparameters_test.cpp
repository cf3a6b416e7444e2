// Numbers a user can type that are no physical value: NaN, infinities, zero
// or negative widths, amounts whose factor overflows. Each routine reports
// the first such parameter by name and leaves pulse and record as they were;
// the valid values next to them are still computed.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "kernel/crystal.h"
#include "kernel/elements.h"
#include "kernel/fastfouriertransform.h"
#include "kernel/mixing.h"
#include "kernel/optics.h"
#include "kernelerrors.h"
#include "pulsefixtures.h"

namespace {

using namespace pulsefixtures;
using Hostile = kernelerrors::KernelErrors;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kDt = 2.0e-14;
constexpr double kLambda = 1.064e-6;

// One refused call: the routine and parameter its report must name.
struct Refusal {
    const char* routine;
    const char* parameter;
    std::function<void(pulse_&)> call;
};

void expectsamegrid(const pulse_& a, const pulse_& b, const std::string& what) {
    EXPECT_EQ(a.domain, b.domain) << what;
    EXPECT_EQ(a.t, b.t) << what;
    EXPECT_EQ(a.dt, b.dt) << what;
    EXPECT_EQ(a.domega, b.domega) << what;
    EXPECT_EQ(a.omega0, b.omega0) << what;
}

bool names(const std::string& message, const Refusal& r) {
    return message.find(r.routine) != std::string::npos && message.find(r.parameter) != std::string::npos;
}

// Each row reports once, naming its routine and parameter, on a copy of
// `start` that it leaves exactly as it was.
void expectrefused(const pulse_& start, const std::vector<Refusal>& rows) {
    for (const Refusal& r : rows) {
        pulse_ p = start;
        kernelerrors::recorded().clear();
        errorhandling::testing::reset();  // every row within the reporting limit
        r.call(p);
        const std::string what = std::string(r.routine) + " / " + r.parameter;
        EXPECT_EQ(errorhandling::testing::errorcount(), 1) << what;
        ASSERT_FALSE(kernelerrors::recorded().empty()) << what;
        EXPECT_TRUE(names(kernelerrors::recorded().back().message, r)) << kernelerrors::recorded().back().message;
        expectsame(p.envelope, start.envelope);
        expectsamegrid(p, start, what);
    }
}

// A spectrum, so that a routine working in time would have to transform it.
pulse_ spectrum() {
    pulse_ p = gaussianfield(256, kDt, 3.0e-13, 1.0e6, kLambda);
    optics::tofrequency(p);
    return p;
}

TEST_F(Hostile, PulseGenerationRefusesWhatHasNoFiniteValueOrNoWavelength) {
    const pulse_ reference = zeros(256, 0.0);
    std::vector<Refusal> rows;
    for (double lambda : {0.0, -1.0e-6, kNaN, kInf})
        rows.push_back({"GeneratePulse", "wavelength", [=](pulse_& p) { optics::generatepulse(p, 1e-13, 1e-9, lambda); }});
    for (double x : {kNaN, kInf, -kInf}) {
        rows.push_back({"GeneratePulse", "duration", [=](pulse_& p) { optics::generatepulse(p, x, 1e-9, kLambda); }});
        rows.push_back({"GeneratePulse", "energy", [=](pulse_& p) { optics::generatepulse(p, 1e-13, x, kLambda); }});
        rows.push_back({"GeneratePulseNoise", "amplitude",
                        [=](pulse_& p) { optics::generatepulsenoise(p, 1e-13, x, kLambda); }});
    }
    rows.push_back({"GeneratePulse", "reference",
                    [&](pulse_& p) { optics::generatepulse(p, 1e-13, 1e-9, kLambda, &reference); }});
    rows.push_back({"GeneratePulseNoise", "wavelength", [](pulse_& p) { optics::generatepulsenoise(p, 1e-13, 0, 0.0); }});
    rows.push_back({"GeneratePulseNoise", "duration", [](pulse_& p) { optics::generatepulsenoise(p, 0.0, 0, kLambda); }});
    expectrefused(blank(256, 1e-15, 5e-7), rows);

    // No energy is a valid pulse: the grid is made, every sample is zero.
    pulse_ dark = zeros(256);
    EXPECT_EQ(errorsof([&] { optics::generatepulse(dark, 1e-13, 0.0, kLambda); }), 0);
    EXPECT_EQ(optics::energy(dark), 0.0);
    EXPECT_NEAR(optics::lambda0(dark), kLambda, 1e-18);
}

TEST_F(Hostile, TransformsRefuseAGridStepThatIsNoPositiveNumber) {
    pulse_ start = gaussianfield(64, kDt, 3.0e-13, 1.0);
    for (double step : {0.0, -1.0, kNaN, kInf}) {
        pulse_ p = start;
        testing::internal::CaptureStdout();
        fastfouriertransform::fft(p.envelope, -1, step);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), " Bad argument in FFT.\n") << step;
        expectsame(p.envelope, start.envelope);
    }
    std::vector<Refusal> rows;
    for (double step : {0.0, -1.0, kNaN, kInf}) {
        rows.push_back({"correlation", "grid step", [=](pulse_& p) {
                            fastfouriertransform::correlation(p.envelope, p.envelope, p.envelope, step);
                        }});
        rows.push_back({"convolution", "grid step", [=](pulse_& p) {
                            fastfouriertransform::convolution(p.envelope, p.envelope, p.envelope, step);
                        }});
    }
    testing::internal::CaptureStdout();
    expectrefused(start, rows);
    testing::internal::GetCapturedStdout();
}

TEST_F(Hostile, GainRefusesEveryFieldOutsideItsDomainBeforeTransforming) {
    using elements::psetgain_;
    const struct {
        double psetgain_::*field;
        const char* name;
        std::vector<double> values;
    } fields[] = {
        {&psetgain_::w, "beam waist", {0.0, -1e-4, kNaN, kInf}},
        {&psetgain_::r, "pump rate", {-1.0, kNaN, kInf}},
        {&psetgain_::l, "length", {-1e-3, kNaN, kInf}},
        {&psetgain_::sigma, "cross section", {-3e-23, kNaN, kInf}},
        {&psetgain_::deltan0, "ground-state inversion", {kNaN, -kInf}},
        {&psetgain_::t1, "lifetime", {0.0, -1.0, kNaN, kInf}},
        {&psetgain_::deltan, "inversion deltan", {kNaN, kInf}},
        {&psetgain_::recoverytime, "recovery time", {kNaN}},
    };
    const psetgain_ medium = ndmedium();
    std::vector<Refusal> rows;
    for (const auto& f : fields)
        for (double value : f.values) {
            psetgain_ p = medium;
            p.*(f.field) = value;
            rows.push_back({"Gain", f.name, [p](pulse_& pulse) mutable {
                                const psetgain_ before = p;
                                elements::gain(pulse, p);
                                EXPECT_EQ(std::memcmp(&p, &before, sizeof p), 0);
                            }});
            rows.push_back({"GainPol", f.name, [p](pulse_& pulse) mutable { elements::gainpol(pulse, p); }});
        }
    elements::psetmodulatedgain_ modulated = ndmedium<elements::psetmodulatedgain_>();
    modulated.mfrequency = kInf;
    rows.push_back({"ModulatedGain", "modulation frequency",
                    [modulated](pulse_& pulse) mutable { elements::modulatedgain(pulse, modulated); }});
    expectrefused(spectrum(), rows);

    // No length and no cross section are media without gain: the pass is made.
    for (double psetgain_::*field : {&psetgain_::l, &psetgain_::sigma}) {
        psetgain_ p = medium;
        p.*field = 0;
        pulse_ pulse = gaussianfield(256, kDt, 3.0e-13, 1.0e6, kLambda);
        const pulse_ in = pulse;
        EXPECT_EQ(errorsof([&] { elements::gain(pulse, p); }), 0);
        expectsame(pulse.envelope, in.envelope);
        EXPECT_EQ(p.firsttime, 0);
    }
}

TEST_F(Hostile, AbsorbersRefuseParametersOutsideTheirDomainBeforeTransforming) {
    using elements::psetabsorber_;
    psetabsorber_ absorber;
    absorber.w = 1.0e-4;
    absorber.l = 1.0e-6;
    absorber.is = 1.0e9;
    absorber.loss = 0.2;
    absorber.t1 = 1.0e-9;
    const struct {
        double psetabsorber_::*field;
        const char* name;
        std::vector<double> values;
    } fields[] = {
        {&psetabsorber_::w, "beam waist", {-1e-4, kNaN}},
        {&psetabsorber_::l, "thickness", {-1e-6, kInf}},
        {&psetabsorber_::is, "saturation intensity", {-1.0, kNaN, kInf}},
        {&psetabsorber_::loss, "loss", {-0.2, kNaN, kInf}},
        {&psetabsorber_::t1, "recovery time", {-1e-9, kNaN, kInf}},
    };
    std::vector<Refusal> rows;
    for (const auto& f : fields)
        for (double value : f.values) {
            psetabsorber_ p = absorber;
            p.*(f.field) = value;
            rows.push_back({"SatAbsorberSplit", f.name, [p](pulse_& pulse) mutable {
                                elements::satabsorbersplit(pulse, p);
                                EXPECT_EQ(p.deltan, 0.0);
                            }});
            rows.push_back({"SatAbsorber", f.name, [p](pulse_& pulse) mutable { elements::satabsorber(pulse, p); }});
            rows.push_back({"SatAbsorberPol", f.name, [p](pulse_& pulse) mutable { elements::satabsorberpol(pulse, p); }});
        }
    psetabsorber_ carried = absorber;
    carried.deltan = kNaN;
    rows.push_back({"SatAbsorber", "inversion", [carried](pulse_& pulse) mutable { elements::satabsorber(pulse, carried); }});
    expectrefused(spectrum(), rows);

    // An absorber without loss transmits everything.
    psetabsorber_ clear = absorber;
    clear.loss = 0;
    pulse_ pulse = gaussianfield(256, kDt, 3.0e-13, 1.0e6, kLambda);
    const pulse_ in = pulse;
    EXPECT_EQ(errorsof([&] { elements::satabsorbersplit(pulse, clear); }), 0);
    expectsame(pulse.envelope, in.envelope);
}

TEST_F(Hostile, LinearElementsRefuseAmountsWithoutAFiniteFactor) {
    auto filter = [](double fwhm, double mean) {
        elements::psetfilter_ f;
        f.fwhm = fwhm;
        f.mean = mean;
        return [f](pulse_& p) { elements::filter(p, f); };
    };
    std::vector<Refusal> rows = {
        {"Filter", "width", filter(0.0, 0)},   {"Filter", "width", filter(-1e13, 0)},
        {"Filter", "width", filter(kInf, 0)},  {"Filter", "centre", filter(1e13, kNaN)},
        {"Propagation", "distance", [](pulse_& p) { elements::propagation(p, kNaN, 1.0); }},
        {"Propagation", "index", [](pulse_& p) { elements::propagation(p, 1.0, kInf); }},
        {"Propagation", "distance", [](pulse_& p) { elements::propagation(p, 1e300, 1e300); }},
        {"TimePropagation", "time", [](pulse_& p) { elements::timepropagation(p, -kInf); }},
        {"AddBackground", "amplitude", [](pulse_& p) { elements::addbackground(p, kNaN); }},
    };
    for (double amount : {kNaN, -kInf, -1e80}) {
        rows.push_back({"Loss", "amount", [=](pulse_& p) { elements::loss(p, amount); }});
        rows.push_back({"OutputCoupler", "transmission", [=](pulse_& p) {
                            elements::psetoutputcoupler_ oc;
                            oc.tout = amount;
                            oc.pout = 7;
                            elements::outputcoupler(p, oc);
                            EXPECT_EQ(oc.pout, 7);
                            EXPECT_EQ(oc.lastpass, 0);
                        }});
    }
    expectrefused(spectrum(), rows);

    // Everything lost, or coupled out, leaves darkness and no error.
    pulse_ p = spectrum();
    EXPECT_EQ(errorsof([&] { elements::loss(p, 100.0); }), 0);
    EXPECT_EQ(optics::energy(p), 0.0);
    p = spectrum();
    p.t = 1e-9L;
    elements::psetoutputcoupler_ oc;
    oc.tout = 100;
    EXPECT_EQ(errorsof([&] { elements::outputcoupler(p, oc); }), 0);
    EXPECT_EQ(optics::energy(p), 0.0);
    EXPECT_GT(oc.pout, 0.0);
    // The narrowest filter a double can hold passes only the exact centre.
    p = spectrum();
    const pulse_ in = p;
    EXPECT_EQ(errorsof([&] { filter(std::numeric_limits<double>::denorm_min(), 0)(p); }), 0);
    const int32_t centre = p.envelope.size() / 2;
    EXPECT_EQ(p.envelope(centre), in.envelope(centre));
    for (int32_t i = 1; i <= p.envelope.size(); ++i) {
        if (i == centre) continue;
        ASSERT_EQ(p.envelope(i), complex_(0.0f, 0.0f)) << i;
    }
}

TEST_F(Hostile, CrystalRefusesALengthOrWidthThatIsNoNumber) {
    elements::psetppln_ crystal;
    crystal.w = 1e-4;
    crystal.l = 1e-3;
    crystal.chi2 = 1e-11;
    auto with = [crystal](double elements::psetppln_::*field, double value) {
        elements::psetppln_ p = crystal;
        p.*field = value;
        return p;
    };
    using elements::psetppln_;
    psetppln_ nolength = with(&psetppln_::l, kNaN);
    psetppln_ nowidth = with(&psetppln_::w, 0.0);
    psetppln_ nocoupling = with(&psetppln_::chi2, kInf);
    const std::vector<Refusal> rows = {
        {"PPLNDispersion", "length", [&nolength](pulse_& p) { elements::pplndispersion(p, nolength); }},
        {"PPLNDelay", "length", [&nolength](pulse_& p) { elements::pplndelay(p, p, p, nolength); }},
        {"PPLNFrequency", "beam width", [&nowidth](pulse_& p) { elements::pplnfrequency(p, p, p, nowidth); }},
        {"PPLNTime", "chi2", [&nocoupling](pulse_& p) { elements::pplntime(p, p, p, nocoupling); }},
    };
    expectrefused(gaussianfield(256, kDt, 3.0e-13, 1.0e6, kLambda), rows);
}

}  // namespace
