#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/harness/Harness.h"
#include "platform/media/AudioPlayer.h"
#include "platform/media/SystemSound.h"
#include "tests/support/TestWorld.h"

using namespace std::chrono_literals;

using platform::AudioPlayer;
using platform::Bytes;
using platform::Error;
using platform::LogCapture;
using platform::mp4Duration;
using platform::RunLoop;
using platform::URL;

namespace {

const std::string kClips = std::string(VELOUR_RESOURCES_DIR) + "/clips/";

// --- A hand-built container, box by box ---

void appendBig(Bytes& out, std::uint64_t value, int width) {
  for (int shift = 8 * (width - 1); shift >= 0; shift -= 8) out.push_back(value >> shift);
}

// A large box has size 1 and a 64-bit "largesize" after its type.
Bytes box(const std::string& type, const Bytes& payload, bool large = false) {
  Bytes out;
  appendBig(out, large ? 1 : payload.size() + 8, 4);
  out.insert(out.end(), type.begin(), type.end());
  if (large) appendBig(out, payload.size() + 16, 8);
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

Bytes mvhd(int version, std::uint64_t timescale, std::uint64_t duration) {
  const int width = version == 1 ? 8 : 4;
  Bytes payload{static_cast<std::uint8_t>(version), 0, 0, 0};
  appendBig(payload, 0x11111111, width);  // creation time
  appendBig(payload, 0x22222222, width);  // modification time
  appendBig(payload, timescale, 4);
  appendBig(payload, duration, width);
  payload.resize(payload.size() + 80, 0);  // rate, volume, matrix, next track id
  return box("mvhd", payload);
}

Bytes ftyp() {
  return box("ftyp", {'M', '4', 'A', ' ', 0, 0, 2, 0, 'i', 's', 'o', 'm'});
}

Bytes movie(const Bytes& header) {
  return cat({ftyp(), box("moov", header)});
}

void setSize(Bytes& bytes, std::size_t at, std::uint32_t size) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = size >> (24 - 8 * i);
}

std::shared_ptr<AudioPlayer> open(const std::string& name, Error* error = nullptr) {
  return AudioPlayer::createWithContentsOfURL(URL::fileURLWithPath(kClips + name), error);
}

class AudioPlayerTest : public ::testing::Test {
 protected:
  velour_test::TestWorld world_;
  static void advance(platform::Duration span) { platform::Harness::advance(span); }
};

TEST(Mp4DurationTest, ReadsVersion0And1HeadersThroughLargeAndOpenEndedBoxes) {
  EXPECT_EQ(mp4Duration(movie(mvhd(0, 1000, 1250))), 1.25);
  // A 64-bit duration only version 1 can hold.
  EXPECT_EQ(mp4Duration(movie(mvhd(1, 48000, 48000ull * 5000000))), 5000000.0);
  // Media data first and in a largesize box, the header after another child of moov.
  const Bytes trak = box("trak", box("tkhd", Bytes(84, 0)));
  EXPECT_EQ(mp4Duration(cat({ftyp(), box("mdat", Bytes(40, 7), true),
                             box("moov", cat({trak, mvhd(0, 600, 300)}), true)})),
            0.5);
  // Size 0: the last box runs to the end of the file.
  Bytes openEnded = movie(mvhd(0, 10, 7));
  setSize(openEnded, ftyp().size(), 0);
  EXPECT_EQ(mp4Duration(openEnded), 0.7);
}

TEST(Mp4DurationTest, RefusesWhatIsNotAWellFormedContainer) {
  const std::string text = "just some text, long enough to look like boxes";
  EXPECT_FALSE(mp4Duration(Bytes(text.begin(), text.end())));
  EXPECT_FALSE(mp4Duration({}));
  EXPECT_FALSE(mp4Duration(box("moov", mvhd(0, 1000, 1000))));                 // no ftyp
  EXPECT_FALSE(mp4Duration(cat({ftyp(), box("free", mvhd(0, 1000, 1000))})));  // no moov
  EXPECT_FALSE(mp4Duration(movie(box("trak", {}))));                           // no mvhd
  EXPECT_FALSE(mp4Duration(movie(mvhd(0, 0, 1000))));                          // timescale 0
  EXPECT_FALSE(mp4Duration(movie(mvhd(2, 1000, 1000))));                       // unknown version
  EXPECT_FALSE(mp4Duration(movie(mvhd(0, 1000, 0xFFFFFFFF))));                 // "unknown"
  EXPECT_FALSE(mp4Duration(movie(box("mvhd", {1, 0, 0, 0, 0, 0, 0, 0}))));     // header cut short

  const Bytes good = movie(mvhd(1, 1000, 1000));
  Bytes truncated(good.begin(), good.end() - 1);
  EXPECT_FALSE(mp4Duration(truncated));
  Bytes trailing = good;
  trailing.insert(trailing.end(), {0, 0, 0});
  EXPECT_FALSE(mp4Duration(trailing));

  // mvhd claims more than its moov holds, although the file goes on.
  Bytes overrun = cat({ftyp(), box("moov", mvhd(0, 1000, 1000)), box("free", Bytes(64, 0))});
  setSize(overrun, ftyp().size() + 8, 120 + 8);
  EXPECT_FALSE(mp4Duration(overrun));
  // A 4-byte box whose "type" would read as the header of a neat 8-byte box after it.
  const Bytes tooSmall =
      cat({ftyp(), {0, 0, 0, 4, 0, 0, 0, 8, 'f', 'r', 'e', 'e'}, box("moov", mvhd(0, 1000, 1000))});
  EXPECT_FALSE(mp4Duration(tooSmall));
  Bytes hugeLarge = cat({ftyp(), box("moov", mvhd(0, 1000, 1000), true)});
  for (int i = 0; i < 8; ++i) hugeLarge[ftyp().size() + 8 + i] = 0xFF;
  EXPECT_FALSE(mp4Duration(hugeLarge));
  Bytes shortLarge = cat({ftyp(), box("moov", mvhd(0, 1000, 1000), true)});
  shortLarge[ftyp().size() + 15] = 12;  // largesize smaller than its own header
  EXPECT_FALSE(mp4Duration(shortLarge));

  Bytes nested = mvhd(0, 1000, 1000);
  for (int i = 0; i < 2000; ++i) nested = box("moov", nested);
  EXPECT_FALSE(mp4Duration(cat({ftyp(), nested})));
}

// Which board lists which clip is checked by the soundboard's launch.
TEST(AudioClipsTest, EveryListedClipIsThereAndShort) {
  std::ifstream list(kClips + "clips.txt");
  int count = 0;
  for (std::string board, name; list >> board >> name; ++count) {
    list.ignore(1000, '\n');
    Error error;
    auto player = open(name + ".m4a", &error);
    ASSERT_TRUE(player) << name << ": " << error.localizedDescription();
    EXPECT_GE(player->duration(), 0.3s) << name;
    EXPECT_LE(player->duration(), 2.5s) << name;
  }
  EXPECT_EQ(count, 26);
  EXPECT_DOUBLE_EQ(platform::toSeconds(open("Boing.m4a")->duration()), 0.9);
}

TEST(AudioClipsTest, MissingAndNonContainerFilesFailWithAnError) {
  Error error;
  EXPECT_FALSE(open("NoSuchClip.m4a", &error));
  EXPECT_EQ(error.domain, "NSOSStatusErrorDomain");
  EXPECT_EQ(error.code, -43);
  EXPECT_NE(error.localizedDescription().find("NoSuchClip.m4a"), std::string::npos);

  const std::string text = "not audio at all\n";
  const Bytes clip = *platform::FileManager::defaultManager().readFile(kClips + "Ding.m4a");
  const std::map<std::string, Bytes> bad{
      {"notes.m4a", Bytes(text.begin(), text.end())},
      {"half.m4a", Bytes(clip.begin(), clip.begin() + clip.size() / 2)},
      {"cut.m4a", Bytes(clip.begin(), clip.end() - 10)},
  };
  for (const auto& [name, bytes] : bad) {
    SCOPED_TRACE(name);
    Error badError;
    auto url = URL::fileURLWithPath(velour_test::TestWorld::writeFile(
        ::testing::TempDir(), "velour-audio-" + name, std::string(bytes.begin(), bytes.end())));
    EXPECT_FALSE(AudioPlayer::createWithContentsOfURL(url, &badError));
    EXPECT_EQ(badError.code, 0x7479703F);
    EXPECT_NE(badError.localizedDescription().find("not an MP4"), std::string::npos);
    EXPECT_FALSE(AudioPlayer::createWithContentsOfURL(url));  // no error out-parameter
  }

  Error remote;
  EXPECT_FALSE(
      AudioPlayer::createWithContentsOfURL(*URL::parse("http://127.0.0.1/Boing.m4a"), &remote));
  EXPECT_EQ(remote.code, -50);
}

TEST_F(AudioPlayerTest, PlayEndsAtTheClipsEndAndStopKeepsThePosition) {
  LogCapture log;
  auto player = open("Boing.m4a");
  ASSERT_TRUE(player);
  EXPECT_TRUE(player->play());
  EXPECT_TRUE(player->isPlaying());
  EXPECT_EQ(log.lines(), std::vector<std::string>{"audio: playing Boing.m4a (0.90 s)"});

  advance(0.85s);
  EXPECT_TRUE(player->isPlaying());
  EXPECT_NEAR(platform::toSeconds(player->currentTime()), 0.85, 1e-9);
  advance(0.1s);
  EXPECT_FALSE(player->isPlaying());
  EXPECT_EQ(player->currentTime(), platform::Duration::zero());
  EXPECT_TRUE(log.contains("audio: finished Boing.m4a"));

  // Ended players start again from the top.
  player->play();
  advance(0.5s);
  player->setCurrentTime(0.8s);  // seeking while playing moves the end
  advance(0.09s);
  EXPECT_TRUE(player->isPlaying());
  advance(0.02s);
  EXPECT_FALSE(player->isPlaying());

  // Stop keeps the position and play resumes from it; stopping a stopped player says nothing.
  log.clear();
  player->stop();
  EXPECT_TRUE(log.lines().empty());
  player->play();
  advance(0.3s);
  player->stop();
  EXPECT_FALSE(player->isPlaying());
  EXPECT_NEAR(platform::toSeconds(player->currentTime()), 0.3, 1e-9);
  EXPECT_TRUE(log.contains("audio: stopped Boing.m4a"));
  advance(5s);
  EXPECT_NEAR(platform::toSeconds(player->currentTime()), 0.3, 1e-9);
  EXPECT_FALSE(log.contains("finished"));

  log.clear();
  player->play();
  EXPECT_EQ(log.lines(), std::vector<std::string>{"audio: playing Boing.m4a from 0.30 s (0.90 s)"});
  advance(0.55s);
  EXPECT_TRUE(player->isPlaying());
  advance(0.1s);
  EXPECT_FALSE(player->isPlaying());
  EXPECT_TRUE(log.contains("audio: finished Boing.m4a"));
  EXPECT_EQ(player->currentTime(),
            platform::Duration::zero());  // rewound at the end, not left where it resumed
}

TEST_F(AudioPlayerTest, PlayersAreIndependentAndListedWhilePlaying) {
  auto boing = open("Boing.m4a");
  auto ding = open("Ding.m4a");
  ASSERT_TRUE(boing && ding);
  boing->play();
  advance(0.5s);
  ding->play();
  EXPECT_EQ(AudioPlayer::playingPlayers(), (std::vector{boing, ding}));
  advance(0.45s);  // boing ends, ding goes on
  EXPECT_TRUE(ding->isPlaying());
  EXPECT_EQ(AudioPlayer::playingPlayers(), (std::vector{ding}));
  ding->stop();

  // A player dropped while it plays leaves the list and its end never comes.
  LogCapture log;
  auto dropped = open("Pop.m4a");
  dropped->play();
  ASSERT_EQ(AudioPlayer::playingPlayers().size(), 1u);
  dropped.reset();
  EXPECT_TRUE(AudioPlayer::playingPlayers().empty());
  EXPECT_FALSE(RunLoop::main().nextDueTime());
  advance(1s);
  EXPECT_FALSE(log.contains("finished"));
}

TEST(SystemSoundTest, VibrationsAreCountedAndOtherSoundsLogged) {
  platform::resetVibrationCount();
  LogCapture log;
  platform::AudioServicesPlaySystemSound(platform::kSystemSoundID_Vibrate);
  platform::AudioServicesPlaySystemSound(1104);
  platform::AudioServicesPlaySystemSound(4095);
  EXPECT_EQ(platform::vibrationCount(), 2u);
  EXPECT_EQ(log.lines(), (std::vector<std::string>{"vibrate", "system sound 1104", "vibrate"}));
}

}  // namespace
