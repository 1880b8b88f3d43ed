#include "platform/OutputFile.h"
#include "TestSupport.h"
#include "platform/Error.h"

#include <gtest/gtest.h>

namespace {

TEST(OutputFile, WritesBytesAndCrLfLinesAndReplacesTheFile) {
    TTempFolder dir;
    WriteFileBytes(dir / "p.htm", "old content that is longer");
    TOutputFile out;
    out.Open(dir / "p.htm");
    out.WriteLine("<html>");
    out.Write("a<&>\"\xE4");
    out.WriteLine();
    std::string big(200000, 'x');
    out.Write(big);
    out.Close();
    EXPECT_EQ(ReadFileBytes(dir / "p.htm"), "<html>\r\na<&>\"\xE4\r\n" + big);
    EXPECT_EQ(out.TotalBytes(), 8u + 6u + 2u + big.size());
}

TEST(OutputFile, AFileThatCannotBeCreatedNamesIt) {
    TTempFolder dir;
    TOutputFile out;
    try {
        out.Open(dir / "missing/p.htm");
        FAIL();
    } catch (const TError& e) {
        EXPECT_EQ(e.FileName(), dir / "missing/p.htm");
    }
    EXPECT_FALSE(out.IsOpen());
}

} // namespace
