// Locks between processes tied to a file, and placing a file only under a free name.
#include "platform/file_lock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/file_update.h"
#include "support/test_files.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace kestrand {
namespace {

using namespace std::chrono_literals;

TEST(FileLock, ExcludesOtherHoldersUntilReleasedAndWaitsOnlyAsLongAsAllowed) {
    test::TempDir dir;
    const auto path = dir / "song.wav";
    test::writeFileBytes(path, {1, 2, 3});
    LockAttempt first = lockFile(test::widePath(path), 0ms);
    ASSERT_EQ(first.outcome, LockOutcome::Taken);
    EXPECT_TRUE(first.lock.held());

    const auto start = std::chrono::steady_clock::now();
    LockAttempt second = lockFile(test::widePath(path), 60ms);
    EXPECT_EQ(second.outcome, LockOutcome::TimedOut);
    EXPECT_FALSE(second.lock.held());
    EXPECT_GE(std::chrono::steady_clock::now() - start, 60ms);

    // A holder that lets go while another waits hands the lock over.
    std::thread holder([lock = std::move(first.lock)]() mutable {
        std::this_thread::sleep_for(100ms);
        lock.release();
    });
    LockAttempt third = lockFile(test::widePath(path), 10s);
    holder.join();
    EXPECT_EQ(third.outcome, LockOutcome::TakenLater);
    EXPECT_TRUE(third.lock.held());
    third.lock.release();
    EXPECT_EQ(lockFile(test::widePath(path), 0ms).outcome, LockOutcome::Taken);
    EXPECT_EQ(test::readFileBytes(path), (std::vector<std::uint8_t>{1, 2, 3})) << "the file itself is not changed";
}

TEST(FileLock, OnlyRegularFilesCanBeLockedAndNothingIsWaitedFor) {
    test::TempDir dir;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(lockFile(test::widePath(dir / "missing"), 10s).outcome, LockOutcome::Unavailable);
    EXPECT_EQ(lockFile(test::widePath(dir.path()), 10s).outcome, LockOutcome::Unavailable);
#ifndef _WIN32
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    EXPECT_EQ(lockFile(test::widePath(dir / "pipe"), 10s).outcome, LockOutcome::Unavailable);
#endif
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

TEST(FileUpdate, RenameIfAbsentNeverReplacesAFile) {
    test::TempDir dir;
    test::writeFileBytes(dir / "a", {1});
    test::writeFileBytes(dir / "b", {2});
    EXPECT_EQ(renameIfAbsent(test::widePath(dir / "a"), test::widePath(dir / "b")), PlaceResult::NameTaken);
    EXPECT_EQ(test::readFileBytes(dir / "a"), std::vector<std::uint8_t>{1});
    EXPECT_EQ(test::readFileBytes(dir / "b"), std::vector<std::uint8_t>{2});
    EXPECT_EQ(renameIfAbsent(test::widePath(dir / "a"), test::widePath(dir / "c")), PlaceResult::Placed);
    EXPECT_FALSE(std::filesystem::exists(dir / "a"));
    EXPECT_EQ(test::readFileBytes(dir / "c"), std::vector<std::uint8_t>{1});
    EXPECT_EQ(renameIfAbsent(test::widePath(dir / "missing"), test::widePath(dir / "d")), PlaceResult::Failed);
}

}  // namespace
}  // namespace kestrand
