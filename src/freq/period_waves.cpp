#include "freq/period_waves.h"

#include <cmath>
#include <cstddef>

#include "freq/window_tables.h"

namespace kestrand {

namespace {

// Period tau starts after the periods 1 .. tau - 1: 2 x (1 + ... + tau - 1) doubles.
std::size_t waveOffset(int tau) {
    const auto t = static_cast<std::size_t>(tau);
    return t * (t - 1);
}

}  // namespace

PeriodWaves::PeriodWaves(int maxPeriod)
    : maxPeriod_(maxPeriod < 0 ? 0 : maxPeriod),
      // Left uninitialised: only the periods that frames actually propose are ever touched.
      table_(new double[waveOffset(maxPeriod_ + 1)]),
      filled_(new std::once_flag[static_cast<std::size_t>(maxPeriod_) + 1]) {}

const double* PeriodWaves::wave(int tau) const {
    double* wave = table_.get() + waveOffset(tau);
    std::call_once(filled_[static_cast<std::size_t>(tau)], [wave, tau] {
        for (int r = 0; r < tau; ++r) {
            const double angle = (kAnalysisTwoPi * r) / tau;
            wave[2 * r] = std::cos(angle);
            wave[2 * r + 1] = std::sin(angle);
        }
    });
    return wave;
}

}  // namespace kestrand
