#include "ads/vast/ZUVVastLoad.h"

#include <utility>

#include "ads/vast/ZUVVastReader.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"

namespace {

// The text after what may stand before a document's first element: a byte-order mark, blanks,
// the XML declaration, processing instructions and comments.
std::string_view firstElementOnward(std::string_view body) {
  if (body.starts_with("\xEF\xBB\xBF")) body.remove_prefix(3);
  while (true) {
    body = platform::text::trimmed(body, " \t\r\n");
    std::string_view close;
    if (body.starts_with("<?")) {
      close = "?>";
    } else if (body.starts_with("<!--")) {
      close = "-->";
    } else {
      return body;
    }
    const std::size_t end = body.find(close, 2);
    if (end == std::string_view::npos) return {};
    body.remove_prefix(end + close.size());
  }
}

}  // namespace

bool ZUVVastLoad::isVastAnswer(std::string_view mediaType, std::string_view body) {
  if (mediaType == "application/xml" || mediaType == "text/xml") return true;
  std::string_view rest = firstElementOnward(body);
  if (!rest.starts_with("<VAST")) return false;
  rest.remove_prefix(5);
  return rest.empty() || rest[0] == '>' || rest[0] == '/' || platform::text::isASCIIBlank(rest[0]);
}

ZUVVastLoad::ZUVVastLoad(ZUVVastWrapperResolver::Options options, ZUVVastTracker::Sender sender)
    : sender_(std::move(sender)), resolver_(std::move(options)) {}

void ZUVVastLoad::start(std::string_view document, std::string source, ZUVVastMediaContext context,
                        Completion completion) {
  weak_.revoke();
  context_ = context;
  completion_ = std::move(completion);
  auto read = ZUVVastReader::read(document);
  if (!read) {
    // Nothing of an unreadable document can be trusted, its error URLs included.
    platform::RunLoop::main().post(
        weak_.bind([error = read.error()](ZUVVastLoad& self) { self.fail(error, {}); }));
    return;
  }
  resolver_.resolve(std::move(*read), std::move(source),
                    weak_.bind([](ZUVVastLoad& self, ZUVVastResolution resolution) {
                      self.resolved(std::move(resolution));
                    }));
}

void ZUVVastLoad::resolved(ZUVVastResolution resolution) {
  for (const std::string& note : resolution.notes) platform::log("<Vozave> Video ad: " + note);
  if (!resolution.ad) {
    return fail(
        resolution.error.value_or(ZUVVastError(kZUVVastUndefinedError, "the wrappers led nowhere")),
        std::move(resolution.errorURLs));
  }
  auto media = ZUVVastChooseMedia(resolution.ad->mediaFiles, context_);
  if (!media) return fail(media.error(), resolution.ad->errorURLs);
  platform::log("<Vozave> Video ad: plays " + platform::text::singleLine(media->file.url) + " (" +
                media->why + ")");
  auto done = std::move(completion_);
  done(ZUVVastReadyAd{std::move(*resolution.ad), std::move(*media)});
}

void ZUVVastLoad::fail(const platform::Error& error, std::vector<std::string> errorURLs) {
  platform::log("<Vozave> The video ad cannot play: error " + std::to_string(error.code) + " (" +
                    platform::text::singleLine(error.localizedDescription()) + ")",
                platform::LogLevel::Error);
  ZUVVastAd failed;
  failed.errorURLs = std::move(errorURLs);
  ZUVVastTracker(std::move(failed), "", sender_).failed(error.code);
  auto done = std::move(completion_);
  done(error);
}
