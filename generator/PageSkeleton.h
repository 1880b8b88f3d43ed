#pragma once

// Inside the generator: everything of a page that does not depend on which page is being
// written (the head with its style sheet, the body, the outer table and the rows of the
// frame layout) is worked out once per build as a list of fixed texts and the region writers
// to call between them.

#include "model/CProject.h"

#include <string>
#include <vector>

struct TPageStep {
    std::string Text;                             // written first, may be empty
    void (*Writer)(TDProject& project) = nullptr; // then called, when set
};

struct TPageSkeleton {
    std::vector<TPageStep> Steps;
};

// The 37 lines of the style sheet, CR LF after each (and the rules for narrow screens when
// the site wants them).
std::string StyleSheetText(const TDProject& project);

// The skeleton of every page of the project as its records now stand.
TPageSkeleton MakePageSkeleton(const TDProject& project);

// Writes one page to project.Output by following a skeleton.
void WriteSkeleton(TDProject& project, const TPageSkeleton& skeleton);
