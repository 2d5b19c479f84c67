// SPDX-License-Identifier: MIT
#include "formats/rtf_reader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "valid_utf8.h"

namespace vextra::formats {
namespace {

using namespace std::string_view_literals;

// Expected texts are what a rich-edit control shows for the same input, except where a comment
// says otherwise, and the last paragraph mark is always kept. A document the control would load
// in part (cut short, or stopped by a bad escape) is rejected.
struct Case {
    const char* name;
    std::string_view rtf;
    std::optional<std::string> text;  // nullopt: the document must not load
};

void check(const std::vector<Case>& cases) {
    std::set<std::string> names;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(names.insert(c.name).second) << "duplicate row name";
        EXPECT_EQ(rtf_plain_text(c.rtf), c.text);
    }
}

const std::optional<std::string> kRejected = std::nullopt;

TEST(RtfReader, AcceptsOnlyWholeDocuments) {
    check({
        {"empty input", ""sv, kRejected},
        {"plain text", "hello"sv, kRejected},
        {"leading space", " {\\rtf1 a}"sv, kRejected},
        {"other keyword", "{\\rtx1 a}"sv, kRejected},
        {"header cut short", "{\\rt"sv, kRejected},
        {"outer group unclosed", "{\\rtf1 a"sv, kRejected},
        {"inner group unclosed", "{\\rtf1 {\\b a}{b}"sv, kRejected},
        {"lone backslash at end", "{\\rtf1 a\\"sv, kRejected},
        {"hex escape cut short", "{\\rtf1 a\\'4"sv, kRejected},
        {"bin longer than input", "{\\rtf1 a\\bin99 }}}"sv, kRejected},
        {"minimal", "{\\rtf}"sv, ""},
        {"keyword without version", "{\\rtf a}"sv, "a"},
        {"text after the document", "{\\rtf1 a}junk\\par {more}"sv, "a"},
        {"extra closing brace ends it", "{\\rtf1 a}}b"sv, "a"},
        {"unclosed group after the end", "{\\rtf1 a}{"sv, "a"},
    });
}

// A rich-edit control stops reading at a malformed \' escape, so the groups never close.
TEST(RtfReader, RejectsInvalidHexEscapes) {
    check({
        {"letters", "{\\rtf1 a\\'zzb}"sv, kRejected},
        {"one digit", "{\\rtf1 a\\'4zb}"sv, kRejected},
        {"line break between digits", "{\\rtf1 \\'e\r\n9x}"sv, kRejected},
        {"inside a hidden destination", "{\\rtf1 a{\\*\\foo \\'zz}b}"sv, kRejected},
    });
}

TEST(RtfReader, ParagraphsAndLineBreaks) {
    check({
        {"last par kept", "{\\rtf1 abc\\par }"sv, "abc\r\n"},
        {"two paragraphs", "{\\rtf1 a\\par b\\par }"sv, "a\r\nb\r\n"},
        {"empty paragraphs", "{\\rtf1 \\par\\par }"sv, "\r\n\r\n"},
        {"sect and page", "{\\rtf1 a\\sect b\\page c\\par d}"sv, "a\r\nb\r\nc\r\nd"},
        {"backslash before line break", "{\\rtf1 a\\\rb\\\nc\\\r\nd}"sv, "a\r\nb\r\nc\r\nd"},
        {"source line breaks ignored", "{\\rtf1 a\r\nb\rc\nd}"sv, "abcd"},
        {"par inside a group", "{\\rtf1 {a\\par}}"sv, "a\r\n"},
        {"par followed by word", "{\\rtf1 a\\par\\pard b}"sv, "a\r\nb"},
        // Plain text has no soft line break: \line ends the line like a paragraph.
        {"line is a line break", "{\\rtf1 a\\line b}"sv, "a\r\nb"},
        {"tab word and tab byte", "{\\rtf1 a\\tab b\tc}"sv, "a\tb\tc"},
        // Cells are tab-separated and a row ends the line, as in plain-text table rows.
        {"table cells and rows", "{\\rtf1 \\intbl a\\cell b\\cell\\row c\\par}"sv, "a\tb\t\r\nc\r\n"},
        {"initial template",
         "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 MS Sans Serif;}}\r\n"
         "\\viewkind4\\uc1\\pard\\lang1033\\f0\\fs17 <?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
         "\\par }\r\n"sv,
         "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"},
    });
}

TEST(RtfReader, EscapesAndSymbols) {
    check({
        {"hex is windows-1252", "{\\rtf1 \\'e9\\'80\\'41\\'9f}"sv, u8"\u00e9\u20acA\u0178"},
        {"upper-case hex", "{\\rtf1 a\\'E9b}"sv, u8"a\u00e9b"},
        {"hex then digit", "{\\rtf1 \\'e99}"sv, u8"\u00e99"},
        {"raw high byte", "{\\rtf1 caf\xe9}"sv, u8"caf\u00e9"},
        {"escaped backslash and braces", "{\\rtf1 a\\\\b\\{c\\}d}"sv, "a\\b{c}d"},
        // A rich-edit control keeps U+2011 for \_; our plain text wants an ordinary hyphen.
        {"nbsp, optional and hard hyphen", "{\\rtf1 d\\~e\\-f\\_g}"sv, u8"d\u00a0ef-g"},
        {"space after symbol is text", "{\\rtf1 a\\~ b\\'e9 c}"sv, u8"a\u00a0 b\u00e9 c"},
        {"quotes and dashes", "{\\rtf1 \\lquote\\rquote\\ldblquote\\rdblquote\\bullet\\endash\\emdash.}"sv,
         u8"\u2018\u2019\u201c\u201d\u2022\u2013\u2014."},
        {"spaces and marks",
         "{\\rtf1 a\\emspace b\\enspace c\\qmspace d\\zwj e\\zwnj f\\zwbo g\\ltrmark h\\rtlmark i}"sv,
         u8"a b cd\u200de\u200cfg\u200eh\u200fi"},
        {"other symbols give nothing", "{\\rtf1 [\\!\\#\\/\\;\\@\\0\\?\\ \\|]\\:}"sv, "[]:"},
        {"control bytes kept", "{\\rtf1 a\x01" "b\x7f" "c}"sv, "a\x01" "b\x7f" "c"},
        {"nul byte is a space", "{\\rtf1 a\0\0b\\'00c}"sv, "a  bc"},
    });
}

TEST(RtfReader, ControlWordSyntax) {
    check({
        {"space delimiter consumed", "{\\rtf1 a\\fs24 b}"sv, "ab"},
        {"only one space consumed", "{\\rtf1 a\\b  b}"sv, "a b"},
        {"number ends the word", "{\\rtf1 a\\fs24b}"sv, "ab"},
        {"negative number", "{\\rtf1 a\\fi-360 b}"sv, "ab"},
        {"dash without digits", "{\\rtf1 a\\fs- b}"sv, "ab"},
        {"huge number", "{\\rtf1 a\\fs99999999999999999999999 b}"sv, "ab"},
        {"line break ends the word", "{\\rtf1 \\b\r\n x}"sv, " x"},
        {"line break splits a word", "{\\rtf1 a\\pa\r\nr b}"sv, "ar b"},
        {"tab byte after word", "{\\rtf1 \\b\tx}"sv, "\tx"},
        {"word longer than 32 letters", "{\\rtf1 a\\aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaab c}"sv, "ac"},
        {"spaces around groups", "{\\rtf1 {a} {b} c}"sv, "a b c"},
    });
}

TEST(RtfReader, Unicode) {
    check({
        {"basic", "{\\rtf1 \\u233?x\\u8364?y}"sv, u8"\u00e9x\u20acy"},
        {"negative counts from 65536", "{\\rtf1 \\u-3913?x}"sv, u8"\uf0b7x"},
        {"wraps to 16 bits", "{\\rtf1 \\u70000?x}"sv, u8"\u1170x"},
        {"huge wraps to 16 bits", "{\\rtf1 \\u99999999999?x}"sv, u8"\ue7ffx"},
        {"uc0 skips nothing", "{\\rtf1\\uc0 \\u233 x}"sv, u8"\u00e9x"},
        {"uc2 skips two", "{\\rtf1\\uc2 \\u233??x}"sv, u8"\u00e9x"},
        {"hex escapes count as one", "{\\rtf1\\uc2 \\u233\\'41\\'42x}"sv, u8"\u00e9x"},
        {"uc scoped to its group", "{\\rtf1 {\\uc2 \\u233??x}\\u233?y}"sv, u8"\u00e9x\u00e9y"},
        {"uc inherited by inner group", "{\\rtf1\\uc2 {\\u233??x}y}"sv, u8"\u00e9xy"},
        {"negative uc skips nothing", "{\\rtf1\\uc-1 \\u233?x}"sv, u8"\u00e9?x"},
        {"space after delimiter is fallback", "{\\rtf1 \\u233  x}"sv, u8"\u00e9x"},
        {"line breaks not counted", "{\\rtf1 \\u233\r\n?x}"sv, u8"\u00e9x"},
        {"opening brace ends fallback", "{\\rtf1 \\u233{b}x}"sv, u8"\u00e9bx"},
        {"closing brace ends fallback", "{\\rtf1\\uc3 {a\\u233?}bc}"sv, u8"a\u00e9bc"},
        // A control word counts as one fallback character, as the format prescribes.
        {"control word is fallback", "{\\rtf1 \\u8216\\lquote x}"sv, u8"\u2018x"},
        {"par is fallback", "{\\rtf1\\uc2 \\u233\\par xy}"sv, u8"\u00e9y"},
        {"bin with its data is fallback", "{\\rtf1 \\u233\\bin2 }}x}"sv, u8"\u00e9x"},
        {"surrogate pair", "{\\rtf1 \\u-10179?\\u-8704?x}"sv, u8"\U0001F600x"},
        {"surrogate pair across groups", "{\\rtf1 {\\u55357?}{\\u56832?}x}"sv, u8"\U0001F600x"},
        {"lone high surrogate", "{\\rtf1 \\u-10179?x}"sv, u8"\ufffdx"},
        {"high surrogate at the end", "{\\rtf1 x\\u-10179?}"sv, u8"x\ufffd"},
        {"lone low surrogate", "{\\rtf1 \\u-8704?x}"sv, u8"\ufffdx"},
        {"high then other character", "{\\rtf1 \\u-10179?\\u233?x}"sv, u8"\ufffd\u00e9x"},
        {"text between halves", "{\\rtf1 \\u-10179?y\\u-8704?x}"sv, u8"\ufffdy\ufffdx"},
        {"high surrogate before par", "{\\rtf1 \\u-10179?\\par}"sv, u8"\ufffd\r\n"},
        // A NUL would truncate the text wherever it is used; \u with no number means nothing.
        {"u0 dropped", "{\\rtf1 \\u0?x}"sv, "x"},
        {"u without number ignored", "{\\rtf1 \\u x}"sv, "x"},
    });
}

TEST(RtfReader, HiddenDestinations) {
    check({
        {"starred unknown", "{\\rtf1 a{\\*\\foo hidden}b}"sv, "ab"},
        {"star mid-group hides the rest", "{\\rtf1 {a\\*\\foo b}c}"sv, "ac"},
        {"star before text", "{\\rtf1 {\\* b}c}"sv, "c"},
        {"unknown without star shown", "{\\rtf1 a{\\foo shown}b}"sv, "ashownb"},
        {"hidden text shown", "{\\rtf1 a{\\v hidden}b}"sv, "ahiddenb"},
        {"font table", "{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1{\\*\\panose 0}Times{\\*\\falt T};}}x}"sv, "x"},
        {"font table without groups", "{\\rtf1{\\fonttbl\\f0\\fswiss Arial;}x}"sv, "x"},
        {"color table", "{\\rtf1{\\colortbl;\\red0\\green0\\blue0;}x}"sv, "x"},
        {"stylesheet", "{\\rtf1{\\stylesheet{\\s0 Normal;}{\\s1 Heading 1;}}x}"sv, "x"},
        {"info", "{\\rtf1{\\info{\\title T}{\\author A}{\\creatim\\yr2020}}x}"sv, "x"},
        {"info fields outside info", "{\\rtf1 a{\\title T}{\\author A}{\\subject S}{\\operator O}{\\keywords K}b}"sv, "ab"},
        {"picture", "{\\rtf1 a{\\pict\\wmetafile8\\picw10 0102ABCD}b}"sv, "ab"},
        {"headers and footers",
         "{\\rtf1 a{\\header H}{\\footer F}{\\headerl L}{\\headerr R}{\\headerf HF}{\\footerl FL}{\\footerr FR}{\\footerf FF}b}"sv,
         "ab"},
        {"footnote", "{\\rtf1 a{\\super\\chftn{\\footnote\\pard{\\super\\chftn}N}}b}"sv, "ab"},
        {"footnote separators", "{\\rtf1 {\\ftnsep x}{\\ftnsepc x}{\\aftnsep x}y}"sv, "y"},
        // List numbering is not part of the text.
        {"list text", "{\\rtf1 {\\listtext 1.\\tab}a}"sv, "a"},
        {"paragraph numbering", "{\\rtf1 {\\pntext 1.\\tab}a{\\pn\\pnlvlbody{\\pntxta .}{\\pntxtb (}}b}"sv, "ab"},
        // Tables and stores are hidden even when written without \*.
        {"list tables without star",
         "{\\rtf1{\\listtable{\\list{\\listlevel{\\leveltext \\'02\\'00.;}}{\\listname L;}}}{\\listoverridetable{\\listoverride\\ls1}}x}"sv,
         "x"},
        {"bookmarks", "{\\rtf1 a{\\bkmkstart m}b{\\*\\bkmkend m}c}"sv, "abc"},
        {"revision and rsid tables", "{\\rtf1{\\revtbl{Unknown;}}{\\rsidtbl \\rsid1}x}"sv, "x"},
        {"generator", "{\\rtf1{\\generator Gen 1.0;}x}"sv, "x"},
        // An embedded object is hidden with its fallback result.
        {"object with result", "{\\rtf1 a{\\object\\objemb{\\objdata 0102}{\\result R}}b}"sv, "ab"},
        {"document stores",
         "{\\rtf1{\\xmlnstbl{\\xmlns1 http://x}}{\\themedata 0102}{\\colorschememapping 3c3f}{\\latentstyles{\\lsdlockedexcept Normal;}}{\\datastore 0105}x}"sv,
         "x"},
        {"annotations", "{\\rtf1 a{\\atnid J}{\\atnauthor Joe}{\\annotation comment}b}"sv, "ab"},
        {"file table, template, docvar", "{\\rtf1{\\filetbl{\\file a.doc;}}{\\template T.dot}{\\docvar{n}{v}}x}"sv, "x"},
        {"index and contents entries", "{\\rtf1 a{\\xe idx}{\\tc toc}{\\txe t}{\\rxe r}b}"sv, "ab"},
        {"nested groups inside hidden", "{\\rtf1 a{\\info{\\title {x}{{y}}}\\par}b\\par}"sv, "ab\r\n"},
        {"text after hidden group", "{\\rtf1 {\\b a{\\pict 00}b}c}"sv, "abc"},
    });
}

// A field shows its result, never its instruction.
TEST(RtfReader, FieldsShowTheirResult) {
    check({
        {"hyperlink", "{\\rtf1 a{\\field{\\*\\fldinst HYPERLINK x}{\\fldrslt shown}}b}"sv, "ashownb"},
        {"instruction without star", "{\\rtf1 a{\\field{\\fldinst PAGE}{\\fldrslt 1}}b}"sv, "a1b"},
        {"nested fields", "{\\rtf1 a{\\field{\\*\\fldinst P}{\\fldrslt {\\field{\\*\\fldinst X}{\\fldrslt 1}}2}}b}"sv,
         "a12b"},
        {"no result", "{\\rtf1 a{\\field{\\*\\fldinst PAGE}}b}"sv, "ab"},
        {"field in a hidden destination", "{\\rtf1 a{\\footer {\\field{\\*\\fldinst PAGE}{\\fldrslt 1}}}b}"sv, "ab"},
    });
}

// Binary data is skipped unread, whatever bytes it holds.
TEST(RtfReader, BinaryData) {
    check({
        {"braces in data", "{\\rtf1 a\\bin3 {}}b}"sv, "ab"},
        {"backslash in data", "{\\rtf1 a\\bin2 \\'b}"sv, "ab"},
        {"data reaching the end", "{\\rtf1 a\\bin2 b}"sv, kRejected},
        {"negative length", "{\\rtf1 a\\bin-2 bcd}"sv, "abcd"},
        {"no length", "{\\rtf1 a\\bin bcd}"sv, "abcd"},
        {"in a hidden group", "{\\rtf1 a{\\pict\\bin2 }{}b}"sv, "ab"},
    });
}

// Each group starts with its parent's state, and closing it gives the parent's back, however
// deep the groups and wherever the state changes.
TEST(RtfReader, GroupStateIsRestoredWhenEachGroupCloses) {
    check({
        {"hidden deep inside", "{\\rtf1 {{{\\*\\x a}b}c}d}"sv, "bcd"},
        {"hidden inherited deep", "{\\rtf1 a{\\*{{{b}}}c}d}"sv, "ad"},
        {"uc inherited and restored", "{\\rtf1 {\\uc2{{\\u233??x}\\u233??y}}\\u233?z}"sv,
         u8"\u00e9x\u00e9y\u00e9z"},
        {"uc set again to its value", "{\\rtf1 {\\uc1{\\uc1{\\uc2}\\u233?x}\\u233?y}}"sv, u8"\u00e9x\u00e9y"},
        {"change after a closed sibling", "{\\rtf1 {{a}{\\*b}{c}}d}"sv, "acd"},
    });
}

TEST(RtfReader, DeepNestingIsIterative) {
    const std::size_t depth = 1000000;
    const std::string open = "{\\rtf1 " + std::string(depth, '{');
    EXPECT_EQ(rtf_plain_text(open + "x"), std::nullopt);
    EXPECT_EQ(rtf_plain_text(open + "x" + std::string(depth, '}') + "y}"), "xy");
}

#ifndef VEXTRA_TEST_DATA_DIR
#error "VEXTRA_TEST_DATA_DIR must name the folder of test documents"
#endif

std::string read_fixture(const std::string& name) {
    std::ifstream file(std::string(VEXTRA_TEST_DATA_DIR) + "/rtf/" + name, std::ios::binary);
    EXPECT_TRUE(file) << name;
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// A document as a word processor writes it: every table, store and note hidden.
TEST(RtfReader, WordProcessorDocument) {
    EXPECT_EQ(rtf_plain_text(read_fixture("letter.rtf")),
              u8"Caf\u00e9 r\u00e9sum\u00e9\r\n"
              u8"Dear Ms\u00a0Smith,\r\n"
              u8"Thanks for the \u201cquick\u201d reply.\r\n"
              u8"Price: \u20ac 12\tper item\r\n"
              u8"Item\u2014done\r\nnext line\r\n"
              u8"See the intro above.\r\n"
              u8"Regards\r\n");
}

TEST(RtfReader, TruncatedDocumentNeverLoads) {
    const std::string rtf = read_fixture("letter.rtf");
    const std::size_t end = rtf.rfind('}');
    ASSERT_NE(end, std::string::npos);
    for (std::size_t size = 0; size <= end; ++size) {
        ASSERT_EQ(rtf_plain_text(std::string_view(rtf).substr(0, size)), std::nullopt) << size;
    }
    EXPECT_NE(rtf_plain_text(std::string_view(rtf).substr(0, end + 1)), std::nullopt);
}

// Random documents built from the characters that drive the reader: whatever loads is clean UTF-8.
TEST(RtfReader, HostileInputGivesValidText) {
    static constexpr std::string_view kAlphabet = "{}\\\\\\'*-u0123456789abcinprt e9Ff?\r\n\t\x80\xff";
    std::mt19937 rng(12345);
    std::uniform_int_distribution<std::size_t> pick(0, kAlphabet.size() - 1);
    std::uniform_int_distribution<std::size_t> length(0, 200);
    int loaded = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string rtf = "{\\rtf1 ";
        for (std::size_t n = length(rng); n > 0; --n) rtf += kAlphabet[pick(rng)];
        rtf += std::string(8, '}');
        const auto text = rtf_plain_text(rtf);
        if (!text) continue;
        ++loaded;
        ASSERT_TRUE(test::is_valid_utf8(*text)) << rtf;
        ASSERT_EQ(text->find('\0'), std::string::npos) << rtf;
    }
    EXPECT_GT(loaded, 1000);  // the property was exercised on loaded documents
}

}  // namespace
}  // namespace vextra::formats
