#pragma once
// Plots measured data, parameters and pulses in a separate window by writing
// gnuplot commands and inline data ("-" data ended by a line "e") down a
// one-way pipe to a gnuplot process. Complex series and pulses are drawn as
// four panels: magnitude, phase, real and imaginary part. When the program
// cannot be started the plotter logs it once and stays silent from then on.
// User-interface thread only.
#include <cstdio>
#include <string>

#include "logger.h"

class Measurement_;
class Parameter_;
class Pulse_;

class Plot_ : public Logger_ {
public:
    static constexpr const char* defaultProgram = "/usr/bin/gnuplot";

    // Starts `program` with the shell words `arguments` after it, its
    // standard input the pipe. A program that is not an executable file is
    // never started. Ignores SIGPIPE for the whole process, so a plotter
    // process that has ended only makes writes fail.
    explicit Plot_(const std::string& program = defaultProgram, const std::string& arguments = std::string());
    // Closes the pipe and waits for the process.
    ~Plot_();
    Plot_(const Plot_&) = delete;
    Plot_& operator=(const Plot_&) = delete;

    // Data set i of an array or pulse measurement, or for a scalar
    // measurement (any i >= 0) its whole series.
    void plot(Measurement_* M, int i);
    // A one-dimensional double or pulse parameter.
    void plot(Parameter_* P);
    // The four panels of one pulse over its time or frequency axis; not flushed.
    void plotPulse(Pulse_* P);

    bool isOpen() const { return gnuplot != nullptr; }

private:
    // One line per value, as "%E".
    void writeValues(const double* values, int n);
    // The four panels of a complex series, one line per value.
    void writeComplexSeries(Measurement_* M, int sets);
    // A data set or parameter of a type with no plot form.
    void unimplemented();

    FILE* gnuplot = nullptr;
};
