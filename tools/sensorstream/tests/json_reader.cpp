#include "json_reader.h"

#include <cstdlib>
#include <stdexcept>

namespace sensorstream::testing {

const JsonValue& JsonValue::at(const std::string& name) const {
    for (const auto& [key, value] : members) {
        if (key == name)
            return value;
    }
    throw std::runtime_error("no member \"" + name + "\"");
}

namespace {

class Reader {
public:
    explicit Reader(const std::string& source) : text(source) {}

    JsonValue document() {
        JsonValue value = parseValue();
        skipSpace();
        if (at != text.size())
            fail("text after the value");
        return value;
    }

private:
    [[noreturn]] void fail(const std::string& what) const {
        throw std::runtime_error("JSON: " + what + " at offset " + std::to_string(at));
    }

    void skipSpace() {
        while (at < text.size() &&
               (text[at] == ' ' || text[at] == '\t' || text[at] == '\n' || text[at] == '\r'))
            ++at;
    }

    bool take(char c) {
        if (at < text.size() && text[at] == c) {
            ++at;
            return true;
        }
        return false;
    }

    void expectWord(const char* word) {
        for (const char* p = word; *p != '\0'; ++p) {
            if (!take(*p))
                fail(std::string("expected ") + word);
        }
    }

    JsonValue parseValue() {
        skipSpace();
        if (at >= text.size())
            fail("missing value");
        JsonValue value;
        const char c = text[at];
        if (c == '{') {
            value.kind = JsonValue::Kind::Object;
            ++at;
            skipSpace();
            if (take('}'))
                return value;
            do {
                skipSpace();
                std::string key = parseString();
                skipSpace();
                if (!take(':'))
                    fail("expected ':'");
                value.members.emplace_back(std::move(key), parseValue());
                skipSpace();
            } while (take(','));
            if (!take('}'))
                fail("expected ',' or '}'");
        } else if (c == '[') {
            value.kind = JsonValue::Kind::Array;
            ++at;
            skipSpace();
            if (take(']'))
                return value;
            do {
                value.items.push_back(parseValue());
                skipSpace();
            } while (take(','));
            if (!take(']'))
                fail("expected ',' or ']'");
        } else if (c == '"') {
            value.kind = JsonValue::Kind::String;
            value.text = parseString();
        } else if (c == 'n') {
            expectWord("null");
        } else if (c == 't' || c == 'f') {
            value.kind = JsonValue::Kind::Bool;
            value.boolean = c == 't';
            expectWord(value.boolean ? "true" : "false");
        } else {
            value.kind = JsonValue::Kind::Number;
            value.number = parseNumber();
        }
        return value;
    }

    bool digitAt(std::size_t i) const {
        return i < text.size() && text[i] >= '0' && text[i] <= '9';
    }

    // -? (0 | [1-9][0-9]*) (. [0-9]+)? ([eE] [+-]? [0-9]+)?
    double parseNumber() {
        const std::size_t start = at;
        take('-');
        if (take('0')) {
            if (digitAt(at))
                fail("leading zero");
        } else {
            if (!digitAt(at))
                fail("expected a value");
            while (digitAt(at))
                ++at;
        }
        if (take('.')) {
            if (!digitAt(at))
                fail("expected a digit after '.'");
            while (digitAt(at))
                ++at;
        }
        if (take('e') || take('E')) {
            if (!take('+'))
                take('-');
            if (!digitAt(at))
                fail("expected an exponent");
            while (digitAt(at))
                ++at;
        }
        return std::strtod(text.substr(start, at - start).c_str(), nullptr);
    }

    std::string parseString() {
        if (!take('"'))
            fail("expected a string");
        std::string out;
        for (;;) {
            if (at >= text.size())
                fail("unterminated string");
            const char c = text[at++];
            if (c == '"')
                return out;
            if (static_cast<unsigned char>(c) < 0x20)
                fail("control character in a string");
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at >= text.size())
                fail("unterminated escape");
            const char e = text[at++];
            switch (e) {
            case '"':
            case '\\':
            case '/':
                out += e;
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                if (at + 4 > text.size())
                    fail("short \\u escape");
                const unsigned long code = std::strtoul(text.substr(at, 4).c_str(), nullptr, 16);
                at += 4;
                if (code >= 0x80)
                    fail("non-ASCII \\u escapes are not expected here");
                out += static_cast<char>(code);
                break;
            }
            default:
                fail("unknown escape");
            }
        }
    }

    const std::string& text;
    std::size_t at = 0;
};

} // namespace

JsonValue parseJson(const std::string& text) { return Reader(text).document(); }

} // namespace sensorstream::testing
