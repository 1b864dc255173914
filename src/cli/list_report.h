// The HTML page a voice folder's maker looks at to find bad frequency lists:
// one self-contained page (inline SVG and style, no scripts, nothing fetched)
// with a summary at the top and a row per sample, the worst first.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/list_checks.h"
#include "f0/frequency_list.h"

namespace kestrand {

enum class SampleOutcome {
    Analysed,  // a new list was made and written
    UpToDate,  // the stored list was kept
    Outdated,  // (checking only) the stored list is older than its sample
    NoList,    // (checking only) there is no stored list
    Failed,    // the sample could not be read or analysed, or its list not written
};

struct ReportRow {
    std::string name;  // the sample's path as given, UTF-8
    SampleOutcome outcome = SampleOutcome::Failed;
    std::string failure;                // why it failed, for Failed
    std::optional<FrequencyList> list;  // the list drawn in the row
    ListReview review;
};

// The whole page for the rows, in the order worst first (failed samples, then
// by the review's score, then by name). `title` heads the page.
std::string buildListReport(const std::string& title, std::vector<ReportRow> rows);

// The order of the page: true when a belongs before b.
bool worseFirst(const ReportRow& a, const ReportRow& b);

}  // namespace kestrand
