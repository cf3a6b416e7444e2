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

struct FftwTimer::Impl {
    fftwf_complex* data;
    fftwf_plan plan;
};

FftwTimer::FftwTimer(int n) : impl_(new Impl) {
    impl_->data = fftwf_alloc_complex(static_cast<size_t>(n));
    impl_->plan = fftwf_plan_dft_1d(n, impl_->data, impl_->data, FFTW_FORWARD, FFTW_MEASURE);
    for (int i = 0; i < n; ++i) impl_->data[i][0] = impl_->data[i][1] = 1.0f / (1 + i % 7);
}

FftwTimer::~FftwTimer() {
    fftwf_destroy_plan(impl_->plan);
    fftwf_free(impl_->data);
    delete impl_;
}

double FftwTimer::time() {
    const auto start = std::chrono::steady_clock::now();
    fftwf_execute(impl_->plan);
    return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> times) {
    if (times.empty()) return 0;
    std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
    return times[times.size() / 2];
}
