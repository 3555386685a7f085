#include <memory>

#include "ads/vast/ZUVVastWrapperResolver.h"
#include "platform/net/URLConnection.h"
#include "platform/xml/XML.h"

namespace {

// Collects one document's body; hands it over, or why there is none, once.
class BodyCollector : public platform::URLConnectionDelegate,
                      public std::enable_shared_from_this<BodyCollector> {
 public:
  explicit BodyCollector(std::function<void(platform::Result<std::string>)> done)
      : done_(std::move(done)) {}

  void connectionDidReceiveResponse(platform::URLConnection& connection,
                                    const platform::HTTPURLResponse& response) override {
    if (response.statusCode() < 200 || response.statusCode() > 299) {
      end(connection,
          ZUVVastError(kZUVVastWrapperTimeout, connection.currentRequest().url().absoluteString() +
                                                   " answered with status " +
                                                   std::to_string(response.statusCode())));
    }
  }
  void connectionDidReceiveData(platform::URLConnection& connection,
                                std::span<const std::uint8_t> data) override {
    body_.append(data.begin(), data.end());
    // Stopping here keeps a huge document from being read at all.
    if (body_.size() > platform::xml::Limits{}.maxBytes) {
      end(connection,
          ZUVVastError(kZUVVastXMLParseError, "the document is larger than " +
                                                  std::to_string(platform::xml::Limits{}.maxBytes) +
                                                  " bytes"));
    }
  }
  void connectionDidFinishLoading(platform::URLConnection& connection) override {
    end(connection, std::move(body_));
  }
  void connectionDidFailWithError(platform::URLConnection& connection,
                                  const platform::Error& error) override {
    end(connection,
        ZUVVastError(kZUVVastWrapperTimeout, connection.currentRequest().url().absoluteString() +
                                                 ": " + error.localizedDescription()));
  }

 private:
  void end(platform::URLConnection& connection, platform::Result<std::string> outcome) {
    auto keep = shared_from_this();  // `done` may let go of the fetch, and with it of this
    connection.cancel();
    if (auto done = std::move(done_)) done(std::move(outcome));
  }

  std::function<void(platform::Result<std::string>)> done_;
  std::string body_;
};

class HTTPFetch : public ZUVVastFetch {
 public:
  explicit HTTPFetch(std::shared_ptr<platform::URLConnection> connection)
      : connection_(std::move(connection)) {}
  ~HTTPFetch() override {
    if (connection_) connection_->cancel();
  }

 private:
  std::shared_ptr<platform::URLConnection> connection_;
};

}  // namespace

ZUVVastFetcher ZUVVastHTTPFetcher() {
  return [](const platform::URL& url, std::function<void(platform::Result<std::string>)> done) {
    auto collector = std::make_shared<BodyCollector>(std::move(done));
    return std::make_unique<HTTPFetch>(
        platform::URLConnection::create(platform::URLRequest(url), collector));
  };
}
