#include "RecordXml.h"
#include "TestSupport.h"
#include "model/CProject.h"
#include "model/CTemplate.h"
#include "platform/Error.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

TEST(Template, FileNames) {
    struct Case {
        const char* chosen;
        const char* written;
    } cases[] = {
        {"/t/Shop", "/t/Shop.Tmp"},           {"/t/Shop.tmp", "/t/Shop.Tmp"},
        {"/t/Shop.old", "/t/Shop.Tmp"},       {"/t/Shop.Tmp", "/t/Shop.Tmp"},
        {"/t/My.Shop.TMP", "/t/My.Shop.Tmp"}, {"/t.d/Shop", "/t.d/Shop.Tmp"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TemplateFileName(c.chosen), c.written) << c.chosen;
}

class TemplateTest : public ::testing::Test {
  protected:
    TemplateTest() {
        for (const char* folder : {"Templates", "Shop", "New"})
            ::mkdir((Dir / folder).c_str(), 0755);
        Project = std::make_unique<TDProject>(Dir / "Shop", Document);
        WriteFileBytes(Project->ImagesPath() + "Background.gif", "GIF89a-background");
        WriteFileBytes(Project->ImagesPath() + "Button.jpg", "JPEG-button");
        Project->FRAME.BACKGROUND = "Background.gif";
        Project->MENU.BUTTON = "Button.jpg";
        Project->FRAME.FRAME = "Topic on left foot on right";
        Project->COLOR.BG = RGBColor(1, 2, 3);
        Project->TOPIC.POSITION = "Center (Vertical)";
        Project->TOPIC.TITLE = "Our Shop";
        Project->HOTSPOT.TITLE = "Offers";
        Project->FOOT.EMAIL = "shop@example.org";
        Project->PUBLISH.FTP_SERVER = "ftp.example.org";
        Project->OPTIONS.MOBILE = Project->OPTIONS.SITEMAP = true;
        Project->OPTIONS.PICTURE_SIZE = 1024;
        Project->AddMenuItem(false);
        Project->Save();
    }
    TTempFolder Dir;
    TXmlDocument Document;
    std::unique_ptr<TDProject> Project;
};

TEST_F(TemplateTest, SavingWritesTheTemplateAndPictureCopiesAndKeepsTheProject) {
    const std::string projectBefore = ReadFileBytes(Project->ProjectFile());
    EXPECT_EQ(SaveAsTemplate(*Project, Dir / "Templates/Shop.old"), Dir / "Templates/Shop.Tmp");
    EXPECT_EQ(ReadFileBytes(Dir / "Templates/Shop_Background.gif"), "GIF89a-background");
    EXPECT_EQ(ReadFileBytes(Dir / "Templates/Shop_Button.jpg"), "JPEG-button");
    EXPECT_EQ(Project->FRAME.BACKGROUND, "Background.gif");
    EXPECT_EQ(Project->MENU.BUTTON, "Button.jpg");
    EXPECT_EQ(ReadFileBytes(Project->ProjectFile()), projectBefore);
    EXPECT_FALSE(Document.Active());

    const std::string t = ReadFileBytes(Dir / "Templates/Shop.Tmp");
    EXPECT_EQ(t.rfind(std::string(XmlDeclaration) +
                          "<TEMPLATE><FRAME><FRAME>Topic on left foot on right</FRAME>",
                      0),
              0u);
    EXPECT_NE(t.find("<BACKGROUND>Shop_Background.gif</BACKGROUND></FRAME><SIZE>"),
              std::string::npos);
    EXPECT_NE(t.find("</WELCOME><TOPIC><POSITION>Center (Vertical)</POSITION></TOPIC><MENU>"),
              std::string::npos);
    EXPECT_NE(t.find("<BUTTON>Shop_Button.jpg</BUTTON>"), std::string::npos);
    EXPECT_NE(t.find("</MENU><HOTSPOT><POSITION>Title On Top</POSITION></HOTSPOT>"
                     "<FOOT><POSITION>Center</POSITION></FOOT>"
                     "<OPTIONS><MOBILE/><SITEMAP/><PICTURE_SIZE>1024</PICTURE_SIZE></OPTIONS>"
                     "</TEMPLATE>"),
              std::string::npos);
    for (const char* absent : {"MENULIST", "PUBLISH", "Our Shop", "Offers", "shop@example.org"})
        EXPECT_EQ(t.find(absent), std::string::npos) << absent;

    // A new project from the template.
    auto made = std::make_unique<TDProject>(Dir / "New", Document, Dir / "Templates/Shop.Tmp");
    EXPECT_EQ(made->FRAME.BACKGROUND, "Background.gif");
    EXPECT_EQ(made->MENU.BUTTON, "Button.jpg");
    EXPECT_EQ(ReadFileBytes(made->ImagesPath() + "Background.gif"), "GIF89a-background");
    EXPECT_EQ(ReadFileBytes(made->ImagesPath() + "Button.jpg"), "JPEG-button");
    EXPECT_EQ(made->MenuCount, 0);
    // The style records come over whole; topic, hotspot and foot keep only their position,
    // and the publishing settings are not part of a template.
    EXPECT_EQ(made->FRAME, Project->FRAME);
    EXPECT_EQ(made->SIZE, Project->SIZE);
    EXPECT_EQ(made->COLOR, Project->COLOR);
    EXPECT_EQ(made->FONT, Project->FONT);
    EXPECT_EQ(made->LANGUAGE, Project->LANGUAGE);
    EXPECT_EQ(made->WELCOME, Project->WELCOME);
    EXPECT_EQ(made->MENU, Project->MENU);
    TDTopic topic;
    topic.POSITION = "Center (Vertical)";
    EXPECT_EQ(made->TOPIC, topic);
    TDHotspot hotspot;
    hotspot.POSITION = Project->HOTSPOT.POSITION;
    EXPECT_EQ(made->HOTSPOT, hotspot);
    TDFoot foot;
    foot.POSITION = Project->FOOT.POSITION;
    EXPECT_EQ(made->FOOT, foot);
    EXPECT_EQ(made->PUBLISH, TDPublish());
    EXPECT_EQ(made->OPTIONS, Project->OPTIONS);
    EXPECT_EQ(ReadFileBytes(made->ProjectFile())
                  .rfind(std::string(XmlDeclaration) + "<TEMPLATE><FRAME>", 0),
              0u);
}

TEST_F(TemplateTest, NoPicturesGiveEmptyReferencesAndNoCopies) {
    Project->FRAME.BACKGROUND.clear();
    Project->MENU.BUTTON.clear();
    SaveAsTemplate(*Project, Dir / "Templates/Plain");
    EXPECT_FALSE(PathExists(Dir / "Templates/Plain_Background"));
    auto made = std::make_unique<TDProject>(Dir / "New", Document, Dir / "Templates/Plain.Tmp");
    EXPECT_EQ(made->FRAME.BACKGROUND, "");
    EXPECT_EQ(made->MENU.BUTTON, "");
    EXPECT_TRUE(std::filesystem::is_empty(made->ImagesPath()));
}

TEST_F(TemplateTest, AMissingPictureIsPassedOverButReferenced) {
    std::filesystem::remove(Project->ImagesPath() + "Button.jpg");
    SaveAsTemplate(*Project, Dir / "Templates/Shop");
    EXPECT_FALSE(PathExists(Dir / "Templates/Shop_Button.jpg"));
    EXPECT_NE(ReadFileBytes(Dir / "Templates/Shop.Tmp").find("<BUTTON>Shop_Button.jpg</BUTTON>"),
              std::string::npos);
}

TEST_F(TemplateTest, AFailedWritePutsTheReferencesBack) {
    EXPECT_THROW(SaveAsTemplate(*Project, Dir / "NoSuchFolder/Shop"), TError);
    EXPECT_EQ(Project->FRAME.BACKGROUND, "Background.gif");
    EXPECT_EQ(Project->MENU.BUTTON, "Button.jpg");
    EXPECT_FALSE(Document.Active());
}

TEST_F(TemplateTest, TemplatePicturesNeverComeFromOutsideItsFolder) {
    WriteFileBytes(Dir / "secret", "do not copy");
    ::mkdir((Dir / "Templates/sub").c_str(), 0755);
    WriteFileBytes(Dir / "Templates/sub/Evil.Tmp",
                   "<TEMPLATE><FRAME><BACKGROUND>../../secret</BACKGROUND></FRAME>"
                   "<MENU><BUTTON>..\\..\\secret</BUTTON></MENU></TEMPLATE>");
    auto made = std::make_unique<TDProject>(Dir / "New", Document, Dir / "Templates/sub/Evil.Tmp");
    EXPECT_TRUE(std::filesystem::is_empty(made->ImagesPath()));
    EXPECT_EQ(made->FRAME.BACKGROUND, "Background");
    EXPECT_EQ(made->MENU.BUTTON, "Button");
}

TEST_F(TemplateTest, ABrokenTemplateGivesNoProject) {
    WriteFileBytes(Dir / "Templates/Bad.Tmp", "<TEMPLATE><FRAME>");
    EXPECT_THROW(TDProject(Dir / "New", Document, Dir / "Templates/Bad.Tmp"), TError);
    EXPECT_FALSE(PathExists(Dir / "New/Default.Pro"));
    EXPECT_FALSE(Document.Active());
}

TEST(Template, FindTemplatesTakesTheEarlierFolderOnAClash) {
    TTempFolder dir;
    const std::string user = dir / "User/", bundled = dir / "Bundled/";
    ::mkdir(user.c_str(), 0755);
    ::mkdir(bundled.c_str(), 0755);
    for (const char* name : {"Shop.Tmp", "Club.Tmp"})
        WriteFileBytes(user + name, "user");
    for (const char* name : {"Shop.Tmp", "Night.Tmp", "Business.Tmp"})
        WriteFileBytes(bundled + name, "bundled");
    // None of these is a template: hidden, lower-case extension, a picture copy, a folder.
    WriteFileBytes(bundled + ".Hidden.Tmp", "x");
    WriteFileBytes(bundled + "Lower.tmp", "x");
    WriteFileBytes(bundled + "Night_Background.gif", "x");
    ::mkdir((bundled + "Folder.Tmp").c_str(), 0755);

    const std::vector<TTemplateChoice> expected = {
        {"Business", bundled + "Business.Tmp"},
        {"Club", user + "Club.Tmp"},
        {"Night", bundled + "Night.Tmp"},
        {"Shop", user + "Shop.Tmp"},
    };
    EXPECT_EQ(FindTemplates({user, bundled}), expected);
    // The same folder twice, or one that does not exist, adds nothing.
    EXPECT_EQ(FindTemplates({user, bundled, user, dir / "Missing/"}), expected);
    EXPECT_EQ(FindTemplates({bundled}).size(), 3U);
    EXPECT_EQ(FindTemplates({bundled})[2], (TTemplateChoice{"Shop", bundled + "Shop.Tmp"}));
    EXPECT_TRUE(FindTemplates({}).empty());
}

} // namespace
