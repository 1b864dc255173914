#include "cli/list_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kestrand {

namespace {

// The drawing of one row: time across, the amplitude envelope filled from the
// bottom (scaled to the sample's loudest frame), the pitch on a logarithmic
// scale from kLowHz to kHighHz.
constexpr int kWidth = 640;
constexpr int kHeight = 120;
constexpr double kLowHz = 50.0;
constexpr double kHighHz = 1200.0;

std::string escaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string number(double value, int decimals = 1) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

double pitchY(double hz) {
    const double share = std::log2(std::clamp(hz, kLowHz, kHighHz) / kLowHz) / std::log2(kHighHz / kLowHz);
    return kHeight - share * kHeight;
}

const char* outcomeText(SampleOutcome outcome) {
    switch (outcome) {
        case SampleOutcome::Analysed: return "analysed";
        case SampleOutcome::UpToDate: return "up to date";
        case SampleOutcome::Outdated: return "older than its sample";
        case SampleOutcome::NoList: return "no list";
        case SampleOutcome::Failed: return "failed";
    }
    return "";
}

const char* concernClass(ListConcern concern) {
    switch (concern) {
        case ListConcern::DoesNotFitSample: return "misfit";
        case ListConcern::NoPitch: return "nopitch";
        case ListConcern::LoudWithoutPitch: return "loud";
        case ListConcern::OctaveJumps: return "jumps";
        case ListConcern::AverageFarFromMedian: return "far";
    }
    return "";
}

std::string drawing(const FrequencyList& list, const ListReview& review) {
    const std::size_t count = std::min(
        {static_cast<std::size_t>(std::max(list.listSize, 0)), list.frequencies.size(), list.amplitudes.size()});
    std::string svg = "<svg class=\"contour\" xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(kWidth) +
                      "\" height=\"" + std::to_string(kHeight) + "\" viewBox=\"0 0 " + std::to_string(kWidth) + " " +
                      std::to_string(kHeight) + "\">";
    if (count == 0) return svg + "</svg>";
    const double dx = count > 1 ? static_cast<double>(kWidth) / static_cast<double>(count - 1) : 0.0;
    const auto x = [&](std::size_t k) { return number(static_cast<double>(k) * dx); };

    // Octave lines of the pitch scale.
    for (const double hz : {100.0, 200.0, 400.0, 800.0}) {
        const std::string y = number(pitchY(hz));
        svg += "<line class=\"grid\" x1=\"0\" x2=\"" + std::to_string(kWidth) + "\" y1=\"" + y + "\" y2=\"" + y +
               "\"/><text class=\"gridlabel\" x=\"2\" y=\"" + number(pitchY(hz) - 2) + "\">" + number(hz, 0) +
               " Hz</text>";
    }
    // The loud stretch without pitch, shaded behind everything else.
    if (review.loudFirst >= 0) {
        const double from = review.loudFirst * dx;
        const double to = std::max(review.loudLast * dx, from + 2.0);
        svg += "<rect class=\"loud\" x=\"" + number(from) + "\" y=\"0\" width=\"" + number(to - from) + "\" height=\"" +
               std::to_string(kHeight) + "\"/>";
    }
    // The amplitude envelope.
    const double loudest =
        *std::max_element(list.amplitudes.begin(), list.amplitudes.begin() + static_cast<std::ptrdiff_t>(count));
    std::string area = "M0 " + std::to_string(kHeight);
    for (std::size_t k = 0; k < count; ++k) {
        const double share = loudest > 0.0 ? list.amplitudes[k] / loudest : 0.0;
        area += " L" + x(k) + " " + number(kHeight - share * kHeight * 0.9);
    }
    area += " L" + x(count - 1) + " " + std::to_string(kHeight) + " Z";
    svg += "<path class=\"amplitude\" d=\"" + area + "\"/>";
    // The pitch contour: one piece per run of voiced frames.
    std::string pitch;
    bool drawing = false;
    for (std::size_t k = 0; k < count; ++k) {
        const double f = list.frequencies[k];
        if (f > 0.0) {
            pitch += (drawing ? " L" : " M") + x(k) + " " + number(pitchY(f));
            drawing = true;
        } else {
            drawing = false;
        }
    }
    if (!pitch.empty()) svg += "<path class=\"pitch\" d=\"" + pitch.substr(1) + "\"/>";
    // The average, marked across the whole row.
    if (list.freqAvg > 0.0) {
        const std::string y = number(pitchY(list.freqAvg));
        svg += "<line class=\"average\" x1=\"0\" x2=\"" + std::to_string(kWidth) + "\" y1=\"" + y + "\" y2=\"" + y +
               "\"/><text class=\"averagelabel\" x=\"" + std::to_string(kWidth - 4) + "\" y=\"" +
               number(pitchY(list.freqAvg) - 3) + "\">average " + number(list.freqAvg) + " Hz</text>";
    }
    // Each octave jump, ringed.
    for (const std::int32_t k : review.jumpFrames) {
        const auto at = static_cast<std::size_t>(k);
        if (at >= count) continue;
        svg +=
            "<circle class=\"jump\" cx=\"" + x(at) + "\" cy=\"" + number(pitchY(list.frequencies[at])) + "\" r=\"5\"/>";
    }
    return svg + "</svg>";
}

constexpr const char* kStyle =
    "body{font-family:sans-serif;margin:1.5em;color:#222}"
    "table{border-collapse:collapse}td,th{border:1px solid #ccc;padding:4px 8px;text-align:left;vertical-align:top}"
    "table.summary td.count{text-align:right}"
    "tr.flagged td.name,tr.failed td.name{border-left:6px solid #c62828}"
    "tr.clean td.name{border-left:6px solid #2e7d32}"
    "ul.flags{margin:0;padding-left:1.1em;color:#b71c1c}td.why{width:16em}"
    "table.samples td.name{max-width:16em;overflow-wrap:anywhere}"
    "svg.contour{background:#fafafa;display:block}"
    ".grid{stroke:#ddd;stroke-width:1}.gridlabel{font-size:9px;fill:#999}"
    ".amplitude{fill:#90a4ae;fill-opacity:.45;stroke:none}"
    ".pitch{fill:none;stroke:#1565c0;stroke-width:1.6}"
    ".average{stroke:#ef6c00;stroke-width:1;stroke-dasharray:5 3}"
    ".averagelabel{font-size:10px;fill:#ef6c00;text-anchor:end}"
    ".jump{fill:none;stroke:#d50000;stroke-width:2}"
    ".loud{fill:#d50000;fill-opacity:.15}"
    ".legend span{margin-right:1.5em}";

}  // namespace

bool worseFirst(const ReportRow& a, const ReportRow& b) {
    const bool failedA = a.outcome == SampleOutcome::Failed;
    const bool failedB = b.outcome == SampleOutcome::Failed;
    if (failedA != failedB) return failedA;
    if (a.review.score != b.review.score) return a.review.score > b.review.score;
    return a.name < b.name;
}

std::string buildListReport(const std::string& title, std::vector<ReportRow> rows) {
    std::stable_sort(rows.begin(), rows.end(), worseFirst);
    std::size_t analysed = 0, upToDate = 0, outdated = 0, missing = 0, failed = 0, flagged = 0;
    for (const auto& row : rows) {
        analysed += row.outcome == SampleOutcome::Analysed;
        upToDate += row.outcome == SampleOutcome::UpToDate;
        failed += row.outcome == SampleOutcome::Failed;
        outdated += row.outcome == SampleOutcome::Outdated;
        missing += row.outcome == SampleOutcome::NoList;
        flagged += !row.review.flags.empty();
    }

    std::string html = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
                       escaped(title) + "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n<h1>" +
                       escaped(title) + "</h1>\n";
    html += "<table class=\"summary\">\n";
    const auto summaryRow = [&](const char* what, std::size_t value) {
        html += "<tr><th>" + std::string(what) + "</th><td class=\"count\">" + std::to_string(value) + "</td></tr>\n";
    };
    summaryRow("samples", rows.size());
    summaryRow("analysed", analysed);
    summaryRow("up to date", upToDate);
    if (outdated > 0) summaryRow("older than their sample", outdated);
    if (missing > 0) summaryRow("without a list", missing);
    summaryRow("failed", failed);
    summaryRow("suspicious lists", flagged);
    html += "</table>\n";

    if (failed + flagged > 0) {
        html += "<h2>Needs a look</h2>\n<table class=\"problems\">\n<tr><th>sample</th><th>why</th></tr>\n";
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const auto& row = rows[i];
            if (row.outcome != SampleOutcome::Failed && row.review.flags.empty()) continue;
            std::string why = row.outcome == SampleOutcome::Failed ? "failed: " + escaped(row.failure) : "";
            for (const auto& flag : row.review.flags) why += (why.empty() ? "" : "; ") + escaped(flag.text);
            html += "<tr><td><a href=\"#s" + std::to_string(i) + "\">" + escaped(row.name) + "</a></td><td>" + why +
                    "</td></tr>\n";
        }
        html += "</table>\n";
    }

    html +=
        "<h2>Samples, worst first</h2>\n<p class=\"legend\"><span style=\"color:#1565c0\">&#9472; pitch "
        "(50 to 1200 Hz, octave lines)</span><span style=\"color:#ef6c00\">- - average</span>"
        "<span style=\"color:#78909c\">&#9632; amplitude</span><span style=\"color:#d50000\">&#9675; octave "
        "jump, shaded: loud without pitch</span></p>\n";
    html += "<table class=\"samples\">\n";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& row = rows[i];
        const char* kind = row.outcome == SampleOutcome::Failed ? "failed"
                           : row.review.flags.empty()           ? "clean"
                                                                : "flagged";
        html += "<tr class=\"sample " + std::string(kind) + "\" id=\"s" + std::to_string(i) + "\"><td class=\"name\">" +
                escaped(row.name) + "<br><small>" + outcomeText(row.outcome);
        if (row.list) html += ", average " + number(row.list->freqAvg) + " Hz";
        html += "</small></td><td class=\"why\">";
        if (row.outcome == SampleOutcome::Failed)
            html += "<ul class=\"flags\"><li class=\"flag failed\">" + escaped(row.failure) + "</li></ul>";
        if (!row.review.flags.empty()) {
            html += "<ul class=\"flags\">";
            for (const auto& flag : row.review.flags)
                html += "<li class=\"flag " + std::string(concernClass(flag.concern)) + "\">" + escaped(flag.text) +
                        "</li>";
            html += "</ul>";
        }
        html += "</td><td>";
        if (row.list) html += drawing(*row.list, row.review);
        html += "</td></tr>\n";
    }
    html += "</table>\n</body>\n</html>\n";
    return html;
}

}  // namespace kestrand
