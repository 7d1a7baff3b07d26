// The programs of this build that the end-to-end tests start, and the demo folder whose
// songs, points and voices they use.
#pragma once

#include <string>

namespace testing_sorrel {

inline const std::string kBuild = SORREL_BUILD_DIR;
inline const std::string kSorrel = kBuild + "/app/sorrel";
inline const std::string kSend = kBuild + "/tools/send/sorrel-send";
inline const std::string kDemo = std::string(SORREL_TEST_DATA) + "/../../demo";

}  // namespace testing_sorrel
