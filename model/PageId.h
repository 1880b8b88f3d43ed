#pragma once

#include "model/CPage.h"

#include <string>

// A page's stable id, which links from other texts name ("page:ID"): eight characters of
// lower-case letters and digits from the system's random source. Throws TError when the
// system gives no random numbers.
std::string NewPageId();

// True for an id NewPageId could have made (what a link may name).
bool IsPageId(const std::string& id);

// The page's id, made first when the page has none yet (a page made before ids existed gets
// its id when it is first linked to).
const std::string& EnsurePageId(TDPage& page);
