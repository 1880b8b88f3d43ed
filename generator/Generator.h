#pragma once

// The site generator: turns the open project into static HTML files. Every page goes
// through project.Output; the writers read the generation context (project.PageName,
// project.OutputFolder, project.CurrentItem, CurrentColumn and its CurrentPage).

#include "model/CColumn.h"
#include "model/CProject.h"
#include "model/Values.h"

#include <cstdint>
#include <string>

// ---- Build driver and file naming (Build.cpp), shared operations (Operations.cpp)
struct TBuildStats;
// Builds into the project's folder of that name, which must be a real folder (never a link);
// stats, when given, is told what the build wrote and which copies failed.
void Build(TDProject& project, const std::string& folderName, TBuildStats* stats = nullptr);
void BuildPreview(TDProject& project);
void WriteEmptyHomepage(TDProject& project);
std::string ReplaceAll(std::string s, const std::string& oldText, const std::string& newText);
// The first folder + "File" + n + extension that does not exist (folder ends with "/").
std::string UniqueFileName(const std::string& folder, const std::string& extension);
std::string Translate(const TDProject& project, const std::string& key);
std::int32_t FitWidth(std::int32_t maxWidth, int pageIndex);
std::int32_t FitHeight(std::int32_t maxWidth, int pageIndex);
// Copies folder + the file-name part of name beside the pages; failures pass in silence.
void CopyIntoOutput(TDProject& project, const std::string& folder, const std::string& name);
// True while the homepage is being written.
inline bool IsHomepage(const TDProject& project) {
    return project.PageName == project.FRAME.HOMEPAGE;
}

// ---- Page skeleton and frame layouts (PageWriter.cpp)
void WritePage(TDProject& project);

// ---- Style sheet, colour and charset formatting (StyleSheet.cpp)
void WriteStyleSheet(TDProject& project);
std::string HtmlColor(TColor color, bool transparent);
// The charset of the pages' Content-Type tag for TDFont.ENCODING's display name, and the
// encoding (iconv's name) their bytes are written in: empty for UTF-8, the texts' own.
std::string CharsetName(const std::string& displayName);
// The stored font family (a name or a comma-separated list) as the value of a CSS
// font-family property; empty when it names no font.
std::string CssFontList(const std::string& family);
std::string CharsetEncoding(const std::string& displayName);

// ---- Welcome bar (WelcomeBar.cpp)
void WriteWelcomeBar(TDProject& project);
void WriteDateScript(TDProject& project);
void WriteWelcomeLinks(TDProject& project);

// ---- Topic and menu bars (TopicMenu.cpp)
void WriteTopic(TDProject& project);
void WriteMenuBar(TDProject& project);

// ---- Text area and column listings (TextArea.cpp)
void WriteTextArea(TDProject& project);
void WriteColumnListing(TDProject& project);

// ---- Single page view, hotspot column and foot (SinglePage.cpp)
void WriteSinglePage(TDProject& project);
void WriteHotspot(TDProject& project);
void WriteFoot(TDProject& project);
