// The welcome bar: a two-cell strip with today's date, written by a small script in the
// visitor's browser, and up to three links (start page, favourites, mail to the owner).
#include "generator/Generator.h"

#include <string>

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
                      Translate(project, Days[d]) + "\";");
    out.WriteLine("date = today.getFullYear() + \"-\" + (today.getMonth() + 1) + \"-\" + "
                  "today.getDate();");
    out.WriteLine("document.write(\"" + Translate(project, "WELCOME") + " " +
                  Translate(project, "TODAY_IS") + " [\" + date + \", \" + day + \"]\");");
    out.WriteLine("-->");
    out.WriteLine("</script>");
}

void WriteWelcomeLinks(TDProject& project) {
    TOutputFile& out = project.Output;
    const std::string& domain = project.TOPIC.DOMAIN;
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
             domain + "');\" class=\"Welcome\">" + Translate(project, "SETASHOMEPAGE") + "</a>");
    if (project.WELCOME.HAS_FAVORITE)
        link("<a href=\"javascript:window.external.AddFavorite('" + domain + "','" +
             project.TOPIC.CAPTION + "')\" class=\"Welcome\">" +
             Translate(project, "ADDTOFAVORITE") + "</a>");
    if (project.WELCOME.HAS_CONTACT)
        link("<a href=\"mailto:" + project.FOOT.EMAIL + "\" class=\"Welcome\">" +
             Translate(project, "CONTACTUS") + "</a>");
}
