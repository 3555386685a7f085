#include <gtest/gtest.h>

#include <cmath>

#include "ads/support/GTMStringEncoding.h"
#include "ads/support/ZUVLocation.h"

namespace {

std::string payloadOf(const std::string& oolong) {
  auto encoding = GTMStringEncoding::rfc4648Base64WebsafeStringEncoding();
  return encoding.decode(oolong.substr(3)).valueOr("");
}

TEST(ZUVLocationTest, PreciseLocationsOnly) {
  EXPECT_FALSE(ZUVLocation::createWithLatitudeLongitudeAccuracy(0, 12, 5));
  EXPECT_FALSE(ZUVLocation::createWithLatitudeLongitudeAccuracy(90.5f, 12, 5));
  EXPECT_FALSE(ZUVLocation::createWithLatitudeLongitudeAccuracy(NAN, 12, 5));
  EXPECT_TRUE(ZUVLocation::createWithLatitudeLongitudeAccuracy(90.0f, -180.0f, 5));
  EXPECT_FALSE(ZUVLocation::createWithDescription(""));

  auto paris = ZUVLocation::createWithLatitudeLongitudeAccuracy(48.85f, 2.35f, 10);
  ASSERT_TRUE(paris);
  EXPECT_EQ(paris->description(), "48.849998,2.350000");
  auto nearly = ZUVLocation::createWithLatitudeLongitudeAccuracy(48.85f, 2.35f, 10);
  EXPECT_TRUE(*paris == *nearly);
  auto elsewhere = ZUVLocation::createWithLatitudeLongitudeAccuracy(48.86f, 2.35f, 10);
  EXPECT_FALSE(*paris == *elsewhere);
  auto named = ZUVLocation::createWithDescription("48.849998,2.350000");
  EXPECT_FALSE(*paris == *named);  // another kind
}

// A whole record, quoted descriptions and the vector are checked through the vozave "uule"
// command.
TEST(ZUVLocationTest, RecordsTruncateTheStoredFloats) {
  auto south = ZUVLocation::createWithLatitudeLongitudeAccuracy(-33.87f, -151.21f, 1e12f);
  south->setTimestamp(0.5);
  EXPECT_NE(south->record().find("timestamp: 500000 latlng <latitude_e7: -338699989 "
                                 "longitude_e7: -1512100067> radius: 2147483647"),
            std::string::npos)
      << south->record();
  south->setTimestamp(1e300);  // a far-off time still makes a whole record
  EXPECT_NE(south->record().find("radius: 2147483647"), std::string::npos);
}

TEST(ZUVLocationTest, EncodedFormPadsByBytesAndCarriesTheVector) {
  auto place = ZUVLocation::createWithDescription("x");
  place->setTimestamp(1300000000);
  const std::size_t base = place->record().size() - 1;  // the record without its description
  for (std::size_t extra = 1; extra <= 40; ++extra) {
    auto location = ZUVLocation::createWithDescription(std::string(extra, 'a'));
    location->setTimestamp(1300000000);
    auto oolong = location->oolongRepresentation();
    ASSERT_TRUE(oolong);
    ASSERT_EQ(oolong->substr(0, 3), "e1+");
    std::size_t recordBytes = base + extra;
    std::size_t padded = (recordBytes / 16 + 1) * 16;  // a whole block when already aligned
    std::string payload = payloadOf(*oolong);
    EXPECT_EQ(payload.size(), 16 + padded) << extra;
    EXPECT_EQ(oolong->size() - 3, (payload.size() * 8 + 5) / 6);
    EXPECT_EQ(oolong->find('='), std::string::npos);
    auto decoded = ZUVLocation::decodeOolongRepresentation(*oolong);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->record, location->record());
  }
  // Accented letters count by their UTF-8 bytes.
  auto accented = ZUVLocation::createWithDescription("\xC3\xA9");
  accented->setTimestamp(1300000000);
  std::size_t bytes = base + 2;
  EXPECT_EQ(payloadOf(*accented->oolongRepresentation()).size(), 16 + (bytes / 16 + 1) * 16);

  // Same place, another time: equal, encoded differently; the same location encodes alike.
  auto later = ZUVLocation::createWithDescription("x");
  later->setTimestamp(1300000001);
  EXPECT_TRUE(*place == *later);
  EXPECT_NE(place->oolongRepresentation(), later->oolongRepresentation());

  EXPECT_FALSE(
      ZUVLocation::decodeOolongRepresentation("x1+" + place->oolongRepresentation()->substr(3)));
  std::string damaged = *place->oolongRepresentation();
  damaged.back() = damaged.back() == 'A' ? 'B' : 'A';
  auto wrong = ZUVLocation::decodeOolongRepresentation(damaged);
  EXPECT_TRUE(!wrong || wrong->record != place->record());
}

}  // namespace
