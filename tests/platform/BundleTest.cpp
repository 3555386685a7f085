#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/FileManager.h"

using platform::Bundle;
using platform::FileManager;

TEST(BundleTest, FindsResourcesInSubfoldersAndRefusesPaths) {
  Bundle& bundle = Bundle::main();
  std::string previous = bundle.resourcePath();
  // The shipped clips are found below the default resources folder.
  auto clip = bundle.pathForResourceOfType("Boing", "m4a");
  ASSERT_TRUE(clip);
  EXPECT_EQ(*clip, previous + "/clips/Boing.m4a");

  char pattern[] = "/tmp/velour-bundle-XXXXXX";
  ASSERT_TRUE(mkdtemp(pattern));
  std::string root = pattern;
  const FileManager& files = FileManager::defaultManager();
  ASSERT_TRUE(files.createDirectory(root + "/b/deeper"));
  ASSERT_TRUE(files.createDirectory(root + "/a"));
  ASSERT_TRUE(files.writeAtomically(root + "/top.png", std::string("p")));
  ASSERT_TRUE(files.writeAtomically(root + "/b/deeper/clip.m4a", std::string("c")));
  ASSERT_TRUE(files.writeAtomically(root + "/b/twice.txt", std::string("b")));
  ASSERT_TRUE(files.writeAtomically(root + "/a/twice.txt", std::string("a")));
  ASSERT_TRUE(files.writeAtomically(root + "/Makefile", std::string("m")));
  ASSERT_TRUE(files.createDirectory(root + "/folder.m4a"));
  bundle.setResourcePath(root);

  EXPECT_EQ(bundle.pathForResourceOfType("clip", "m4a"), root + "/b/deeper/clip.m4a");
  EXPECT_EQ(bundle.pathForResourceOfType("twice", "txt"), root + "/a/twice.txt");
  EXPECT_EQ(bundle.pathForResourceOfType("Makefile", ""), root + "/Makefile");
  EXPECT_FALSE(bundle.pathForResourceOfType("clip", "mp3"));
  EXPECT_FALSE(bundle.pathForResourceOfType("folder", "m4a"));
  EXPECT_FALSE(bundle.pathForResourceOfType("deeper/clip", "m4a"));
  EXPECT_FALSE(bundle.pathForResourceOfType("../top", "png"));
  EXPECT_FALSE(bundle.pathForResourceOfType("clip", "/m4a"));

  bundle.setResourcePath(root + "/nowhere");
  EXPECT_FALSE(bundle.pathForResourceOfType("top", "png"));
  bundle.setResourcePath(previous);
  files.removeItem(root);
}
