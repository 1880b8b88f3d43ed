#include "RecordXml.h"
#include "TestSupport.h"
#include "model/CColumn.h"
#include "platform/Error.h"
#include "platform/Locale.h"

#include <gtest/gtest.h>

namespace {

class ColumnTest : public ::testing::Test {
  protected:
    std::string File() const { return Dir / "Column1.Clm"; }
    void Write(const std::string& body) { WriteFileBytes(File(), body); }
    std::string Saved() const { return ReadFileBytes(File()); }
    TTempFolder Dir;
    TXmlDocument Document;
};

TEST_F(ColumnTest, ANewColumnDocumentHasNoPages) {
    Write(std::string(XmlDeclaration) + "<COLUMN/>");
    TDColumn column(File(), Document);
    EXPECT_EQ(column.PageCount, 0);
    EXPECT_EQ(column.CurrentPage, -1);
    EXPECT_EQ(column.FileName, File());
    EXPECT_FALSE(Document.Active());
}

TEST_F(ColumnTest, AddPageWritesNewPageWithTodaysDate) {
    Write(std::string(XmlDeclaration) + "<COLUMN/>");
    TDColumn column(File(), Document);
    TDPage* page = column.AddPage();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->TITLE, "New Page");
    EXPECT_EQ(page->DATE, TodayShortDate());
    EXPECT_EQ(page->KIND, "Link");
    EXPECT_EQ(Saved(), std::string(XmlDeclaration) +
                           "<COLUMN><PAGE><TITLE>New Page</TITLE><AUTHOR/><DATE>" +
                           TodayShortDate() + "</DATE><TEXT/></PAGE></COLUMN>");
    TDColumn reread(File(), Document);
    ASSERT_EQ(reread.PageCount, 1);
    EXPECT_EQ(reread.Page(0), *page);
}

TEST_F(ColumnTest, RemoveAndMoveKeepOrderAndEdgesWriteNothing) {
    Write("<COLUMN><PAGE><TITLE>a</TITLE></PAGE><PAGE><TITLE>b</TITLE></PAGE>"
          "<PAGE><TITLE>c</TITLE></PAGE></COLUMN>");
    TDColumn column(File(), Document);
    ASSERT_EQ(column.PageCount, 3);
    const std::string before = Saved();
    column.MovePageUp(0);
    column.MovePageDown(2);
    column.RemovePage(3);
    column.RemovePage(-1);
    column.MovePageUp(7);
    EXPECT_EQ(Saved(), before); // untouched: not even rewritten in the program's own form

    column.CurrentPage = 2;
    column.RemovePage(1);
    EXPECT_EQ(column.CurrentPage, 2);
    ASSERT_EQ(column.PageCount, 2);
    EXPECT_EQ(column.Page(0).TITLE, "a");
    EXPECT_EQ(column.Page(1).TITLE, "c");
    EXPECT_EQ(column.Pages[2], nullptr);
    column.MovePageDown(0);
    EXPECT_EQ(column.Page(0).TITLE, "c");
    EXPECT_EQ(column.Page(1).TITLE, "a");
    TDColumn reread(File(), Document);
    ASSERT_EQ(reread.PageCount, 2);
    EXPECT_EQ(reread.Page(0), column.Page(0));
    EXPECT_EQ(reread.Page(1), column.Page(1));
}

TEST_F(ColumnTest, OtherRootAndChildNamesAndWhitespace) {
    Write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<LIST>\r\n  "
          "<ITEM><TITLE>x</TITLE></ITEM>\r\n"
          "  <!-- note -->\r\n  <PAGE><TEXT>l1#$D#$Al2#$D#$Al3</TEXT></PAGE>\r\n</LIST>\r\n");
    TDColumn column(File(), Document);
    ASSERT_EQ(column.PageCount, 3);
    EXPECT_EQ(column.Page(0).TITLE, "x");
    EXPECT_EQ(column.Page(1).TITLE, "New Page"); // the comment is read as a page of defaults
    EXPECT_EQ(column.Page(2).TEXT, "l1#$D#$Al2#$D#$Al3");
    column.Page(1).DATE = "d";
    column.Save();
    const std::string saved = Saved();
    EXPECT_EQ(saved.rfind(std::string(XmlDeclaration) + "<LIST><PAGE><TITLE>x</TITLE>", 0), 0u);
    EXPECT_EQ(saved.find("ITEM"), std::string::npos);
    EXPECT_NE(saved.find("<TEXT>l1#$D#$Al2#$D#$Al3</TEXT>"), std::string::npos);
    TDColumn reread(File(), Document);
    ASSERT_EQ(reread.PageCount, 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(reread.Page(i), column.Page(i)) << i;
}

TEST_F(ColumnTest, LinkGroupIsWrittenOnlyWithACaption) {
    Write("<COLUMN/>");
    TDColumn column(File(), Document);
    TDPage* page = column.AddPage();
    page->DATE = "d";
    page->KIND = "Download";
    page->URL = "File1.zip";
    column.Save();
    EXPECT_EQ(Saved(), std::string(XmlDeclaration) +
                           "<COLUMN><PAGE><TITLE>New Page</TITLE><AUTHOR/><DATE>d</DATE><TEXT/>"
                           "</PAGE></COLUMN>");
    TDPage expected = *page; // kind and address went with the empty link
    expected.KIND = "Link";
    expected.URL = "";
    TDColumn reread(File(), Document);
    EXPECT_EQ(reread.Page(0), expected);
}

TEST_F(ColumnTest, AtMostOneThousandPages) {
    std::string body = "<COLUMN>";
    for (int i = 0; i < 1005; ++i)
        body += "<PAGE><TITLE>" + std::to_string(i) + "</TITLE></PAGE>";
    Write(body + "</COLUMN>");
    TDColumn column(File(), Document);
    ASSERT_EQ(column.PageCount, 1000);
    EXPECT_EQ(column.Page(999).TITLE, "999");
    const std::string before = Saved();
    EXPECT_EQ(column.AddPage(), nullptr);
    EXPECT_EQ(Saved(), before);
}

TEST_F(ColumnTest, FailuresNameTheFileAndASaveOfAnUnreadableFileWritesNothing) {
    Write("<COLUMN><PAGE><PICTURE/><PICTURE_WIDTH>wide</PICTURE_WIDTH></PAGE></COLUMN>");
    try {
        TDColumn column(File(), Document);
        FAIL();
    } catch (const TError& e) {
        EXPECT_EQ(e.Message(), "'wide' is not a valid integer value");
        EXPECT_EQ(e.FileName(), File());
    }
    EXPECT_FALSE(Document.Active());
    Write("<COLUMN><PAGE><PICTURE_WIDTH>wide</PICTURE_WIDTH></PAGE></COLUMN>");
    TDColumn column(File(), Document);
    EXPECT_EQ(column.Page(0).PICTURE_WIDTH, 0);
    Write("not xml");
    EXPECT_THROW(column.AddPage(), TError);
    EXPECT_EQ(Saved(), "not xml");
    EXPECT_THROW(TDColumn(Dir / "missing.Clm", Document), TError);
}

} // namespace
