#pragma once

#include <string_view>

// The characters (UTF-8) a named character reference of HTML stands for, by its name without
// "&" and ";" ("amp", "eacute"); empty for a name HTML does not know.
std::string_view HtmlEntityText(std::string_view name);
