#include "platform/XmlDocument.h"

#include "platform/Error.h"
#include "platform/FileDescriptor.h"
#include "platform/FileFaults.h"
#include "platform/FileSystem.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr unsigned ParseOptions = pugi::parse_default | pugi::parse_declaration |
                                  pugi::parse_comments | pugi::parse_pi |
                                  pugi::parse_ws_pcdata_single;

} // namespace

std::string ReadDocumentFile(const std::string& fileName, TXmlDocument::TLinks links) {
    const bool followLinks = links == TXmlDocument::TLinks::Follow;
    // Non-blocking, so that a FIFO or a device in place of a document is refused at once by
    // the test below instead of holding the program; for a regular file it changes nothing.
    TFileDescriptor fd(::open(fileName.c_str(),
                              O_RDONLY | O_NONBLOCK | O_CLOEXEC | (followLinks ? 0 : O_NOFOLLOW)));
    if (!fd) {
        const int error = errno;
        if (error == ELOOP && !followLinks)
            throw TError("The file is a symbolic link, which is not read", fileName);
        throw TError(std::string("Cannot open the file: ") + std::strerror(error), fileName);
    }
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        throw TError("Not a readable file", fileName);
    if (static_cast<unsigned long long>(st.st_size) > TXmlDocument::MaxFileSize)
        throw TError("The file is too large to be a document of this program (" +
                         std::to_string(st.st_size) + " bytes)",
                     fileName);
    std::string data;
    char buffer[65536];
    for (;;) {
        ssize_t n = FileCalls::Read(fd.Get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            throw TError(std::string("Cannot read the file: ") + std::strerror(error), fileName);
        }
        if (n == 0)
            break;
        data.append(buffer, static_cast<std::size_t>(n));
        if (data.size() > TXmlDocument::MaxFileSize)
            throw TError("The file is too large to be a document of this program", fileName);
    }
    return data;
}

namespace {

bool LooksLikeUtf8(const std::string& data) {
    if (data.size() >= 2 && ((static_cast<unsigned char>(data[0]) == 0xFF &&
                              static_cast<unsigned char>(data[1]) == 0xFE) ||
                             (static_cast<unsigned char>(data[0]) == 0xFE &&
                              static_cast<unsigned char>(data[1]) == 0xFF)))
        return false;
    return data.size() < 2 || (data[0] != '\0' && data[1] != '\0');
}

// Depth of the deepest node, walked without recursion.
int DocumentDepth(const pugi::xml_node& root) {
    int depth = 0, deepest = 0;
    pugi::xml_node node = root.first_child();
    if (!node)
        return 0;
    depth = 1;
    while (node) {
        if (depth > deepest)
            deepest = depth;
        if (node.first_child()) {
            node = node.first_child();
            ++depth;
            continue;
        }
        while (node && !node.next_sibling() && node != root) {
            node = node.parent();
            --depth;
        }
        if (!node || node == root)
            break;
        node = node.next_sibling();
    }
    return deepest;
}

class TStringWriter : public pugi::xml_writer {
  public:
    std::string Data;
    void write(const void* data, size_t size) override {
        Data.append(static_cast<const char*>(data), size);
    }
};

} // namespace

TXmlDocument::TXmlDocument() = default;

void TXmlDocument::Load(const std::string& fileName, TLinks links) {
    LoadFromBytes(ReadDocumentFile(fileName, links), fileName);
}

void TXmlDocument::LoadFromBytes(const std::string& data, const std::string& fileName) {
    Clear();
    if (data.size() > MaxFileSize)
        throw TError("The file is too large to be a document of this program", fileName);
    pugi::xml_document doc;
    pugi::xml_parse_result result =
        doc.load_buffer(data.data(), data.size(), ParseOptions, pugi::encoding_auto);
    if (!result) {
        std::ostringstream message;
        message << "The file is not a well-formed XML document: " << result.description();
        if (LooksLikeUtf8(data) && result.offset >= 0 &&
            static_cast<std::size_t>(result.offset) <= data.size()) {
            int line = 1, column = 1;
            for (std::ptrdiff_t i = 0; i < result.offset; ++i) {
                if (data[static_cast<std::size_t>(i)] == '\n') {
                    ++line;
                    column = 1;
                } else if ((static_cast<unsigned char>(data[static_cast<std::size_t>(i)]) & 0xC0) !=
                           0x80) {
                    ++column;
                }
            }
            message << " at line " << line << ", column " << column;
        } else if (result.offset >= 0) {
            message << " at character " << result.offset;
        }
        throw TError(message.str(), fileName);
    }
    if (!doc.document_element())
        throw TError("The file is not a well-formed XML document: it has no root element",
                     fileName);
    if (DocumentDepth(doc) > MaxDepth)
        throw TError("The document is nested too deeply (more than " + std::to_string(MaxDepth) +
                         " levels)",
                     fileName);
    // Moved, not copied: a copy of a large document costs as much as its parse.
    FDoc = std::move(doc);
    FFileName = fileName;
    FActive = true;
}

void TXmlDocument::New() {
    Clear();
    pugi::xml_node decl = FDoc.append_child(pugi::node_declaration);
    decl.append_attribute("version") = "1.0";
    decl.append_attribute("encoding") = "UTF-8";
    FActive = true;
}

TXmlElement TXmlDocument::CreateRoot(const std::string& name) {
    if (!FActive)
        New();
    return FDoc.append_child(name.c_str());
}

TXmlElement TXmlDocument::Root() const {
    return FDoc.document_element();
}

void TXmlDocument::Save() {
    SaveToFile(FFileName);
}

std::string TXmlDocument::ToString() {
    // Every document is written with the declaration version "1.0" encoding "UTF-8": the
    // bytes are UTF-8, so a declaration that named another encoding would lie.
    pugi::xml_node decl = FDoc.first_child();
    if (decl.type() != pugi::node_declaration) {
        decl = FDoc.prepend_child(pugi::node_declaration);
        decl.append_attribute("version") = "1.0";
    }
    pugi::xml_attribute encoding = decl.attribute("encoding");
    if (!encoding)
        encoding = decl.append_attribute("encoding");
    if (strcasecmp(encoding.value(), "UTF-8") != 0)
        encoding.set_value("UTF-8");
    TStringWriter writer;
    FDoc.save(writer, "", pugi::format_raw, pugi::encoding_utf8);
    return writer.Data;
}

void TXmlDocument::SaveToFile(const std::string& fileName, unsigned newFileMode) {
    if (fileName.empty())
        throw TError("The document has no file name to be written to");
    WriteFileAtomically(fileName, ToString(), newFileMode);
    FFileName = fileName;
}

void TXmlDocument::Clear() {
    FDoc.reset();
    FFileName.clear();
    FActive = false;
}

TXmlElement ChildByName(TXmlElement element, std::string_view name) {
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_element && name == child.name())
            return child;
    return TXmlElement();
}

std::vector<TXmlElement> ChildNodes(TXmlElement element) {
    std::vector<TXmlElement> nodes;
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_pcdata) {
            const char* p = child.value();
            while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')
                ++p;
            if (*p == '\0')
                continue;
        }
        nodes.push_back(child);
    }
    return nodes;
}

void RemoveAllChildren(TXmlElement element) {
    while (pugi::xml_node child = element.first_child())
        element.remove_child(child);
}

TXmlElement AppendChild(TXmlElement element, const std::string& name) {
    return element.append_child(name.c_str());
}

std::string ElementText(TXmlElement element) {
    pugi::xml_node first = element.first_child();
    if (!first)
        return std::string();
    if (!first.next_sibling() &&
        (first.type() == pugi::node_pcdata || first.type() == pugi::node_cdata))
        return first.value();
    throw TError(std::string("Element \"") + element.name() +
                 "\" does not contain a single text node");
}

void SetElementText(TXmlElement element, const std::string& text) {
    RemoveAllChildren(element);
    if (!text.empty())
        element.append_child(pugi::node_pcdata).set_value(text.c_str());
}
