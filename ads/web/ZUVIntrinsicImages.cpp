#include "ads/web/ZUVIntrinsicImages.h"

#include "ads/support/GTMStringEncoding.h"

namespace {

// Drawn by scripts/draw-ad-images, which prints these texts.
// 808 characters of base64
constexpr const char* kCloseButtonPNG =
    "iVBORw0KGgoAAAANSUhEUgAAADIAAAAyCAYAAAAeP4ixAAACI0lEQVR42u2asWrDMBCG8wgmr+AXyJBXyO4pc6Y8Qu"
    "ZMWf0I2bJ28pxHyJAHMGRoaWkxLpRCaVH1g2XUqyxLspK0RwQHIZLO91kn3UnyaHQrTIsQIpGSScml7KWU4ncpm7q8"
    "aZv8JYCFlDsRXtB3cc23v5ZSiXilanQml4LIOtxGHI/Hj81m8zqfz1+m0+mTbH6vC/5DHdqgbQcQdGfnHoUtferpdP"
    "pcrVZ1mqaP1PA+QR/0hQ4D0Db66DQQB/0pdV1/LZfLytf4LoEu6CQwh2gwUtGEzoWiKN7H4/FDLAgl0AndhrkziTES"
    "PyBijoJtdAwwSRR3wrDPZrPnc0MowbOIq4W5GZ3Yl4TQYegCELLEXtSdPNws83GpUp/Y14JQQhaA0snFmujazou+1Q"
    "mxICSG+PSHDWS+rF1AKleX2u12b6otfvtC+PQnLla5JIBtxO57kzQU+8DoEKr0jQzJABY2kDaLRergC+IKY4JwAYFN"
    "etZsm+TOSm0G2WBC+lheXmJdcpGZDnGRLsOGQCghWXNmAslVLdLs0EnbZWAMCAhs07rnJpC9qsWeYcgKRA2NBQGBbZ"
    "qKvQmkDYKmTdEQmFgQanOmB0cTSFuGRGEXmFAIJcTW84D0wQyFuIH8R9diM9nZLL9sAiKbFIVH0sgmjWe1sWKz1eV2"
    "+MDjOIjNAR2rI1NWh9hsrhVYXfSwunpjdRnK6nqa3QcDrD7hYPlRza1ELt9aVSJzJlSqegAAAABJRU5ErkJggg==";
// 264 characters of base64
constexpr const char* kBrowserForwardButtonPNG =
    "iVBORw0KGgoAAAANSUhEUgAAADYAAAA2CAYAAACMRWrdAAAAjElEQVR42u3YyQ2AMAxEUUqgBEqiJDqjFEoZwiFX1i"
    "DZk/8kF2Bp5MQeBgAAAADog6S11OTYWLWUGh0bO2ylZsfGqvzx1Lm88dS1nPHUfbniqedyxFPvxI+nvokbT7URL55q"
    "J1Y8aayzKNoND8txb/dA232pLD/BdmuL3aJpeRqwO+Z4nt8AAAAA4B87fbARLWEFSOQAAAAASUVORK5CYII=";
// 264 characters of base64
constexpr const char* kBrowserBackButtonPNG =
    "iVBORw0KGgoAAAANSUhEUgAAADYAAAA2CAYAAACMRWrdAAAAjUlEQVR42u3Yuw2DQBAEUEpwCZRESe6MUihlucCBA4"
    "QOO+GG96QtYKTRfXaaAAAA6FFVc5s1KdCrzbs+UkItbbb6ElG7OhBRu4hgR7UbOthZ7YYM1lO74YL11m6YYFdrd/tg"
    "v9bu1sH+qZ1gqujwcNw/44KOflLFP4Ljvy3RH8341UD8Mid6/QYAAHBuB2CSES0BwHpNAAAAAElFTkSuQmCC";

std::shared_ptr<platform::Image> cached(const char* encoding) {
  return ZUVIntrinsicImages::createImageFromEncoding(encoding);
}

}  // namespace

std::shared_ptr<platform::Image> ZUVIntrinsicImages::closeButton() {
  static const auto image = cached(kCloseButtonPNG);
  return image;
}

std::shared_ptr<platform::Image> ZUVIntrinsicImages::browserForwardButton() {
  static const auto image = cached(kBrowserForwardButtonPNG);
  return image;
}

std::shared_ptr<platform::Image> ZUVIntrinsicImages::browserBackButton() {
  static const auto image = cached(kBrowserBackButtonPNG);
  return image;
}

std::shared_ptr<platform::Image> ZUVIntrinsicImages::createImageFromEncoding(
    std::string_view encoding) {
  auto bytes = GTMStringEncoding::rfc4648Base64StringEncoding().decode(encoding);
  if (!bytes) return nullptr;
  auto image = platform::Image::imageWithData(std::move(*bytes));
  return image ? image->imageWithScale(2.0, platform::ImageOrientation::Up) : nullptr;
}
