// cStepFilter: a weighted moving average of recent frame steps, the newest weighing one half,
// the one before one quarter, and so on. Owns its two arrays.
#pragma once

#include <cstddef>
#include <vector>

class cStepFilter {
public:
    static constexpr int kDefaultLength = 100;

    // Replaces the arrays by zeroed ones of n entries; the count of held values stays.
    // A length below 1 is taken as 1 so that the filter always has room for one value.
    void SetLength(int n);
    // Adds x as the newest value and returns the weighted sum of the held values.
    double Push(double x);

    int Length() const { return m_length; }
    int Count() const { return m_count; }
    double LastOutput() const { return m_lastOutput; }
    float Weight(int k) const { return m_weights[static_cast<size_t>(k)]; }

private:
    int m_length = kDefaultLength;
    int m_count = 0;
    std::vector<double> m_history;  // newest first
    std::vector<float> m_weights;
    double m_lastOutput = 0.0;
};
