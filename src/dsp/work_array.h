// A fixed array of doubles for work space whose every value is written
// before it is read: made without zeroing, unlike a vector.
#pragma once

#include <cstddef>
#include <memory>

namespace kestrand {

class WorkArray {
public:
    // Makes room for n values (their contents are unset).
    void resize(std::size_t n) {
        values_ = std::make_unique_for_overwrite<double[]>(n);
        size_ = n;
    }
    double* data() { return values_.get(); }
    const double* data() const { return values_.get(); }
    std::size_t size() const { return size_; }
    double* begin() { return data(); }
    double* end() { return data() + size_; }
    const double* begin() const { return data(); }
    const double* end() const { return data() + size_; }
    double& operator[](std::size_t i) { return values_[i]; }
    const double& operator[](std::size_t i) const { return values_[i]; }

private:
    std::unique_ptr<double[]> values_;
    std::size_t size_ = 0;
};

}  // namespace kestrand
