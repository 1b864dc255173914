// kestrandfrq: lists of whole voice folders, the G flag's lists byte for byte;
// the review of suspicious lists and the HTML report's structure.
#include "cli/frq_program.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <regex>

#include "cli/list_checks.h"
#include "cli/list_report.h"
#include "support/note_files.h"
#include "support/test_files.h"

namespace kestrand {
namespace {

using test::runCommand;
using test::shellQuoted;

std::string frqCommand(const std::string& arguments) {
    return shellQuoted(test::programPath("kestrandfrq").string()) + " " + arguments + " 2>&1";
}

std::size_t countOf(const std::string& text, const std::string& what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

// A list of `frames` frames at 220 Hz with a steady amplitude.
FrequencyList steadyList(int frames = 100, double hz = 220.0) {
    FrequencyList list;
    list.frameStep = 256;
    list.sampleRate = 44100;
    list.listSize = frames;
    list.freqAvg = hz;
    list.frequencies.assign(static_cast<std::size_t>(frames) + 1, hz);
    list.amplitudes.assign(static_cast<std::size_t>(frames) + 1, 3000.0);
    return list;
}

TEST(FrqProgram, FolderListsEqualTheGFlagsAndOnlyWhatNeedsItIsAnalysedAgain) {
    KESTRAND_SKIP_WITHOUT_POSIX_SHELL();
    test::TempDir dir;
    const auto voice = dir / "voice";
    std::filesystem::create_directories(voice / "high");
    const std::vector<std::string> names = {"a.wav", "ka.wav", "high/su.wav"};
    for (const auto& name : names)
        std::filesystem::copy_file(test::voiceSample(name.substr(name.find('/') + 1)), voice / name);
    test::writeFileBytes(voice / "broken.wav", {'R', 'I', 'F', 'F', 1, 0, 0, 0, 'J', 'U', 'N', 'K'});
    test::writeFileBytes(voice / "notes.txt", {'x'});

    auto run = runCommand(frqCommand(shellQuoted(voice.string())));
    EXPECT_EQ(run.exitCode, 1) << "one sample failed\n" << run.output;
    EXPECT_NE(run.output.find("4 samples"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("3 analysed, 0 up to date, 1 failed"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("broken.wav: "), std::string::npos) << "the failure with its reason\n" << run.output;
    EXPECT_EQ(run.output.find("N=1024"), std::string::npos) << "the analysis report stays out of the summary";

    // The G flag's lists, made from copies in another folder.
    const auto reference = dir / "reference";
    std::filesystem::create_directories(reference);
    for (const auto& name : names) {
        const auto leaf = std::filesystem::path(name).filename();
        std::filesystem::copy_file(voice / name, reference / leaf);
        runCommand(shellQuoted(test::programPath().string()) + " " + shellQuoted((reference / leaf).string()) +
                   " nul A4 100 G >/dev/null 2>&1");
        const std::string list = leaf.stem().string() + "_wav.frq";
        const auto made = test::readFileBytes(std::filesystem::path(voice / name).parent_path() / list);
        EXPECT_FALSE(made.empty()) << name;
        EXPECT_EQ(made, test::readFileBytes(reference / list)) << name;
    }

    // A second run keeps them, also when a sample's time changed but not its
    // sound; a re-recorded sample and another sample's list (a.wav, i.wav and
    // ka.wav have the same length, so one's list would fit the other) are
    // analysed again, the replaced lists kept as backups; --rebuild does all.
    std::filesystem::last_write_time(voice / "ka.wav",
                                     std::filesystem::last_write_time(voice / "ka_wav.frq") + std::chrono::seconds(2));
    run = runCommand(frqCommand(shellQuoted(voice.string())));
    EXPECT_NE(run.output.find("0 analysed, 3 up to date, 1 failed"), std::string::npos) << run.output;
    std::filesystem::copy_file(test::voiceSample("i.wav"), voice / "a.wav",
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::copy_file(reference / "su_wav.frq", voice / "ka_wav.frq",
                               std::filesystem::copy_options::overwrite_existing);
    run = runCommand(frqCommand(shellQuoted(voice.string())));
    EXPECT_NE(run.output.find("2 analysed, 1 up to date, 1 failed"), std::string::npos) << run.output;
    EXPECT_EQ(test::readFileBytes(voice / "ka_wav.frq"), test::readFileBytes(reference / "ka_wav.frq"));
    EXPECT_EQ(test::readFileBytes(voice / "ka_wav.frq.bak"), test::readFileBytes(reference / "su_wav.frq"));
    EXPECT_EQ(test::readFileBytes(voice / "a_wav.frq.bak"), test::readFileBytes(reference / "a_wav.frq"));
    run = runCommand(frqCommand("--rebuild " + shellQuoted((voice / "high").string())));
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("1 analysed, 0 up to date, 0 failed"), std::string::npos) << run.output;
    EXPECT_EQ(test::folderNames(voice / "high"), (std::set<std::string>{"su.wav", "su_wav.frq"}))
        << "no temporary file is left";

    // The report: a row per sample, the failed one first, a drawing per list.
    const auto report = dir / "report.html";
    run = runCommand(frqCommand("--report " + shellQuoted(report.string()) + " " + shellQuoted(voice.string())));
    EXPECT_NE(run.output.find("Report: "), std::string::npos) << run.output;
    const auto bytes = test::readFileBytes(report);
    const std::string html(bytes.begin(), bytes.end());
    EXPECT_EQ(countOf(html, "<tr class=\"sample "), 4u);
    EXPECT_LT(html.find("<tr class=\"sample failed\""), html.find("<tr class=\"sample clean\""));
    EXPECT_EQ(countOf(html, "<path class=\"pitch\""), 3u);
    EXPECT_EQ(countOf(html, "<path class=\"amplitude\""), 3u);
    EXPECT_EQ(countOf(html, "<line class=\"average\""), 3u);
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_EQ(html.find("http://www.w3.org/2000/svg\" width"), html.find("http://www.w3.org/2000/svg"))
        << "the only address is the SVG namespace";
}

TEST(FrqProgram, CheckingOnlyReportsMissingAndMisfitListsWithoutWriting) {
    KESTRAND_SKIP_WITHOUT_POSIX_SHELL();
    test::TempDir dir;
    std::filesystem::copy_file(test::voiceSample("a.wav"), dir / "a.wav");
    std::filesystem::copy_file(test::voiceSample("su.wav"), dir / "su.wav");
    std::filesystem::copy_file(test::voiceSample("a_wav.frq"), dir / "su_wav.frq");  // another sample's list
    const auto run = runCommand(frqCommand("--check " + shellQuoted(dir.path().string())));
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_NE(run.output.find("1 without a list"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("su.wav: the list does not fit its sample"), std::string::npos) << run.output;
    EXPECT_FALSE(std::filesystem::exists(dir / "a_wav.frq"));
}

TEST(FrqProgram, CtrlCStopsBetweenSamplesAndLeavesOnlyWholeLists) {
    KESTRAND_SKIP_WITHOUT_POSIX_SHELL();
    test::TempDir dir;
    for (int i = 0; i < 400; ++i)
        std::filesystem::copy_file(test::voiceSample("su.wav"), dir / ("s" + std::to_string(i) + ".wav"));
    // Ctrl-C once the first list is written (the program then watches for it).
    const std::string folder = shellQuoted(dir.path().string());
    const std::string command = "(" + frqCommand(folder) + " >/dev/null & pid=$!; for i in $(seq 200); do " + "ls " +
                                folder + " | grep -q frq && break; sleep 0.05; done; " +
                                "kill -INT $pid; wait $pid; echo \"status $?\")";
    const auto run = runCommand(command);
    EXPECT_NE(run.output.find("status 130"), std::string::npos) << run.output;
    std::size_t lists = 0;
    for (const auto& name : test::folderNames(dir.path())) {
        if (name.ends_with(".wav")) continue;
        ASSERT_TRUE(name.ends_with("_wav.frq")) << "left behind: " << name;
        EXPECT_EQ(std::filesystem::file_size(dir / name), std::filesystem::file_size(test::voiceSample("su_wav.frq")));
        ++lists;
    }
    EXPECT_LT(lists, 400u) << "the run was not interrupted";
}

TEST(FrqProgram, OptionsAreCheckedBeforeAnyWork) {
    std::string error;
    EXPECT_FALSE(parseFrqOptions({L"kestrandfrq"}, error));
    EXPECT_EQ(error, "no folder given");
    EXPECT_FALSE(parseFrqOptions({L"kestrandfrq", L"--jobs", L"0", L"v"}, error));
    EXPECT_FALSE(parseFrqOptions({L"kestrandfrq", L"--report"}, error));
    EXPECT_FALSE(parseFrqOptions({L"kestrandfrq", L"--rebuild", L"--check", L"v"}, error));
    EXPECT_FALSE(parseFrqOptions({L"kestrandfrq", L"--fast", L"v"}, error));
    EXPECT_EQ(error, "unknown option --fast");
    const auto options =
        parseFrqOptions({L"kestrandfrq", L"--jobs", L"3", L"--report", L"r.html", L"--", L"-v"}, error);
    ASSERT_TRUE(options);
    EXPECT_EQ(options->jobs, 3);
    EXPECT_EQ(options->report, L"r.html");
    EXPECT_EQ(options->paths, std::vector<std::wstring>{L"-v"});
}

TEST(ListReview, FlagsWhatLooksWrongAndNothingInAGoodList) {
    EXPECT_TRUE(reviewList(steadyList(), true, 220.0).flags.empty());
    EXPECT_EQ(reviewList(steadyList(), true, 220.0).score, 0.0);

    FrequencyList jumps = steadyList();
    jumps.frequencies[40] = 440.0;  // up an octave and back: two jumps
    const ListReview jumpReview = reviewList(jumps, true, std::nullopt);
    ASSERT_EQ(jumpReview.flags.size(), 1u);
    EXPECT_EQ(jumpReview.flags[0].concern, ListConcern::OctaveJumps);
    EXPECT_EQ(jumpReview.jumpFrames, (std::vector<std::int32_t>{40, 41}));
    jumps.amplitudes[40] = jumps.amplitudes[39] / 200.0;  // a stray pitch in near silence is not heard
    EXPECT_TRUE(reviewList(jumps, true, std::nullopt).flags.empty());
    jumps.amplitudes[40] = jumps.amplitudes[39];
    jumps.frequencies[40] = 220.0 * std::pow(2.0, 8.0 / 12.0);  // a sixth is a leap, not an octave error
    EXPECT_TRUE(reviewList(jumps, true, std::nullopt).flags.empty());

    FrequencyList silentVowel = steadyList();
    for (int k = 30; k < 40; ++k) silentVowel.frequencies[k] = 0.0;  // 10 loud frames, 58 ms
    const ListReview loud = reviewList(silentVowel, true, std::nullopt);
    ASSERT_EQ(loud.flags.size(), 1u);
    EXPECT_EQ(loud.flags[0].concern, ListConcern::LoudWithoutPitch);
    EXPECT_EQ(loud.loudFirst, 30);
    EXPECT_EQ(loud.loudLast, 39);
    for (int k = 30; k < 40; ++k) silentVowel.amplitudes[k] = 500.0;  // a quiet consonant is fine
    EXPECT_TRUE(reviewList(silentVowel, true, std::nullopt).flags.empty());

    EXPECT_EQ(reviewList(steadyList(100, 440.0), true, 220.0).flags.at(0).concern, ListConcern::AverageFarFromMedian);
    EXPECT_TRUE(reviewList(steadyList(100, 260.0), true, 220.0).flags.empty()) << "3 semitones is a singer's range";

    FrequencyList unvoiced = steadyList();
    unvoiced.frequencies.assign(unvoiced.frequencies.size(), 0.0);
    const ListReview none = reviewList(unvoiced, false, 220.0);
    ASSERT_EQ(none.flags.size(), 2u);
    EXPECT_EQ(none.flags[0].concern, ListConcern::DoesNotFitSample);
    EXPECT_EQ(none.flags[1].concern, ListConcern::NoPitch);
    EXPECT_GT(none.score, loud.score);
    EXPECT_EQ(medianOf({3.0, 1.0, 2.0, 10.0}), 2.5);
}

TEST(ListReport, RowsWorstFirstWithFlagsAndDrawings) {
    std::vector<ReportRow> rows(4);
    rows[0].name = "good.wav";
    rows[0].outcome = SampleOutcome::UpToDate;
    rows[0].list = steadyList();
    rows[1].name = "jumpy <&>.wav";
    rows[1].outcome = SampleOutcome::Analysed;
    rows[1].list = steadyList();
    rows[1].list->frequencies[50] = 440.0;
    rows[1].review = reviewList(*rows[1].list, true, std::nullopt);
    rows[2].name = "broken.wav";
    rows[2].failure = "file format error.";
    rows[3].name = "hollow.wav";
    rows[3].outcome = SampleOutcome::Analysed;
    rows[3].list = steadyList();
    for (int k = 10; k < 60; ++k) rows[3].list->frequencies[k] = 0.0;
    rows[3].review = reviewList(*rows[3].list, true, std::nullopt);

    const std::string html = buildListReport("Frequency lists", rows);
    std::vector<std::string> order;
    const std::regex row("<tr class=\"sample (\\w+)\" id=\"s\\d+\"><td class=\"name\">([^<]*)");
    for (auto it = std::sregex_iterator(html.begin(), html.end(), row); it != std::sregex_iterator(); ++it)
        order.push_back((*it)[1].str() + " " + (*it)[2].str());
    EXPECT_EQ(order, (std::vector<std::string>{"failed broken.wav", "flagged hollow.wav",
                                               "flagged jumpy &lt;&amp;&gt;.wav", "clean good.wav"}));
    EXPECT_EQ(countOf(html, "<circle class=\"jump\""), 2u);
    EXPECT_EQ(countOf(html, "<rect class=\"loud\""), 1u);
    EXPECT_EQ(countOf(html, "<li class=\"flag jumps\">"), 1u);
    EXPECT_EQ(countOf(html, "<li class=\"flag loud\">"), 1u);
    EXPECT_EQ(countOf(html, "<li class=\"flag failed\">file format error.</li>"), 1u);
    // The hollow list's pitch line has two pieces: before and after the gap.
    const std::size_t pitch = html.find("<path class=\"pitch\" d=\"", html.find("id=\"s1\""));
    const std::string d = html.substr(pitch, html.find("\"/>", pitch) - pitch);
    EXPECT_EQ(countOf(d, "M"), 2u) << d;
    // Summary counts and the problem table with links to the rows.
    EXPECT_NE(html.find("<th>failed</th><td class=\"count\">1</td>"), std::string::npos);
    EXPECT_NE(html.find("<th>suspicious lists</th><td class=\"count\">2</td>"), std::string::npos);
    EXPECT_EQ(countOf(html, "<a href=\"#s"), 3u);
}

}  // namespace
}  // namespace kestrand
