#include "platform/XmlDocument.h"
#include "TestSupport.h"
#include "platform/Error.h"
#include "platform/FileFaults.h"

#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

std::string Utf16Le(const std::string& ascii, bool bom) {
    std::string out = bom ? std::string("\xFF\xFE", 2) : std::string();
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

TEST(XmlDocument, NewDocumentIsDeclarationAndRootWithoutWhitespace) {
    TXmlDocument doc;
    EXPECT_FALSE(doc.Active());
    doc.New();
    TXmlElement root = doc.CreateRoot("PROJECT");
    SetElementText(AppendChild(root, "A"), "x<&>\"y");
    AppendChild(root, "B");
    EXPECT_EQ(doc.ToString(),
              std::string(XmlDeclaration) + "<PROJECT><A>x&lt;&amp;&gt;\"y</A><B/></PROJECT>");
}

TEST(XmlDocument, ReadsEncodingsAndWhitespaceBetweenElements) {
    TTempFolder dir;
    const std::string body = "<?xml version=\"1.0\"?>\n<R>\n  <A>text</A>\n  <B> 42</B>\n</R>\n";
    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"plain", body},
        {"bom", "\xEF\xBB\xBF" + body},
        {"utf16 bom", Utf16Le(body, true)},
        {"utf16 no bom", Utf16Le(body, false)},
        {"crlf", "<R>\r\n<A>text</A>\r\n<B> 42</B>\r\n</R>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFileBytes(dir / "doc.xml", c.bytes);
        TXmlDocument doc;
        doc.Load(dir / "doc.xml");
        ASSERT_TRUE(doc.Active());
        EXPECT_EQ(doc.FileName(), dir / "doc.xml");
        TXmlElement root = doc.Root();
        EXPECT_STREQ(root.name(), "R");
        EXPECT_EQ(ChildNodes(root).size(), 2u);
        EXPECT_EQ(ElementText(ChildByName(root, "A")), "text");
        EXPECT_EQ(ElementText(ChildByName(root, "B")), " 42");
        EXPECT_FALSE(ChildByName(root, "a"));
    }
}

TEST(XmlDocument, ErrorsNameTheFileLineAndColumn) {
    TTempFolder dir;
    WriteFileBytes(dir / "bad.xml", "<R>\n<A>x</B>\n</R>");
    TXmlDocument doc;
    try {
        doc.Load(dir / "bad.xml");
        FAIL() << "no error";
    } catch (const TError& e) {
        EXPECT_EQ(e.FileName(), dir / "bad.xml");
        EXPECT_NE(std::string(e.what()).find("line 2"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find(dir / "bad.xml"), std::string::npos);
    }
    EXPECT_FALSE(doc.Active());
    EXPECT_THROW(doc.Load(dir / "missing.xml"), TError);
    WriteFileBytes(dir / "empty.xml", "");
    EXPECT_THROW(doc.Load(dir / "empty.xml"), TError);
}

TEST(XmlDocument, DeepNestingIsRefused) {
    TTempFolder dir;
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<a>";
    for (int i = 0; i < 100000; ++i)
        deep += "</a>";
    WriteFileBytes(dir / "deep.xml", deep);
    TXmlDocument doc;
    try {
        doc.Load(dir / "deep.xml");
        FAIL() << "no error";
    } catch (const TError& e) {
        EXPECT_NE(std::string(e.what()).find("nested too deeply"), std::string::npos);
    }
}

TEST(XmlDocument, TextOfMixedOrElementContentIsAnError) {
    TTempFolder dir;
    WriteFileBytes(
        dir / "d.xml",
        "<R><E/><T>one</T><C><![CDATA[a<b]]></C><M>a<x/></M><N><x/></N><K>a<!--c--></K></R>");
    TXmlDocument doc;
    doc.Load(dir / "d.xml");
    TXmlElement root = doc.Root();
    EXPECT_EQ(ElementText(ChildByName(root, "E")), "");
    EXPECT_EQ(ElementText(ChildByName(root, "T")), "one");
    EXPECT_EQ(ElementText(ChildByName(root, "C")), "a<b");
    for (const char* name : {"M", "N", "K"})
        EXPECT_THROW(ElementText(ChildByName(root, name)), TError) << name;
}

TEST(XmlDocument, WhitespaceOnlyTextSurvivesARoundTrip) {
    TTempFolder dir;
    TXmlDocument doc;
    doc.New();
    TXmlElement root = doc.CreateRoot("R");
    SetElementText(AppendChild(root, "S"), "  ");
    SetElementText(AppendChild(root, "U"), "\xC3\xA4 \xE2\x82\xAC");
    doc.SaveToFile(dir / "r.xml");
    doc.Clear();
    doc.Load(dir / "r.xml");
    EXPECT_EQ(ElementText(ChildByName(doc.Root(), "S")), "  ");
    EXPECT_EQ(ElementText(ChildByName(doc.Root(), "U")), "\xC3\xA4 \xE2\x82\xAC");
}

TEST(XmlDocument, SaveReplacesAtomicallyAndAFailedSaveKeepsTheOldFile) {
    TTempFolder dir;
    const std::string file = dir / "keep.xml";
    WriteFileBytes(file, "<OLD/>");
    TXmlDocument doc;
    doc.Load(file);
    SetElementText(AppendChild(doc.Root(), "A"), "new");
    doc.Save();
    EXPECT_EQ(ReadFileBytes(file), std::string(XmlDeclaration) + "<OLD><A>new</A></OLD>");

    {
        // A folder in which no file can be made: the save fails and the old file stays.
        TScopedFileFaults faults({.FailCreate = 1, .Error = EACCES});
        SetElementText(ChildByName(doc.Root(), "A"), "newer");
        EXPECT_THROW(doc.Save(), TError);
        EXPECT_EQ(faults.Faults().Creates, 1);
    }
    EXPECT_EQ(ReadFileBytes(file), std::string(XmlDeclaration) + "<OLD><A>new</A></OLD>");
    EXPECT_EQ(RegularFilesIn(dir.Path()), std::set<std::string>{"keep.xml"});
    // A target that cannot be replaced (a folder of that name): nothing is left beside it.
    TXmlDocument other;
    other.New();
    other.CreateRoot("X");
    ::mkdir((dir / "sub").c_str(), 0755);
    EXPECT_THROW(other.SaveToFile(dir / "sub"), TError);
    int entries = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.Path())) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 2); // keep.xml and sub, no temporary left behind
}

TEST(XmlDocument, ASaveThatFailsAtAnyStepKeepsTheOldFileAndNamesIt) {
    struct Case {
        const char* what;
        TFileFaults faults;
    } cases[] = {
        {"create", {.FailCreate = 1, .Error = EACCES}},
        {"write", {.FailWrite = 1, .Error = ENOSPC}},
        {"fsync", {.FailFsync = 1, .Error = EIO}},
        {"close", {.FailClose = 1, .Error = EDQUOT}},
        {"rename", {.FailRename = 1, .Error = EXDEV}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TTempFolder dir;
        const std::string file = dir / "Project.xml";
        const std::string old = std::string(XmlDeclaration) + "<OLD/>";
        WriteFileBytes(file, old);
        TXmlDocument doc;
        doc.Load(file);
        SetElementText(AppendChild(doc.Root(), "A"), "new");
        {
            TScopedFileFaults faults(c.faults);
            try {
                doc.Save();
                ADD_FAILURE() << "no error";
            } catch (const TError& e) {
                EXPECT_EQ(e.FileName(), file);
                EXPECT_NE(std::string(e.what()).find(file), std::string::npos) << e.what();
                EXPECT_NE(e.Message().find(std::strerror(c.faults.Error)), std::string::npos)
                    << e.Message();
            }
        }
        EXPECT_EQ(ReadFileBytes(file), old);
        EXPECT_EQ(RegularFilesIn(dir.Path()), std::set<std::string>{"Project.xml"});
        EXPECT_TRUE(doc.Active()); // the document is still there to be saved again
        doc.Save();
        EXPECT_EQ(ReadFileBytes(file), std::string(XmlDeclaration) + "<OLD><A>new</A></OLD>");
    }
}

TEST(XmlDocument, AReadThatFailsNamesTheFile) {
    TTempFolder dir;
    WriteFileBytes(dir / "r.xml", "<R/>");
    TXmlDocument doc;
    TScopedFileFaults faults({.FailRead = 1, .Error = EIO});
    try {
        doc.Load(dir / "r.xml");
        FAIL() << "no error";
    } catch (const TError& e) {
        EXPECT_EQ(e.FileName(), dir / "r.xml");
        EXPECT_NE(e.Message().find(std::strerror(EIO)), std::string::npos) << e.Message();
    }
    EXPECT_FALSE(doc.Active());
    doc.Load(dir / "r.xml");
    EXPECT_TRUE(doc.Active());
}

TEST(XmlDocument, DeclarationNamingAnotherEncodingIsWrittenAsUtf8) {
    TTempFolder dir;
    WriteFileBytes(dir / "l.xml", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><R>\xE4</R>");
    TXmlDocument doc;
    doc.Load(dir / "l.xml");
    EXPECT_EQ(ElementText(doc.Root()), "\xC3\xA4");
    doc.Save();
    EXPECT_EQ(ReadFileBytes(dir / "l.xml"), std::string(XmlDeclaration) + "<R>\xC3\xA4</R>");
}

} // namespace
