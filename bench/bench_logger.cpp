// Cost of a debug message in a hot path: tested against the level first,
// composed and then dropped by the filter, and written to the `none` sink.
#include <benchmark/benchmark.h>

#include "logger.h"
#include "stringstream.h"

namespace {

void BM_DebugLevelTestedFirst(benchmark::State& state) {
    Logger_::setLogLevel(Logger_::normal);
    Logger_ logger;
    for (auto _ : state) {
        if (Logger_::passesLevel(Logger_::debugD))
            logger.log(StringStream_() << "value " << 1.5, Logger_::debugD);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DebugLevelTestedFirst);

void BM_DebugComposedThenDropped(benchmark::State& state) {
    Logger_::setLogLevel(Logger_::normal);
    Logger_ logger;
    for (auto _ : state) logger.log(StringStream_() << "value " << 1.5, Logger_::debugD);
}
BENCHMARK(BM_DebugComposedThenDropped);

void BM_DebugWrittenToNone(benchmark::State& state) {
    Logger_::setLogLevel(Logger_::debugD);
    Logger_::setOutStream(Logger_::none);
    Logger_ logger;
    for (auto _ : state) logger.log("value", Logger_::debugD);
    Logger_::setOutStream(Logger_::lstdout);
    Logger_::setLogLevel(Logger_::normal);
}
BENCHMARK(BM_DebugWrittenToNone);

}  // namespace
