#include "cli/frq_program.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <span>
#include <thread>

#include "base/number_text.h"
#include "cli/list_checks.h"
#include "cli/list_report.h"
#include "cli/program_info.h"
#include "cli/voice_folder.h"
#include "f0/list_freshness.h"
#include "input/load_input.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/interrupt.h"
#include "platform/system_info.h"
#include "platform/text.h"
#include "platform/whole_file.h"
#include "render/list_generation.h"
#include "render/output_settings.h"

namespace kestrand {

namespace {

constexpr int kExitInterrupted = 130;
// Width of the progress line on a terminal.
constexpr std::size_t kLineWidth = 79;

struct SampleResult {
    SampleOutcome outcome = SampleOutcome::Failed;
    std::string failure;
    std::optional<FrequencyList> list;
    bool fits = true;
};

// The messages a loader or the analysis printed, as one line.
std::string capturedReason(const StderrCapture& capture, const char* fallback) {
    std::string reason;
    std::string line;
    const auto flush = [&] {
        const auto first = line.find_first_not_of(" \t");
        if (first != std::string::npos) {
            if (!reason.empty()) reason += ' ';
            reason += line.substr(first);
        }
        line.clear();
    };
    for (const char c : capture.text()) {
        if (c == '\n' || c == '\r') {
            flush();
        } else {
            line += c;
        }
    }
    flush();
    return reason.empty() ? fallback : reason;
}

SampleResult failedWith(std::string reason) {
    SampleResult result;
    result.failure = std::move(reason);
    return result;
}

// One sample, on a worker thread: load it as the G flag does, keep its list
// when it is up to date, otherwise analyse it on this thread alone and write
// the list. What the loaders and the analysis print is kept for the summary.
SampleResult processSample(const std::wstring& path, const FrqOptions& options) {
    StderrCapture capture;
    const auto sample = loadInput(path, 4 * OutputSettings{}.frameSize);
    if (!sample) return failedWith(capturedReason(capture, "the sample could not be read"));
    const std::wstring listPath = generatedListPath(path);

    SampleResult result;
    if (!options.rebuild) {
        ListJudgement judgement = judgeFrequencyList(listPath, path, *sample);
        if (judgement.freshness == ListFreshness::UpToDate || options.checkOnly) {
            result.list = std::move(judgement.list);
            switch (judgement.freshness) {
                case ListFreshness::Missing: result.outcome = SampleOutcome::NoList; break;
                case ListFreshness::OlderThanSample: result.outcome = SampleOutcome::Outdated; break;
                case ListFreshness::Stale: result.outcome = SampleOutcome::UpToDate; break;
                case ListFreshness::UpToDate: result.outcome = SampleOutcome::UpToDate; break;
            }
            result.fits = judgement.freshness != ListFreshness::Stale;
            return result;
        }
    }
    GeneratedList generated = generateFrequencyListFor(path, *sample, 1);
    if (!generated.list) return failedWith(capturedReason(capture, "the sample could not be analysed"));
    if (!generated.saved)
        return failedWith("the list file " + narrow(listPath) + " could not be written: " + generated.failure);
    result.outcome = SampleOutcome::Analysed;
    result.list = std::move(generated.list);
    return result;
}

// "1 sample", "2 samples".
std::string counted(std::size_t count, const char* noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

std::string oneDecimal(double value) {
    char text[48];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

std::string clock(double seconds) {
    const auto whole = static_cast<long long>(std::max(0.0, seconds) + 0.5);
    char text[32];
    if (whole >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    }
    return text;
}

// The last `width` characters of a UTF-8 name, cut at a character boundary.
std::string tailOf(const std::string& name, std::size_t width) {
    const std::wstring wide = widen(name);
    if (wide.size() <= width) return name;
    return "..." + narrow(wide.substr(wide.size() - (width - 3)));
}

class ProgressLine {
public:
    explicit ProgressLine(bool terminal) : terminal_(terminal) {}

    void show(std::size_t done, std::size_t total, double seconds, const std::string& current) {
        if (!terminal_) return;
        const double rate = seconds > 0.0 ? static_cast<double>(done) / seconds : 0.0;
        char head[96];
        std::snprintf(head, sizeof head, "%zu/%zu  %.1f files/s  %s left  ", done, total, rate,
                      rate > 0.0 ? clock(static_cast<double>(total - done) / rate).c_str() : "?:??");
        std::string line = head;
        if (line.size() < kLineWidth) line += tailOf(current, kLineWidth - line.size());
        const std::size_t shown = widen(line).size();
        std::string text = "\r" + line;
        if (shown < shownWidth_) text.append(shownWidth_ - shown, ' ');
        shownWidth_ = shown;
        writeOut(text);
    }

    void clear() {
        if (!terminal_ || shownWidth_ == 0) return;
        writeOut("\r" + std::string(shownWidth_, ' ') + "\r");
        shownWidth_ = 0;
    }

private:
    bool terminal_;
    std::size_t shownWidth_ = 0;
};

const char* outcomeWord(SampleOutcome outcome) {
    switch (outcome) {
        case SampleOutcome::Analysed: return "analysed";
        case SampleOutcome::UpToDate: return "up to date";
        case SampleOutcome::Outdated: return "older than its sample";
        case SampleOutcome::NoList: return "no list";
        case SampleOutcome::Failed: return "failed";
    }
    return "";
}

// The folder part of a path, for comparing a sample with its neighbours.
std::wstring folderOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"/\\");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

}  // namespace

std::optional<FrqOptions> parseFrqOptions(const std::vector<std::wstring>& args, std::string& error) {
    FrqOptions options;
    bool optionsEnd = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        if (optionsEnd || arg.empty() || arg[0] != L'-') {
            options.paths.push_back(arg);
        } else if (arg == L"--") {
            optionsEnd = true;
        } else if (arg == L"--rebuild") {
            options.rebuild = true;
        } else if (arg == L"--check") {
            options.checkOnly = true;
        } else if (arg == L"--report" || arg == L"--jobs") {
            if (i + 1 >= args.size()) {
                error = narrow(arg) + " needs a value";
                return std::nullopt;
            }
            const std::wstring& value = args[++i];
            if (arg == L"--report") {
                options.report = value;
            } else {
                std::size_t used = 0;
                const std::int32_t jobs = parseInteger(value, &used);
                if (value.empty() || used != value.size() || jobs < 1 || jobs > 1024) {
                    error = "--jobs takes a whole number from 1 to 1024";
                    return std::nullopt;
                }
                options.jobs = jobs;
            }
        } else {
            error = "unknown option " + narrow(arg);
            return std::nullopt;
        }
    }
    if (options.rebuild && options.checkOnly) {
        error = "--rebuild and --check exclude each other";
        return std::nullopt;
    }
    if (options.paths.empty()) {
        error = "no folder given";
        return std::nullopt;
    }
    return options;
}

int kestrandFrqMain(const std::vector<std::wstring>& args) {
    if (answerHelpOrVersion(ProgramKind::Frq, args)) return 0;
    std::string error;
    const auto parsed = parseFrqOptions(args, error);
    if (!parsed) {
        printErr(
            "kestrandfrq: %s\nUsage: kestrandfrq [--rebuild | --check] [--report FILE.html] [--jobs N] FOLDER...\n"
            "kestrandfrq --help says more.\n",
            error.c_str());
        return 2;
    }
    const FrqOptions& options = *parsed;
    watchForInterrupt();

    const VoiceSearch search = findVoiceSamples(options.paths);
    for (const auto& path : search.unreadable) printErr("kestrandfrq: cannot read %s\n", narrow(path).c_str());
    const std::vector<std::wstring>& samples = search.samples;
    const std::size_t total = samples.size();

    // Workers take the samples in order, one analysis thread each.
    std::vector<std::optional<SampleResult>> results(total);
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> lastStarted{0};
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::size_t> finished;
    int running = 0;
    const int workers =
        static_cast<int>(std::min<std::size_t>(total, options.jobs > 0 ? options.jobs : processorCount()));
    const auto work = [&] {
        for (;;) {
            if (interruptRequested()) break;
            const std::size_t index = next.fetch_add(1);
            if (index >= total) break;
            lastStarted.store(index);
            SampleResult result = processSample(samples[index], options);
            std::lock_guard lock(mutex);
            results[index] = std::move(result);
            finished.push_back(index);
            changed.notify_one();
        }
        std::lock_guard lock(mutex);
        --running;
        changed.notify_one();
    };
    const double start = highResolutionSeconds();
    std::vector<std::thread> threads;
    running = workers;
    for (int t = 0; t < workers; ++t) threads.emplace_back(work);

    ProgressLine progress(stdoutIsTerminal());
    std::size_t done = 0;
    for (;;) {
        std::vector<std::size_t> batch;
        bool allStopped = false;
        {
            std::unique_lock lock(mutex);
            changed.wait_for(lock, std::chrono::milliseconds(200), [&] { return !finished.empty() || running == 0; });
            batch.swap(finished);
            allStopped = running == 0;
        }
        for (const std::size_t index : batch) {
            ++done;
            if (stdoutIsTerminal()) continue;
            const SampleResult& result = *results[index];
            std::string line = "[" + std::to_string(done) + "/" + std::to_string(total) + "] " +
                               outcomeWord(result.outcome) + " " + narrow(samples[index]);
            if (result.outcome == SampleOutcome::Failed) line += ": " + result.failure;
            writeOut(line + "\n");
        }
        const std::size_t current = std::min(lastStarted.load(), total == 0 ? 0 : total - 1);
        if (total > 0) progress.show(done, total, highResolutionSeconds() - start, narrow(samples[current]));
        if (allStopped) break;
    }
    for (auto& thread : threads) thread.join();
    progress.clear();
    const double seconds = highResolutionSeconds() - start;

    // The average of every sample is compared with the median of the others
    // in its folder (voice folders often keep one pitch per subfolder).
    std::map<std::wstring, std::vector<double>> averages;
    for (std::size_t i = 0; i < total; ++i) {
        if (results[i] && results[i]->list && hasPitch(*results[i]->list))
            averages[folderOf(samples[i])].push_back(results[i]->list->freqAvg);
    }
    std::vector<ReportRow> rows;
    std::size_t counts[5] = {};
    for (std::size_t i = 0; i < total; ++i) {
        if (!results[i]) continue;
        SampleResult& result = *results[i];
        ReportRow row;
        row.name = narrow(samples[i]);
        row.outcome = result.outcome;
        row.failure = result.failure;
        if (result.list) {
            const auto& folder = averages[folderOf(samples[i])];
            const std::optional<double> median = folder.size() >= 3 ? medianOf(folder) : std::nullopt;
            row.review = reviewList(*result.list, result.fits, median);
            row.list = std::move(result.list);
        }
        ++counts[static_cast<int>(row.outcome)];
        rows.push_back(std::move(row));
    }
    std::stable_sort(rows.begin(), rows.end(), worseFirst);

    // The summary.
    const std::size_t failed = counts[static_cast<int>(SampleOutcome::Failed)];
    std::string summary = "kestrandfrq: " + counted(total, "sample") + " in " + oneDecimal(seconds) + " s with " +
                          counted(static_cast<std::size_t>(workers), "worker") + ": " +
                          std::to_string(counts[static_cast<int>(SampleOutcome::Analysed)]) + " analysed, " +
                          std::to_string(counts[static_cast<int>(SampleOutcome::UpToDate)]) + " up to date, ";
    if (options.checkOnly) {
        summary += std::to_string(counts[static_cast<int>(SampleOutcome::Outdated)]) + " older than their sample, " +
                   std::to_string(counts[static_cast<int>(SampleOutcome::NoList)]) + " without a list, ";
    }
    summary += std::to_string(failed) + " failed.\n";
    const bool interrupted = interruptRequested() && done < total;
    if (interrupted) summary += "Interrupted: " + counted(total - done, "sample") + " not processed.\n";
    if (failed > 0) {
        summary += "Failed:\n";
        for (const auto& row : rows)
            if (row.outcome == SampleOutcome::Failed) summary += "  " + row.name + ": " + row.failure + "\n";
    }
    std::size_t suspicious = 0;
    for (const auto& row : rows) suspicious += !row.review.flags.empty();
    if (suspicious > 0) {
        summary += "Suspicious lists (" + std::to_string(suspicious) + "), worst first:\n";
        for (const auto& row : rows) {
            if (row.review.flags.empty()) continue;
            summary += "  " + row.name + ":";
            for (std::size_t k = 0; k < row.review.flags.size(); ++k)
                summary += (k == 0 ? " " : "; ") + row.review.flags[k].text;
            summary += "\n";
        }
    }
    writeOut(summary);

    bool reportFailed = false;
    if (options.report) {
        const std::string title = "Frequency lists of " + std::to_string(rows.size()) + " samples";
        const std::string report = buildListReport(title, std::move(rows));
        const auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(report.data()), report.size());
        const FileResult written = writeWholeFile(*options.report, bytes, Durability::Cache);
        if (written) {
            printOut("Report: %s\n", narrow(*options.report).c_str());
        } else {
            printErr("kestrandfrq: cannot write the report %s: %s\n", narrow(*options.report).c_str(),
                     written.problem.c_str());
            reportFailed = true;
        }
    }

    if (interrupted) return kExitInterrupted;
    bool allGood = failed == 0 && search.unreadable.empty() && !reportFailed;
    if (options.checkOnly) {
        allGood = allGood && counts[static_cast<int>(SampleOutcome::Outdated)] == 0 &&
                  counts[static_cast<int>(SampleOutcome::NoList)] == 0;
        for (std::size_t i = 0; i < total; ++i) allGood = allGood && (!results[i] || results[i]->fits);
    }
    return allGood ? 0 : 1;
}

}  // namespace kestrand
