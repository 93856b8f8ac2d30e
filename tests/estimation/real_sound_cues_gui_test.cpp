// The click of every accepted key and the signal at every trial that reaches
// the estimate, heard through a recorded sound server with the voice at 0
// (see real_sound_run.h). The two start together at the estimate: at these
// volumes they never sum past full scale, where the output's limiter would
// bend them.
#include "tests/support/real_sound_run.h"

namespace quorvel::test {

const Volumes kCuesAlone[] = {{"ClickAndSignal", 0, 60, 60}};
INSTANTIATE_TEST_SUITE_P(, RealSound, ::testing::ValuesIn(kCuesAlone),
                         [](const ::testing::TestParamInfo<Volumes>& info) { return std::string(info.param.name); });

} // namespace quorvel::test
