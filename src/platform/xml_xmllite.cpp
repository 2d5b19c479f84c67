// SPDX-License-Identifier: MIT
// The XML well-formedness check on Windows, by the system's own XmlLite. MinGW has its header but
// no import library, and the program must not pick up an xmllite.dll lying beside it, so the DLL
// is loaded from the system folder at run time.
#include "platform/xml.h"

#include <windows.h>
#include <objidl.h>
#include <xmllite.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/released_win32.h"
#include "platform/utf16.h"

namespace vextra::platform {
namespace {

// What the reader's error codes mean, in a few words each.
struct ErrorText {
    XmlError code;
    const char* text;
};

constexpr ErrorText kErrorTexts[] = {
    {MX_E_INPUTEND, "unexpected end of input"},
    {MX_E_ENCODING, "unrecognized encoding"},
    {MX_E_ENCODINGSWITCH, "unable to switch the encoding"},
    {MX_E_ENCODINGSIGNATURE, "unrecognized input signature"},
    {WC_E_WHITESPACE, "whitespace expected"},
    {WC_E_SEMICOLON, "semicolon expected"},
    {WC_E_GREATERTHAN, "'>' expected"},
    {WC_E_QUOTE, "quote expected"},
    {WC_E_EQUAL, "equal sign expected"},
    {WC_E_LESSTHAN, "'<' not allowed in attribute values"},
    {WC_E_HEXDIGIT, "hexadecimal digit expected"},
    {WC_E_DIGIT, "decimal digit expected"},
    {WC_E_LEFTBRACKET, "'[' expected"},
    {WC_E_LEFTPAREN, "'(' expected"},
    {WC_E_XMLCHARACTER, "illegal XML character"},
    {WC_E_NAMECHARACTER, "illegal name character"},
    {WC_E_SYNTAX, "incorrect document syntax"},
    {WC_E_CDSECT, "incorrect CDATA section syntax"},
    {WC_E_COMMENT, "incorrect comment syntax"},
    {WC_E_CONDSECT, "incorrect conditional section syntax"},
    {WC_E_DECLATTLIST, "incorrect ATTLIST declaration syntax"},
    {WC_E_DECLDOCTYPE, "incorrect DOCTYPE declaration syntax"},
    {WC_E_DECLELEMENT, "incorrect ELEMENT declaration syntax"},
    {WC_E_DECLENTITY, "incorrect ENTITY declaration syntax"},
    {WC_E_DECLNOTATION, "incorrect NOTATION declaration syntax"},
    {WC_E_NDATA, "NDATA expected"},
    {WC_E_PUBLIC, "PUBLIC expected"},
    {WC_E_SYSTEM, "SYSTEM expected"},
    {WC_E_NAME, "name expected"},
    {WC_E_ROOTELEMENT, "one root element"},
    {WC_E_ELEMENTMATCH, "end tag does not match its start tag"},
    {WC_E_UNIQUEATTRIBUTE, "duplicate attribute"},
    {WC_E_TEXTXMLDECL, "text or XML declaration not at the start of the entity"},
    {WC_E_LEADINGXML, "leading \"xml\""},
    {WC_E_TEXTDECL, "incorrect text declaration syntax"},
    {WC_E_XMLDECL, "incorrect XML declaration syntax"},
    {WC_E_ENCNAME, "incorrect encoding name syntax"},
    {WC_E_PUBLICID, "incorrect public identifier syntax"},
    {WC_E_PESINTERNALSUBSET, "parameter entity reference in the internal subset"},
    {WC_E_PESBETWEENDECLS, "parameter entity reference between declarations"},
    {WC_E_NORECURSION, "recursive entity reference"},
    {WC_E_ENTITYCONTENT, "entity content not well-formed"},
    {WC_E_UNDECLAREDENTITY, "undeclared entity"},
    {WC_E_PARSEDENTITY, "reference to an unparsed entity"},
    {WC_E_NOEXTERNALENTITYREF, "external entity reference in an attribute value"},
    {WC_E_PI, "incorrect processing instruction syntax"},
    {WC_E_SYSTEMID, "incorrect system identifier syntax"},
    {WC_E_QUESTIONMARK, "'?' expected"},
    {WC_E_CDSECTEND, "']]>' not allowed in content"},
    {WC_E_MOREDATA, "data after the root element"},
    {WC_E_DTDPROHIBITED, kDocumentTypeDeclaration.data()},
    {WC_E_INVALIDXMLSPACE, "xml:space must be \"default\" or \"preserve\""},
    {NC_E_QNAMECHARACTER, "illegal qualified name character"},
    {NC_E_QNAMECOLON, "more than one colon in a qualified name"},
    {NC_E_NAMECOLON, "colon in a name"},
    {NC_E_DECLAREDPREFIX, "declared prefix"},
    {NC_E_UNDECLAREDPREFIX, "undeclared prefix"},
    {NC_E_EMPTYURI, "non-default namespace with an empty URI"},
    {NC_E_XMLPREFIXRESERVED, "the \"xml\" prefix is reserved"},
    {NC_E_XMLNSPREFIXRESERVED, "the \"xmlns\" prefix is reserved"},
    {NC_E_XMLURIRESERVED, "the xml namespace URI is reserved"},
    {NC_E_XMLNSURIRESERVED, "the xmlns namespace URI is reserved"},
    {SC_E_MAXELEMENTDEPTH, "elements nested too deeply"},
    {SC_E_MAXENTITYEXPANSION, "entities expand too far"},
    {XML_E_INVALID_DECIMAL, "invalid decimal character reference"},
    {XML_E_INVALID_HEXIDECIMAL, "invalid hexadecimal character reference"},
    {XML_E_INVALID_UNICODE, "invalid Unicode character"},
    {XML_E_INVALIDENCODING, "invalid encoding"},
};


std::string error_text(HRESULT code) {
    for (const ErrorText& known : kErrorTexts)
        if (static_cast<HRESULT>(known.code) == code) return known.text;
    // Not the reader's own: the system may know it (Wine's reader answers "not implemented" to a
    // document type declaration with an internal subset).
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text = buffer ? to_utf8(std::wstring_view(buffer, length)) : std::string();
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    if (!text.empty()) return text;
    char hex[8];
    const auto end = std::to_chars(hex, hex + sizeof hex, static_cast<std::uint32_t>(code), 16).ptr;
    std::string digits(hex, end);
    for (char& digit : digits) digit = static_cast<char>(std::toupper(static_cast<unsigned char>(digit)));
    return "error 0x" + std::string(8 - digits.size(), '0') + digits;
}

std::string at_line(unsigned line, const std::string& what) {
    char number[10];
    const auto end = std::to_chars(number, number + sizeof number, line).ptr;
    return "line " + std::string(number, end) + ": " + what;
}

using CreateXmlReaderFunction = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);

// The system's xmllite.dll, loaded once and kept. Systems without the search flag (Vista, and 7
// without its loader update) refuse it, and are given the full path of the system folder's copy.
CreateXmlReaderFunction create_xml_reader() {
    static const CreateXmlReaderFunction create = []() -> CreateXmlReaderFunction {
        HMODULE module = LoadLibraryExW(L"xmllite.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (!module && GetLastError() == ERROR_INVALID_PARAMETER) {
            wchar_t folder[MAX_PATH];
            const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
            if (length > 0 && length < MAX_PATH)
                module = LoadLibraryExW((std::wstring(folder, length) + L"\\xmllite.dll").c_str(), nullptr,
                                        LOAD_WITH_ALTERED_SEARCH_PATH);
        }
        if (!module) return nullptr;
        return reinterpret_cast<CreateXmlReaderFunction>(
            reinterpret_cast<void (*)()>(GetProcAddress(module, "CreateXmlReader")));
    }();
    return create;
}

// The checks below hold the reader's output to rules of XML 1.0 that Windows' XmlLite enforces
// itself and Wine's does not: they never refuse a well-formed document.

// Whether every code unit is part of an XML character: no C0 control but tab, line feed and
// carriage return, no unpaired surrogate, no U+FFFE or U+FFFF.
bool all_xml_characters(const wchar_t* text, UINT length) {
    for (UINT i = 0; i < length; ++i) {
        const wchar_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 == length || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
            ++i;
        } else if ((c < 0x20 && c != 0x9 && c != 0xA && c != 0xD) || (c >= 0xDC00 && c <= 0xDFFF) || c == 0xFFFE ||
                   c == 0xFFFF) {
            return false;
        }
    }
    return true;
}

bool all_xml_characters(HRESULT (STDMETHODCALLTYPE IXmlReader::*get)(const WCHAR**, UINT*), IXmlReader& reader) {
    const WCHAR* text = nullptr;
    UINT length = 0;
    return FAILED((reader.*get)(&text, &length)) || !text || all_xml_characters(text, length);
}

std::string utf8(HRESULT (STDMETHODCALLTYPE IXmlReader::*get)(const WCHAR**, UINT*), IXmlReader& reader) {
    const WCHAR* text = nullptr;
    UINT length = 0;
    return SUCCEEDED((reader.*get)(&text, &length)) ? to_utf8(std::wstring_view(text, length)) : std::string();
}

// The prefix of the node the reader is on, from its qualified name: Wine's reader gives a node
// whose prefix no declaration binds no prefix at all, and an element the default namespace.
std::string prefix_of(IXmlReader& reader) {
    const std::string name = utf8(&IXmlReader::GetQualifiedName, reader);
    const std::size_t colon = name.find(':');
    return colon == std::string::npos ? std::string() : name.substr(0, colon);
}

// The prefixes the open elements declare, each with its element's depth; where a prefix is used,
// one of them binds it ("xml" is bound without one). Windows' reader holds a document to this
// itself, Wine's does not.
class PrefixScopes {
public:
    // Ends the scopes of the elements that closed before one at `depth` starts.
    void start_element(UINT depth) {
        while (!declared_.empty() && declared_.back().first >= depth) declared_.pop_back();
    }
    void declare(UINT depth, std::string prefix) { declared_.emplace_back(depth, std::move(prefix)); }
    bool bound(const std::string& prefix) const {
        const auto declares = [&prefix](const auto& scope) { return scope.second == prefix; };
        return prefix.empty() || prefix == "xml" || std::any_of(declared_.begin(), declared_.end(), declares);
    }

private:
    std::vector<std::pair<UINT, std::string>> declared_;
};

// What is wrong with the node the reader is on (its names and value, and an element's attributes:
// their characters, no attribute given twice, and no prefix left unbound), or the empty string.
// An element's names and attributes are put into `element`.
std::string node_error(IXmlReader& reader, XmlNodeType type, XmlElement& element, PrefixScopes& scopes) {
    if (!all_xml_characters(&IXmlReader::GetLocalName, reader) || !all_xml_characters(&IXmlReader::GetPrefix, reader) ||
        !all_xml_characters(&IXmlReader::GetValue, reader))
        return error_text(WC_E_XMLCHARACTER);
    if (type != XmlNodeType_Element) return {};
    UINT depth = 0;
    if (FAILED(reader.GetDepth(&depth))) depth = 0;
    element.depth = static_cast<int>(depth);
    scopes.start_element(depth);
    const std::string element_prefix = prefix_of(reader);
    element.namespace_uri = utf8(&IXmlReader::GetNamespaceUri, reader);
    element.name = utf8(&IXmlReader::GetLocalName, reader);
    element.attributes.clear();
    std::vector<std::pair<std::wstring, std::wstring>> names;
    std::vector<std::string> attribute_prefixes;
    for (HRESULT at = reader.MoveToFirstAttribute(); at == S_OK; at = reader.MoveToNextAttribute()) {
        const WCHAR* uri = nullptr;
        const WCHAR* name = nullptr;
        UINT uri_length = 0;
        UINT name_length = 0;
        if (FAILED(reader.GetNamespaceUri(&uri, &uri_length)) || FAILED(reader.GetLocalName(&name, &name_length)))
            continue;
        std::pair<std::wstring, std::wstring> expanded{std::wstring(uri, uri_length), std::wstring(name, name_length)};
        if (std::find(names.begin(), names.end(), expanded) != names.end()) return error_text(WC_E_UNIQUEATTRIBUTE);
        names.push_back(std::move(expanded));
        if (!all_xml_characters(&IXmlReader::GetPrefix, reader) || !all_xml_characters(&IXmlReader::GetLocalName, reader) ||
            !all_xml_characters(&IXmlReader::GetValue, reader))
            return error_text(WC_E_XMLCHARACTER);
        const std::string prefix = prefix_of(reader);
        if (prefix == "xmlns") {
            scopes.declare(depth, utf8(&IXmlReader::GetLocalName, reader));
        } else if (!(prefix.empty() && utf8(&IXmlReader::GetLocalName, reader) == "xmlns")) {
            attribute_prefixes.push_back(prefix);
            element.attributes.push_back({utf8(&IXmlReader::GetNamespaceUri, reader),
                                          utf8(&IXmlReader::GetLocalName, reader), utf8(&IXmlReader::GetValue, reader)});
        }
    }
    reader.MoveToElement();
    // Declarations may follow the attributes they bind, on the element itself.
    const auto bound = [&scopes](const std::string& prefix) { return scopes.bound(prefix); };
    if (!bound(element_prefix) || !std::all_of(attribute_prefixes.begin(), attribute_prefixes.end(), bound))
        return error_text(NC_E_UNDECLAREDPREFIX);
    return {};
}

bool starts_with(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

bool starts_with_ignoring_case(const std::wstring& text, const wchar_t* prefix) {
    const std::size_t length = wcslen(prefix);
    return text.size() >= length &&
           CompareStringOrdinal(text.c_str(), static_cast<int>(length), prefix, static_cast<int>(length), TRUE) ==
               CSTR_EQUAL;
}

// The encoding the XML declaration names, or the empty string; the reader is on the declaration.
std::wstring declared_encoding(IXmlReader& reader) {
    std::wstring encoding;
    if (reader.MoveToAttributeByName(L"encoding", nullptr) == S_OK) {
        const WCHAR* value = nullptr;
        UINT length = 0;
        if (SUCCEEDED(reader.GetValue(&value, &length)) && value) encoding.assign(value, length);
    }
    reader.MoveToElement();
    return encoding;
}

// A document without a UTF-16 or UTF-32 byte order mark starts "<?xml" in single bytes when it
// has a declaration at all (XML 1.0, appendix F), so it cannot be in such an encoding.
bool names_wide_encoding(const std::wstring& encoding) {
    return starts_with_ignoring_case(encoding, L"UTF-16") || starts_with_ignoring_case(encoding, L"UTF-32") ||
           starts_with_ignoring_case(encoding, L"UCS-2") || starts_with_ignoring_case(encoding, L"UCS-4") ||
           starts_with_ignoring_case(encoding, L"ISO-10646-UCS");
}

bool has_wide_byte_order_mark(std::string_view xml) {
    return starts_with(xml, "\xFF\xFE") || starts_with(xml, "\xFE\xFF") || starts_with(xml, std::string_view("\0\0\xFE\xFF", 4));
}

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kImpliedDeclaration = "<?xml version=\"1.0\"?>";

// Whether the text (after a UTF-8 byte order mark) starts with an XML declaration: "<?xml" and
// white space.
bool has_xml_declaration(std::string_view xml) {
    if (starts_with(xml, kUtf8ByteOrderMark)) xml.remove_prefix(kUtf8ByteOrderMark.size());
    return starts_with(xml, "<?xml") && xml.size() > 5 && (xml[5] == ' ' || xml[5] == '\t' || xml[5] == '\r' || xml[5] == '\n');
}

// The last line of a text that is an XML declaration and nothing else, or 0 for any other text.
unsigned only_a_declaration(std::string_view xml) {
    if (starts_with(xml, kUtf8ByteOrderMark)) xml.remove_prefix(kUtf8ByteOrderMark.size());
    if (!has_xml_declaration(xml) || xml.find("?>") + 2 != xml.size()) return 0;
    return 1 + static_cast<unsigned>(std::count(xml.begin(), xml.end(), '\n'));
}

// The line of the first character zero, which is no XML character, or 0 when there is none. In
// UTF-16 (after its byte order mark) it is a zero code unit; in any other encoding a document may
// be in, a zero byte.
unsigned character_zero_line(std::string_view xml) {
    if (starts_with(xml, "\xFF\xFE") || starts_with(xml, "\xFE\xFF")) {
        const bool little_endian = xml[0] == '\xFF';
        unsigned line = 1;
        for (std::size_t at = 2; at + 1 < xml.size(); at += 2) {
            const auto low = static_cast<unsigned char>(xml[little_endian ? at : at + 1]);
            const auto high = static_cast<unsigned char>(xml[little_endian ? at + 1 : at]);
            if (low == 0 && high == 0) return line;
            if (low == '\n' && high == 0) ++line;
        }
        return 0;
    }
    const std::size_t zero = xml.find('\0');
    if (zero == std::string_view::npos) return 0;
    return 1 + static_cast<unsigned>(std::count(xml.begin(), xml.begin() + static_cast<std::ptrdiff_t>(zero), '\n'));
}

// The first line that is not UTF-8 (by the system's strict decoder: no overlong forms, no
// surrogates), or 0 when all are. A line feed byte is never part of a longer sequence, so each
// line is decoded on its own.
unsigned invalid_utf8_line(std::string_view text) {
    unsigned line = 1;
    for (;;) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        if (end > 0 && MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(end), nullptr,
                                           0) == 0)
            return line;
        if (end == text.size()) return 0;
        text.remove_prefix(end + 1);
        ++line;
    }
}

}  // namespace

std::string xml_error(std::string_view xml, const std::function<void(const XmlElement&)>& visit) {
    const CreateXmlReaderFunction create = create_xml_reader();
    if (!create) return at_line(1, "the system's XML reader (xmllite.dll) is not available");
    if (xml.size() > INT_MAX - 64) return at_line(1, "too large");

    // Wine's reader reads nothing at all from a document that starts with anything but "<", such
    // as white space before the root element. A document without a declaration is given the one it
    // implies (version 1.0, UTF-8), after any UTF-8 byte order mark and on its first line, which
    // changes nothing else: a declaration later in the document is still refused.
    std::string declared;
    if (!has_wide_byte_order_mark(xml) && !has_xml_declaration(xml)) {
        const std::size_t mark = starts_with(xml, kUtf8ByteOrderMark) ? kUtf8ByteOrderMark.size() : 0;
        declared.reserve(xml.size() + kImpliedDeclaration.size());
        declared.append(xml.substr(0, mark)).append(kImpliedDeclaration).append(xml.substr(mark));
    }
    const std::string_view input = declared.empty() ? xml : std::string_view(declared);
    // Wine's reader stops the whole program on a document that ends right after its declaration,
    // and on a character zero there; it reads its text as strings that end at one.
    if (const unsigned line = only_a_declaration(input)) return at_line(line, "no root element");
    if (const unsigned line = character_zero_line(xml)) return at_line(line, error_text(WC_E_XMLCHARACTER));
    // The reader reads a stream: one over a copy of the text, in memory that the stream frees. The
    // memory may be larger than asked for, so the stream is cut to the text.
    Released<IStream> stream;
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, input.size())) {
        std::copy(input.begin(), input.end(), static_cast<char*>(GlobalLock(memory)));
        GlobalUnlock(memory);
        if (FAILED(CreateStreamOnHGlobal(memory, TRUE, &stream.pointer))) GlobalFree(memory);
    }
    ULARGE_INTEGER size{};
    size.QuadPart = input.size();
    if (!stream.pointer || FAILED(stream.pointer->SetSize(size))) return at_line(1, "out of memory");
    Released<IXmlReader> reader;
    HRESULT result = create(__uuidof(IXmlReader), reinterpret_cast<void**>(&reader.pointer), nullptr);
    if (FAILED(result)) return at_line(1, "the system's XML reader cannot be created: " + error_text(result));
    // Reading stops at a document type declaration, before anything in it is read.
    result = reader.pointer->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit);
    if (SUCCEEDED(result)) result = reader.pointer->SetInput(stream.pointer);
    if (FAILED(result)) return at_line(1, error_text(result));

    const auto line = [&reader] {
        UINT number = 0;
        return SUCCEEDED(reader.pointer->GetLineNumber(&number)) && number > 0 ? number : 1u;
    };
    bool root_seen = false;
    const bool single_bytes = !has_wide_byte_order_mark(xml);
    bool in_utf8 = single_bytes;
    XmlNodeType type = XmlNodeType_None;
    XmlElement element;
    PrefixScopes scopes;
    std::size_t nodes = 0;
    std::size_t open_elements = 0;
    unsigned last_line = 1;
    while ((result = reader.pointer->Read(&type)) == S_OK) {
        // Each node starts at a character of its own. Wine's reader, at the end of a document whose
        // root element is not closed, returns empty nodes without end.
        if (++nodes > input.size())
            return at_line(1 + static_cast<unsigned>(std::count(xml.begin(), xml.end(), '\n')),
                           error_text(MX_E_INPUTEND));
        // Wine's reader may go on past the end of the root element with end tags of no element, on
        // which it crashes when asked their name or line: the line is the last node's.
        if (type == XmlNodeType_EndElement && open_elements-- == 0)
            return at_line(last_line, error_text(WC_E_ELEMENTMATCH));
        last_line = line();
        // Windows' reader refuses the declaration itself; should a reader hand it out as a node
        // all the same, the reading stops there too.
        if (type == XmlNodeType_DocumentType) return at_line(last_line, std::string(kDocumentTypeDeclaration));
        if (type == XmlNodeType_Element && !reader.pointer->IsEmptyElement()) ++open_elements;
        if (type == XmlNodeType_XmlDeclaration) {
            const std::wstring encoding = declared_encoding(*reader.pointer);
            if (single_bytes && names_wide_encoding(encoding)) return at_line(line(), error_text(MX_E_ENCODINGSWITCH));
            in_utf8 = single_bytes && (encoding.empty() || starts_with_ignoring_case(encoding, L"UTF-8"));
        }
        if (const std::string error = node_error(*reader.pointer, type, element, scopes); !error.empty())
            return at_line(line(), error);
        if (type != XmlNodeType_Element) continue;
        root_seen = root_seen || element.depth == 0;
        if (visit) {
            element.line = last_line;
            visit(element);
        }
    }
    if (FAILED(result)) return at_line(line(), error_text(result));
    if (!root_seen) return at_line(line(), "no root element");
    if (in_utf8) {
        if (const unsigned bad = invalid_utf8_line(xml)) return at_line(bad, error_text(MX_E_ENCODING));
    }
    return {};
}

}  // namespace vextra::platform
