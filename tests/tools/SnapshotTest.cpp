// velour's snapshot command, run as a user would, with the picture decoded and looked at.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "platform/ui/Png.h"

namespace {

std::string readAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

TEST(SnapshotTest, PicturesTheScreenAtTheDevicesScaleWithTheAdAndRefusesAFolderItCannotMake) {
  char pattern[] = "/tmp/velour-snapshot-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::filesystem::path dir = pattern;
  std::ofstream(dir / "plain-file") << "not a folder";
  std::ofstream(dir / "script.velour")
      << "wait 1\n"
      << "snapshot " << (dir / "shots" / "board.png").string() << "\nsnapshot "
      << (dir / "plain-file" / "x.png").string() << "\nquit\n";
  std::string command = std::string("'") + VELOUR_BINARY + "' --device scale=2 --home '" +
                        (dir / "home").string() + "' --script '" +
                        (dir / "script.velour").string() + "' > '" + (dir / "out").string() +
                        "' 2> '" + (dir / "err").string() + "' < /dev/null";
  int status = std::system(command.c_str());
  std::string out = readAll(dir / "out"), err = readAll(dir / "err");
  auto png = readAll(dir / "shots" / "board.png");
  std::filesystem::remove_all(dir);

  // The second snapshot fails the run with a clear error; the session went on to "quit".
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << out << err;
  EXPECT_NE(err.find("error: " + (dir / "plain-file").string() + " is not a folder"),
            std::string::npos)
      << err;
  EXPECT_NE(out.find("> quit"), std::string::npos);

  auto pixels = platform::decodePng(png);
  ASSERT_TRUE(pixels) << out << err;
  EXPECT_EQ(pixels->width, 640u);  // the 320 x 480 point screen, two pixels to the point
  EXPECT_EQ(pixels->height, 960u);
  // The banner's strip (50 points above the 49-point tab bar) shows the ad's page, not the
  // board's white nor a grey stand-in: many colours, a good part of them not grey.
  std::set<std::uint32_t> colours;
  std::size_t coloured = 0, total = 0;
  for (std::uint32_t y = 2 * (480 - 49 - 50); y < 2 * (480 - 49); ++y) {
    for (std::uint32_t x = 0; x < pixels->width; ++x, ++total) {
      const std::uint8_t* p = &pixels->rgba[(y * pixels->width + x) * 4];
      colours.insert(std::uint32_t(p[0]) << 16 | p[1] << 8 | p[2]);
      auto [low, high] = std::minmax({p[0], p[1], p[2]});
      if (high - low > 40) ++coloured;
    }
  }
  EXPECT_GT(colours.size(), 16u);
  EXPECT_GT(coloured, total / 4);
}

}  // namespace
