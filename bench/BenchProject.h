#pragma once

#include <string>

// Writes a project of the given size into folder (made if missing): columns columns of pages
// pages each, in a mix of listing styles, with realistic texts of a few hundred to a few
// thousand characters, some pictures and downloads, a link every tenth menu item, and a
// hotspot column; encoding is TDFont.ENCODING, the font dialog's name of the character set;
// with markdown the same texts are the pages' and the hotspot's Markdown (FORMAT). The same
// arguments always give the same bytes.
void MakeBenchProject(const std::string& folder, int columns, int pages,
                      const std::string& encoding = "UTF-8", bool markdown = false);
