// Growing targets under faults: an append interrupted at any byte settles to
// the old or the new song, real processes killed at random moments leave
// whole songs, appends from several processes at once keep every note, and a
// full disk leaves the song as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "audio/append_undo.h"
#include "audio/wave_append.h"
#include "base/byte_hash.h"
#include "platform/files.h"
#include "support/audio_images.h"
#include "support/note_files.h"
#include "support/test_files.h"

#ifndef _WIN32
#include <sys/mount.h>
#include <unistd.h>
#endif

namespace kestrand {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

std::vector<int> ramp(int count, int start, int step) {
    std::vector<int> out;
    for (int i = 0; i < count; ++i) out.push_back(start + i * step);
    return out;
}

std::vector<std::uint8_t> song16(const std::vector<int>& samples) {
    return test::makeWaveImage(1, 1, 44100, 16, test::int16Bytes(samples));
}

// The undo record an append of the old song to the new one writes.
AppendUndo undoFor(const std::vector<std::uint8_t>& oldSong, const std::vector<std::uint8_t>& newSong,
                   std::size_t changeStart) {
    AppendUndo undo;
    undo.oldLength = oldSong.size();
    undo.newLength = newSong.size();
    undo.changeStart = changeStart;
    std::copy_n(oldSong.begin(), 44, undo.oldHeader.begin());
    std::copy_n(newSong.begin(), 44, undo.newHeader.begin());
    const ByteRange guard = appendUndoGuard(changeStart);
    undo.guardHash = hashBytes(std::span(oldSong).subspan(guard.first, guard.end - guard.first));
    undo.changedHash = hashBytes(std::span(newSong).subspan(changeStart));
    undo.oldBytes.assign(oldSong.begin() + static_cast<std::ptrdiff_t>(changeStart), oldSong.end());
    return undo;
}

UndoOutcome settleFile(const fs::path& path, const AppendUndo& undo) {
    FilePtr file = openFile(test::widePath(path), "r+b");
    EXPECT_TRUE(file);
    return file ? settleAppendUndo(file.get(), undo) : UndoOutcome::Failed;
}

TEST(AppendUndo, AnAppendInterruptedAtAnyByteSettlesToTheOldOrTheNewSong) {
    TempDir dir;
    const auto oldSong = song16(ramp(400, -2000, 9));
    const auto target = dir / "song.wav";
    test::writeFileBytes(target, oldSong);
    std::vector<std::int16_t> note(300, 0);
    for (std::size_t i = 0; i < note.size(); ++i) note[i] = static_cast<std::int16_t>(7 * i + 3);
    const std::vector<std::int16_t> unmixed = note;                          // the append mixes the note in place
    mixIntoWaveInt16(test::widePath(target), note, 300, 2, 0, 44100, true);  // 88 frames mixed
    const auto newSong = test::readFileBytes(target);
    ASSERT_EQ(newSong.size(), oldSong.size() + 2 * (300 - 88));
    const std::size_t changeStart = oldSong.size() - 2 * 88;
    const AppendUndo undo = undoFor(oldSong, newSong, changeStart);

    // The stored record comes back whole, and any record cut short is no record.
    const auto record = encodeAppendUndo(undo);
    const auto decoded = decodeAppendUndo(record);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(encodeAppendUndo(*decoded), record);
    for (std::size_t cut = 0; cut < record.size(); cut += 7)
        EXPECT_FALSE(decodeAppendUndo(std::span(record).first(cut))) << cut;
    auto flipped = record;
    flipped[100] ^= 1;
    EXPECT_FALSE(decodeAppendUndo(flipped));

    // The change written up to every byte, with the old header, or with the
    // new header already in place (a power cut may keep any pages).
    for (std::size_t written = 0; written <= newSong.size() - changeStart; written += 13) {
        for (const bool newHeader : {false, true}) {
            auto state = oldSong;
            state.resize(std::max(oldSong.size(), changeStart + written));
            std::copy_n(newSong.begin() + static_cast<std::ptrdiff_t>(changeStart), written,
                        state.begin() + static_cast<std::ptrdiff_t>(changeStart));
            if (newHeader) std::copy_n(newSong.begin(), 44, state.begin());
            test::writeFileBytes(target, state);
            EXPECT_EQ(settleFile(target, undo), UndoOutcome::RolledBack) << written << " " << newHeader;
            EXPECT_EQ(test::readFileBytes(target), oldSong) << written << " " << newHeader;
            EXPECT_EQ(settleFile(target, undo), UndoOutcome::RolledBack) << "settling again changes nothing";
            EXPECT_EQ(test::readFileBytes(target), oldSong);
        }
    }
    // The whole change with the old header still rolls back; with the new one it is kept.
    auto whole = newSong;
    std::copy_n(oldSong.begin(), 44, whole.begin());
    test::writeFileBytes(target, whole);
    EXPECT_EQ(settleFile(target, undo), UndoOutcome::RolledBack);
    EXPECT_EQ(test::readFileBytes(target), oldSong);
    test::writeFileBytes(target, newSong);
    EXPECT_EQ(settleFile(target, undo), UndoOutcome::Completed);
    EXPECT_EQ(test::readFileBytes(target), newSong);
    // A file that is neither (another song now has the name) is left alone.
    const auto other = song16(ramp(500, 1, 1));
    test::writeFileBytes(target, other);
    EXPECT_EQ(settleFile(target, undo), UndoOutcome::Unrelated);
    EXPECT_EQ(test::readFileBytes(target), other);

    // The next append settles a record it finds and removes it.
    auto interrupted = oldSong;
    std::copy_n(newSong.begin() + static_cast<std::ptrdiff_t>(changeStart), 50,
                interrupted.begin() + static_cast<std::ptrdiff_t>(changeStart));
    test::writeFileBytes(target, interrupted);
    test::writeFileBytes(fs::path(appendUndoPath(test::widePath(target))), record);
    std::vector<std::int16_t> again = unmixed;
    mixIntoWaveInt16(test::widePath(target), again, 300, 2, 0, 44100, true);
    EXPECT_EQ(test::readFileBytes(target), newSong);
    EXPECT_EQ(test::folderNames(dir.path()), (std::set<std::string>{"song.wav"}));
}

TEST(AppendUndo, RecordNamesHaveAFixedLengthInTheTargetsFolder) {
    const std::wstring a = appendUndoPath(L"/songs/a.wav");
    EXPECT_EQ(a.rfind(L"/songs/.kestrand-undo-", 0), 0u);
    EXPECT_EQ(a.size(), std::wstring(L"/songs/.kestrand-undo-").size() + 16);
    EXPECT_EQ(appendUndoPath(L"/songs/" + std::wstring(250, L'x')).size(), a.size());
    EXPECT_NE(appendUndoPath(L"/songs/b.wav"), a);
    EXPECT_EQ(appendUndoPath(L"a.wav").size(), std::wstring(L".kestrand-undo-").size() + 16);
}

// A cached note of `count` 16-bit samples for kestrandjob.
void writeCachedNote(const fs::path& path, const std::vector<int>& samples) {
    test::writeFileBytes(path, song16(samples));
}

std::string appendCommand(const fs::path& dir, const std::string& cache, int lengthMs) {
    return test::shellQuoted(test::programPath("kestrandjob").string()) +
           " -cachefile=" + test::shellQuoted((dir / cache).string()) +
           " -ft=" + test::shellQuoted((dir / "song.wav").string()) + " -l=" + std::to_string(lengthMs) + " -overlap=0";
}

// The song's samples cut into blocks of `block`; empty when it is not a
// whole WAV of whole blocks.
std::vector<std::vector<int>> songBlocks(const fs::path& song, std::size_t block) {
    const auto bytes = test::readFileBytes(song);
    if (!test::isWholeWave(bytes)) return {};
    const auto samples = test::waveSamples16(bytes);
    if (samples.size() % block != 0) return {};
    std::vector<std::vector<int>> blocks;
    for (std::size_t at = 0; at < samples.size(); at += block)
        blocks.emplace_back(samples.begin() + static_cast<std::ptrdiff_t>(at),
                            samples.begin() + static_cast<std::ptrdiff_t>(at + block));
    return blocks;
}

TEST(AppendFaults, EightProgramsAppendingAtOnceKeepEveryNote) {
    KESTRAND_SKIP_WITHOUT_POSIX_SHELL();
    TempDir dir;
    // 100 ms at 44.1 kHz; each program's note holds its own value.
    constexpr std::size_t kBlock = 4410;
    std::string script;
    for (int i = 1; i <= 8; ++i) {
        writeCachedNote(dir / ("n" + std::to_string(i) + ".wav"), std::vector<int>(kBlock, 1000 * i));
        script += appendCommand(dir.path(), "n" + std::to_string(i) + ".wav", 100) + " >/dev/null 2>&1 & ";
    }
    script += "wait";
    // The first round makes the song (all eight find it missing), the second grows it.
    for (int round = 1; round <= 2; ++round) {
        ASSERT_EQ(test::runCommand(script).exitCode, 0);
        const auto blocks = songBlocks(dir / "song.wav", kBlock);
        ASSERT_EQ(blocks.size(), 8u * static_cast<unsigned>(round)) << "round " << round;
        std::map<int, int> seen;
        for (const auto& b : blocks) {
            ASSERT_TRUE(std::all_of(b.begin(), b.end(), [&](int v) { return v == b[0]; }));
            ++seen[b[0]];
        }
        for (int i = 1; i <= 8; ++i) EXPECT_EQ(seen[1000 * i], round) << i;
    }
    EXPECT_EQ(test::folderNames(dir.path()).size(), 9u) << "the song and the notes, nothing else";
}

TEST(AppendFaults, ProgramsKilledAtRandomMomentsLeaveWholeSongs) {
    KESTRAND_SKIP_WITHOUT_POSIX_SHELL();
    TempDir dir;
    constexpr std::size_t kBlock = 44100;  // one second, so that the change takes a little while
    auto note = ramp(kBlock, -20000, 1);
    writeCachedNote(dir / "note.wav", note);
    const std::string append = appendCommand(dir.path(), "note.wav", 1000);
    ASSERT_EQ(test::runCommand(append + " >/dev/null").exitCode, 0);
    // Kills after 0 to 15 ms: before, during and after the change.
    const std::string kills = "for i in $(seq 1 60); do " + append +
                              " >/dev/null 2>&1 & p=$!; sleep $(printf '0.%03d' $((RANDOM % 16))); "
                              "kill -9 $p 2>/dev/null; wait $p 2>/dev/null; done; true";
    ASSERT_EQ(test::runCommand(kills).exitCode, 0);
    // A killed append may have left its undo record; the next append settles it.
    ASSERT_EQ(test::runCommand(append + " >/dev/null").exitCode, 0);
    const auto blocks = songBlocks(dir / "song.wav", kBlock);
    ASSERT_GE(blocks.size(), 2u);
    for (const auto& b : blocks) EXPECT_EQ(b, note);
    EXPECT_EQ(test::folderNames(dir.path()), (std::set<std::string>{"note.wav", "song.wav"}));
}

#ifndef _WIN32
// A file system of `bytes` bytes at dir/small, while the object lives (root only).
class SmallFileSystem {
public:
    SmallFileSystem(const TempDir& dir, std::size_t bytes) : path_(dir / "small") {
        fs::create_directory(path_);
        const std::string options = "size=" + std::to_string(bytes);
        mounted_ = ::geteuid() == 0 && ::mount("tmpfs", path_.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~SmallFileSystem() {
        if (mounted_) ::umount(path_.c_str());
    }
    bool mounted() const { return mounted_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }

private:
    fs::path path_;
    bool mounted_ = false;
};

TEST(AppendFaults, AFullDiskLeavesTheSongAsItWas) {
    TempDir dir;
    SmallFileSystem disk(dir, 256 * 1024);
    if (!disk.mounted()) GTEST_SKIP() << "mounting a small file system needs root";
    const auto target = disk / "song.wav";
    // Room for the song and the undo record, not for the note.
    const auto song = song16(ramp(100000, -30000, 1));
    test::writeFileBytes(target, song);
    std::vector<std::int16_t> note(40000, 5);
    testing::internal::CaptureStderr();
    mixIntoWaveInt16(test::widePath(target), note, 40000, 1, 0, 44100, true);
    const std::string message = testing::internal::GetCapturedStderr();
    EXPECT_NE(message.find("The file is left unchanged."), std::string::npos) << message;
    EXPECT_EQ(test::readFileBytes(target), song);
    EXPECT_EQ(test::folderNames(disk / ""), (std::set<std::string>{"song.wav"}));
    // No room even for the record: refused before anything changes.
    test::writeFileBytes(disk / "filler", std::vector<std::uint8_t>(256 * 1024 - song.size() - 4096, 1));
    std::vector<double> doubles(40000, 5.0);
    testing::internal::CaptureStderr();
    mixIntoWaveSamples(test::widePath(target), doubles, 40000, 1, 0, 44100, 16, true);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Cannot append"), std::string::npos);
    EXPECT_EQ(test::readFileBytes(target), song);
    EXPECT_EQ(test::folderNames(disk / ""), (std::set<std::string>{"song.wav", "filler"}));
}
#endif

}  // namespace
}  // namespace kestrand
