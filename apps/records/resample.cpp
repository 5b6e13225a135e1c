#include "records/resample.hpp"

#include <soxr.h>

#include <cmath>
#include <string>

#include "records/wfdb.hpp"

namespace tessivar::records {

std::vector<double> resample(const std::vector<double> &in, double from, double to)
{
    if (!(from > 0) || !(to > 0)) throw RecordError("resample: rates must be positive");
    if (from == to || in.empty()) return in;
    const double length = std::round(double(in.size()) * to / from);
    // Too short or too fast a record leaves nothing at the new rate.
    if (!(length >= 1)) throw RecordError("resample: no sample is left at " + std::to_string(to) + " Hz");
    if (length > 1e9) throw RecordError("resample: more than a billion samples at " + std::to_string(to) + " Hz");
    std::vector<double> out(static_cast<size_t>(length));
    size_t done = 0;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT64_I, SOXR_FLOAT64_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    soxr_error_t error = soxr_oneshot(from, to, 1, in.data(), in.size(), nullptr, out.data(), out.size(), &done, &io,
                                      &quality, nullptr);
    if (error != nullptr) throw RecordError(std::string("resample: ") + error);
    out.resize(done);
    return out;
}

}  // namespace tessivar::records
