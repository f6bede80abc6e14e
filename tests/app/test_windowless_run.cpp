#include <gtest/gtest.h>

#include "app/windowless_run.h"

namespace tallowin {
namespace {

TEST(WindowlessRun, WarnsOnlyWhenCroppingByMarqueeIsOn) {
  struct Case {
    bool cutOn;
    bool marquee;  // rb_cutimg_auswahl, else rb_cutimg_direkt
    bool warned;
  };
  for (const Case c : {Case{true, true, true}, Case{true, false, false}, Case{false, true, false},
                       Case{false, false, false}}) {
    SCOPED_TRACE(::testing::Message() << "cut " << c.cutOn << " marquee " << c.marquee);
    CaptureSettings settings(Language::English);
    settings.SetFlag(Setting::cb_cutimg, c.cutOn);
    settings.SetFlag(c.marquee ? Setting::rb_cutimg_auswahl : Setting::rb_cutimg_direkt, true);
    const std::vector<std::string> warnings = WindowlessRunWarnings(settings);
    ASSERT_EQ(warnings.size(), c.warned ? 1u : 0u);
    if (c.warned) EXPECT_NE(warnings[0].find("rb_cutimg_auswahl"), std::string::npos);
  }
}

}  // namespace
}  // namespace tallowin
