#pragma once

#include <cstddef>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

// An element of a document held by TXmlDocument. A null element stands for "none".
using TXmlElement = pugi::xml_node;

// The shared XML document object: every project, column and template file is read and
// written through one of these. Between uses it is empty (inactive, no file name).
class TXmlDocument {
  public:
    // Files larger than this, or nested deeper, are refused with a clear error.
    static constexpr std::size_t MaxFileSize = 64u * 1024u * 1024u;
    static constexpr int MaxDepth = 64;

    TXmlDocument();

    // Whether Load opens a file through a symbolic link: never for a name that comes from
    // a document (a column document), which a hand-edited project could point anywhere.
    enum class TLinks { Follow, Refuse };

    // Reads a file. Accepts a byte-order mark, UTF-16 and whitespace between elements.
    // Throws TError naming the file (and line and column where the parser knows them).
    void Load(const std::string& fileName, TLinks links = TLinks::Follow);
    // The same from bytes in memory; fileName only names them in errors.
    void LoadFromBytes(const std::string& data, const std::string& fileName);

    // Makes a new document holding only the declaration version "1.0" encoding "UTF-8".
    void New();

    // Adds the root element to a new document.
    TXmlElement CreateRoot(const std::string& name);

    // The root element, or none.
    TXmlElement Root() const;

    // Writes the document to the file it was loaded from.
    void Save();

    // Writes the document with no whitespace between elements. The bytes go to a temporary
    // file beside the target, which is then renamed over it: a failed save leaves the old
    // file as it was.
    // A new file gets newFileMode (less the umask); one written again keeps its mode.
    void SaveToFile(const std::string& fileName, unsigned newFileMode = 0666);

    // Empties the object: inactive, no file name.
    void Clear();

    bool Active() const { return FActive; }
    const std::string& FileName() const { return FFileName; }

    // The document's bytes as SaveToFile writes them.
    std::string ToString();

  private:
    pugi::xml_document FDoc;
    std::string FFileName;
    bool FActive = false;
};

// Leaves the shared document empty however the operation that uses it ends.
struct TEmptyAfterUse {
    TXmlDocument& Document;
    ~TEmptyAfterUse() { Document.Clear(); }
};

// Helpers on elements, all exact and case-sensitive on names.
TXmlElement ChildByName(TXmlElement element, std::string_view name);
// Child nodes that count as content: every element, comment and text node except text that
// is only whitespace between elements.
std::vector<TXmlElement> ChildNodes(TXmlElement element);
void RemoveAllChildren(TXmlElement element);
TXmlElement AppendChild(TXmlElement element, const std::string& name);
// The element's text. An element without content gives the empty text; one that holds
// elements or text mixed with other nodes cannot be read as text and throws TError.
std::string ElementText(TXmlElement element);
// Replaces the element's content by one text (none for the empty text).
void SetElementText(TXmlElement element, const std::string& text);
