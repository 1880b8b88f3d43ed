#include "model/CFrame.h"

#include "model/Values.h"

const char* const FrameLayouts[6] = {
    "Topic on top menu on top",   "Topic and menu on top",        "Menu on left foot on bottom",
    "Menu on left foot on right", "Topic on left foot on bottom", "Topic on left foot on right",
};

TDFrame::TDFrame(TXmlElement element) {
    if (!element)
        return;
    ReadText(element, "FRAME", FRAME);
    ReadText(element, "HOMEPAGE", HOMEPAGE);
    ReadFlag(element, "NO_MARGIN", NO_MARGIN);
    ReadFlag(element, "ON_LEFT", ON_LEFT);
    ReadFlag(element, "HAS_WELCOME", HAS_WELCOME);
    ReadFlag(element, "HAS_HOTSPOT", HAS_HOTSPOT);
    ReadText(element, "BACKGROUND", BACKGROUND);
}

void TDFrame::Save(TXmlElement element) const {
    if (!element)
        return;
    RemoveAllChildren(element);
    WriteText(element, "FRAME", FRAME);
    WriteText(element, "HOMEPAGE", HOMEPAGE);
    WriteFlag(element, "NO_MARGIN", NO_MARGIN);
    WriteFlag(element, "ON_LEFT", ON_LEFT);
    WriteFlag(element, "HAS_WELCOME", HAS_WELCOME);
    WriteFlag(element, "HAS_HOTSPOT", HAS_HOTSPOT);
    if (!BACKGROUND.empty())
        WriteText(element, "BACKGROUND", BACKGROUND);
}

void TDFrame::SaveTemplate(TXmlElement element) const {
    Save(element);
}
