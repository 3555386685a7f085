#include <gtest/gtest.h>

#include "platform/foundation/Bundle.h"
#include "tests/support/TestWorld.h"

using platform::Bundle;

TEST(BundleTest, FindsResourcesInSubfoldersAndRefusesPaths) {
  Bundle& bundle = Bundle::main();
  std::string previous = bundle.resourcePath();
  // The shipped clips are found below the default resources folder.
  auto clip = bundle.pathForResourceOfType("Boing", "m4a");
  ASSERT_TRUE(clip);
  EXPECT_EQ(*clip, previous + "/clips/Boing.m4a");

  velour_test::TestWorld world;
  std::string root = world.makeFolder("bundle");
  for (const char* folder : {"bundle/b/deeper", "bundle/a", "bundle/folder.m4a"}) {
    world.makeFolder(folder);
  }
  for (const char* file :
       {"top.png", "b/deeper/clip.m4a", "b/twice.txt", "a/twice.txt", "Makefile"}) {
    velour_test::TestWorld::writeFile(root, file, "x");
  }
  world.useBundle(root);

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
}
