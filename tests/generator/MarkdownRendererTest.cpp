// The Markdown renderer: one table of texts and the HTML they give, each construct and each
// hostile form of a link among them; then the plain text and the raw HTML finder.
#include "generator/MarkdownRenderer.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace {

// The site of the table: one page, one download and one picture.
class TTableTargets : public TMarkdownTargets {
  public:
    std::string SiteLink(std::string_view kind, std::string_view name) override {
        Asked.push_back(std::string(kind) + ":" + std::string(name));
        if (kind == "page" && name == "k3v9x2aa")
            return "Page1_4.htm";
        if ((kind == "download" && name == "Price list.pdf") ||
            (kind == "image" && name == "tree.jpg"))
            return std::string(name);
        return std::string();
    }
    bool Picture(std::string_view name, std::string_view alt, std::string_view title,
                 std::string& html) override {
        if (name != "tree.jpg")
            return false;
        html += "<img src=\"tree.jpg\" alt=\"";
        html += alt;
        html += '"';
        if (!title.empty()) {
            html += " title=\"";
            html += title;
            html += '"';
        }
        html += " width=\"40\" height=\"30\">";
        return true;
    }
    std::vector<std::string> Asked;
};

struct TRenderCase {
    const char* Name;
    std::string Text; // as stored: line breaks as "#$D#$A"
    std::string Html;
};

const TRenderCase RenderCases[] = {
    {"empty", "", ""},
    {"paragraphs", "One#$D#$Atwo#$D#$A#$D#$AThree", "<p>One\r\ntwo</p>\r\n<p>Three</p>"},
    {"hard break", "One  #$D#$Atwo", "<p>One<br>\r\ntwo</p>"},
    {"headings", "# One#$D#$A###### Six", "<h1>One</h1>\r\n<h6>Six</h6>"},
    {"emphasis", "*a* **b** `c<d` ~~e~~",
     "<p><em>a</em> <strong>b</strong> <code>c&lt;d</code> "
     "<del>e</del></p>"},
    {"lists", "- a#$D#$A- b#$D#$A#$D#$A3. c#$D#$A4. d",
     "<ul>\r\n<li>a</li>\r\n<li>b</li>\r\n</ul>\r\n<ol start=\"3\">\r\n<li>c</li>\r\n<li>d</li>\r\n"
     "</ol>"},
    {"loose list", "1. a#$D#$A#$D#$A2. b",
     "<ol>\r\n<li><p>a</p>\r\n</li>\r\n<li><p>b</p>\r\n</li>\r\n</ol>"},
    {"quote and rule", "> a#$D#$A#$D#$A---", "<blockquote>\r\n<p>a</p>\r\n</blockquote>\r\n<hr>"},
    {"code block", "```c\"x#$D#$Aif (a < b)#$D#$A```",
     "<pre><code class=\"language-c&quot;x\">if (a &lt; b)\r\n</code></pre>"},
    {"table", "| a | b |#$D#$A|:--|--:|#$D#$A| 1 | 2 |",
     "<table>\r\n<thead>\r\n<tr>\r\n<th align=\"left\">a</th>\r\n<th align=\"right\">b</th>\r\n"
     "</tr>\r\n</thead>\r\n<tbody>\r\n<tr>\r\n<td align=\"left\">1</td>\r\n"
     "<td align=\"right\">2</td>\r\n</tr>\r\n</tbody>\r\n</table>"},
    {"entities", "&amp; &eacute; &#x41; &#0; &nosuch; < \" >",
     "<p>&amp; \xC3\xA9 A \xEF\xBF\xBD &amp;nosuch; &lt; &quot; &gt;</p>"},
    {"raw html is text", "<script>alert(1)</script>#$D#$A#$D#$Aa <b onclick=\"x\">b</b>",
     "<p>&lt;script&gt;alert(1)&lt;/script&gt;</p>\r\n"
     "<p>a &lt;b onclick=&quot;x&quot;&gt;b&lt;/b&gt;</p>"},
    {"allowed links",
     "[a](http://x.org/?a=1&b=\"2\" \"T<\") [b](HTTPS://x.org) [c](mailto:a@b.org) "
     "[d](tel:+4930) [e](#top) <https://y.org> <me@b.org>",
     "<p><a href=\"http://x.org/?a=1&amp;b=&quot;2&quot;\" title=\"T&lt;\">a</a> "
     "<a href=\"HTTPS://x.org\">b</a> <a href=\"mailto:a@b.org\">c</a> "
     "<a href=\"tel:+4930\">d</a> <a href=\"#top\">e</a> <a href=\"https://y.org\">"
     "https://y.org</a> <a href=\"mailto:me@b.org\">me@b.org</a></p>"},
    {"links of the site",
     "[tour](page:k3v9x2aa) [gone](page:zzzzzzzz) [list](<download:Price list.pdf>) "
     "[pic](image:tree.jpg)",
     "<p><a href=\"Page1_4.htm\">tour</a> gone <a href=\"Price%20list.pdf\">list</a> "
     "<a href=\"tree.jpg\">pic</a></p>"},
    {"hostile links",
     "[a](javascript:alert(1)) [b](JaVaScRiPt:x) [c](data:text/html,x) [d](vbscript:x) "
     "[e](&#106;avascript:x) [f](javascript&colon;x) [g](other.htm) [h](//evil.org) "
     "[i](<java\tscript:x>) [j](file:///etc) [[k](javascript:x)](http://ok.org)",
     "<p>a b c d e f g h i j [k](http://ok.org)</p>"},
    {"pictures",
     "![A \"tree\" *big*](image:tree.jpg \"T\") ![gone](image:no.jpg) "
     "![web](http://x.org/a.jpg) ![x ![y](image:tree.jpg)](image:tree.jpg)",
     "<p><img src=\"tree.jpg\" alt=\"A &quot;tree&quot; big\" title=\"T\" width=\"40\" "
     "height=\"30\"> gone web <img src=\"tree.jpg\" alt=\"x y\" width=\"40\" height=\"30\">"
     "</p>"},
    {"link around a picture", "[![t](image:tree.jpg)](page:k3v9x2aa)",
     "<p><a href=\"Page1_4.htm\"><img src=\"tree.jpg\" alt=\"t\" width=\"40\" height=\"30\">"
     "</a></p>"},
    // md4c leaves this emphasis open (its closing mark is inside the address): closed here.
    {"span left open by the parser", "a *b [c](j*x) d", "<p>a <em>b c d</em></p>"},
    {"nul character", std::string("a\0b", 3),
     "<p>a\xEF\xBF\xBD"
     "b</p>"},
};

void PrintTo(const TRenderCase& renderCase, std::ostream* out) {
    *out << renderCase.Name;
}

class MarkdownRenderTest : public ::testing::TestWithParam<TRenderCase> {};

TEST_P(MarkdownRenderTest, GivesTheHtml) {
    TTableTargets targets;
    TMarkdownRenderer renderer(targets);
    EXPECT_EQ(renderer.Html(GetParam().Text), GetParam().Html);
}

INSTANTIATE_TEST_SUITE_P(Cases, MarkdownRenderTest, ::testing::ValuesIn(RenderCases),
                         [](const ::testing::TestParamInfo<TRenderCase>& info) {
                             std::string name = info.param.Name;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

// Only the forms of this site reach the targets, the scheme read without regard to case.
TEST(MarkdownRender, AsksTheTargetsOnlyForTheSiteForms) {
    TTableTargets targets;
    TMarkdownRenderer renderer(targets);
    renderer.Html("[a](PAGE:k3v9x2aa) [b](pages:x) [c](Download:a.pdf) [d](javascript:x)");
    EXPECT_EQ(targets.Asked, (std::vector<std::string>{"page:k3v9x2aa", "download:a.pdf"}));
}

TEST(MarkdownPlainText, LeavesOutMarkupAndPictures) {
    EXPECT_EQ(TMarkdownRenderer::PlainText("# Title#$D#$A#$D#$ASome *fine*   text&amp;"
                                           "![pic](image:a.jpg) [link](http://x.org)#$D#$A"
                                           "- one#$D#$A- two#$D#$A#$D#$A<b>raw</b>"),
              "Title Some fine text& link one two <b>raw</b>");
    EXPECT_EQ(TMarkdownRenderer::PlainText(""), "");
    // Only its start when that is enough: the whole text's start, at least that long.
    const std::string text = "# One#$D#$A#$D#$Atwo *three* four#$D#$A#$D#$A- five six seven";
    const std::string whole = TMarkdownRenderer::PlainText(text);
    for (std::size_t enough : {0, 1, 4, 9, 20, 100}) {
        const std::string start = TMarkdownRenderer::PlainText(text, enough);
        EXPECT_EQ(whole.substr(0, start.size()), start);
        EXPECT_GE(start.size(), std::min(enough, whole.size()));
    }
}

TEST(MarkdownRawHtml, FindsTheFirstTagOrBlock) {
    EXPECT_EQ(TMarkdownRenderer::FirstRawHtml("Plain *text* a < b, `<code>`"), "");
    EXPECT_EQ(TMarkdownRenderer::FirstRawHtml("Some <b>bold</b>"), "<b>");
    EXPECT_EQ(TMarkdownRenderer::FirstRawHtml("<div class=\"x\">#$D#$Ainside#$D#$A</div>"),
              "<div class=\"x\">");
    EXPECT_EQ(TMarkdownRenderer::FirstRawHtml("a <!-- " + std::string(60, 'c') + " -->"),
              "<!-- " + std::string(35, 'c'));
}

} // namespace
