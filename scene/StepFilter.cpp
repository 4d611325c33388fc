// cStepFilter: weights 0.5^(k + 1), history newest first.
#include "scene/StepFilter.h"

void cStepFilter::SetLength(int n) {
    if (n < 1) n = 1;
    m_length = n;
    m_history.assign(static_cast<size_t>(n), 0.0);
    m_weights.assign(static_cast<size_t>(n), 0.0f);
    double w = 0.5;
    for (int k = 0; k < n; ++k) {
        m_weights[static_cast<size_t>(k)] = static_cast<float>(w);
        w *= 0.5;
    }
    // A shorter filter cannot hold more values than it has room for.
    if (m_count > n) m_count = n;
}

double cStepFilter::Push(double x) {
    if (m_history.empty()) SetLength(m_length);
    if (m_count < m_length) ++m_count;
    double sum = 0.0;
    for (int i = m_count - 1; i >= 1; --i) {
        m_history[static_cast<size_t>(i)] = m_history[static_cast<size_t>(i - 1)];
        sum += m_weights[static_cast<size_t>(i)] * m_history[static_cast<size_t>(i)];
    }
    m_history[0] = x;
    sum += m_weights[0] * x;
    m_lastOutput = sum;
    return sum;
}
