// json.cpp: reading and writing the JSON that vorna-mark itself writes (results.json), which
// resuming and `vorna-mark merge` read back. A small reader: objects, arrays, strings with
// escapes, numbers, true, false, null.
#include <cstdlib>
#include <cstring>

#include "mark.h"

namespace {

struct Reader {
    const std::string &text;
    std::size_t at = 0;
    std::string why;

    void skip_space() {
        while (at < text.size() && std::strchr(" \t\r\n", text[at])) at++;
    }
    bool fail(const char *what) {
        if (why.empty()) why = std::string(what) + " at offset " + std::to_string(at);
        return false;
    }
    bool literal(const char *word) {
        const std::size_t n = std::strlen(word);
        if (text.compare(at, n, word) != 0) return fail("unknown word");
        at += n;
        return true;
    }
    bool string(std::string *out) {
        if (text[at] != '"') return fail("expected a string");
        at++;
        while (at < text.size() && text[at] != '"') {
            char c = text[at++];
            if (c != '\\') {
                *out += c;
                continue;
            }
            if (at >= text.size()) return fail("unfinished escape");
            c = text[at++];
            switch (c) {
            case 'n': *out += '\n'; break;
            case 'r': *out += '\r'; break;
            case 't': *out += '\t'; break;
            case 'b': *out += '\b'; break;
            case 'f': *out += '\f'; break;
            case 'u': {
                if (at + 4 > text.size()) return fail("short \\u escape");
                const unsigned code = static_cast<unsigned>(std::strtoul(text.substr(at, 4).c_str(), nullptr, 16));
                at += 4;
                // What json_quote writes: control characters alone, so one byte or UTF-8.
                if (code < 0x80) {
                    *out += static_cast<char>(code);
                } else if (code < 0x800) {
                    *out += static_cast<char>(0xC0 | (code >> 6));
                    *out += static_cast<char>(0x80 | (code & 0x3F));
                } else {
                    *out += static_cast<char>(0xE0 | (code >> 12));
                    *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                    *out += static_cast<char>(0x80 | (code & 0x3F));
                }
                break;
            }
            default: *out += c;
            }
        }
        if (at >= text.size()) return fail("unfinished string");
        at++;
        return true;
    }
    bool value(Json *out, int depth) {
        if (depth > 64) return fail("nested too deep");
        skip_space();
        if (at >= text.size()) return fail("unexpected end");
        const char c = text[at];
        if (c == '{') {
            out->kind = Json::OBJECT;
            at++;
            skip_space();
            if (at < text.size() && text[at] == '}') return ++at, true;
            for (;;) {
                skip_space();
                std::pair<std::string, Json> member;
                if (at >= text.size() || !string(&member.first)) return fail("expected a name");
                skip_space();
                if (at >= text.size() || text[at] != ':') return fail("expected ':'");
                at++;
                if (!value(&member.second, depth + 1)) return false;
                out->members.push_back(std::move(member));
                skip_space();
                if (at < text.size() && text[at] == ',') { at++; continue; }
                if (at < text.size() && text[at] == '}') return ++at, true;
                return fail("expected ',' or '}'");
            }
        }
        if (c == '[') {
            out->kind = Json::ARRAY;
            at++;
            skip_space();
            if (at < text.size() && text[at] == ']') return ++at, true;
            for (;;) {
                Json item;
                if (!value(&item, depth + 1)) return false;
                out->items.push_back(std::move(item));
                skip_space();
                if (at < text.size() && text[at] == ',') { at++; continue; }
                if (at < text.size() && text[at] == ']') return ++at, true;
                return fail("expected ',' or ']'");
            }
        }
        if (c == '"') {
            out->kind = Json::STRING;
            return string(&out->text);
        }
        if (c == 't' || c == 'f') {
            out->kind = Json::BOOL;
            out->boolean = c == 't';
            return literal(c == 't' ? "true" : "false");
        }
        if (c == 'n') return literal("null");
        char *end = nullptr;
        out->number = std::strtod(text.c_str() + at, &end);
        if (end == text.c_str() + at) return fail("expected a value");
        out->kind = Json::NUMBER;
        at = static_cast<std::size_t>(end - text.c_str());
        return true;
    }
};

} // namespace

const Json &Json::operator[](const char *name) const {
    static const Json NONE;
    for (const auto &member : members)
        if (member.first == name) return member.second;
    return NONE;
}

bool json_parse(const std::string &text, Json *value, std::string *why) {
    Reader reader{text, 0, std::string()};
    if (!reader.value(value, 0)) {
        *why = reader.why;
        return false;
    }
    return true;
}

std::string json_quote(const std::string &text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c < 0x20 || c == 0x7f) {
            char code[8];
            std::snprintf(code, sizeof code, "\\u%04x", c);
            out += code;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}
