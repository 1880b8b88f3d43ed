// Any bytes as a project or column document: reading them gives records or a TError, never a
// crash, and what was read is written back and read again to the same bytes.
#include "model/CColor.h"
#include "model/CFont.h"
#include "model/CFoot.h"
#include "model/CFrame.h"
#include "model/CHotspot.h"
#include "model/CLanguage.h"
#include "model/CMenu.h"
#include "model/CMenuItem.h"
#include "model/CPage.h"
#include "model/CPublish.h"
#include "model/CSize.h"
#include "model/CTopic.h"
#include "model/CWelcome.h"
#include "platform/Error.h"
#include "platform/XmlDocument.h"

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

namespace {

template <class R> void Check(TXmlElement root, const char* name) {
    R record(ChildByName(root, name));
    pugi::xml_document a;
    TXmlElement first = a.append_child(name);
    record.Save(first);
    R again(first);
    pugi::xml_document b;
    TXmlElement second = b.append_child(name);
    again.Save(second);
    std::ostringstream x, y;
    first.print(x, "", pugi::format_raw);
    second.print(y, "", pugi::format_raw);
    if (x.str() != y.str())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TXmlDocument document;
    try {
        document.LoadFromBytes(std::string(reinterpret_cast<const char*>(data), size), "fuzz");
    } catch (const TError&) {
        return 0;
    }
    TXmlElement root = document.Root();
    try {
        Check<TDFrame>(root, "FRAME");
        Check<TDSize>(root, "SIZE");
        Check<TDColor>(root, "COLOR");
        Check<TDFont>(root, "FONT");
        Check<TDLanguage>(root, "LANGUAGE");
        Check<TDWelcome>(root, "WELCOME");
        Check<TDTopic>(root, "TOPIC");
        Check<TDMenu>(root, "MENU");
        Check<TDHotspot>(root, "HOTSPOT");
        Check<TDFoot>(root, "FOOT");
        Check<TDPublish>(root, "PUBLISH");
        Check<TDMenuItem>(root, "MENUITEM");
        Check<TDPage>(root, "PAGE");
    } catch (const TError&) {
    }
    document.ToString();
    return 0;
}
