// The page-test host runs the real parser and settings record.
#include "tests/gui/page_fixture.h"

#include "core/gps/fix.h"

namespace tarvo {
namespace {

using testing::PageFixture;

class PageHostTest : public PageFixture {};

TEST_F(PageHostTest, FedSentencesReachTheFixAndSettingsChangesAreSignalled) {
  host().Feed("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47");
  host().settings().Change([](Settings& s) { s.connection.useRmc = false; });
  host().Feed("$GPGGA,123520,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*4D");
  EXPECT_NEAR(host().currentFix().position.latitude, 48.1173, 1e-9);
  EXPECT_EQ(host().currentFix().satellitesUsed, 8);
  std::vector<Key> seen;
  QObject::connect(&host().settings(), &SettingsModel::changed, [&](const std::vector<Key>& keys) { seen = keys; });
  host().settings().Change([](Settings& s) { s.speedUnit = SpeedUnit::Knot; });
  EXPECT_EQ(seen, std::vector<Key>({Key::FmtSpeed}));
}

}  // namespace
}  // namespace tarvo
