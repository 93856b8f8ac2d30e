// The digits of every announcement, heard through a recorded sound server
// with the click and the signal at volume 0 (see real_sound_run.h).
#include "tests/support/real_sound_run.h"

namespace quorvel::test {

const Volumes kDigitsAlone[] = {{"Digits", 100, 0, 0}};
INSTANTIATE_TEST_SUITE_P(, RealSound, ::testing::ValuesIn(kDigitsAlone),
                         [](const ::testing::TestParamInfo<Volumes>& info) { return std::string(info.param.name); });

} // namespace quorvel::test
