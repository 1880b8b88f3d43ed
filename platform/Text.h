#pragma once

#include <string>

// The text without blanks and control characters (everything up to the space) at either end.
std::string TrimBlanks(const std::string& text);
