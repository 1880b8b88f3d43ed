#pragma once

// The one style sheet of a modern site, corvane.css, written from the records: colours as
// custom properties (light and dark), the frame layout as a grid on wide screens, sizes,
// fonts, and the rules for narrow screens and for print.

#include "model/CProject.h"

#include <cstdint>
#include <string>

// The style sheet's file name beside the pages.
inline constexpr const char* ModernStyleSheetName = "corvane.css";

class TModernStyleSheet {
  public:
    explicit TModernStyleSheet(const TDProject& project) : FProject(project) {}
    // The whole style sheet, CR LF after each line.
    std::string Text() const;
    // The rules that place the regions on wide screens for the frame layout.
    std::string LayoutRules() const;

  private:
    const TDProject& FProject;
};

// The stored font family as the pages' font list: the user's fonts, then (for a sans-serif
// family or none) the visitors' system fonts, each once, and one generic family last.
std::string ModernFontList(const std::string& family);

// Points as rem of a 16-pixel root, never below minimum and never above 1000 points (a
// hand-edited size): "1.125rem".
std::string PointsAsRem(std::int64_t points, double minimum);
