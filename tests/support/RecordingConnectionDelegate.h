#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/RunLoop.h"
#include "platform/net/URLConnection.h"

namespace velour_test {

// Records every callback of a URL connection as one line: "send URL", "send URL after 302",
// "response 200", "data", "finish", "fail -1001". Consecutive data callbacks make one "data".
class RecordingConnectionDelegate : public platform::URLConnectionDelegate {
 public:
  // Asked before each redirect; true cancels the connection there.
  std::function<bool(const platform::URLRequest&)> refuseRedirect;

  std::vector<std::string> events;
  std::vector<platform::HTTPURLResponse> responses;  // redirect replies, then the final one
  std::string body;
  std::optional<platform::Error> error;
  bool ended = false;

  platform::URLRequest connectionWillSendRequest(
      platform::URLConnection& connection, const platform::URLRequest& request,
      const platform::HTTPURLResponse* redirectResponse) override {
    std::string line = "send " + request.url().absoluteString();
    if (redirectResponse) {
      line += " after " + std::to_string(redirectResponse->statusCode());
      responses.push_back(*redirectResponse);
    }
    events.push_back(line);
    if (redirectResponse && refuseRedirect && refuseRedirect(request)) {
      connection.cancel();
      ended = true;
    }
    return request;
  }
  void connectionDidReceiveResponse(platform::URLConnection&,
                                    const platform::HTTPURLResponse& response) override {
    events.push_back("response " + std::to_string(response.statusCode()));
    responses.push_back(response);
  }
  void connectionDidReceiveData(platform::URLConnection&,
                                std::span<const std::uint8_t> data) override {
    if (events.empty() || events.back() != "data") events.push_back("data");
    body.append(data.begin(), data.end());
  }
  void connectionDidFinishLoading(platform::URLConnection&) override {
    events.push_back("finish");
    ended = true;
  }
  void connectionDidFailWithError(platform::URLConnection&, const platform::Error& e) override {
    events.push_back("fail " + std::to_string(e.code));
    error = e;
    ended = true;
  }

  // Runs the main loop on the host clock until the connection has ended, at most `cap`.
  bool waitForEnd(platform::Duration cap = platform::seconds(20)) {
    return platform::RunLoop::main().runUntil([this] { return ended; }, cap);
  }
};

}  // namespace velour_test
