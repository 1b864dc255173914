#include "platform/long_path.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrand {
namespace {

// A folder chain long enough to need the long form.
std::wstring deepFolders() {
    std::wstring path;
    for (int i = 0; i < 30; ++i) path += L"folder" + std::to_wstring(i) + L"\\";
    return path;
}

TEST(LongPath, ShortAndRelativePathsStayAsTheyAre) {
    EXPECT_EQ(longPathForm(L"C:\\voice\\a.wav"), L"C:\\voice\\a.wav");
    EXPECT_EQ(longPathForm(L""), L"");
    const std::wstring relative = deepFolders() + L"a.wav";
    ASSERT_GE(relative.size(), kLongPathThreshold);
    EXPECT_EQ(longPathForm(relative), relative);
    EXPECT_EQ(longPathForm(L"\\" + relative), L"\\" + relative) << "rooted without a drive";
    EXPECT_EQ(longPathForm(L"C:" + relative), L"C:" + relative) << "relative to a drive's current folder";
}

TEST(LongPath, LongDrivePathsGetTheLongFormNormalised) {
    const std::wstring folders = deepFolders();
    EXPECT_EQ(longPathForm(L"C:\\" + folders + L"a.wav"), L"\\\\?\\C:\\" + folders + L"a.wav");
    // Forward slashes, doubled separators, "." and ".." are resolved, since
    // Windows takes the long form literally.
    std::wstring messy = L"d:/" + folders + L".\\x\\..\\\\sub/a.wav";
    EXPECT_EQ(longPathForm(messy), L"\\\\?\\d:\\" + folders + L"sub\\a.wav");
    // ".." never climbs above the drive; a trailing separator stays.
    EXPECT_EQ(longPathForm(L"C:\\..\\..\\" + folders), L"\\\\?\\C:\\" + folders);
    // Exactly at the threshold the long form starts; one below it does not.
    std::wstring edge = L"C:\\" + std::wstring(kLongPathThreshold - 3, L'a');
    EXPECT_EQ(longPathForm(edge), L"\\\\?\\" + edge);
    edge.pop_back();
    EXPECT_EQ(longPathForm(edge), edge);
}

TEST(LongPath, NetworkPathsGetTheUncLongForm) {
    const std::wstring folders = deepFolders();
    EXPECT_EQ(longPathForm(L"\\\\server\\share\\" + folders + L"a.wav"),
              L"\\\\?\\UNC\\server\\share\\" + folders + L"a.wav");
    // ".." stops at the share.
    EXPECT_EQ(longPathForm(L"\\\\server\\share\\..\\" + folders + L"a.wav"),
              L"\\\\?\\UNC\\server\\share\\" + folders + L"a.wav");
}

TEST(LongPath, PathsAlreadyInALongOrDeviceFormStay) {
    const std::wstring done = L"\\\\?\\C:\\" + deepFolders() + L"a.wav";
    EXPECT_EQ(longPathForm(done), done);
    const std::wstring device = L"\\\\.\\pipe\\" + deepFolders();
    EXPECT_EQ(longPathForm(device), device);
}

}  // namespace
}  // namespace kestrand
