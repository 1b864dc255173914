#include "render/list_generation.h"

#include <cerrno>
#include <chrono>

#include "f0/list_freshness.h"
#include "f0/list_names.h"
#include "f0/pitch_analysis.h"
#include "f0/sample_fingerprint.h"
#include "input/load_input.h"
#include "platform/console.h"
#include "platform/file_lock.h"
#include "platform/files.h"
#include "platform/text.h"

namespace kestrand {

namespace {

// How long a process waits for another that is analysing the same sample: 30 s
// plus a quarter of the sample's duration, several times what an analysis takes.
std::chrono::milliseconds waitLimit(const LoadedSample& sample) {
    const double frames = sample.info.blockAlign == 0 ? 0.0 : sample.dataBytes / double(sample.info.blockAlign);
    const double seconds = sample.info.samplesPerSec == 0 ? 0.0 : frames / sample.info.samplesPerSec;
    return std::chrono::milliseconds(30000 + static_cast<long long>(seconds * 250.0));
}

std::optional<FrequencyList> analyseLoaded(const LoadedSample& sample, int threadCount) {
    const AnalysisSize size = analysisSizeForRate(sample.info.samplesPerSec);
    auto list = analyseFrequencies(sample, size.windowLength, size.frameStep, threadCount);
    if (list) list->fingerprint = sampleFingerprint(sample);
    return list;
}

// Why a list file cannot be created at `path`, or nothing when it can: a
// file is created beside it and removed again.
std::optional<std::string> whyNotStorable(const std::wstring& path) {
    const std::wstring probe = temporarySiblingPath(path);
    FilePtr file = openFile(probe, "wb");
    if (!file) return fileFailureReason(errno);
    file.reset();
    removeFile(probe);
    return std::nullopt;
}

// Where a list goes and how it is judged.
struct ListTarget {
    std::wstring path;            // the list file
    std::wstring samplePath;      // the sample file whose time counts (empty for decoder inputs)
    std::wstring source;          // the file whose lock coordinates the processes
    std::wstring cacheDirectory;  // made first when not empty
};

struct Obtained {
    std::optional<FrequencyList> list;
    bool saved = false;
    std::string failure;
};

// Analyses the sample and stores its list at the target, coordinated with
// other processes that need the same list. `judged` is what the stored list
// was found to be. Once the lock is held, an up-to-date list that another
// process stored in the meantime is taken instead; with `rebuild` (the G
// flag) only one stored after this call began.
Obtained analyseAndStore(const ListTarget& target, ListJudgement judged, const LoadedSample& sample, int threadCount,
                         bool rebuild) {
    Obtained result;
    const auto storedBefore = fileModifiedTime(target.path);
    std::optional<std::string> cannotStore;
    if (!target.cacheDirectory.empty() && !makeDirectory(target.cacheDirectory))
        cannotStore = "the cache folder " + narrow(target.cacheDirectory) + " cannot be created (" +
                      fileFailureReason(errno) + ")";
    if (!cannotStore) cannotStore = whyNotStorable(target.path);

    // Nothing to share when nothing can be stored: no need to wait for anyone.
    LockAttempt lock;
    if (!cannotStore) lock = lockFile(target.source, waitLimit(sample));
    const bool locked = lock.outcome == LockOutcome::Taken || lock.outcome == LockOutcome::TakenLater;
    if (locked && (!rebuild || fileModifiedTime(target.path) != storedBefore)) {
        // Another process may have made this list while this one looked or waited.
        judged = judgeFrequencyList(target.path, target.samplePath, sample);
        if (judged.freshness == ListFreshness::UpToDate) {
            result.list = std::move(judged.list);
            result.saved = true;
            return result;
        }
    }
    bool store = !cannotStore;
    if (lock.outcome == LockOutcome::TimedOut) {
        printErr(
            "kestrand: another process has been analysing %s for %lld s; analysing it here as well, without "
            "storing the list.\n",
            narrow(target.source).c_str(),
            static_cast<long long>(std::chrono::duration_cast<std::chrono::seconds>(waitLimit(sample)).count()));
        store = false;
        result.failure = "another process held the list too long";
    }
    const bool stale = judged.freshness == ListFreshness::OlderThanSample || judged.freshness == ListFreshness::Stale;
    if (stale) {
        printErr("kestrand: the frequency list %s %s; analysing the sample afresh%s.\n", narrow(target.path).c_str(),
                 judged.why.c_str(),
                 store ? (" (the old list is kept as " + narrow(previousListPath(target.path)) + ")").c_str() : "");
    }

    result.list = analyseLoaded(sample, threadCount);
    if (!result.list) return result;
    if (cannotStore) result.failure = *cannotStore;
    if (store) {
        const ListWrite write = writeFrequencyList(target.path, *result.list, true);
        result.saved = write.written;
        if (!write.written) result.failure = write.failure;
        if (!write.keptPrevious.empty() && !stale)
            printErr("kestrand: the previous frequency list %s is kept as %s.\n", narrow(target.path).c_str(),
                     narrow(write.keptPrevious).c_str());
    }
    if (!result.saved && lock.outcome != LockOutcome::TimedOut)
        printErr("kestrand: the frequency list %s cannot be stored: %s; the sample is analysed again next time.\n",
                 narrow(target.path).c_str(), result.failure.c_str());
    return result;
}

ListTarget targetFor(const FrequencyListNames& names, const std::wstring& path, const std::wstring& inputText) {
    ListTarget target;
    target.path = path;
    target.samplePath = names.decoder ? std::wstring() : inputText;
    target.source = names.source;
    if (names.decoder) target.cacheDirectory = names.cacheDirectory;
    return target;
}

}  // namespace

std::optional<FrequencyList> obtainFrequencyList(const std::wstring& inputText, const LoadedSample& sample) {
    const FrequencyListNames names = frequencyListNamesFor(inputText);
    const ListTarget target = targetFor(names, names.decoder ? names.second : names.first, inputText);
    // A decoder input's list is looked for beside the input first, then in
    // the cache folder, where it is stored; the folder is made first, as it
    // always was (a failure is told when a list is to be stored there).
    if (names.decoder) {
        makeDirectory(names.cacheDirectory);
        ListJudgement beside = judgeFrequencyList(names.first, std::wstring(), sample);
        if (beside.freshness == ListFreshness::UpToDate) return std::move(beside.list);
    }
    ListJudgement judged = judgeFrequencyList(target.path, target.samplePath, sample);
    if (judged.freshness == ListFreshness::UpToDate) return std::move(judged.list);
    return analyseAndStore(target, std::move(judged), sample, 0, false).list;
}

bool generateFrequencyList(const std::wstring& samplePath, std::int32_t tailFrames) {
    const auto sample = loadInput(samplePath, tailFrames);
    if (!sample) return false;
    return generateFrequencyListFor(samplePath, *sample, 0).list.has_value();
}

GeneratedList generateFrequencyListFor(const std::wstring& samplePath, const LoadedSample& sample, int threadCount) {
    // A decoder or module input keeps its list in the decoder's cache folder,
    // where a render stores and finds it; a plain sample keeps it beside itself.
    const FrequencyListNames names = frequencyListNamesFor(samplePath);
    const ListTarget target = targetFor(names, generatedListPath(samplePath), samplePath);
    Obtained obtained =
        analyseAndStore(target, judgeFrequencyList(target.path, target.samplePath, sample), sample, threadCount, true);
    return GeneratedList{std::move(obtained.list), obtained.saved, std::move(obtained.failure)};
}

std::wstring generatedListPath(const std::wstring& samplePath) {
    const FrequencyListNames names = frequencyListNamesFor(samplePath);
    if (names.decoder) return names.second;
    return frequencyListFileName(samplePath);
}

}  // namespace kestrand
