#pragma once

#include "model/CProject.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

// The project document's file name.
inline constexpr const char* ProjectDocument = "Default.Pro";

// The documents of a project folder by their bare file names ("Default.Pro",
// "Column1.Clm"), each with its bytes. A name that is not there stands for a document that
// does not exist.
using TDocumentBytes = std::map<std::string, std::string>;

// The same with each document's bytes held once and shared: a copy of a reading copies no
// bytes, and a document that two readings share is the same in both without a comparison.
using TSharedBytes = std::shared_ptr<const std::string>;
using TSharedDocuments = std::map<std::string, TSharedBytes>;

// The bytes of shared documents, copied.
TDocumentBytes BytesOf(const TSharedDocuments& documents);
// Documents to share, copied.
TSharedDocuments Shared(const TDocumentBytes& documents);

// Reads the project's documents as they are on disk: Default.Pro, every column document that
// the menu list names and every other "*.Clm" file directly in the folder (a removed column's
// document stays on disk and comes back with its menu item). Only regular files are read;
// throws TError naming the file that cannot be read.
TDocumentBytes ReadProjectDocuments(const TDProject& project);

// The names of the documents that ReadProjectDocuments reads, in that order and each once,
// whether there is a regular file of that name or not.
std::vector<std::string> ProjectDocumentNames(const TDProject& project);

// Writes one document back into the project folder, atomically (a new Default.Pro gets the
// owner-only mode that the project gives it). Throws TError naming the file.
void WriteProjectDocument(const std::string& folder, const std::string& name,
                          const std::string& bytes);

// True for the name of a column document: ending in ".Clm" in any case, not hidden.
bool IsColumnDocumentName(const std::string& name);

// True for a name that can be a document of the folder: a bare file name, not hidden.
bool IsDocumentName(const std::string& name);
