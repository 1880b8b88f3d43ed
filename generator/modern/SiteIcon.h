#pragma once

// The modern site's icon: the first letter of the site's caption on the scheme's main
// colour, as SVG.

#include "model/CProject.h"

#include <string>

inline constexpr const char* SiteIconName = "icon.svg";

// The SVG document of the icon.
std::string SiteIconSvg(const TDProject& project);

// With a logo in the topic, the icons are made from it instead: a 32-pixel icon and a
// 180-pixel touch icon, each the logo scaled to fit a transparent square, as PNG.
inline constexpr const char* LogoIconName = "icon-32.png";
inline constexpr const char* LogoTouchIconName = "icon-180.png";
inline constexpr int LogoIconSide = 32;
inline constexpr int LogoTouchIconSide = 180;

// Whether the topic's logo is a picture of the Images folder whose size can be read (its
// header only), so that the pages link the PNG icons.
bool HasLogoIcons(const TDProject& project);

// The logo as a square PNG of side pixels. Throws TError naming the logo when it cannot be
// read, decoded or written.
std::string LogoIconPng(const TDProject& project, int side);
