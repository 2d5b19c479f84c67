#include "xml_check.h"

#include <set>
#include <vector>

namespace vextra::tools {
namespace {

bool is_name_start(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || c >= 0x80;
}
bool is_name_char(unsigned char c) {
    return is_name_start(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}
bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

class Checker {
public:
    explicit Checker(std::string_view xml) : xml_(xml) {}

    std::string run() {
        if (starts_with("<?xml") && pos_ + 5 < xml_.size() && is_space(xml_[pos_ + 5]) &&
            !skip_past("?>", "XML declaration"))
            return error_;
        bool seen_root = false;
        while (error_.empty()) {
            skip_spaces();
            if (at_end()) break;
            if (starts_with("<!--")) {
                comment();
            } else if (starts_with("<?")) {
                processing_instruction();
            } else if (starts_with("<!DOCTYPE")) {
                if (seen_root) return fail("DOCTYPE after the root element");
                doctype();
            } else if (peek() == '<' && !seen_root) {
                seen_root = true;
                element();
            } else {
                return fail(seen_root ? "content after the root element" : "text before the root element");
            }
        }
        if (error_.empty() && !seen_root) return fail("no root element");
        return error_;
    }

private:
    bool at_end() const { return pos_ >= xml_.size(); }
    char peek() const { return at_end() ? '\0' : xml_[pos_]; }
    bool starts_with(std::string_view s) const { return xml_.substr(pos_, s.size()) == s; }
    void skip_spaces() {
        while (!at_end() && is_space(xml_[pos_])) ++pos_;
    }

    std::string fail(const std::string& what) {
        if (error_.empty()) {
            std::size_t line = 1;
            for (std::size_t i = 0; i < pos_ && i < xml_.size(); ++i) line += xml_[i] == '\n';
            error_ = "line " + std::to_string(line) + ": " + what;
        }
        return error_;
    }

    bool skip_past(std::string_view end, const char* what) {
        const auto found = xml_.find(end, pos_);
        if (found == std::string_view::npos) {
            fail(std::string("unterminated ") + what);
            return false;
        }
        pos_ = found + end.size();
        return true;
    }

    bool name(std::string* out = nullptr) {
        const std::size_t start = pos_;
        if (at_end() || !is_name_start(static_cast<unsigned char>(peek()))) {
            fail("a name was expected");
            return false;
        }
        while (!at_end() && is_name_char(static_cast<unsigned char>(peek()))) ++pos_;
        if (out) *out = std::string(xml_.substr(start, pos_ - start));
        return true;
    }

    void comment() {
        pos_ += 4;
        const auto end = xml_.find("--", pos_);
        if (end == std::string_view::npos) {
            fail("unterminated comment");
            return;
        }
        pos_ = end;
        if (!starts_with("-->")) {
            fail("\"--\" inside a comment");
            return;
        }
        pos_ += 3;
    }

    void processing_instruction() {
        pos_ += 2;
        std::string target;
        if (!name(&target)) return;
        if (target.size() == 3 && (target[0] | 0x20) == 'x' && (target[1] | 0x20) == 'm' &&
            (target[2] | 0x20) == 'l') {
            fail("XML declaration not at the start of the document");
            return;
        }
        skip_past("?>", "processing instruction");
    }

    void doctype() {
        const auto close = xml_.find('>', pos_);
        const auto subset = xml_.find('[', pos_);
        if (subset != std::string_view::npos && subset < close) {
            pos_ = subset;
            if (skip_past("]", "DOCTYPE")) {
                skip_spaces();
                if (peek() != '>') fail("unterminated DOCTYPE");
                else ++pos_;
            }
            return;
        }
        skip_past(">", "DOCTYPE");
    }

    // Character data up to the next '<': entity references must be known and "]]>" is not allowed.
    void text(char terminator) {
        while (!at_end() && peek() != terminator && error_.empty()) {
            if (peek() == '&') {
                reference();
            } else if (terminator == '<' && starts_with("]]>")) {
                fail("\"]]>\" in text");
            } else if (terminator != '<' && peek() == '<') {
                fail("'<' in an attribute value");
            } else {
                ++pos_;
            }
        }
    }

    void reference() {
        const auto end = xml_.find(';', pos_);
        if (end == std::string_view::npos || end - pos_ > 12) {
            fail("an entity reference without ';'");
            return;
        }
        const std::string_view ref = xml_.substr(pos_ + 1, end - pos_ - 1);
        bool ok = ref == "amp" || ref == "lt" || ref == "gt" || ref == "quot" || ref == "apos";
        if (!ok && ref.size() > 1 && ref[0] == '#') {
            const bool hex = ref[1] == 'x';
            const std::string_view digits = ref.substr(hex ? 2 : 1);
            ok = !digits.empty();
            for (char c : digits)
                ok = ok && ((c >= '0' && c <= '9') || (hex && ((c | 0x20) >= 'a' && (c | 0x20) <= 'f')));
        }
        if (!ok) {
            fail("unknown entity reference &" + std::string(ref) + ";");
            return;
        }
        pos_ = end + 1;
    }

    // Reads a start tag; returns false at an error. Sets `empty` for <name/>.
    bool start_tag(std::string& tag, bool& empty) {
        ++pos_;
        if (!name(&tag)) return false;
        std::set<std::string> attributes;
        for (;;) {
            const std::size_t before = pos_;
            skip_spaces();
            if (starts_with("/>")) {
                pos_ += 2;
                empty = true;
                return true;
            }
            if (peek() == '>') {
                ++pos_;
                empty = false;
                return true;
            }
            if (pos_ == before) return fail("'>' or a space was expected in <" + tag + ">"), false;
            std::string attribute;
            if (!name(&attribute)) return false;
            if (!attributes.insert(attribute).second) return fail("attribute " + attribute + " twice"), false;
            skip_spaces();
            if (peek() != '=') return fail("'=' was expected after " + attribute), false;
            ++pos_;
            skip_spaces();
            const char quote = peek();
            if (quote != '"' && quote != '\'') return fail("a quoted value was expected for " + attribute), false;
            ++pos_;
            text(quote);
            if (!error_.empty()) return false;
            if (at_end()) return fail("unterminated value of " + attribute), false;
            ++pos_;
        }
    }

    // The root element and everything inside it, with an explicit stack rather than recursion.
    void element() {
        std::vector<std::string> open;
        do {
            if (starts_with("<!--")) {
                comment();
            } else if (starts_with("<![CDATA[")) {
                skip_past("]]>", "CDATA section");
            } else if (starts_with("<?")) {
                processing_instruction();
            } else if (starts_with("</")) {
                pos_ += 2;
                std::string tag;
                if (!name(&tag)) return;
                skip_spaces();
                if (peek() != '>') return void(fail("'>' was expected in </" + tag + ">"));
                ++pos_;
                if (tag != open.back()) return void(fail("</" + tag + "> closes <" + open.back() + ">"));
                open.pop_back();
            } else if (peek() == '<') {
                std::string tag;
                bool empty = false;
                if (!start_tag(tag, empty)) return;
                if (!empty) open.push_back(tag);
            } else {
                text('<');
            }
            if (!error_.empty()) return;
            if (at_end() && !open.empty()) return void(fail("<" + open.back() + "> is not closed"));
        } while (!open.empty());
    }

    std::string_view xml_;
    std::size_t pos_ = 0;
    std::string error_;
};

}  // namespace

std::string xml_wellformedness_error(std::string_view xml) { return Checker(xml).run(); }

}  // namespace vextra::tools
