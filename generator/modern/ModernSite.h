#pragma once

// The modern design as the build driver sees it: the writer of one page, and the files a
// modern site has once beside its pages.

#include "model/CProject.h"

// Writes the page of the generation context to project.Output (the homepage of a site
// without columns when no column is in use).
void WriteModernPage(TDProject& project);

// corvane.css and the icon in the output folder; with notFoundPage 404.html too.
void WriteModernSiteFiles(TDProject& project, bool notFoundPage);
