#pragma once

// The modern site's icon: the first letter of the site's caption on the scheme's main
// colour, as SVG.

#include "model/CProject.h"

#include <string>

inline constexpr const char* SiteIconName = "icon.svg";

// The SVG document of the icon.
std::string SiteIconSvg(const TDProject& project);
