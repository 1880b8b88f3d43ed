#pragma once

#include "platform/XmlDocument.h"

#include <string>
#include <vector>

class TDProject;

// A template that a new project can start from: its name (the file name without ".Tmp")
// and its file.
struct TTemplateChoice {
    std::string Name;
    std::string File;
    bool operator==(const TTemplateChoice&) const = default;
};

// The templates in the folders (each name ending with "/"): the ordinary, visible files
// whose names end in ".Tmp" exactly, ordered by name. When two folders hold a template of
// the same name, the one in the earlier folder is taken, so the user's own folder comes
// first and wins over the program's bundled one. A folder named twice or missing adds
// nothing.
std::vector<TTemplateChoice> FindTemplates(const std::vector<std::string>& folders);

// The file a template chosen under path is written to: the extension becomes ".Tmp"
// (exactly; ".tmp" does not count), a name without one gets ".Tmp".
std::string TemplateFileName(const std::string& chosenPath);

// Writes the project's look as a template to TemplateFileName(chosenPath), with copies of
// the background and button pictures beside it. The project's own picture references are
// as before afterwards, also when writing fails. Returns the template file written.
std::string SaveAsTemplate(TDProject& project, const std::string& chosenPath);

// Loads the template into the document and rewrites its picture references, copying the
// pictures into projectFolder/Images as Background.ext and Button.ext. Pictures are read
// only from the template's own folder.
void ApplyTemplate(TXmlDocument& document, const std::string& templateFile,
                   const std::string& projectFolder);
