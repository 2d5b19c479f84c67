// SPDX-License-Identifier: MIT
// The well-formedness check that stands between a template and a manifest on disk: a text that
// fails it would stop the program the manifest belongs to from starting.
#include "platform/xml.h"

#include <gtest/gtest.h>

#include "temp_dir.h"

namespace vextra::platform {
namespace {

TEST(XmlError, AcceptsWellFormedDocuments) {
    const std::string documents[] = {
        "<a/>",
        "<?xml version='1.0'?>\n<!-- c --><a b=\"&amp;&#60;&#x3E;\"><![CDATA[<&]]><?pi x?><c/></a><!-- after -->\n",
#ifndef _WIN32
        // Wine's own XmlLite has no document type definitions; Windows' has.
        "<!DOCTYPE a [<!ENTITY x 'y'>]><a>&x;</a>",
#endif
        "<ns:a xmlns:ns='urn:x'><ns:b>text &gt; more</ns:b></ns:a>",
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
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string error = xml_error(c.text);
        EXPECT_EQ(error.rfind(c.line, 0), 0u) << error;
        EXPECT_GT(error.size(), std::string(c.line).size()) << "says what is wrong";
    }
}

}  // namespace
}  // namespace vextra::platform
