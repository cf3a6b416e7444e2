#include "kernel/pulseoutput.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

#include "kernel/errorhandling.h"
#include "kernel/grid.h"
#include "kernel/listoutput.h"
#include "kernel/measures.h"
#include "kernel/pulse.h"

namespace optics {

namespace {

bool istime(logical_ domain) { return domain != 0; }

// A text file written line by line; the first failure is remembered and
// reported once when the file is closed.
class textfile_ {
public:
    explicit textfile_(const tools::string_& filename)
        : file_(std::fopen(tools::str2char(filename).c_str(), "w")), ok_(file_ != nullptr) {}
    textfile_(const textfile_&) = delete;
    textfile_& operator=(const textfile_&) = delete;
    ~textfile_() {
        if (file_ && std::fclose(file_) != 0) ok_ = false;
        if (!ok_) errorhandling::error("ERROR: Unable to open file for writing.");
    }

    bool open() const { return file_ != nullptr; }

    void line(const std::string& text) {
        if (ok_) ok_ = std::fputs(text.c_str(), file_) >= 0 && std::fputc('\n', file_) != EOF;
    }
    void line(const listoutput::Line& text) { line(text.str()); }

    // One data row: every value in scientific notation, 4 decimals, each
    // field wide enough for a sign, a three-digit exponent and a blank.
    template <typename... Values>
    void row(Values... values) {
        std::string text;
        char field[40];
        for (const long double value : {static_cast<long double>(values)...}) {
            std::snprintf(field, sizeof field, "%13.4LE", value);
            text += field;
        }
        line(text);
    }

private:
    std::FILE* file_;
    bool ok_;
};

// A free-format header line ending in an extended-precision value, printed
// with enough digits to read it back exactly.
std::string quadline(const char* text, quad_ value) {
    listoutput::Line line;
    line << text;
    char number[48];
    std::snprintf(number, sizeof number, " %.21LG", value);
    return line.str() + number;
}

void samplerow(textfile_& file, double x, const complex_& s) {
    file.row(x, std::abs(s), phase(s), s.real(), s.imag());
}

void overlaprow(textfile_& file, const pulse_& pulse, int32_t i) {
    const complex_ s = pulse.envelope(i);
    file.row(pulse.t + getx(pulse, i), std::abs(s), phase(s), s.real(), s.imag());
}

}  // namespace

void writepulse(const pulse_& pulse, const tools::string_& filename, std::optional<logical_> domain) {
    pulse_ converted;
    const pulse_* rows = &pulse;
    if (domain && istime(*domain) != istime(pulse.domain)) {
        copypulse(pulse, converted);
        if (istime(*domain))
            totime(converted);
        else
            tofrequency(converted);
        rows = &converted;
    }

    textfile_ file(filename);
    if (!file.open()) return;
    listoutput::Line count;
    count << "#Number of Samples:" << pulse.envelope.size();
    file.line(count);
    file.line(quadline("#dx:", dx(pulse)));
    listoutput::Line carrier;
    carrier << "#lambda0:" << lambda0(pulse);
    file.line(carrier);
    file.line(quadline("#t0:", pulse.t));

    // Offsets on the grid of the pulse as given: a polarised copy has no
    // envelope to count.
    const double half = pulse.envelope.size() / 2.0;
    const double step = static_cast<double>(dx(*rows));
    const auto x = [&](int32_t i) { return (i - half) * step; };
    const bool polar = rows->u.allocated();
    file.line(polar ? " #Including Polarization" : " #Not Including Polarization");
    // Named after the rows as written: a refused transform leaves the copy
    // in the pulse's own domain.
    file.line(istime(rows->domain) ? " #Time domain" : " #Frequency domain");
    if (polar) {
        file.line(" #x, abs(u), phase(u), re(u), im(u), abs(v), phase(v), re(v), im(v)");
        const samples_& u = rows->u;
        const samples_& v = rows->v;
        for (int32_t i = 1; i <= u.size(); ++i) {
            const complex_ a = u(i);
            const complex_ b = i <= v.size() ? v(i) : complex_(0.0f, 0.0f);
            file.row(x(i), std::abs(a), phase(a), a.real(), a.imag(), std::abs(b), phase(b), b.real(),
                     b.imag());
        }
    } else {
        file.line(" #x, abs, phase, re, im");
        for (int32_t i = 1; i <= rows->envelope.size(); ++i) samplerow(file, x(i), rows->envelope(i));
    }
}

void writeoverlap(const pulse_& pulse1, const pulse_& pulse2, const tools::string_& filename) {
    int32_t istart = 0;
    int32_t istop = 0;
    int32_t di = 0;
    findoverlap(pulse1, pulse2, istart, istop, di);
    // Only pairs inside both arrays: pulse2 may be shorter than pulse1.
    const int64_t first = std::max<int64_t>(istart, int64_t{1} + di);
    const int64_t last = std::min<int64_t>(istop, int64_t{pulse2.envelope.size()} + di);
    if (last >= first) {
        istart = static_cast<int32_t>(first);
        istop = static_cast<int32_t>(last);
    }

    textfile_ file(filename);
    if (!file.open()) return;
    file.line(" #Overlap");
    listoutput::Line range;
    range << "#Index goes from " << istart << " to " << istop << " in pulse1.";
    file.line(range);
    listoutput::Line shift;
    shift << "#Pulse2 is shifted by " << di;
    file.line(shift);
    for (int64_t i = first; i <= last; ++i) {
        overlaprow(file, pulse1, static_cast<int32_t>(i));
        overlaprow(file, pulse2, static_cast<int32_t>(i - di));
    }
}

}  // namespace optics
