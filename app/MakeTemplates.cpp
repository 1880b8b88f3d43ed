// Writes the templates that come with the program, through the program's own Save As
// Template: corvane-make-templates SAMPLE_FOLDER PICTURES_FOLDER TEMPLATES_FOLDER.
//   Hiking Club     the sample project's green look (SAMPLE_FOLDER, examples/Sample)
//   Night           a dark look with amber titles
//   Small Business  a plain, light look with navy headings
// Each look is set on a scratch project whose Images folder holds the template's pictures
// (PICTURES_FOLDER, drawn by examples/make-template-pictures.sh), then saved as a template
// into TEMPLATES_FOLDER with copies of its background and button pictures. Each template
// then gets starter texts of its own for the topic, the hotspot and the foot, in English as
// its fixed words are, so that a project made from it shows what goes where; a new project
// adds the welcome column itself.

#include "model/CFoot.h"
#include "model/CHotspot.h"
#include "model/CProject.h"
#include "model/CTemplate.h"
#include "model/CTopic.h"
#include "model/Values.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/XmlDocument.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <system_error>

namespace {

// A scratch folder for the projects the templates are saved from, removed at the end.
class TScratch {
  public:
    TScratch() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "corvane-templates-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("cannot make a scratch folder in " + pattern);
        Path = pattern;
    }
    ~TScratch() {
        std::error_code ignored;
        std::filesystem::remove_all(Path, ignored);
    }
    TScratch(const TScratch&) = delete;
    TScratch& operator=(const TScratch&) = delete;
    std::string Path;
};

void SetNight(TDProject& p) {
    p.FRAME.FRAME = "Topic on top menu on top";
    p.FRAME.HOMEPAGE = "Index";
    p.FRAME.NO_MARGIN = true;
    p.FRAME.HAS_WELCOME = true;
    p.FRAME.HAS_HOTSPOT = true;
    p.FRAME.BACKGROUND = "Background.gif";

    p.SIZE.SCREEN = "780";
    p.SIZE.WELCOME_HEIGHT = 20;
    p.SIZE.TOPIC_HEIGHT = 96;
    p.SIZE.MENU_HEIGHT = 30;
    p.SIZE.TEXT_HEIGHT = 420;
    p.SIZE.FOOT_HEIGHT = 56;
    p.SIZE.HOTSPOT_WIDTH = 170;

    const TColor night = RGBColor(0x14, 0x19, 0x23), slate = RGBColor(0x1b, 0x21, 0x30),
                 panel = RGBColor(0x22, 0x29, 0x3a), amber = RGBColor(0xf0, 0xb8, 0x5a),
                 mist = RGBColor(0xd5, 0xdb, 0xe6), steel = RGBColor(0x8d, 0x9a, 0xb3);
    p.COLOR.BASE = slate;
    p.COLOR.BG = night;
    p.COLOR.TEXT_BG = panel;
    p.COLOR.TITLE = amber;
    p.COLOR.TEXT = mist;
    p.COLOR.WELCOME_BG = night;
    p.COLOR.WELCOME_TEXT = steel;
    p.COLOR.TOPIC_BG = slate;
    p.COLOR.TOPIC_TEXT = amber;
    p.COLOR.MENU_BG = slate;
    p.COLOR.MENU_TEXT = mist;
    p.COLOR.HOTSPOT_BG = slate;
    p.COLOR.HOTSPOT_TEXT = mist;
    p.COLOR.FOOT_BG = night;
    p.COLOR.FOOT_TEXT = steel;

    p.FONT.FAMILY = "Georgia, Times New Roman, Times, serif";
    p.FONT.TOPIC = 26;
    p.FONT.MENU = 10;
    p.FONT.TITLE = 15;
    p.FONT.TEXT = 10;
    p.FONT.BOLD_LINK = true;
    p.FONT.UNDERLINE_LINK = false;

    p.WELCOME.HAS_HOMEPAGE = true;
    p.WELCOME.HAS_FAVORITE = false;
    p.WELCOME.HAS_CONTACT = true;
    p.WELCOME.POSITION = "Date On Right";
    p.TOPIC.POSITION = "Center (Horizontal)";
    p.MENU.HAS_SEPARATOR = false;
    p.MENU.BUTTON = "Button.gif";
    p.MENU.BUTTON_WIDTH = 130;
    p.MENU.BUTTON_HEIGHT = 26;
    p.MENU.POSITION = "Center";
    p.MENU.SPACE = 4;
    p.HOTSPOT.POSITION = "Title On Top";
    p.FOOT.POSITION = "Center";
}

void SetSmallBusiness(TDProject& p) {
    p.FRAME.FRAME = "Topic and menu on top";
    p.FRAME.HOMEPAGE = "Index";
    p.FRAME.NO_MARGIN = true;
    p.FRAME.HAS_WELCOME = false;
    p.FRAME.HAS_HOTSPOT = true;
    p.FRAME.BACKGROUND = "Background.gif";

    p.SIZE.SCREEN = "800";
    p.SIZE.TOPIC_HEIGHT = 72;
    p.SIZE.MENU_HEIGHT = 28;
    p.SIZE.TEXT_HEIGHT = 400;
    p.SIZE.FOOT_HEIGHT = 64;
    p.SIZE.MENU_WIDTH = 150;
    p.SIZE.HOTSPOT_WIDTH = 180;

    const TColor navy = RGBColor(0x1f, 0x4e, 0x79), paper = RGBColor(0xf5, 0xf5, 0xf2),
                 ink = RGBColor(0x33, 0x33, 0x33), haze = RGBColor(0xee, 0xf3, 0xf8);
    p.COLOR.BASE = navy;
    p.COLOR.BG = paper;
    p.COLOR.TEXT_BG = clWhite;
    p.COLOR.TITLE = navy;
    p.COLOR.TEXT = ink;
    p.COLOR.WELCOME_BG = paper;
    p.COLOR.WELCOME_TEXT = ink;
    p.COLOR.TOPIC_BG = clWhite;
    p.COLOR.TOPIC_TEXT = navy;
    p.COLOR.MENU_BG = clWhite;
    p.COLOR.MENU_TEXT = navy;
    p.COLOR.HOTSPOT_BG = haze;
    p.COLOR.HOTSPOT_TEXT = navy;
    p.COLOR.FOOT_BG = navy;
    p.COLOR.FOOT_TEXT = clWhite;

    p.FONT.FAMILY = "Arial, Helvetica, sans-serif";
    p.FONT.TOPIC = 20;
    p.FONT.MENU = 9;
    p.FONT.TITLE = 14;
    p.FONT.TEXT = 9;
    p.FONT.BOLD_TOPIC = true;
    p.FONT.BOLD_LINK = false;
    p.FONT.UNDERLINE_LINK = true;

    p.TOPIC.POSITION = "Left (Horizontal)";
    p.MENU.HAS_SEPARATOR = false;
    p.MENU.BUTTON = "Button.gif";
    p.MENU.BUTTON_WIDTH = 100;
    p.MENU.BUTTON_HEIGHT = 24;
    p.MENU.POSITION = "Left";
    p.MENU.SPACE = 2;
    p.HOTSPOT.POSITION = "Picture On Top";
    p.FOOT.POSITION = "Center";
}

// The texts a project made from a template starts with, one line each in the hotspot.
struct TStarter {
    const char* Caption;
    const char* HotspotTitle;
    const char* HotspotText;
    const char* Copyright;
    const char* Address;
    const char* Email;
};

const TStarter HikingClubStarter{
    "Our Hiking Club",
    "Walk with us",
    "New walkers are always welcome.#$D#$ACome along to a tour as our guest.",
    "Copyright Our Hiking Club",
    "Club room, Main Street 1, Our Town",
    "info@hiking-club.example"};
const TStarter NightStarter{"Evening Studio",
                            "What is new",
                            "Tell your visitors what is new here.#$D#$AA line or two is enough.",
                            "Copyright Evening Studio",
                            "",
                            "studio@evening-studio.example"};
const TStarter SmallBusinessStarter{"Your Business",
                                    "Opening hours",
                                    "Monday to Friday, 9 am to 5 pm.#$D#$ACall us or drop in.",
                                    "Copyright Your Business",
                                    "Main Street 1, Your Town",
                                    "info@your-business.example"};

// Writes the starter texts into the template file, in the elements a project reads them
// from; a template saved by the user carries none (SaveTemplate keeps the positions only).
void AddStarter(const std::string& templateFile, const TDProject& project,
                const TStarter& starter) {
    TXmlDocument document;
    document.Load(templateFile);
    const TXmlElement root = document.Root();
    TDTopic topic;
    topic.POSITION = project.TOPIC.POSITION;
    topic.CAPTION = topic.TITLE = starter.Caption;
    topic.Save(ChildByName(root, "TOPIC"));
    TDHotspot hotspot;
    hotspot.POSITION = project.HOTSPOT.POSITION;
    hotspot.TITLE = starter.HotspotTitle;
    hotspot.TEXT = starter.HotspotText;
    // As a new Modern project's own hotspot text is.
    if (project.OPTIONS.IsModern())
        hotspot.FORMAT = "Markdown";
    hotspot.Save(ChildByName(root, "HOTSPOT"));
    TDFoot foot;
    foot.POSITION = project.FOOT.POSITION;
    foot.COPYRIGHT = starter.Copyright;
    foot.ADDRESS = starter.Address;
    foot.EMAIL = starter.Email;
    foot.Save(ChildByName(root, "FOOT"));
    document.SaveToFile(templateFile);
}

// A new scratch project named name, with the pictures of picturesFolder in its Images
// folder and the look that set gives it, saved as the template name.Tmp.
void SaveLook(const std::string& scratch, const std::string& name,
              const std::string& picturesFolder, const std::function<void(TDProject&)>& set,
              const TStarter& starter, const std::string& templatesFolder) {
    const std::string folder = scratch + "/" + name;
    MakeFolder(folder);
    TXmlDocument document;
    TDProject project(folder, document);
    for (const char* picture : {"Background.gif", "Button.gif"})
        if (!CopyFileReplacing(picturesFolder + "/" + picture, project.ImagesPath() + picture))
            throw TError("cannot copy the picture " + picturesFolder + "/" + picture);
    // What a new project gets without a template, in English as the template's words are.
    project.OPTIONS = TDOptions::ForNewProject("en");
    set(project);
    project.FitLanguageToDesign();
    project.Save();
    AddStarter(SaveAsTemplate(project, templatesFolder + "/" + name + ".Tmp"), project, starter);
}

// The sample project's look: the template that Save As Template makes of a copy of it.
void SaveSampleLook(const std::string& scratch, const std::string& sampleFolder,
                    const std::string& name, const std::string& templatesFolder) {
    const std::string folder = scratch + "/" + name;
    std::filesystem::copy(sampleFolder, folder, std::filesystem::copy_options::recursive);
    TXmlDocument document;
    TDProject project(folder, document);
    project.OPTIONS = TDOptions::ForNewProject(
        project.OPTIONS.SITE_LANGUAGE.empty() ? "en" : project.OPTIONS.SITE_LANGUAGE);
    project.FitLanguageToDesign();
    AddStarter(SaveAsTemplate(project, templatesFolder + "/" + name + ".Tmp"), project,
               HikingClubStarter);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fputs("Usage: corvane-make-templates SAMPLE_FOLDER PICTURES_FOLDER TEMPLATES_FOLDER\n",
                   stderr);
        return 2;
    }
    const std::string sample = argv[1], pictures = argv[2], templates = argv[3];
    try {
        MakeFolder(templates);
        if (!FolderExists(templates))
            throw TError("cannot make the folder " + templates);
        TScratch scratch;
        SaveSampleLook(scratch.Path, sample, "Hiking Club", templates);
        SaveLook(scratch.Path, "Night", pictures + "/Night", SetNight, NightStarter, templates);
        SaveLook(scratch.Path, "Small Business", pictures + "/Business", SetSmallBusiness,
                 SmallBusinessStarter, templates);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "corvane-make-templates: %s\n", e.what());
        return 1;
    }
    return 0;
}
