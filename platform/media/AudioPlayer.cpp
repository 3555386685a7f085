#include "platform/media/AudioPlayer.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <utility>

#include "platform/foundation/Log.h"
#include "platform/foundation/Result.h"

namespace platform {
namespace {

constexpr const char* kErrorDomain = "NSOSStatusErrorDomain";
// Status codes in the platform's style: a parameter error, "file not found", and the
// four-character codes 'typ?' (not a container we can read) and 'fsz?' (far too big).
constexpr long kNotAFileURL = -50;
constexpr long kFileNotFound = -43;
constexpr long kUnsupportedFile = 0x7479703F;
constexpr long kFileTooLarge = 0x66737A3F;

// A clip is seconds of low-rate audio; anything this big is not one and is not read whole.
constexpr std::streamoff kMaxClipBytes = 64 * 1024 * 1024;

// Players that are playing now, in the order they started; weak, so a player that is dropped
// while it plays just falls out.
std::vector<std::weak_ptr<AudioPlayer>>& registry() {
  static std::vector<std::weak_ptr<AudioPlayer>> players;
  return players;
}

void unregister(const AudioPlayer* player) {
  auto& players = registry();
  std::erase_if(players, [player](const std::weak_ptr<AudioPlayer>& entry) {
    auto alive = entry.lock();
    return !alive || alive.get() == player;
  });
}

std::string twoPlaceSecondsText(Duration value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f s", toSeconds(value));
  return text;
}

std::string fileName(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void fail(Error* error, long code, std::string message) {
  if (error) *error = Error::make(kErrorDomain, code, std::move(message));
}

// The whole file, or an error for a file that cannot be read or is far too big.
Result<Bytes> readClip(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) {
    return Error::make(kErrorDomain, kFileNotFound,
                       "The clip file " + path + " could not be opened.");
  }
  const std::streamoff size = in.tellg();
  if (size < 0 || size > kMaxClipBytes) {
    return Error::make(kErrorDomain, kFileTooLarge,
                       "The clip file " + path + " is too large to be a sound clip.");
  }
  in.seekg(0);
  Bytes bytes(static_cast<std::size_t>(size));
  if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) {
    return Error::make(kErrorDomain, kFileNotFound,
                       "The clip file " + path + " could not be read.");
  }
  return bytes;
}

}  // namespace

std::shared_ptr<AudioPlayer> AudioPlayer::createWithContentsOfURL(const URL& url, Error* error) {
  if (!url.isFileURL()) {
    fail(error, kNotAFileURL, "Only file URLs can be played: " + url.absoluteString());
    return nullptr;
  }
  const std::string path = url.filePath();
  auto bytes = readClip(path);
  if (!bytes) {
    if (error) *error = bytes.error();
    return nullptr;
  }
  auto duration = mp4Duration(*bytes);
  if (!duration) {
    fail(error, kUnsupportedFile,
         "The clip file " + path + " is not an MP4 audio container with a readable duration.");
    return nullptr;
  }
  return std::make_shared<AudioPlayer>(Key{}, url, seconds(*duration));
}

AudioPlayer::AudioPlayer(Key, URL url, Duration duration)
    : url_(std::move(url)), duration_(duration) {}

std::string AudioPlayer::clipName() const {
  return fileName(url_.filePath());
}

Duration AudioPlayer::currentTime() const {
  if (!playing_) return position_;
  return std::min(duration_, position_ + (RunLoop::main().now() - startedAt_));
}

void AudioPlayer::setCurrentTime(Duration position) {
  position_ = std::clamp(position, Duration::zero(), duration_);
  if (playing_) scheduleEnd();
}

bool AudioPlayer::play() {
  if (playing_) return true;
  playing_ = true;
  registry().push_back(weak_from_this());
  std::string line = "audio: playing " + clipName();
  if (position_ > Duration::zero()) line += " from " + twoPlaceSecondsText(position_);
  platform::log(line + " (" + twoPlaceSecondsText(duration_) + ")");
  scheduleEnd();
  return true;
}

void AudioPlayer::stop() {
  if (!playing_) return;
  position_ = currentTime();
  playing_ = false;
  endTimer_.reset();
  unregister(this);
  platform::log("audio: stopped " + clipName());
}

// (Re)starts the clock of this play from position_ and sets the end for the time left.
void AudioPlayer::scheduleEnd() {
  startedAt_ = RunLoop::main().now();
  // The player owns the timer, so the timer never outlives it.
  endTimer_ =
      RunLoop::main().scheduleTimer(duration_ - position_, false, [this](Timer&) { finish(); });
}

// The clip reached its end: the player stops and rewinds, ready to play again from the start.
void AudioPlayer::finish() {
  playing_ = false;
  position_ = Duration::zero();
  endTimer_.reset();
  unregister(this);
  platform::log("audio: finished " + clipName());
}

std::vector<std::shared_ptr<AudioPlayer>> AudioPlayer::playingPlayers() {
  std::vector<std::shared_ptr<AudioPlayer>> playing;
  for (const auto& entry : registry()) {
    if (auto player = entry.lock(); player && player->isPlaying()) playing.push_back(player);
  }
  return playing;
}

}  // namespace platform
