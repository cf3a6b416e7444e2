#include "fftwreference.h"

#include <fftw3.h>

#include <algorithm>
#include <chrono>

double fftwnanoseconds(int n) {
    fftwf_complex* data = fftwf_alloc_complex(static_cast<size_t>(n));
    fftwf_plan plan = fftwf_plan_dft_1d(n, data, data, FFTW_FORWARD, FFTW_MEASURE);
    for (int i = 0; i < n; ++i) data[i][0] = data[i][1] = 1.0f / (1 + i % 7);
    const int repeats = std::max(20, (1 << 22) / n);
    fftwf_execute(plan);
    const auto start = std::chrono::steady_clock::now();
    for (int r = 0; r < repeats; ++r) fftwf_execute(plan);
    const double ns =
        std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count() / repeats;
    fftwf_destroy_plan(plan);
    fftwf_free(data);
    return ns;
}
