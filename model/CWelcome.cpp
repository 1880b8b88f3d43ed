#include "model/CWelcome.h"

#include "model/Values.h"

TDWelcome::TDWelcome(TXmlElement element) {
    if (!element)
        return;
    ReadFlag(element, "HAS_HOMEPAGE", HAS_HOMEPAGE);
    ReadFlag(element, "HAS_FAVORITE", HAS_FAVORITE);
    ReadFlag(element, "HAS_CONTACT", HAS_CONTACT);
    ReadText(element, "POSITION", POSITION);
}

void TDWelcome::Save(TXmlElement element) const {
    if (!element)
        return;
    RemoveAllChildren(element);
    WriteFlag(element, "HAS_HOMEPAGE", HAS_HOMEPAGE);
    WriteFlag(element, "HAS_FAVORITE", HAS_FAVORITE);
    WriteFlag(element, "HAS_CONTACT", HAS_CONTACT);
    WriteText(element, "POSITION", POSITION);
}

void TDWelcome::SaveTemplate(TXmlElement element) const {
    Save(element);
}
