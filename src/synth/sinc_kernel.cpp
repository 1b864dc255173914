#include "synth/fractional_readers.h"
#include "synth/sinc_kernel.h"

namespace kestrand {

double sincSeries(double h) { return sinc::series(h); }

double envelopeKernel(double x) {
    const double q = x * x;
    const double d = q - 2.25;
    return (q - 4.0) * (q - 1.0) * d * d / 20.25;
}

}  // namespace kestrand
