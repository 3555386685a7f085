#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/SDKResources.h"
#include "tests/support/TestWorld.h"
#include "velourphone/ApplicationMain.h"

using platform::Bundle;

TEST(BundleTest, FindsResourcesInSubfoldersAndRefusesPaths) {
  Bundle& bundle = Bundle::main();
  // An application that names no bundle folder has none; the soundboard's are the SDK's.
  EXPECT_EQ(bundle.resourcePath(), "");
  EXPECT_FALSE(bundle.pathForResourceOfType("Boing", "m4a"));
  EXPECT_EQ(platform::sdkResourcePath(), VELOUR_RESOURCES_DIR);

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

TEST(BundleTest, AnApplicationIsWhoItSaysAndKeepsItsDataUnderItsIdentifier) {
  velour_test::TestWorld world;
  Bundle& bundle = Bundle::main();
  auto& files = platform::FileManager::defaultManager();
  std::string data = world.makeFolder("data");
  // The user's own folders stay out of it, and as they were.
  const char* dataVariable = std::getenv("XDG_DATA_HOME");
  const std::optional<std::string> savedData =
      dataVariable ? std::optional<std::string>(dataVariable) : std::nullopt;
  const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
  ::setenv("XDG_DATA_HOME", data.c_str(), 1);
  files.setHomeDirectory("");

  // One that says nothing is plainly no one, and says so, not the soundboard.
  bundle.setIdentity({});
  EXPECT_EQ(bundle.bundleIdentifier(), "unidentified.platform-tests");
  EXPECT_EQ(bundle.version(), "");
  EXPECT_TRUE(world.log().contains("set no bundle identifier; it is unidentified.platform-tests"));
  EXPECT_EQ(files.homeDirectory(), data + "/unidentified.platform-tests");

  // Its own identity, set before launch, names its home (which follows it) and its store.
  platform::setApplicationIdentity("com.example.hello", "Hello", "2.1");
  EXPECT_EQ(bundle.bundleIdentifier(), "com.example.hello");
  EXPECT_EQ(bundle.name(), "Hello");
  EXPECT_EQ(bundle.version(), "2.1");
  EXPECT_EQ(files.homeDirectory(), data + "/com.example.hello");
  EXPECT_EQ(files.preferencesDirectory(), data + "/com.example.hello/Library/Preferences");
  ::unsetenv("XDG_DATA_HOME");
  ::setenv("HOME", "/home/someone", 1);
  EXPECT_EQ(files.homeDirectory(), "/home/someone/.local/share/com.example.hello");

  // A home set by a test or a tool stays.
  files.setHomeDirectory(world.home());
  EXPECT_EQ(files.homeDirectory(), world.home());
  ::setenv("HOME", savedHome.c_str(), 1);
  if (savedData) ::setenv("XDG_DATA_HOME", savedData->c_str(), 1);
}
