// The soak run's sample lines and the least-squares trends of its series.
#include "support/SoakSeries.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace {

const char* const kNames[kSoakSeriesCount] = {"private_kb", "handles", "gdi_objects", "user_objects", "threads", "unix_anon_kb"};
const double kTrendWindowSeconds = 90 * 60;

}  // namespace

const char* SoakSeriesName(SoakSeries series) { return kNames[static_cast<size_t>(series)]; }

double SoakValue(const SoakSample& sample, SoakSeries series) {
    switch (series) {
    case SoakSeries::PrivateKb: return sample.privateKb;
    case SoakSeries::Handles: return sample.handles;
    case SoakSeries::GdiObjects: return sample.gdiObjects;
    case SoakSeries::UserObjects: return sample.userObjects;
    case SoakSeries::Threads: return sample.threads;
    case SoakSeries::UnixAnonKb: return sample.unixAnonKb;
    }
    return 0;
}

std::string SoakCsvHeader() {
    std::string header = "seconds";
    for (const char* name : kNames) header += std::string(",") + name;
    return header;
}

std::string SoakCsvLine(const SoakSample& s) {
    char line[160];
    std::snprintf(line, sizeof line, "%.1f,%.0f,%.0f,%.0f,%.0f,%.0f,%.0f", s.seconds, s.privateKb, s.handles,
                  s.gdiObjects, s.userObjects, s.threads, s.unixAnonKb);
    return line;
}

bool ParseSoakCsv(const std::string& text, std::vector<SoakSample>& samples) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line.compare(0, 7, "seconds") == 0) continue;
        double values[1 + kSoakSeriesCount];
        const char* at = line.c_str();
        for (size_t i = 0; i < 1 + kSoakSeriesCount; ++i) {
            char* end = nullptr;
            values[i] = std::strtod(at, &end);
            if (end == at) return false;
            const char expected = i + 1 < 1 + kSoakSeriesCount ? ',' : '\0';
            if (*end != expected) return false;
            at = end + (expected ? 1 : 0);
        }
        SoakSample s;
        s.seconds = values[0];
        s.privateKb = values[1];
        s.handles = values[2];
        s.gdiObjects = values[3];
        s.userObjects = values[4];
        s.threads = values[5];
        s.unixAnonKb = values[6];
        samples.push_back(s);
    }
    return true;
}

double SoakTrendStart(double runSeconds) {
    return runSeconds - std::min(kTrendWindowSeconds, 0.75 * runSeconds);
}

SoakTrend SoakSeriesTrend(const std::vector<SoakSample>& samples, SoakSeries series, double fromSeconds) {
    SoakTrend trend;
    double sumT = 0, sumV = 0, firstT = 0, lastT = 0;
    for (const SoakSample& s : samples) {
        if (s.seconds < fromSeconds) continue;
        const double v = SoakValue(s, series);
        if (trend.count == 0) {
            trend.first = trend.lowest = trend.highest = v;
            firstT = s.seconds;
        }
        trend.last = v;
        lastT = s.seconds;
        trend.lowest = std::min(trend.lowest, v);
        trend.highest = std::max(trend.highest, v);
        sumT += s.seconds;
        sumV += v;
        ++trend.count;
    }
    if (trend.count < 2) {
        trend.count = 0;
        return trend;
    }
    // Centred sums keep the fit exact for runs of many hours in seconds.
    const double meanT = sumT / trend.count, meanV = sumV / trend.count;
    double stt = 0, stv = 0;
    for (const SoakSample& s : samples) {
        if (s.seconds < fromSeconds) continue;
        const double dt = s.seconds - meanT;
        stt += dt * dt;
        stv += dt * (SoakValue(s, series) - meanV);
    }
    const double third = (lastT - firstT) / 3;
    double firstFloor = trend.highest, lastFloor = trend.highest;
    for (const SoakSample& s : samples) {
        if (s.seconds < fromSeconds) continue;
        const double v = SoakValue(s, series);
        if (s.seconds <= firstT + third) firstFloor = std::min(firstFloor, v);
        if (s.seconds >= lastT - third) lastFloor = std::min(lastFloor, v);
    }
    trend.floorGrowth = lastFloor - firstFloor;
    const double perSecond = stt > 0 ? stv / stt : 0;
    trend.slopePerHour = perSecond * 3600;
    trend.fittedGrowth = perSecond * (lastT - firstT);
    return trend;
}

std::string SoakTrendReport(const std::vector<SoakSample>& samples, double fromSeconds) {
    std::string report;
    char line[240];
    for (size_t i = 0; i < kSoakSeriesCount; ++i) {
        const SoakSeries series = static_cast<SoakSeries>(i);
        const SoakTrend t = SoakSeriesTrend(samples, series, fromSeconds);
        std::snprintf(line, sizeof line,
                      "%-13s slope %+.3f/h  fitted growth %+.1f  floor growth %+.0f  first %.0f last %.0f lowest %.0f"
                      " highest %.0f (%zu samples from %.0f s)\n",
                      SoakSeriesName(series), t.slopePerHour, t.fittedGrowth, t.floorGrowth, t.first, t.last, t.lowest,
                      t.highest, t.count, fromSeconds);
        report += line;
    }
    return report;
}
