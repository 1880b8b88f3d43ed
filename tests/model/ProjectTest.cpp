#include "RecordXml.h"
#include "TestSupport.h"
#include "model/CColumn.h"
#include "model/CProject.h"
#include "platform/Error.h"

#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>

namespace {

class ProjectTest : public ::testing::Test {
  protected:
    std::string Folder() const { return Dir / "Shop"; }
    std::string ProjectFile() const { return Dir / "Shop/Default.Pro"; }
    std::unique_ptr<TDProject> Open() { return std::make_unique<TDProject>(Folder(), Document); }
    void WriteProject(const std::string& body) {
        ::mkdir(Folder().c_str(), 0755);
        WriteFileBytes(ProjectFile(), body);
    }
    TTempFolder Dir;
    TXmlDocument Document;
};

TEST_F(ProjectTest, AnEmptyFolderBecomesABlankProject) {
    ::mkdir(Folder().c_str(), 0755);
    auto project = Open();
    for (const char* sub : {"HTML", "Temp", "Images", "Downloads"})
        EXPECT_TRUE(std::filesystem::is_directory(Folder() + "/" + sub)) << sub;
    EXPECT_EQ(ReadFileBytes(ProjectFile()), std::string(XmlDeclaration) + "<PROJECT/>");
    EXPECT_EQ(project->MenuCount, 0);
    EXPECT_EQ(project->CurrentItem, -1);
    EXPECT_TRUE(project->FRAME.HAS_WELCOME);
    // A new project publishes by passive plain FTP.
    EXPECT_TRUE(project->PUBLISH.PASSIVE);
    EXPECT_EQ(project->PUBLISH.PROTOCOL, "FTP");
    EXPECT_FALSE(Document.Active());
    EXPECT_EQ(project->PreviewFile(), Folder() + "/Temp/Default.htm");
    EXPECT_EQ(project->ImagesPath(), Folder() + "/Images/");
    EXPECT_EQ(project->DownloadsPath(), Folder() + "/Downloads/");
    EXPECT_EQ(project->HTMLPath(), Folder() + "/HTML/");
    project->FRAME.HOMEPAGE = "Index";
    EXPECT_EQ(project->PreviewFile(), Folder() + "/Temp/Index.htm");

    project->Save();
    const std::string saved = ReadFileBytes(ProjectFile());
    Document.Load(ProjectFile());
    std::string names;
    for (TXmlElement child : ChildNodes(Document.Root()))
        names += std::string(child.name()) + " ";
    Document.Clear();
    EXPECT_EQ(
        names,
        "FRAME SIZE COLOR FONT LANGUAGE WELCOME TOPIC MENULIST MENU HOTSPOT FOOT PUBLISH OPTIONS ");
    EXPECT_EQ(saved.rfind(std::string(XmlDeclaration) + "<PROJECT><FRAME>", 0), 0u);
}

TEST_F(ProjectTest, RootNameOrderAndUnknownChildren) {
    WriteProject(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<TEMPLATE>\n"
        "  <PUBLISH><FTP_SERVER>ftp.example.org</FTP_SERVER></PUBLISH>\n"
        "  <STRANGE>x</STRANGE>\n"
        "  <MENULIST>\n    <MENUITEM><TITLE>A</TITLE><COLUMN>Column1.Clm</COLUMN></MENUITEM>\n"
        "    <ANYTHING><TITLE>B</TITLE></ANYTHING>\n  </MENULIST>\n"
        "  <FRAME><HOMEPAGE>Index</HOMEPAGE></FRAME>\n</TEMPLATE>\n");
    auto project = Open();
    EXPECT_EQ(project->PUBLISH.FTP_SERVER, "ftp.example.org");
    EXPECT_FALSE(project->PUBLISH.PASSIVE); // written before passive mode: active, as it was
    EXPECT_EQ(project->FRAME.HOMEPAGE, "Index");
    EXPECT_FALSE(project->FRAME.HAS_WELCOME);
    EXPECT_EQ(project->SIZE.TEXT_HEIGHT, 320);
    ASSERT_EQ(project->MenuCount, 2);
    EXPECT_EQ(project->MenuItem(1).TITLE, "B");
    project->Save();
    const std::string saved = ReadFileBytes(ProjectFile());
    EXPECT_EQ(saved.rfind(std::string(XmlDeclaration) + "<TEMPLATE><FRAME>", 0), 0u);
    EXPECT_EQ(saved.find("STRANGE"), std::string::npos);
    EXPECT_EQ(saved.find("ANYTHING"), std::string::npos);
    EXPECT_EQ(saved.find('\n'), std::string::npos);
    EXPECT_NE(saved.find("<MENULIST><MENUITEM><TITLE>A</TITLE>"), std::string::npos);
}

TEST_F(ProjectTest, ABadValueNamesTheFileAndGivesNoProject) {
    WriteProject("<PROJECT><SIZE><MENU_WIDTH>wide</MENU_WIDTH></SIZE></PROJECT>");
    try {
        Open();
        FAIL();
    } catch (const TError& e) {
        EXPECT_EQ(e.Message(), "'wide' is not a valid integer value");
        EXPECT_EQ(e.FileName(), ProjectFile());
    }
    EXPECT_FALSE(Document.Active());
    WriteProject("<PROJECT><FRAME>");
    EXPECT_THROW(Open(), TError);
}

TEST_F(ProjectTest, ColumnNumberingAndAdding) {
    ::mkdir(Folder().c_str(), 0755);
    auto project = Open();
    TDMenuItem* first = project->AddMenuItem(false);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->TITLE, "New Column");
    EXPECT_EQ(first->COLUMN, "Column1.Clm");
    EXPECT_EQ(first->STYLE, "Title list with summary");
    EXPECT_EQ(first->URL, "");
    EXPECT_EQ(ReadFileBytes(Folder() + "/Column1.Clm"), std::string(XmlDeclaration) + "<COLUMN/>");

    TDMenuItem* link = project->AddMenuItem(true);
    EXPECT_EQ(link->TITLE, "New Link");
    EXPECT_EQ(link->COLUMN, "");
    EXPECT_EQ(link->URL, "http://");
    EXPECT_EQ(link->STYLE, "Title with summary");
    EXPECT_FALSE(PathExists(Folder() + "/Column2.Clm"));

    project->AddMenuItem(false); // Column2
    project->AddMenuItem(false); // Column3
    project->RemoveMenuItem(2);  // drops Column2: Column1 + Column3 left
    EXPECT_EQ(project->NextColumnName(), "Column2.Clm");
    EXPECT_EQ(project->AddMenuItem(false)->COLUMN, "Column2.Clm");

    // The saved list is what the project holds, in order.
    auto reopened = std::make_unique<TDProject>(Folder(), Document);
    ASSERT_EQ(reopened->MenuCount, 4);
    const char* columns[] = {"Column1.Clm", "", "Column3.Clm", "Column2.Clm"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(reopened->MenuItem(i).COLUMN, columns[i]) << i;
        EXPECT_EQ(reopened->MenuItem(i), project->MenuItem(i)) << i;
    }

    // Removing the only column reuses its number, and the new empty document replaces the file.
    TTempFolder other;
    auto single = std::make_unique<TDProject>(other.Path(), Document);
    single->AddMenuItem(false);
    WriteFileBytes(other / "Column1.Clm", "<COLUMN><PAGE/></COLUMN>");
    single->RemoveMenuItem(0);
    EXPECT_TRUE(PathExists(other / "Column1.Clm"));
    EXPECT_EQ(single->AddMenuItem(false)->COLUMN, "Column1.Clm");
    EXPECT_EQ(ReadFileBytes(other / "Column1.Clm"), std::string(XmlDeclaration) + "<COLUMN/>");
}

TEST_F(ProjectTest, MovesAndRemovesAtTheEdgesWriteNothing) {
    ::mkdir(Folder().c_str(), 0755);
    auto project = Open();
    for (const char* title : {"a", "b", "c"})
        project->AddMenuItem(true)->TITLE = title;
    project->Save();
    const std::string before = ReadFileBytes(ProjectFile());
    ::chmod(ProjectFile().c_str(), 0444); // any write would now have to replace the file
    std::filesystem::remove(ProjectFile());
    // With the file gone, a save would fail: none of these may try.
    project->MoveMenuItemUp(0);
    project->MoveMenuItemUp(3);
    project->MoveMenuItemDown(2);
    project->MoveMenuItemDown(-1);
    project->RemoveMenuItem(3);
    project->RemoveMenuItem(-1);
    EXPECT_FALSE(PathExists(ProjectFile()));
    WriteFileBytes(ProjectFile(), before);

    project->MoveMenuItemUp(2);   // a c b
    project->MoveMenuItemDown(0); // c a b
    project->RemoveMenuItem(1);   // c b
    ASSERT_EQ(project->MenuCount, 2);
    EXPECT_EQ(project->MenuItem(0).TITLE, "c");
    EXPECT_EQ(project->MenuItem(1).TITLE, "b");
    auto reopened = std::make_unique<TDProject>(Folder(), Document);
    EXPECT_EQ(reopened->MenuItem(0).TITLE, "c");
    EXPECT_EQ(reopened->MenuItem(1).TITLE, "b");
}

TEST_F(ProjectTest, TheMenuHoldsAtMostOneHundredItems) {
    std::string body = "<PROJECT><MENULIST>";
    for (int i = 0; i < 150; ++i)
        body += "<MENUITEM><TITLE>" + std::to_string(i) + "</TITLE></MENUITEM>";
    body += "</MENULIST></PROJECT>";
    WriteProject(body);
    auto project = Open();
    ASSERT_EQ(project->MenuCount, 100);
    EXPECT_EQ(project->MenuItem(99).TITLE, "99");
    const std::string before = ReadFileBytes(ProjectFile());
    EXPECT_EQ(project->AddMenuItem(false), nullptr);
    EXPECT_EQ(project->AddMenuItem(true), nullptr);
    EXPECT_EQ(ReadFileBytes(ProjectFile()), before);
    EXPECT_FALSE(PathExists(Folder() + "/Column1.Clm"));
}

TEST_F(ProjectTest, ASaveWhenTheFileIsUnreadableWritesNothing) {
    ::mkdir(Folder().c_str(), 0755);
    auto project = Open();
    WriteFileBytes(ProjectFile(), "<PROJECT><broken");
    project->FRAME.HOMEPAGE = "Index";
    EXPECT_THROW(project->Save(), TError);
    EXPECT_EQ(ReadFileBytes(ProjectFile()), "<PROJECT><broken");
    EXPECT_EQ(project->FRAME.HOMEPAGE, "Index");
    EXPECT_FALSE(Document.Active());
}

TEST_F(ProjectTest, ColumnNamesNeverLeaveTheProjectFolder) {
    WriteProject("<PROJECT><MENULIST><MENUITEM><COLUMN>../x.Clm</COLUMN></MENUITEM>"
                 "<MENUITEM><COLUMN>..\\..\\y.Clm</COLUMN></MENUITEM></MENULIST></PROJECT>");
    WriteFileBytes(Dir / "x.Clm", "<COLUMN><PAGE><TITLE>outside</TITLE></PAGE></COLUMN>");
    auto project = Open();
    EXPECT_EQ(project->ColumnFile(0), Folder() + "/x.Clm");
    EXPECT_EQ(project->ColumnFile(1), Folder() + "/y.Clm");
    EXPECT_THROW(TDColumn(project->ColumnFile(0), Document), TError);
}

TEST_F(ProjectTest, EveryValueSurvivesCreateChangeReopen) {
    ::mkdir(Folder().c_str(), 0755);
    auto project = Open();
    project->FRAME.BACKGROUND = "Back ground.gif";
    project->SIZE.SCREEN = "750";
    project->COLOR.TOPIC_BG = RGBColor(10, 20, 30);
    project->FONT.FAMILY = "Verdana, Arial, Helvetica, sans-serif";
    project->LANGUAGE.Values[0] = "Willkommen \xC3\xA4\xC3\xB6\xC3\xBC";
    project->WELCOME.HAS_CONTACT = true;
    project->TOPIC.KEYWORDS = "bread, <cake> & more";
    project->MENU.SPACE = 0;
    project->HOTSPOT.TEXT = "a#$D#$Ab";
    project->FOOT.TEL = " 0123 ";
    project->PUBLISH.PASSWORD = "p\"w<'";
    project->OPTIONS.FEEDS = true;
    project->OPTIONS.PICTURE_SIZE = 2048;
    TDMenuItem* item = project->AddMenuItem(false);
    item->TITLE = "News";
    project->Save();
    const std::string first = ReadFileBytes(ProjectFile());
    auto reopened = std::make_unique<TDProject>(Folder(), Document);
    reopened->Save();
    EXPECT_EQ(ReadFileBytes(ProjectFile()), first);
    EXPECT_EQ(reopened->FRAME, project->FRAME);
    EXPECT_EQ(reopened->SIZE, project->SIZE);
    EXPECT_EQ(reopened->COLOR, project->COLOR);
    EXPECT_EQ(reopened->FONT, project->FONT);
    EXPECT_EQ(reopened->LANGUAGE, project->LANGUAGE);
    EXPECT_EQ(reopened->WELCOME, project->WELCOME);
    EXPECT_EQ(reopened->TOPIC, project->TOPIC);
    ASSERT_EQ(reopened->MenuCount, 1);
    EXPECT_EQ(reopened->MenuItem(0), project->MenuItem(0));
    EXPECT_EQ(reopened->MENU, project->MENU);
    EXPECT_EQ(reopened->HOTSPOT, project->HOTSPOT);
    EXPECT_EQ(reopened->FOOT, project->FOOT);
    EXPECT_EQ(reopened->PUBLISH, project->PUBLISH);
    EXPECT_EQ(reopened->OPTIONS, project->OPTIONS);
}

// A project written before the options existed has no OPTIONS: every option is off, and the
// first save writes them off after PUBLISH. Where OPTIONS stands among the children does not
// matter when it is read.
TEST_F(ProjectTest, WithoutOptionsEveryOptionIsOff) {
    WriteProject("<PROJECT><FOOT><TEL>1</TEL></FOOT></PROJECT>");
    auto project = Open();
    EXPECT_EQ(project->OPTIONS, TDOptions());
    EXPECT_FALSE(project->OPTIONS.MOBILE || project->OPTIONS.PAGE_TITLES ||
                 project->OPTIONS.SITEMAP || project->OPTIONS.FEEDS || project->OPTIONS.ALT_TEXTS);
    EXPECT_EQ(project->OPTIONS.PICTURE_SIZE, 0);
    project->Save();
    const std::string saved = ReadFileBytes(ProjectFile());
    EXPECT_NE(saved.find("</PUBLISH><OPTIONS><PICTURE_SIZE>0</PICTURE_SIZE></OPTIONS></PROJECT>"),
              std::string::npos)
        << saved;

    WriteProject("<PROJECT><OPTIONS><FEEDS/><PICTURE_SIZE>1024</PICTURE_SIZE></OPTIONS>"
                 "<FRAME><HOMEPAGE>Index</HOMEPAGE></FRAME></PROJECT>");
    project = Open();
    TDOptions expected;
    expected.FEEDS = true;
    expected.PICTURE_SIZE = 1024;
    EXPECT_EQ(project->OPTIONS, expected);

    WriteProject("<PROJECT><OPTIONS><PICTURE_SIZE>big</PICTURE_SIZE></OPTIONS></PROJECT>");
    try {
        Open();
        FAIL();
    } catch (const TError& e) {
        EXPECT_EQ(e.Message(), "'big' is not a valid integer value");
        EXPECT_EQ(e.FileName(), ProjectFile());
    }
}

// A Modern project's table holds the Modern pages' words; a Classic one's never does, and
// switching back gives the file the bytes it had.
TEST_F(ProjectTest, TheLanguageTableFollowsTheDesign) {
    WriteProject("<PROJECT><LANGUAGE><MONDAY>Montag</MONDAY></LANGUAGE></PROJECT>");
    auto project = Open();
    project->Save();
    const std::string classic = ReadFileBytes(ProjectFile());
    EXPECT_EQ(classic.find("<READ_MORE>"), std::string::npos);

    project->OPTIONS = TDOptions::ForNewProject("de");
    project->FitLanguageToDesign();
    project->Save();
    EXPECT_NE(ReadFileBytes(ProjectFile()).find("<READ_MORE>Weiterlesen</READ_MORE></LANGUAGE>"),
              std::string::npos);

    project->OPTIONS.DESIGN.clear();
    project->OPTIONS.SITE_LANGUAGE.clear();
    project->OPTIONS.MOBILE = project->OPTIONS.PAGE_TITLES = project->OPTIONS.SITEMAP =
        project->OPTIONS.FEEDS = project->OPTIONS.ALT_TEXTS = false;
    project->OPTIONS.PICTURE_SIZE = 0;
    project->FitLanguageToDesign();
    project->Save();
    EXPECT_EQ(ReadFileBytes(ProjectFile()), classic);

    // A Modern project written without the words (by hand, or by another program) has them
    // once opened, in its language; the file is not touched until a save.
    WriteProject("<PROJECT><OPTIONS><DESIGN>Modern</DESIGN><SITE_LANGUAGE>pt-BR</SITE_LANGUAGE>"
                 "</OPTIONS></PROJECT>");
    project = Open();
    EXPECT_EQ(project->LANGUAGE.Count, 23);
    EXPECT_EQ(project->LANGUAGE.Lookup("READ_MORE"), "Leia mais");
    EXPECT_EQ(ReadFileBytes(ProjectFile()).find("READ_MORE"), std::string::npos);
}

} // namespace

TEST_F(ProjectTest, ANewProjectDocumentIsTheOwnersOnlyAndASaveKeepsItsMode) {
    const mode_t mask = ::umask(022);
    ::mkdir(Folder().c_str(), 0755);
    auto mode = [&] {
        struct stat st {};
        ::stat(ProjectFile().c_str(), &st);
        return st.st_mode & 07777;
    };
    auto project = Open();
    EXPECT_EQ(mode(), 0600u);
    project->PUBLISH.PASSWORD = "secret";
    project->Save();
    EXPECT_EQ(mode(), 0600u);
    // A mode the user chose stays through saves and openings.
    ::chmod(ProjectFile().c_str(), 0640);
    project->Save();
    EXPECT_EQ(mode(), 0640u);
    project = Open();
    EXPECT_EQ(mode(), 0640u);
    // A column document holds no password: it is made as any new file is.
    project->AddMenuItem(false);
    struct stat st {};
    ASSERT_EQ(::stat(project->ColumnFile(0).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
    ::umask(mask);
}

TEST_F(ProjectTest, OpeningRemovesOnlyTheLeftoverTemporaryFilesOfItsDocuments) {
    ::mkdir(Folder().c_str(), 0755);
    Open();
    const std::string leftovers[] = {"Default.Pro.~123_4", "Default.Pro.~1_0",
                                     "Column1.Clm.~77_12"};
    const std::string others[] = {"Default.Pro.~12a_3",   "Default.Pro.~123_", "Default.Pro.~_4",
                                  "Default.Pro.~1_2.bak", "notes.txt.~1_2",    "Default.Pro~1_2",
                                  "Column1.Clm"};
    for (const std::string& name : leftovers)
        WriteFileBytes(Folder() + "/" + name, "<PROJECT><PUBLISH>pw</PUBLISH></PROJECT>");
    for (const std::string& name : others)
        WriteFileBytes(Folder() + "/" + name, "keep");
    // A link with a leftover's name is no file of the program's: it stays, its target too.
    WriteFileBytes(Dir / "target", "outside");
    std::filesystem::create_symlink(Dir / "target", Folder() + "/Default.Pro.~9_9");
    Open();
    for (const std::string& name : leftovers)
        EXPECT_FALSE(std::filesystem::exists(Folder() + "/" + name)) << name;
    for (const std::string& name : others)
        EXPECT_EQ(ReadFileBytes(Folder() + "/" + name), "keep") << name;
    EXPECT_TRUE(std::filesystem::is_symlink(Folder() + "/Default.Pro.~9_9"));
    EXPECT_EQ(ReadFileBytes(Dir / "target"), "outside");
}

TEST_F(ProjectTest, AFifoInPlaceOfADocumentIsRefusedAtOnce) {
    ::mkdir(Folder().c_str(), 0755);
    ASSERT_EQ(::mkfifo(ProjectFile().c_str(), 0600), 0);
    try {
        Open();
        ADD_FAILURE() << "opened";
    } catch (const TError& e) {
        EXPECT_EQ(e.FileName(), ProjectFile());
        EXPECT_EQ(e.Message(), "Not a readable file");
    }
    // A column document too.
    std::filesystem::remove(ProjectFile());
    auto project = Open();
    project->AddMenuItem(false);
    project->Save();
    std::filesystem::remove(project->ColumnFile(0));
    ASSERT_EQ(::mkfifo(project->ColumnFile(0).c_str(), 0600), 0);
    EXPECT_THROW(TDColumn(project->ColumnFile(0), Document), TError);
}

// A column document's name comes from Default.Pro, so a link there is never followed: even
// one to a well-formed column document elsewhere is refused, naming the file.
TEST_F(ProjectTest, AColumnDocumentThatIsASymbolicLinkIsNotRead) {
    ::mkdir(Folder().c_str(), 0755);
    auto project = Open();
    project->AddMenuItem(false);
    project->Save();
    const std::string outside = Dir / "outside.Clm";
    const std::string bytes = "<COLUMN><PAGE><TITLE>Elsewhere</TITLE></PAGE></COLUMN>";
    WriteFileBytes(outside, bytes);
    std::filesystem::remove(project->ColumnFile(0));
    std::filesystem::create_symlink(outside, project->ColumnFile(0));
    try {
        TDColumn column(project->ColumnFile(0), Document);
        ADD_FAILURE() << "read through the link: " << column.PageCount << " pages";
    } catch (const TError& e) {
        EXPECT_EQ(e.FileName(), project->ColumnFile(0));
        EXPECT_EQ(e.Message(), "The file is a symbolic link, which is not read");
    }
    EXPECT_EQ(ReadFileBytes(outside), bytes);
    // The project document itself, whose name is fixed, may be a link.
    const std::string moved = Dir / "Default.Pro";
    std::filesystem::rename(ProjectFile(), moved);
    std::filesystem::create_symlink(moved, ProjectFile());
    EXPECT_NO_THROW(Open());
}

TEST_F(ProjectTest, ANewColumnNeverTakesAFileThatAMenuItemReads) {
    for (const char* stored :
         {"./Column1.Clm", "C:Column1.Clm", "old\\Column1.Clm", "a/b/Column1.Clm"}) {
        SCOPED_TRACE(stored);
        TTempFolder dir;
        const std::string folder = dir / "Shop";
        ::mkdir(folder.c_str(), 0755);
        WriteFileBytes(folder + "/Default.Pro",
                       std::string("<PROJECT><MENULIST><MENUITEM><TITLE>News</TITLE><COLUMN>") +
                           stored + "</COLUMN></MENUITEM></MENULIST></PROJECT>");
        WriteFileBytes(folder + "/Column1.Clm",
                       "<COLUMN><PAGE><TITLE>Kept</TITLE></PAGE></COLUMN>");
        TXmlDocument document;
        TDProject project(folder, document);
        TDMenuItem* added = project.AddMenuItem(false);
        ASSERT_NE(added, nullptr);
        EXPECT_EQ(added->COLUMN, "Column2.Clm");
        EXPECT_EQ(ReadFileBytes(folder + "/Column1.Clm"),
                  "<COLUMN><PAGE><TITLE>Kept</TITLE></PAGE></COLUMN>");
    }
}
