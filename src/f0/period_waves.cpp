#include "f0/period_waves.h"

#include <cmath>
#include <cstddef>

#include "dsp/window_tables.h"

namespace kestrand {

template <class T>
PeriodWaves::Tables<T>::Tables(std::size_t count)
    : tables(count), filled(new std::once_flag[count]), ready(new std::atomic<const T*>[count]) {
    for (std::size_t k = 0; k < count; ++k) ready[k].store(nullptr, std::memory_order_relaxed);
}

PeriodWaves::PeriodWaves(int maxPeriod, int length)
    : maxPeriod_(maxPeriod < 0 ? 0 : maxPeriod),
      length_(length < 0 ? 0 : length),
      // Only the periods that frames actually propose are ever filled.
      waves_(static_cast<std::size_t>(maxPeriod_) + 1),
      floatWaves_(static_cast<std::size_t>(maxPeriod_) + 1) {}

std::shared_ptr<const PeriodWaves> sharedPeriodWaves(int maxPeriod, int length) {
    struct Entry {
        int maxPeriod;
        int length;
        std::shared_ptr<const PeriodWaves> waves;
    };
    // A handful of sizes at most (one per sample rate in use).
    static std::mutex lock;
    static std::vector<Entry> entries;
    const std::lock_guard<std::mutex> held(lock);
    for (const Entry& entry : entries)
        if (entry.maxPeriod == maxPeriod && entry.length == length) return entry.waves;
    entries.push_back({maxPeriod, length, std::make_shared<const PeriodWaves>(maxPeriod, length)});
    return entries.back().waves;
}

const double* PeriodWaves::wave(int tau) const {
    const auto slot = static_cast<std::size_t>(tau);
    if (const double* table = waves_.ready[slot].load(std::memory_order_acquire)) return table;
    std::call_once(waves_.filled[slot], [this, slot, tau] {
        auto wave = std::make_unique<double[]>(2 * static_cast<std::size_t>(length_));
        for (int i = 0; i < length_; ++i) {
            const double angle = (kAnalysisTwoPi * i) / tau;
            wave[2 * static_cast<std::size_t>(i)] = std::cos(angle);
            wave[2 * static_cast<std::size_t>(i) + 1] = std::sin(angle);
        }
        waves_.tables[slot] = std::move(wave);
        waves_.ready[slot].store(waves_.tables[slot].get(), std::memory_order_release);
    });
    return waves_.tables[slot].get();
}

const float* PeriodWaves::floatWave(int tau) const {
    const auto slot = static_cast<std::size_t>(tau);
    if (const float* table = floatWaves_.ready[slot].load(std::memory_order_acquire)) return table;
    std::call_once(floatWaves_.filled[slot], [this, slot, tau] {
        const auto length = static_cast<std::size_t>(length_);
        auto wave = std::make_unique<float[]>(2 * length);
        // z = e^(i theta i), one rotation per sample. Each complex product
        // adds at most about 5 units of double rounding (2^-53, the
        // product's own and the rotation's sine and cosine) to z's error:
        // after 65536 samples below 4e-11. The angles of wave() differ from
        // i x theta by at most three roundings of an angle below 2 pi x
        // 65536: below 1.4e-10.
        const double theta = kAnalysisTwoPi / tau;
        const double c = std::cos(theta);
        const double s = std::sin(theta);
        double re = 1.0;
        double im = 0.0;
        for (std::size_t i = 0; i < length; ++i) {
            wave[i] = static_cast<float>(re);
            wave[length + i] = static_cast<float>(im);
            const double nextRe = re * c - im * s;
            im = re * s + im * c;
            re = nextRe;
        }
        floatWaves_.tables[slot] = std::move(wave);
        floatWaves_.ready[slot].store(floatWaves_.tables[slot].get(), std::memory_order_release);
    });
    return floatWaves_.tables[slot].get();
}

}  // namespace kestrand
