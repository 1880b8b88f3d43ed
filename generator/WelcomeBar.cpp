// The welcome bar: a two-cell strip with today's date, written by a small script in the
// visitor's browser, and up to three links (start page, favourites, mail to the owner).
#include "generator/Generator.h"

#include <string>
#include <string_view>

namespace {

// A translated word inside one of the date script's double-quoted strings: a quote, a
// backslash or a line break would end the string or the statement, and "</" inside the
// script element could close it ("</script>").
std::string ScriptString(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\')
            out += "\\\\";
        else if (c == '"')
            out += "\\\"";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '<' && i + 1 < text.size() && text[i + 1] == '/') {
            out += "<\\/";
            ++i;
        } else
            out += c;
    }
    return out;
}

// A value inside one of the single-quoted strings of the links' code. That code stands in a
// double-quoted attribute, so a double quote is written as the attribute's &quot;, which the
// browser hands to the script as a plain quote.
std::string LinkString(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\'')
            out += "\\'";
        else if (c == '"')
            out += "&quot;";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

} // namespace

void WriteWelcomeBar(TDProject& project) {
    TOutputFile& out = project.Output;
    const std::string& position = project.WELCOME.POSITION;
    out.WriteLine("<table width=\"100%\" height=\"" + std::to_string(project.SIZE.WELCOME_HEIGHT) +
                  "\" border=\"0\" class=\"Welcome\">");
    out.WriteLine("<tr><td align=\"left\">");
    if (position == "Date On Left")
        WriteDateScript(project);
    else
        WriteWelcomeLinks(project);
    out.WriteLine("</td>");
    out.WriteLine("<td align=\"right\">");
    if (position == "Date On Right")
        WriteDateScript(project);
    else
        WriteWelcomeLinks(project);
    out.WriteLine("</td></tr>");
    out.WriteLine("</table>");
}

void WriteDateScript(TDProject& project) {
    TOutputFile& out = project.Output;
    // The weekdays in the order of the browser's getDay(), Sunday first.
    static const char* const Days[7] = {"SUNDAY",   "MONDAY", "TUESDAY", "WEDNESDAY",
                                        "THURSDAY", "FRIDAY", "SATURDAY"};
    out.WriteLine("<script language=JavaScript>");
    out.WriteLine("<!--");
    out.WriteLine("var today = new Date();");
    out.WriteLine("var day;");
    out.WriteLine("var date;");
    for (int d = 0; d < 7; ++d)
        out.WriteLine("if(today.getDay() == " + std::to_string(d) + ") day = \"" +
                      ScriptString(Translate(project, Days[d])) + "\";");
    out.WriteLine("date = today.getFullYear() + \"-\" + (today.getMonth() + 1) + \"-\" + "
                  "today.getDate();");
    out.WriteLine("document.write(\"" + ScriptString(Translate(project, "WELCOME")) + " " +
                  ScriptString(Translate(project, "TODAY_IS")) +
                  " [\" + date + \", \" + day + \"]\");");
    out.WriteLine("-->");
    out.WriteLine("</script>");
}

void WriteWelcomeLinks(TDProject& project) {
    TOutputFile& out = project.Output;
    // The plain href takes the address as it stands; only the copies inside the script
    // strings are escaped.
    const std::string& domain = project.TOPIC.DOMAIN;
    const std::string scriptDomain = LinkString(domain);
    // One separator line between every two links written, and nowhere else.
    bool written = false;
    auto link = [&](const std::string& line) {
        if (written)
            out.WriteLine(" | ");
        out.WriteLine(line);
        written = true;
    };
    if (project.WELCOME.HAS_HOMEPAGE)
        link("<a href=\"" + domain +
             "\" onClick=\"this.style.behavior='url(#default#homepage)';this.setHomePage('" +
             scriptDomain + "');\" class=\"Welcome\">" + Translate(project, "SETASHOMEPAGE") +
             "</a>");
    if (project.WELCOME.HAS_FAVORITE)
        link("<a href=\"javascript:window.external.AddFavorite('" + scriptDomain + "','" +
             LinkString(project.TOPIC.CAPTION) + "')\" class=\"Welcome\">" +
             Translate(project, "ADDTOFAVORITE") + "</a>");
    if (project.WELCOME.HAS_CONTACT)
        link("<a href=\"mailto:" + project.FOOT.EMAIL + "\" class=\"Welcome\">" +
             Translate(project, "CONTACTUS") + "</a>");
}
