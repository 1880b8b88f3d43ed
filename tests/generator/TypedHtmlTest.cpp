// Texts typed as they are on the modern pages: ordinary and hostile markup, each with the
// exact markup the page gets.

#include "generator/modern/TypedHtml.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The site knows page 7 and the picture Logo.gif of its Images folder.
class TTargets : public TMarkdownTargets {
  public:
    std::string SiteLink(std::string_view kind, std::string_view name) override {
        return kind == "page" && name == "7" ? "Page0_1.htm" : std::string();
    }
    bool Picture(std::string_view name, std::string_view alt, std::string_view,
                 std::string& html) override {
        if (name != "Logo.gif")
            return false;
        html.append("<img src=\"Logo.gif\" alt=\"").append(alt).append("\">");
        return true;
    }
    bool PagePicture(std::string_view address, std::string_view alt, std::string& html) override {
        if (address != "Logo.gif")
            return false;
        html.append("<img src=\"Logo.gif\" alt=\"").append(alt).append("\" width=\"80\">");
        return true;
    }
};

TEST(TypedHtml, KeepsWhatUsersTypeDropsTheRest) {
    struct TCase {
        const char* Typed;
        const char* Html;
    } const cases[] = {
        // What users type.
        {"Thursday at eight,#$D#$Ain the <b>old mill</b>.",
         "Thursday at eight,<br>in the <b>old mill</b>."},
        {"<H2 CLASS=x>Title</H2>Text", "<h2>Title</h2>Text"},
        {"&copy; 2024 &amp; &#233;t&eacute;", "&copy; 2024 &amp; &#233;t&eacute;"},
        {"a < b & c > d", "a &lt; b &amp; c &gt; d"},
        {"tag <unclosed", "tag &lt;unclosed"},
        {"x<br>#$D#$Ay</br>", "x<br><br>y"},
        {"#$D#$A<p>one</p>#$D#$A#$D#$A<p>two#$D#$A", "<p>one</p><p>two</p>"},
        {"<ul>#$D#$A<li>one#$D#$A<li>two</ul>", "<ul><li>one</li><li>two</li></ul>"},
        {"<ol><li>a<ul><li>b</ul></ol>", "<ol><li>a<ul><li>b</li></ul></li></ol>"},
        {"<a href=\"Page2.htm\" target=_blank>next</a>", "<a href=\"Page2.htm\">next</a>"},
        {"<a href=\"https://x.org/?a=1&b=2\">q</a>",
         "<a href=\"https://x.org/?a=1&amp;b=2\">q</a>"},
        {"<a href='mailto:me@x.org' onmouseover=x>me</a>", "<a href=\"mailto:me@x.org\">me</a>"},
        {"<a href=\"page:7\">tour</a>", "<a href=\"Page0_1.htm\">tour</a>"},
        {"<a href=\"page:9\">gone</a>", "gone"},
        {"<img src=\"Photo.jpg\" onerror=\"x()\" width=\"100\" height=\"50px\">",
         "<img src=\"Photo.jpg\" alt=\"Tour &amp; walk\" width=\"100\">"},
        {"<img src=\"Logo.gif\" width=\"5\">",
         "<img src=\"Logo.gif\" alt=\"Tour &amp; walk\" width=\"80\">"},
        {"<img src=\"Logo.gif\" alt=\"Club\">", "<img src=\"Logo.gif\" alt=\"Club\" width=\"80\">"},
        {"<img src=\"image:Logo.gif\">", "<img src=\"Logo.gif\" alt=\"Tour &amp; walk\">"},
        {"<img src=\"image:Logo.gif\" alt=\"Our &quot;logo&quot;\">",
         "<img src=\"Logo.gif\" alt=\"Our &quot;logo&quot;\">"},
        {"<img src=\"image:Gone.gif\" alt=\"Gone\">", "Gone"},
        // Stray, presentational and hostile markup.
        {"<center><font color=red>Welcome</font></center>", "Welcome"},
        {"<b>bold <i>both", "<b>bold <i>both</i></b>"},
        {"<b><i>x</b>y</i>", "<b><i>x</i></b>y"},
        {"</td></tr>Text</table>", "Text"},
        {"<table><tr><td>cell</td></tr></table>", "cell"},
        {"<li>stray</li>", "stray"},
        {"<ul>items</ul>", "<ul><li>items</li></ul>"},
        {"<b><p>x</p></b>", "<p>x</p>"},
        {"<p>a<ul><li>b</ul>c", "<p>a</p><ul><li>b</li></ul>c"},
        {"<h2></h2><b></b><p> </p>", "<p> </p>"},
        {"<p onclick=\"x()\" style=\"color:red\" align=center>Hi</p>", "<p>Hi</p>"},
        {"<script>alert('<b>')</script>Hi<SCRIPT src=x></SCRIPT>", "Hi"},
        {"<style>p{}</style><iframe src=x>in</iframe>ok<script>never closed", "ok"},
        {"<!-- note -->x<!DOCTYPE html><?php ?>", "x"},
        {"<a href=\"javascript:alert(1)\">go</a>", "go"},
        {"<a href=\" &#106;ava&#x73;cript&colon;x\">go</a>", "go"},
        {"<a href=\"&#x6A&#x61vascript:x\">go</a>", "go"},
        {"<a href=\"java#$D#$Ascript:x\">go</a>", "go"},
        {"<a href=\"JAVASCRIPT:x\">go</a><a href=vbscript:x>v</a>", "gov"},
        {"<a href=\"java\tscript:x\">go</a>", "<a href=\"java%20script:x\">go</a>"},
        {"<img src=\"data:image/png;base64,xx\" alt=\"dot\">", "dot"},
        {"<img src=javascript:x alt=\"<b>\">", "&lt;b&gt;"},
        {"<a href=\"#top\">up <a href=\"https://example.org/\">out</a>",
         "<a href=\"#top\">up </a><a href=\"https://example.org/\">out</a>"},
        {"<a href=\"x\" \"onclick=\"y\">z</a>", "<a href=\"x\">z</a>"},
        {"<a href=\"x\"\"onclick=\"y\">z", "<a href=\"x\">z</a>"},
        {"<img src=\"a.gif\" alt='x\" onload=\"y'>",
         "<img src=\"a.gif\" alt=\"x&quot; onload=&quot;y\">"},
        {"caf\xC3 \x01", "caf\xEF\xBF\xBD  "},
    };
    TTargets targets;
    for (const TCase& c : cases)
        EXPECT_EQ(TTypedHtml(targets, "Tour &amp; walk").Html(c.Typed), c.Html) << c.Typed;
}

} // namespace
