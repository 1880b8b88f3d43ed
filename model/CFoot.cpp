#include "model/CFoot.h"

#include "model/Values.h"

TDFoot::TDFoot(TXmlElement element) {
    if (!element)
        return;
    ReadText(element, "COPYRIGHT", COPYRIGHT);
    ReadText(element, "ADDRESS", ADDRESS);
    ReadText(element, "TEL", TEL);
    ReadText(element, "FAX", FAX);
    ReadText(element, "EMAIL", EMAIL);
    ReadText(element, "POSITION", POSITION);
}

void TDFoot::Save(TXmlElement element) const {
    if (!element)
        return;
    RemoveAllChildren(element);
    WriteText(element, "COPYRIGHT", COPYRIGHT);
    WriteText(element, "ADDRESS", ADDRESS);
    WriteText(element, "TEL", TEL);
    WriteText(element, "FAX", FAX);
    WriteText(element, "EMAIL", EMAIL);
    WriteText(element, "POSITION", POSITION);
}

void TDFoot::SaveTemplate(TXmlElement element) const {
    if (!element)
        return;
    RemoveAllChildren(element);
    WriteText(element, "POSITION", POSITION);
}
