#pragma once

#include <string>

// The text without blanks and control characters (everything up to the space) at either end.
std::string TrimBlanks(const std::string& text);

// A text as it is shown in a message or on a terminal: each control character (below the
// space, and DEL) replaced by "?".
std::string ControlCharactersShown(const std::string& text);
