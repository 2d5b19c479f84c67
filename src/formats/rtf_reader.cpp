// SPDX-License-Identifier: MIT
#include "formats/rtf_reader.h"

#include "formats/text.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace vextra::formats {
namespace {

// Destinations whose text is never part of the document's visible text. A group is skipped from
// the moment one of these words appears in it, with or without a leading \*.
constexpr std::string_view kHiddenDestinations[] = {
    "aftncn", "aftnsep", "aftnsepc", "annotation", "atnauthor", "atndate", "atnicn", "atnid",
    "atnparent", "atnref", "atntime", "atrfend", "atrfstart", "author", "bkmkend", "bkmkstart",
    "buptim", "category", "colorschememapping", "colortbl", "comment", "company", "creatim",
    "datastore", "doccomm", "docvar", "filetbl", "fldinst", "fonttbl", "footer", "footerf", "footerl",
    "footerr", "footnote", "ftncn", "ftnsep", "ftnsepc", "generator", "header", "headerf",
    "headerl", "headerr", "hlinkbase", "info", "keycode", "keywords", "latentstyles", "listtable",
    "listtext", "listoverridetable", "manager", "nextfile", "nonshppict", "object", "objdata",
    "operator", "pict", "pntext", "pntxta", "pntxtb", "printim", "result", "revtbl", "revtim",
    "rsidtbl", "rxe", "stylesheet", "subject", "tc", "template", "themedata", "title", "txe",
    "xe", "xmlnstbl",
};

bool is_hidden_destination(std::string_view word) {
    return std::find(std::begin(kHiddenDestinations), std::end(kHiddenDestinations), word) !=
           std::end(kHiddenDestinations);
}

struct WordChar {
    std::string_view word;
    char32_t code_point;
};

// Control words that stand for one character. \emspace and \enspace give a plain space, as a
// rich-edit control does; \cell separates cells with a tab, as plain-text table rows are written.
constexpr WordChar kCharWords[] = {
    {"bullet", 0x2022}, {"cell", U'\t'},    {"emdash", 0x2014},    {"emspace", U' '},
    {"endash", 0x2013}, {"enspace", U' '},  {"ldblquote", 0x201C}, {"lquote", 0x2018},
    {"ltrmark", 0x200E}, {"nestcell", U'\t'}, {"rdblquote", 0x201D}, {"rquote", 0x2019},
    {"rtlmark", 0x200F}, {"tab", U'\t'},    {"zwj", 0x200D},       {"zwnj", 0x200C},
};

// Words that end a line of plain text. \line is a forced line break inside a paragraph; plain
// text has no soft break, so it becomes CR LF like the others.
bool is_line_end(std::string_view word) {
    return word == "par" || word == "sect" || word == "page" || word == "line" || word == "row";
}

bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Bytes that end a run of plain text: group marks, escapes, source line breaks and NUL.
bool ends_text_run(char c) { return c == '{' || c == '}' || c == '\\' || c == '\r' || c == '\n' || c == '\0'; }

int hex_value(char c) {
    if (is_digit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

struct Group {
    bool hidden = false;  // inside a destination whose text is not shown
    int unicode_fallback = 1;  // \ucN: characters that follow each \uN for older readers
};

// The open groups. A nested group starts as a copy of its parent and most never change, so the
// stack keeps one entry for each run of equal groups: a million nested braces cost a counter, not
// a million entries.
class GroupStack {
public:
    bool empty() const { return runs_.empty(); }
    const Group& top() const { return runs_.back().group; }

    void open() {
        if (runs_.empty()) {
            runs_.push_back({Group{}, 1});
        } else {
            ++runs_.back().depth;
        }
    }

    void close() {
        if (--runs_.back().depth == 0) runs_.pop_back();
    }

    void hide() {
        if (!top().hidden) own_top().hidden = true;
    }

    void set_unicode_fallback(int count) {
        if (top().unicode_fallback != count) own_top().unicode_fallback = count;
    }

private:
    struct Run {
        Group group;
        std::size_t depth;  // how many nested groups share it
    };

    // The innermost group as an entry of its own, so that a change leaves its parent as it was.
    Group& own_top() {
        if (runs_.back().depth > 1) {
            --runs_.back().depth;
            runs_.push_back({runs_.back().group, 1});
        }
        return runs_.back().group;
    }

    std::vector<Run> runs_;
};

class Reader {
public:
    // The text never takes more bytes than the document but for rare escapes, so room for the
    // document's size seldom grows.
    explicit Reader(std::string_view rtf) : in_(rtf) { out_.reserve(rtf.size()); }

    std::optional<std::string> run() {
        while (pos_ < in_.size()) {
            const char c = in_[pos_++];
            if (c == '{') {
                fallback_left_ = 0;
                groups_.open();
            } else if (c == '}') {
                fallback_left_ = 0;
                groups_.close();
                // Whatever follows the document's closing brace is not part of it.
                if (groups_.empty()) {
                    flush_high_surrogate();
                    return std::move(out_);
                }
            } else if (c == '\\') {
                if (!read_control()) return std::nullopt;
            } else if (c == '\r' || c == '\n') {
                // Line breaks in the source are layout only.
            } else if (c == '\0') {
                if (!take_fallback()) put_byte(' ');  // a rich-edit control shows a stray NUL as a space
            } else {
                read_text_run();
            }
        }
        return std::nullopt;  // groups left open: the document is cut short
    }

private:
    // False when the escape makes the rest unreadable (a rich-edit control stops there too).
    bool read_control() {
        if (pos_ >= in_.size()) return false;
        const char c = in_[pos_];
        if (is_letter(c)) {
            read_word();
            return true;
        }
        ++pos_;
        if (c == '\'') {
            if (in_.size() - pos_ < 2) return false;
            const int high = hex_value(in_[pos_]);
            const int low = hex_value(in_[pos_ + 1]);
            if (high < 0 || low < 0) return false;
            pos_ += 2;
            if (!take_fallback()) put_byte(static_cast<unsigned char>(high * 16 + low));
            return true;
        }
        if (take_fallback()) return true;
        switch (c) {
            case '\\': case '{': case '}': put(static_cast<char32_t>(c)); break;
            case ':': put(U':'); break;  // index subentry mark, shown as it is
            case '~': put(0x00A0); break;
            case '_': put(U'-'); break;
            case '\r': case '\n': put_line_end(); break;
            case '*': groups_.hide(); break;  // marks a destination none of ours uses
            default: break;  // \- optional hyphen and the rest show nothing
        }
        return true;
    }

    void read_word() {
        const std::size_t start = pos_;
        while (pos_ < in_.size() && is_letter(in_[pos_])) ++pos_;
        // No length limit: a rich-edit control also reads a word past 32 letters as one word.
        const std::string_view word = in_.substr(start, pos_ - start);

        bool negative = false;
        if (pos_ < in_.size() && in_[pos_] == '-') {
            negative = true;
            ++pos_;
        }
        // Every digit is consumed, the value wrapping at 32 bits, as a rich-edit control reads it.
        bool has_param = false;
        std::uint32_t value = 0;
        while (pos_ < in_.size() && is_digit(in_[pos_])) {
            value = value * 10u + static_cast<std::uint32_t>(in_[pos_++] - '0');
            has_param = true;
        }
        if (negative) value = 0u - value;
        const std::int64_t param =
            value <= INT32_MAX ? std::int64_t{value} : std::int64_t{value} - (std::int64_t{1} << 32);
        if (pos_ < in_.size() && in_[pos_] == ' ') ++pos_;

        if (word == "bin") {
            // Raw bytes follow; they may contain anything, including braces.
            const std::size_t left = in_.size() - pos_;
            pos_ += has_param && param > 0 ? std::min(static_cast<std::size_t>(param), left) : 0;
        }
        if (take_fallback()) return;

        if (word == "u") {
            if (!has_param) return;
            put(static_cast<char32_t>(value & 0xFFFFu));
            fallback_left_ = groups_.top().unicode_fallback;
        } else if (word == "uc") {
            groups_.set_unicode_fallback(static_cast<int>(std::clamp<std::int64_t>(param, 0, INT32_MAX)));
        } else if (is_line_end(word)) {
            put_line_end();
        } else if (is_hidden_destination(word)) {
            groups_.hide();
        } else {
            for (const WordChar& wc : kCharWords) {
                if (wc.word == word) {
                    put(wc.code_point);
                    break;
                }
            }
        }
    }

    // Plain text from the byte before `pos_` up to the next byte that means more, taken at once.
    void read_text_run() {
        std::size_t start = pos_ - 1;
        while (pos_ < in_.size() && !ends_text_run(in_[pos_])) ++pos_;
        const std::size_t skipped = std::min<std::size_t>(static_cast<std::size_t>(fallback_left_), pos_ - start);
        fallback_left_ -= static_cast<int>(skipped);
        start += skipped;
        if (start == pos_ || !shown()) return;
        flush_high_surrogate();
        // ASCII stretches are copied whole; each byte above 0x7F is a Windows-1252 character.
        while (start < pos_) {
            std::size_t ascii_end = start;
            while (ascii_end < pos_ && static_cast<unsigned char>(in_[ascii_end]) < 0x80) ++ascii_end;
            append(in_.substr(start, ascii_end - start));
            if (ascii_end < pos_) append(ansi_char(static_cast<unsigned char>(in_[ascii_end++])));
            start = ascii_end;
        }
    }

    // After \uN the next characters are a fallback for readers without Unicode. Each text byte,
    // \'hh, control word or control symbol counts as one; a brace ends the fallback.
    bool take_fallback() {
        if (fallback_left_ == 0) return false;
        --fallback_left_;
        return true;
    }

    bool shown() const { return !groups_.top().hidden; }

    void flush_high_surrogate() {
        if (high_surrogate_ == 0) return;
        append_utf8(out_, 0xFFFD);
        high_surrogate_ = 0;
    }

    // Text runs between escapes are mostly a byte or two: those skip the string's general append.
    void append(std::string_view bytes) {
        if (bytes.size() > 4) {
            out_ += bytes;
        } else {
            for (const char byte : bytes) out_.push_back(byte);
        }
    }

    void put(char32_t cp) {
        if (!shown()) return;
        // \u gives UTF-16 units: a high surrogate waits for the low one that completes it.
        if (high_surrogate_ != 0 && cp >= 0xDC00 && cp <= 0xDFFF) {
            append_utf8(out_, 0x10000 + ((high_surrogate_ - 0xD800) << 10) + (cp - 0xDC00));
            high_surrogate_ = 0;
            return;
        }
        flush_high_surrogate();
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            high_surrogate_ = cp;
        } else if (cp != 0) {  // a NUL would cut the text short wherever it is used
            append_utf8(out_, cp);
        }
    }

    void put_byte(unsigned char code) {
        if (!shown() || code == 0) return;  // \'00 shows nothing
        flush_high_surrogate();
        append(ansi_char(code));
    }

    void put_line_end() {
        put(U'\r');
        put(U'\n');
    }

    std::string_view in_;
    std::size_t pos_ = 0;
    std::string out_;
    GroupStack groups_;
    int fallback_left_ = 0;
    char32_t high_surrogate_ = 0;
};

}  // namespace

std::optional<std::string> rtf_plain_text(std::string_view rtf) {
    if (rtf.substr(0, 5) != "{\\rtf") return std::nullopt;
    return Reader(rtf).run();
}

}  // namespace vextra::formats
