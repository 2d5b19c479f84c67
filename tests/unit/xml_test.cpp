// SPDX-License-Identifier: MIT
// The well-formedness check that stands between a template and a manifest on disk: a text that
// fails it would stop the program the manifest belongs to from starting.
#include "platform/xml.h"

#include <gtest/gtest.h>

#include <vector>

#include "temp_dir.h"

namespace vextra::platform {
namespace {

TEST(XmlError, AcceptsWellFormedDocuments) {
    const std::string documents[] = {
        "<a/>",
        "<?xml version='1.0'?>\n<!-- c --><a b=\"&amp;&#60;&#x3E;\"><![CDATA[<&]]><?pi x?><c/></a><!-- after -->\n",
        "<ns:a xmlns:ns='urn:x'><ns:b>text &gt; more</ns:b></ns:a>",
        "<a p:x='1' xmlns:p='urn:p' xml:lang='en'><p:b/></a>",
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<a t=\"\u00E9\u20AC\U0001F600\"/>\r\n",
        test::read_whole_file(VEXTRA_ASSETS_DIR "/manifest.xml"),
    };
    for (const std::string& document : documents) EXPECT_EQ(xml_error(document), "") << document;
}

TEST(XmlError, RefusesWhatIsNoDocumentSayingOnWhichLine) {
    struct Case {
        const char* name;
        std::string text;
        const char* line;
    };
    const Case cases[] = {
        {"empty", "", "line 1: "},
        {"only the XML declaration", "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n", "line "},
        {"only an end tag", "</a>", "line 1: "},
        {"CDATA without a root", "<![CDATA[x]]>", "line 1: "},
#ifndef _WIN32
        // Wine's own XmlLite leaves references it cannot resolve as text; Windows' refuses them.
        {"character zero", "<a>&#0;</a>", "line 1: "},
        {"unknown entity", "<a>&nbsp;</a>", "line 1: "},
        {"bare ampersand", "<a>&</a>", "line 1: "},
#endif
        {"UTF-16 declared over UTF-8 bytes", "<?xml version=\"1.0\" encoding=\"UTF-16\"?><a/>", "line 1: "},
        {"unclosed element", "<a>\n<b>\n</a>", "line 3: "},
        {"root never closed", "<a>", "line 1: "},
        {"two roots", "<a/>\n<b/>", "line 2: "},
        {"text before the root", "x<a/>", "line 1: "},
        {"unquoted attribute", "<a x=1/>", "line 1: "},
        {"attribute twice", "<a x='1' x='2'/>", "line 1: "},
        {"declaration not first", " <?xml version=\"1.0\"?><a/>", "line 1: "},
        {"bytes that are not UTF-8", "<a>\xF8\x88\x80\x80\x80</a>", "line 1: "},
        {"a control character", "<a>\x01</a>", "line 1: "},
        {"an undeclared prefix", "<a>\n<p:b/></a>", "line 2: "},
        {"an undeclared prefix in a default namespace", "<a xmlns='urn:a'>\n<p:b/></a>", "line 2: "},
        {"an undeclared prefix of an attribute", "<a>\n<b p:c='1'/></a>", "line 2: "},
        {"a prefix declared by a sibling", "<a><b xmlns:p='urn:p'/>\n<p:c/></a>", "line 2: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string error = xml_error(c.text);
        EXPECT_EQ(error.rfind(c.line, 0), 0u) << error;
        EXPECT_GT(error.size(), std::string(c.line).size()) << "says what is wrong";
    }
}

// Reading stops at a document type declaration, before anything in it is read: no entity is
// expanded, no file it names is looked for, and both parsers say so alike.
TEST(XmlError, StopsAtADocumentTypeDeclaration) {
    struct Case {
        const char* name;
        std::string text;
        unsigned line;
    };
    const Case cases[] = {
        {"a name only", "<!DOCTYPE a><a/>", 1},
        {"after the declaration", "<?xml version=\"1.0\"?>\n<!-- c -->\n<!DOCTYPE a>\n<a/>", 3},
        {"an internal entity", "<!DOCTYPE a [<!ENTITY x 'y'>]><a>&x;</a>", 1},
        {"a billion laughs", "<!DOCTYPE a [<!ENTITY a 'aaaaaaaaaa'><!ENTITY b '&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;'>"
                             "<!ENTITY c '&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;'>]><a>&c;&c;&c;&c;</a>", 1},
        {"parameter entities", "<!DOCTYPE a [<!ENTITY % p \"<!ENTITY e 'x'>\"> %p;]><a>&e;</a>", 1},
        {"an external DTD", "<!DOCTYPE a SYSTEM \"http://example.invalid/a.dtd\"><a/>", 1},
        {"a public identifier", "<!DOCTYPE a PUBLIC \"-//A//DTD A//EN\" \"a.dtd\">\n<a/>", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(xml_error(c.text), "line " + std::to_string(c.line) + ": " + std::string(kDocumentTypeDeclaration));
    }
}

TEST(XmlError, ReportsEachElementWithItsNamespaceAndAttributes) {
    const std::string document =
        "<?xml version='1.0'?>\n"
        "<p:root xmlns:p='urn:p' xmlns='urn:default' plain='1' p:qualified='&lt;2&#x3E;'>\n"
        "  <child/><!-- <ignored/> -->\n"
        "  <p:child xmlns:q='urn:q'><q:leaf xml:lang='en'/><none xmlns=''/></p:child>\n"
        "</p:root>\n";
    std::vector<std::string> seen;
    ASSERT_EQ(xml_error(document, [&](const XmlElement& element) {
        std::string line = std::to_string(element.line) + " " + std::to_string(element.depth) + " {" +
                           element.namespace_uri + "}" + element.name;
        for (const XmlAttribute& attribute : element.attributes)
            line += " {" + attribute.namespace_uri + "}" + attribute.name + "=" + attribute.value;
        seen.push_back(line);
    }), "");
    const std::vector<std::string> expected = {
        "2 0 {urn:p}root {}plain=1 {urn:p}qualified=<2>",
        "3 1 {urn:default}child",
        "4 1 {urn:p}child",
        "4 2 {urn:q}leaf {http://www.w3.org/XML/1998/namespace}lang=en",
        "4 2 {}none",
    };
    EXPECT_EQ(seen, expected);
}

}  // namespace
}  // namespace vextra::platform
