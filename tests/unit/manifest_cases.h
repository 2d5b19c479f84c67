// SPDX-License-Identifier: MIT
#pragma once
// Manifests and what Windows' loader makes of them: the texts a template may hold (written as they
// are, in UTF-8) and the bytes a program's own manifest may hold. Linux and Windows answer every
// row alike, whichever XML parser reads, and the template tool refuses what the programs refuse.

#include <string>
#include <vector>

#include "temp_dir.h"

namespace vextra::test {

inline const std::string kRootAttributes = "xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\"";
inline const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
inline const std::string kCommonControls6 =
    "type=\"win32\" name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\" processorArchitecture=\"*\" "
    "publicKeyToken=\"6595b64144ccf1df\" language=\"*\"";

inline std::string assembly(const std::string& inside, const std::string& attributes = kRootAttributes) {
    return "<assembly " + attributes + ">\n" + inside + "</assembly>\n";
}

inline std::string dependency_on(const std::string& identity) {
    return "<dependency><dependentAssembly>\n<assemblyIdentity " + identity + "/>\n</dependentAssembly></dependency>\n";
}

// `identity` with `from` replaced by `to`, once.
inline std::string changed(std::string identity, const std::string& from, const std::string& to) {
    return identity.replace(identity.find(from), from.size(), to);
}

inline std::string nested(int levels) {
    std::string open, close;
    for (int i = 0; i < levels; ++i) {
        open += "<x>";
        close += "</x>";
    }
    return open + close;
}

struct TemplateCase {
    const char* name;
    std::string text;
    bool usable;
    std::string said = {};  // a part of the reason a refused text is given, where the rule words it
};

inline std::vector<TemplateCase> template_cases() {
    const std::string asks = dependency_on(kCommonControls6);
    const std::string own_identity = "<assemblyIdentity name=\"Old.Program\" version=\"1.0.0.0\"/>\n";
    return {
        {"the shipped manifest", read_whole_file(VEXTRA_ASSETS_DIR "/manifest.xml"), true},
        {"no declaration", assembly(asks), true},
        {"the encoding's name in lower case", "<?xml version='1.0' encoding='utf-8'?>\n" + assembly(asks), true},
        {"a UTF-8 byte order mark", "\xEF\xBB\xBF" + kDeclaration + assembly(asks), true},
        {"an empty assembly", "<assembly " + kRootAttributes + "/>", true},
        {"trust information only", read_whole_file(VEXTRA_PE_SOURCES "/trust-info.manifest"), true},
        {"prefixed names", read_whole_file(VEXTRA_PE_SOURCES "/visual-styles.manifest"), true},
        {"the program's identity without a type", assembly(own_identity + asks), true},
        {"references to the five entities and to characters",
         assembly("<description>&amp; &lt; &gt; &quot; &apos; &#65; &#x10FFFF; &#9;</description>\n"), true},
        {"'&' in a comment, CDATA and a processing instruction",
         "<!-- & -->" + assembly("<description><![CDATA[&]]><?pi &?></description>\n"), true},
        {"white space around the root", "\n\n  " + assembly(asks) + "\n\n", true},
        {"nested to the deepest allowed", assembly(nested(31)), true},
        // A document type declaration, whatever it holds, and what would come through one.
        {"a document type declaration", kDeclaration + "<!DOCTYPE assembly>\n" + assembly(asks), false,
         "line 2: a document type declaration"},
        {"an internal subset", kDeclaration + "<!DOCTYPE assembly [<!ELEMENT assembly ANY>]>\n" + assembly(asks), false,
         "line 2: a document type declaration"},
        {"a name through an internal entity",
         kDeclaration + "<!DOCTYPE assembly [<!ENTITY n 'Microsoft.Windows.Common-Controls'>]>\n" +
             assembly(dependency_on(changed(kCommonControls6, "Microsoft.Windows.Common-Controls", "&n;"))),
         false, "line 2: a document type declaration"},
        {"parameter entities",
         "<!DOCTYPE assembly [<!ENTITY % p \"<!ENTITY e 'x'>\"> %p;]>\n" + assembly("<description>&e;</description>"),
         false, "line 1: a document type declaration"},
        {"an external DTD", "<!DOCTYPE assembly SYSTEM \"manifest.dtd\">\n" + assembly(asks), false,
         "line 1: a document type declaration"},
        {"entities that expand a billion times",
         "<!DOCTYPE assembly [<!ENTITY a 'aaaaaaaaaa'><!ENTITY b '&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;'>"
         "<!ENTITY c '&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;'><!ENTITY d '&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;'>]>\n" +
             assembly("<description>&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;</description>"),
         false, "line 1: a document type declaration"},
        // The root, its namespace and version.
        {"a root other than assembly", "<a/>", false, "line 1: the root element is not assembly"},
        {"a root named otherwise in the namespace", "<manifest " + kRootAttributes + ">\n" + asks + "</manifest>\n",
         false, "line 1: the root element is not assembly"},
        {"assembly in another namespace", assembly(asks, "xmlns=\"urn:other\" manifestVersion=\"1.0\""), false,
         "line 1: the root element is not assembly"},
        {"assembly in no namespace", "<?xml version=\"1.0\"?>\r\n<assembly manifestVersion=\"1.0\"/>\r\n", false,
         "line 2: the root element is not assembly"},
        {"assembly in the namespace of version 3",
         assembly(asks, "xmlns=\"urn:schemas-microsoft-com:asm.v3\" manifestVersion=\"1.0\""), false,
         "the root element is not assembly"},
        {"no manifestVersion", assembly(asks, "xmlns=\"urn:schemas-microsoft-com:asm.v1\""), false,
         "line 1: the assembly element lacks manifestVersion=\"1.0\""},
        {"manifestVersion 2.0", assembly(asks, "xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"2.0\""),
         false, "manifestVersion"},
        {"10,000 nested elements", assembly(nested(10000)), false, "line 2: elements nested more than 32 deep"},
        {"nested one too deep", assembly(nested(32)), false, "elements nested more than 32 deep"},
        // The identities the loader binds by.
        {"a dependency version in two parts", assembly(dependency_on(changed(kCommonControls6, "6.0.0.0", "6.0"))),
         false, "line 3: an assemblyIdentity whose version"},
        {"a dependency version past 65535",
         assembly(dependency_on(changed(kCommonControls6, "6.0.0.0", "6.0.0.65536"))), false, "whose version"},
        {"a dependency of type Win32", assembly(dependency_on(changed(kCommonControls6, "win32", "Win32"))), false,
         "whose type is not win32"},
        {"a dependency without a type", assembly(dependency_on(changed(kCommonControls6, "type=\"win32\" ", ""))),
         false, "whose type is not win32"},
        {"the program's identity without a version", assembly("<assemblyIdentity name=\"Old.Program\"/>\n"), false,
         "line 2: an assemblyIdentity whose version"},
        {"a dependency without a name", assembly(dependency_on("type=\"win32\" version=\"6.0.0.0\"")), false,
         "without a name"},
        // Encodings: the text is written in UTF-8.
        {"a Latin-1 declaration",
         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n" + assembly("<description>\u00E9</description>"), false,
         "line 1: the XML declaration names an encoding other than UTF-8"},
        {"a windows-1252 declaration", "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n" + assembly(asks), false,
         "other than UTF-8"},
        {"a UTF-16 declaration", "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n" + assembly(asks), false,
         "other than UTF-8"},
        // References: XML has five entities, and characters it allows.
        {"an entity never declared", assembly("<description>&nbsp;</description>\n"), false},
        {"a bare ampersand", assembly("<description>fish & chips</description>\n"), false},
        {"a reference to character zero", assembly("<description>&#0;</description>\n"), false},
        {"a reference to a surrogate", assembly("<description>&#xD800;</description>\n"), false},
        {"a reference in an attribute to no entity", assembly("<description lang=\"&x;\"/>\n"), false},
        // Not XML at all.
        {"empty", "", false},
        {"only the declaration", kDeclaration, false},
        {"an element never closed", "<assembly " + kRootAttributes + ">\n<dependency>\n</assembly>", false},
        {"an undeclared prefix", assembly("<p:x/>\n"), false},
        {"text before the root", "x" + assembly(asks), false},
        {"a control character", assembly("<description>\x01</description>"), false},
    };
}

struct OwnManifestCase {
    const char* name;
    std::string bytes;
    bool asks;
};

// `text` (ASCII but for the characters given as \uXXXX) as UTF-16 with its byte order mark.
inline std::string utf16(const std::u16string& text, bool little_endian) {
    std::string bytes = little_endian ? "\xFF\xFE" : "\xFE\xFF";
    for (const char16_t unit : text) {
        const char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
        bytes += little_endian ? std::string{low, high} : std::string{high, low};
    }
    return bytes;
}

inline std::u16string widened(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

inline std::vector<OwnManifestCase> own_manifest_cases() {
    const std::string asks = assembly(dependency_on(kCommonControls6));
    const auto with_identity = [](const std::string& from, const std::string& to) {
        return assembly(dependency_on(changed(kCommonControls6, from, to)));
    };
    const auto declaring = [](const std::string& encoding) {
        return "<?xml version=\"1.0\" encoding=\"" + encoding + "\" standalone=\"yes\"?>\r\n";
    };
    const std::string utf16_text = declaring("UTF-16") + asks;
    return {
        {"the shipped manifest", read_whole_file(VEXTRA_ASSETS_DIR "/manifest.xml"), true},
        {"prefixed names, the assembly's name in lower case",
         read_whole_file(VEXTRA_PE_SOURCES "/visual-styles.manifest"), true},
        {"trust information only, the name in a comment", read_whole_file(VEXTRA_PE_SOURCES "/trust-info.manifest"),
         false},
        {"no declaration", asks, true},
        // Every encoding the loader reads.
        {"a UTF-8 byte order mark", "\xEF\xBB\xBF" + kDeclaration + asks, true},
        {"windows-1252", declaring("windows-1252") + "<!-- caf\xE9 \x80 -->\r\n" + asks, true},
        {"ISO-8859-1", declaring("ISO-8859-1") + "<!-- caf\xE9 -->\r\n" + asks, true},
        {"UTF-16, little endian", utf16(widened(utf16_text) + u"<!-- \u20AC\U0001F600 -->", true), true},
        {"UTF-16, big endian", utf16(widened(utf16_text), false), true},
        {"UTF-16 without its declaration", utf16(widened(asks), true), true},
        // What is no text in them.
        {"UTF-16 without a byte order mark", utf16(widened(utf16_text), true).substr(2), false},
        {"UTF-16 ending in half a code unit", utf16(widened(utf16_text), true) + "\n", false},
        {"UTF-16 with half of a surrogate pair", utf16(widened(utf16_text) + u"<!-- \xD800 -->", false), false},
        {"UTF-16 declaring UTF-8", utf16(widened(kDeclaration + asks), true), false},
        {"a UTF-8 byte order mark before a declaration of windows-1252",
         "\xEF\xBB\xBF" + declaring("windows-1252") + asks, false},
        {"an encoding not read", declaring("Shift_JIS") + asks, false},
        {"UTF-8 that is not", kDeclaration + "<!-- caf\xE9 -->\n" + asks, false},
        // The structure the loader requires.
        {"a name through an internal entity",
         kDeclaration + "<!DOCTYPE assembly [<!ENTITY n 'Microsoft.Windows.Common-Controls'>]>\n" +
             with_identity("Microsoft.Windows.Common-Controls", "&n;"),
         false},
        {"a document type declaration", "<!DOCTYPE assembly>\n" + asks, false},
        {"a name through a character reference", with_identity("Common-Controls", "Common&#45;Controls"), true},
        {"assembly in another namespace",
         assembly(dependency_on(kCommonControls6), "xmlns=\"urn:other\" manifestVersion=\"1.0\""), false},
        {"a root other than assembly",
         "<manifest " + kRootAttributes + ">\n" + dependency_on(kCommonControls6) + "</manifest>\n", false},
        {"no manifestVersion", assembly(dependency_on(kCommonControls6), "xmlns=\"urn:schemas-microsoft-com:asm.v1\""),
         false},
        {"the dependency inside another element",
         assembly("<application>" + dependency_on(kCommonControls6) + "</application>\n"), false},
        {"the dependency in another namespace",
         assembly("<dependency xmlns=\"urn:other\"><dependentAssembly><assemblyIdentity " + kCommonControls6 +
                  "/></dependentAssembly></dependency>\n"),
         false},
        {"the program's own identity only",
         "<assembly " + kRootAttributes + "><assemblyIdentity " + kCommonControls6 + "/></assembly>", false},
        {"nested too deep after the dependency", assembly(dependency_on(kCommonControls6) + nested(40)), false},
        {"not well-formed", asks.substr(0, asks.size() - 3), false},
        // The identity the loader binds common controls 6 by.
        {"version 6.0.0.0", asks, true},
        {"version 6.1.7601.24542", with_identity("6.0.0.0", "6.1.7601.24542"), true},
        {"version 6 alone", with_identity("6.0.0.0", "6"), false},
        {"version 6.0", with_identity("6.0.0.0", "6.0"), false},
        {"version 6.0.0.0.0", with_identity("6.0.0.0", "6.0.0.0.0"), false},
        {"version 6.0.0.99999", with_identity("6.0.0.0", "6.0.0.99999"), false},
        {"version 5.82", with_identity("6.0.0.0", "5.82.0.0"), false},
        {"version 60", with_identity("6.0.0.0", "60.0.0.0"), false},
        {"the name in upper case",
         with_identity("Microsoft.Windows.Common-Controls", "MICROSOFT.WINDOWS.COMMON-CONTROLS"), true},
        {"another assembly", with_identity("Microsoft.Windows.Common-Controls", "Microsoft.Windows.GdiPlus"), false},
        {"type Win32", with_identity("win32", "Win32"), false},
        {"no type", with_identity("type=\"win32\" ", ""), false},
        {"no public key token", with_identity("publicKeyToken=\"6595b64144ccf1df\" ", ""), false},
        {"another public key token", with_identity("6595b64144ccf1df", "0000000000000000"), false},
        {"the token in upper case", with_identity("6595b64144ccf1df", "6595B64144CCF1DF"), true},
    };
}

}  // namespace vextra::test
