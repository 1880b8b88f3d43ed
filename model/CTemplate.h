#pragma once

#include "platform/XmlDocument.h"

#include <string>

class TDProject;

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
