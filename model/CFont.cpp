#include "model/CFont.h"

#include "model/Values.h"

const char* const FontEncodings[20] = {
    "Western (ISO-8859-1)",
    "Japanese (Shift JIS)",
    "Japanese (JIS)",
    "Japanese (EUC)",
    "Traditional Chinese (Big5)",
    "Simplified Chinese (GB2312)",
    "Korean (EUC-KR)",
    "Central European (ISO-8859-2)",
    "Central European (MacCE)",
    "Central European (Windows-1250)",
    "Cyrillic (ISO-8859-5)",
    "Cyrillic (KOI8-R)",
    "Cyrillic (MacCyrillic)",
    "Cyrillic (Windows-1251)",
    "Greek (ISO-8859-7)",
    "Greek (MacGreek)",
    "Greek (Windows-1253)",
    "Windows 1252",
    "UTF-8",
    "Other",
};

const char* const FontFamilies[7] = {
    "Default Font",
    "Arial, Helvetica, sans-serif",
    "Times New Roman, Times, serif",
    "Courier New, Courier, mono",
    "Georgia, Times New Roman, Times, serif",
    "Verdana, Arial, Helvetica, sans-serif",
    "Geneva, Arial, Helvetica, san-serif",
};

TDFont::TDFont(TXmlElement element) {
    if (!element)
        return;
    ReadText(element, "ENCODING", ENCODING);
    ReadText(element, "FAMILY", FAMILY);
    ReadInteger(element, "TOPIC", TOPIC);
    ReadInteger(element, "MENU", MENU);
    ReadInteger(element, "TITLE", TITLE);
    ReadInteger(element, "TEXT", TEXT);
    ReadFlag(element, "BOLD_TOPIC", BOLD_TOPIC);
    ReadFlag(element, "BOLD_TITLE", BOLD_TITLE);
    ReadFlag(element, "BOLD_LINK", BOLD_LINK);
    ReadFlag(element, "UNDERLINE_LINK", UNDERLINE_LINK);
}

void TDFont::Save(TXmlElement element) const {
    if (!element)
        return;
    RemoveAllChildren(element);
    WriteText(element, "ENCODING", ENCODING);
    WriteText(element, "FAMILY", FAMILY);
    WriteInteger(element, "TOPIC", TOPIC);
    WriteInteger(element, "MENU", MENU);
    WriteInteger(element, "TITLE", TITLE);
    WriteInteger(element, "TEXT", TEXT);
    WriteFlag(element, "BOLD_TOPIC", BOLD_TOPIC);
    WriteFlag(element, "BOLD_TITLE", BOLD_TITLE);
    WriteFlag(element, "BOLD_LINK", BOLD_LINK);
    WriteFlag(element, "UNDERLINE_LINK", UNDERLINE_LINK);
}

void TDFont::SaveTemplate(TXmlElement element) const {
    Save(element);
}
