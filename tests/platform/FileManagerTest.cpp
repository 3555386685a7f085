#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/foundation/FileManager.h"
#include "tests/support/TestWorld.h"

using platform::Bytes;
using platform::FileManager;

namespace {

class FileManagerTest : public ::testing::Test {
 protected:
  static const FileManager& files() { return FileManager::defaultManager(); }

  velour_test::TestWorld world_;
  std::string root_ = world_.makeFolder("files");
};

}  // namespace

TEST_F(FileManagerTest, DirectoriesAreMadeOnDemand) {
  std::string deep = root_ + "/a/b/c/";
  EXPECT_TRUE(files().createDirectory(deep));
  EXPECT_TRUE(files().createDirectory(deep));
  ASSERT_TRUE(files().writeAtomically(root_ + "/a/file", std::string("x")));
  EXPECT_FALSE(files().createDirectory(root_ + "/a/file/sub"));

  EXPECT_TRUE(files().removeItem(root_ + "/a"));
  EXPECT_FALSE(files().fileExists(root_ + "/a"));
  EXPECT_FALSE(files().removeItem(root_ + "/a"));
}

TEST_F(FileManagerTest, AtomicWritesReplaceWholeFilesAndLeaveNoTemporaries) {
  std::string path = root_ + "/data.bin";
  Bytes data{0, 1, 2, 255};
  ASSERT_TRUE(files().writeAtomically(path, data));
  EXPECT_EQ(files().readFile(path).valueOr({}), data);
  ASSERT_TRUE(files().writeAtomically(path, std::string("2nd")));
  EXPECT_EQ(files().readFile(path).valueOr({}), (Bytes{'2', 'n', 'd'}));
  EXPECT_EQ(files().contentsOfDirectory(root_), (std::vector<std::string>{"data.bin"}));

  struct stat info;
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);

  EXPECT_FALSE(files().writeAtomically(path + "/under-a-file", std::string("x")));
  EXPECT_FALSE(files().readFile(root_));
  EXPECT_EQ(files().contentsOfDirectory(root_), (std::vector<std::string>{"data.bin"}));
  // A missing folder is made; one that cannot be made says why, not that it is missing.
  ASSERT_TRUE(files().writeAtomically(root_ + "/made/data.bin", std::string("x")));
  auto refused = files().writeAtomically("/sys/velour-test/data.bin", std::string("x"));
  ASSERT_FALSE(refused);
  EXPECT_NE(refused.error().code, ENOENT) << refused.error().localizedDescription();
}

TEST_F(FileManagerTest, MovesNeverOverwriteAndDatesCanBeSet) {
  std::string from = root_ + "/from", to = root_ + "/to";
  ASSERT_TRUE(files().writeAtomically(from, std::string("new")));
  ASSERT_TRUE(files().writeAtomically(to, std::string("old")));
  EXPECT_FALSE(files().moveItem(from, to));
  EXPECT_EQ(files().readFile(to).valueOr({}), (Bytes{'o', 'l', 'd'}));
  ASSERT_TRUE(files().removeItem(to));
  EXPECT_TRUE(files().moveItem(from, to));
  EXPECT_FALSE(files().fileExists(from));
  EXPECT_FALSE(files().moveItem(from, root_ + "/elsewhere"));

  EXPECT_TRUE(files().setModificationDate(to, platform::Date{1700000000.25}));
  auto when = files().modificationDate(to);
  ASSERT_TRUE(when);
  EXPECT_NEAR(when->secondsSince1970, 1700000000.25, 1e-6);
  EXPECT_FALSE(files().setModificationDate(to, platform::Date{1e300}));
  EXPECT_FALSE(files().setModificationDate(from, platform::Date{0}));
}

TEST_F(FileManagerTest, OnlyRegularFilesWithinTheCapAreRead) {
  // The reason a read was refused; 0 when it was not.
  auto refusal = [](const std::string& path, std::size_t maxBytes) {
    auto read = files().readRegularFile(path, maxBytes);
    return read ? 0L : read.error().code;
  };
  std::string fifo = root_ + "/fifo", zero = root_ + "/zero", huge = root_ + "/huge";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  ASSERT_EQ(symlink("/dev/zero", zero.c_str()), 0);
  // A sparse gigabyte: refused by its size, before any byte is read.
  ASSERT_TRUE(files().writeAtomically(huge, std::string("x")));
  ASSERT_EQ(truncate(huge.c_str(), 1 << 30), 0);
  ASSERT_TRUE(files().writeAtomically(root_ + "/four", std::string("1234")));

  EXPECT_EQ(refusal(fifo, 100), platform::kFileReadNotRegular);
  EXPECT_EQ(refusal(zero, 100), platform::kFileReadNotRegular);
  EXPECT_EQ(refusal(huge, 16 << 20), platform::kFileReadTooLarge);
  EXPECT_EQ(refusal(root_ + "/four", 3), platform::kFileReadTooLarge);
  auto four = files().readRegularFile(root_ + "/four", 4);
  ASSERT_TRUE(four);
  EXPECT_EQ(*four, (Bytes{'1', '2', '3', '4'}));
  EXPECT_EQ(refusal(root_ + "/none", 4), platform::kFileReadMissing);
}
