// The files in settings/data, built into the library: `cmake --install` puts the
// same files in place system-wide, associating writes them for the user.
#pragma once

#include <string_view>

namespace sorrel::settings {

extern const std::string_view kDesktopEntryTemplate;  // data/sorrel.desktop
extern const std::string_view kMimePackage;           // data/sorrel.xml
extern const std::string_view kIconSvg;               // data/sorrel.svg

}  // namespace sorrel::settings
