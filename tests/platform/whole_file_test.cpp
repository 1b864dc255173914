// Files replaced whole or not at all, the temporary names that make it
// possible and the removal of what killed processes leave behind, and inputs
// that are not files refused without waiting.
#include "platform/whole_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "platform/process.h"
#include "platform/temporary_name.h"
#include "platform/text.h"
#include "support/note_files.h"
#include "support/test_files.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#endif

namespace kestrand {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// A process id no system hands out (beyond Linux's pid_max, and not a
// multiple of four as Windows ids are).
constexpr std::uint32_t kNoSuchProcess = 0x7FFFFFF1;

std::vector<std::uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

void age(const fs::path& path, std::chrono::seconds by) {
    fs::last_write_time(path, fs::file_time_type::clock::now() - by);
}

TEST(TemporaryFiles, NamesAreShortFixedAndBesideTheOutput) {
    const std::wstring folder = L"some folder" + std::wstring(1, kPathSeparator);
    const std::wstring longName = folder + std::wstring(250, L'n') + L".wav";
    const std::wstring first = temporarySiblingPath(longName);
    const std::wstring second = temporarySiblingPath(longName);
    EXPECT_NE(first, second);
    ASSERT_EQ(first.size(), folder.size() + 31);
    EXPECT_EQ(first.substr(0, folder.size()), folder);
    EXPECT_EQ(temporaryFileProcess(first.substr(folder.size())), currentProcessId());
    EXPECT_EQ(temporaryFileProcess(temporaryFileName(kNoSuchProcess, 0xABCDEF01)), kNoSuchProcess);
    for (const wchar_t* other : {L"a.wav.tmp123456", L".kestrand-1234.tmp", L".kestrand-0000000g-00000000.tmp",
                                 L".kestrand-00000001-00000000.tmpx", L"x.kestrand-00000001-00000000.tmp"}) {
        EXPECT_FALSE(temporaryFileProcess(other)) << narrow(other);
    }
}

TEST(TemporaryFiles, LeftoversOfDeadProcessesGoOnceTheyAreOld) {
    TempDir dir;
    const auto put = [&](const std::wstring& name, std::chrono::seconds old) {
        const fs::path path = dir.path() / fs::path(name);
        test::writeFileBytes(path, bytesOf("x"));
        age(path, old);
        return path.filename().string();
    };
    using std::chrono::seconds;
    put(temporaryFileName(kNoSuchProcess, 1), seconds(60));                    // dead and old: goes
    const auto young = put(temporaryFileName(kNoSuchProcess, 2), seconds(2));  // dead, may be another machine's
    const auto ours = put(temporaryFileName(currentProcessId(), 3), seconds(600));
    put(temporaryFileName(currentProcessId(), 4), seconds(2 * 3600));  // an id reused since: goes
    const auto note = put(L"note.wav", seconds(2 * 3600));
    const auto text = put(L".kestrand-notes.txt", seconds(2 * 3600));
    removeStaleTemporaryFiles(test::widePath(dir / "out.wav"));
    EXPECT_EQ(test::folderNames(dir.path()), (std::set<std::string>{young, ours, note, text}));
}

TEST(WholeFile, ReplacesWholeOrLeavesTheOldFileAsItWas) {
    TempDir dir;
    const std::wstring path = test::widePath(dir / "out.wav");
    ASSERT_TRUE(writeWholeFile(path, bytesOf("first"), Durability::Cache));
    ASSERT_TRUE(writeWholeFile(path, bytesOf("second"), Durability::Durable));
    EXPECT_EQ(test::readFileText(dir / "out.wav"), "second");

    FileResult result = writeWholeFile(test::widePath(dir / "missing" / "out.wav"), bytesOf("x"), Durability::Cache);
    EXPECT_FALSE(result);
    EXPECT_NE(result.problem.find("cannot create a file in its folder"), std::string::npos) << result.problem;

    fs::create_directory(dir / "folder.wav");
    result = writeWholeFile(test::widePath(dir / "folder.wav"), bytesOf("x"), Durability::Cache);
    EXPECT_FALSE(result);
    EXPECT_NE(result.problem.find("cannot put the finished file in place"), std::string::npos) << result.problem;
    EXPECT_TRUE(fs::is_directory(dir / "folder.wav"));

#ifndef _WIN32
    // A file size limit fails the write the way a full disk does.
    struct rlimit old {};
    ::getrlimit(RLIMIT_FSIZE, &old);
    struct rlimit limited = old;
    limited.rlim_cur = 4096;
    ::setrlimit(RLIMIT_FSIZE, &limited);
    result = writeWholeFile(path, std::vector<std::uint8_t>(10000, 7), Durability::Durable);
    ::setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_FALSE(result);
    EXPECT_EQ(result.problem, "File too large");
#endif
    EXPECT_EQ(test::readFileText(dir / "out.wav"), "second");
    EXPECT_EQ(test::folderNames(dir.path()), (std::set<std::string>{"folder.wav", "out.wav"}));
}

TEST(InputFiles, OnlyRegularFilesOpenAndNothingWaits) {
    TempDir dir;
    test::writeFileBytes(dir / "a.wav", bytesOf("RIFF"));
    const InputFile file = openInputFile(test::widePath(dir / "a.wav"));
    EXPECT_TRUE(file.file);
    EXPECT_EQ(file.kind, FileKind::Regular);
    EXPECT_EQ(openInputFile(test::widePath(dir / "gone.wav")).kind, FileKind::Missing);

    fs::create_directory(dir / "folder.wav");
    const InputFile folder = openInputFile(test::widePath(dir / "folder.wav"));
    EXPECT_FALSE(folder.file);
    EXPECT_EQ(folder.kind, FileKind::Folder);
    EXPECT_FALSE(openFile(test::widePath(dir / "folder.wav"), "rb"));
#ifdef _WIN32
    const InputFile device = openInputFile(L"NUL");
#else
    // A named pipe without a writer: an ordinary open would wait for ever.
    ASSERT_EQ(::mkfifo((dir / "pipe.wav").c_str(), 0600), 0);
    const InputFile pipe = openInputFile(test::widePath(dir / "pipe.wav"));
    EXPECT_FALSE(pipe.file);
    EXPECT_EQ(pipe.kind, FileKind::Pipe);
    EXPECT_EQ(fileKind(test::widePath(dir / "pipe.wav")), FileKind::Pipe);
    EXPECT_FALSE(openFile(test::widePath(dir / "pipe.wav"), "rb"));
    EXPECT_FALSE(openFile(test::widePath(dir / "pipe.wav"), "r+b"));
    const InputFile device = openInputFile(L"/dev/null");
#endif
    EXPECT_FALSE(device.file);
    EXPECT_EQ(device.kind, FileKind::Device);
}

#ifndef _WIN32
// A named pipe (like a device such as /dev/null) at the output is written as a
// stream and stays what it is; renaming a file over it would replace it.
TEST(WholeFile, PipesAndDevicesAreWrittenInPlace) {
    TempDir dir;
    const fs::path pipe = dir / "out.wav";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    // Without a reader the write fails at once instead of waiting for one.
    const FileResult alone = writeWholeFile(test::widePath(pipe), bytesOf("note"), Durability::Cache);
    EXPECT_FALSE(alone.ok);
    EXPECT_EQ(alone.problem, "no program reads from the named pipe");

    std::string received;
    std::thread reader([&] {
        std::ifstream in(pipe, std::ios::binary);
        received.assign(std::istreambuf_iterator<char>(in), {});
    });
    // The reader is there once its open returns; the write waits for it.
    FileResult written{false, "not tried"};
    for (int attempt = 0; attempt < 500 && !written.ok; ++attempt) {
        written = writeWholeFile(test::widePath(pipe), bytesOf("note"), Durability::Cache);
        if (!written.ok) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!written.ok) std::ofstream release(pipe);  // so that the reader never waits for ever
    reader.join();
    EXPECT_TRUE(written.ok) << written.problem;
    EXPECT_EQ(received, "note");
    EXPECT_EQ(fileKind(test::widePath(pipe)), FileKind::Pipe);
    EXPECT_EQ(test::folderNames(dir.path()), std::set<std::string>{"out.wav"});
}
#endif

}  // namespace
}  // namespace kestrand
