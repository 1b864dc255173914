#include "f0/period_waves.h"

#include <cmath>
#include <cstddef>

#include "dsp/window_tables.h"

namespace kestrand {

PeriodWaves::PeriodWaves(int maxPeriod, int length)
    : maxPeriod_(maxPeriod < 0 ? 0 : maxPeriod),
      length_(length < 0 ? 0 : length),
      // Only the periods that frames actually propose are ever filled.
      waves_(static_cast<std::size_t>(maxPeriod_) + 1),
      filled_(new std::once_flag[static_cast<std::size_t>(maxPeriod_) + 1]) {}

const double* PeriodWaves::wave(int tau) const {
    const auto slot = static_cast<std::size_t>(tau);
    std::call_once(filled_[slot], [this, slot, tau] {
        auto wave = std::make_unique<double[]>(2 * static_cast<std::size_t>(length_));
        for (int i = 0; i < length_; ++i) {
            const double angle = (kAnalysisTwoPi * i) / tau;
            wave[2 * static_cast<std::size_t>(i)] = std::cos(angle);
            wave[2 * static_cast<std::size_t>(i) + 1] = std::sin(angle);
        }
        waves_[slot] = std::move(wave);
    });
    return waves_[slot].get();
}

}  // namespace kestrand
