// The texts of pages and the hotspot: written as typed, or rendered from Markdown.

#include "generator/BuildState.h"
#include "generator/Generator.h"
#include "generator/MarkdownRenderer.h"
#include "generator/SiteTextTargets.h"
#include "generator/TextPieces.h"
#include "generator/modern/ModernPage.h"
#include "generator/modern/TypedHtml.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>

using namespace TextPieces;

namespace {

// Tells the build what of a text names nothing.
void NoteProblems(TDProject& project, const TSiteTextTargets& targets) {
    TBuildState* state = project.BuildState;
    if (!state)
        return;
    for (const std::string& problem : targets.Problems()) {
        // Each once, though the text shows on its listing and on its own page.
        if (std::find(state->Notes.begin(), state->Notes.end(), problem) != state->Notes.end())
            continue;
        state->Notes.push_back(problem);
        if (state->TextProblems++ == 0)
            state->FirstTextProblem = problem;
    }
}

// Renders a Markdown text for the page and tells the build what of it names nothing.
std::string RenderMarkdown(TDProject& project, std::string_view text, std::string owner,
                           int firstHeading) {
    TSiteTextTargets targets(project, true);
    targets.SetOwner(std::move(owner));
    TMarkdownRenderer::TLayout layout;
    layout.FirstHeading = firstHeading;
    // The modern pages carry no presentational attributes.
    layout.AlignByClass = project.OPTIONS.IsModern();
    std::string html = TMarkdownRenderer(targets, layout).Html(text);
    NoteProblems(project, targets);
    return html;
}

// A text as typed for the modern pages: only the markup they can carry (TTypedHtml). The
// classic pages write it as it is, with its line breaks as "<br>": what the user typed is
// theirs.
std::string TypedHtml(TDProject& project, std::string_view text, const std::string& owner,
                      std::string_view title) {
    TSiteTextTargets targets(project, true);
    targets.SetOwner(owner);
    std::string html = TTypedHtml(targets, title).Html(text);
    NoteProblems(project, targets);
    return html;
}

// Whether text holds a character of the scripts written without blanks between words: the
// CJK ideographs, kana, and their punctuation and full-width forms.
bool HasCjkCharacter(std::string_view text) {
    for (std::size_t at = 0; at + 2 < text.size(); ++at) {
        const auto lead = static_cast<unsigned char>(text[at]);
        if (lead < 0xE0 || lead > 0xEF)
            continue;
        const unsigned code = ((lead & 0x0FU) << 12) |
                              ((static_cast<unsigned char>(text[at + 1]) & 0x3FU) << 6) |
                              (static_cast<unsigned char>(text[at + 2]) & 0x3FU);
        if ((code >= 0x2E80 && code <= 0x9FFF) || (code >= 0xF900 && code <= 0xFAFF) ||
            (code >= 0xFF00 && code <= 0xFFEF))
            return true;
    }
    return false;
}

// The byte length of the first limit characters of text (all of it when shorter).
std::size_t PrefixBytes(std::string_view text, std::size_t limit) {
    std::size_t bytes = 0;
    for (std::size_t count = 0; bytes < text.size() && count < limit; ++count)
        bytes += CharLength(text, bytes);
    return bytes;
}

// Bytes enough for more than limit characters of the plain text: whether it goes on after
// them, and with what, shows.
std::size_t EnoughFor(std::size_t limit) {
    return limit > (std::string::npos - 8) / 4 ? std::string::npos : 4 * limit + 8;
}

} // namespace

void WritePageText(TDProject& project, const TDPage& page, int firstHeading) {
    std::string owner = "Page '";
    owner += page.TITLE;
    owner += '\'';
    if (!page.IsMarkdown()) {
        if (project.OPTIONS.IsModern())
            project.Output.Write(TypedHtml(project, page.TEXT, owner, page.TITLE));
        else
            WriteWithBreaks(project.Output, page.TEXT);
        return;
    }
    project.Output.Write(RenderMarkdown(project, page.TEXT, std::move(owner), firstHeading));
}

void WriteHotspotText(TDProject& project, int firstHeading) {
    const TDHotspot& hotspot = project.HOTSPOT;
    if (!hotspot.IsMarkdown() && !project.OPTIONS.IsModern()) {
        WriteWithBreaks(project.Output, hotspot.TEXT);
        return;
    }
    const auto html = [&] {
        return hotspot.IsMarkdown()
                   ? RenderMarkdown(project, hotspot.TEXT, "The hotspot", firstHeading)
                   : TypedHtml(project, hotspot.TEXT, "The hotspot", hotspot.TITLE);
    };
    TBuildState* state = project.BuildState;
    if (!state) {
        project.Output.Write(html());
        return;
    }
    // Its links and pictures lead to the same files from every page, all in one folder.
    const int level = hotspot.IsMarkdown() ? firstHeading : TBuildState::TypedHotspot;
    auto rendered = state->HotspotHtml.find(level);
    if (rendered == state->HotspotHtml.end())
        rendered = state->HotspotHtml.emplace(level, html()).first;
    project.Output.Write(rendered->second);
}

TTextSummary MarkdownSummary(std::string_view storedText, std::size_t limit) {
    const std::string plain = TMarkdownRenderer::PlainText(storedText, EnoughFor(limit));
    TTextSummary summary;
    std::size_t end = PrefixBytes(plain, limit);
    if (end < plain.size()) {
        summary.Cut = true;
        // At a blank: the limit fell between two words, or the last word before it ends there.
        // Chinese and Japanese are written without blanks: there any character ends a word.
        if (plain[end] != ' ') {
            const std::size_t blank = plain.rfind(' ', end);
            if (blank != std::string::npos)
                end = blank;
            else if (!HasCjkCharacter(std::string_view(plain).substr(0, end)))
                end = 0;
        }
    }
    summary.Html = HtmlEscaped(std::string_view(plain).substr(0, end));
    return summary;
}

std::string MarkdownPlainStart(std::string_view storedText, std::size_t limit) {
    std::string plain = TMarkdownRenderer::PlainText(storedText, EnoughFor(limit));
    plain.resize(PrefixBytes(plain, limit));
    return plain;
}

// The project tells a design which pictures it writes (the Modern design's srcset).
void AppendTextPicture(TDProject& project, const TTextPicture& picture, std::string& html) {
    if (project.OPTIONS.IsModern()) {
        std::string tag =
            TModernPage::Picture(project, picture.Name, picture.Natural.Width,
                                 picture.Natural.Height, picture.Alt, 0, true, nullptr);
        if (!picture.Title.empty())
            tag.insert(tag.size() - 1, " title=\"" + picture.Title + "\"");
        html += tag;
        return;
    }
    // "#", "?" and "%" of a name are part of the name, not of the address.
    html += "<img src=\"";
    html += TSiteTextTargets::EncodedName(picture.File);
    html += "\" alt=\"";
    html += picture.Alt;
    html += '"';
    if (!picture.Title.empty()) {
        html += " title=\"";
        html += picture.Title;
        html += '"';
    }
    if (picture.Size.Width > 0 && picture.Size.Height > 0) {
        html += " width=\"";
        html += std::to_string(picture.Size.Width);
        html += "\" height=\"";
        html += std::to_string(picture.Size.Height);
        html += '"';
    }
    html += '>';
}
