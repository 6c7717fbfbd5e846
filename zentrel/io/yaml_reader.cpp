#include "zentrel/io/yaml_reader.hpp"

#include <yaml.h>

#include <charconv>
#include <cmath>
#include <limits>
#include <vector>

#include "zentrel/io/document_schema.hpp"

namespace zentrel::io {

namespace {

using detail::NodeKind;

constexpr int kMaxDepth = 1024;
constexpr std::string_view kStdTag = "tag:yaml.org,2002:";

bool is_null_word(std::string_view s) { return s.empty() || s == "~" || s == "null" || s == "Null" || s == "NULL"; }

// [-+]? ( \. [0-9]+ | [0-9]+ ( \. [0-9]* )? ) ( [eE] [-+]? [0-9]+ )?
bool is_float_syntax(std::string_view s) {
    std::size_t i = 0, n = s.size();
    auto digits = [&] {
        std::size_t start = i;
        while (i < n && s[i] >= '0' && s[i] <= '9') ++i;
        return i - start;
    };
    if (i < n && (s[i] == '-' || s[i] == '+')) ++i;
    if (i < n && s[i] == '.') {
        ++i;
        if (!digits()) return false;
    } else {
        if (!digits()) return false;
        if (i < n && s[i] == '.') {
            ++i;
            digits();
        }
    }
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < n && (s[i] == '-' || s[i] == '+')) ++i;
        if (!digits()) return false;
    }
    return i == n;
}

class YamlCursor {
public:
    explicit YamlCursor(std::string_view text) {
        if (!yaml_parser_initialize(&parser_)) throw Error("cannot initialise the YAML parser");
        yaml_parser_set_input_string(&parser_, reinterpret_cast<const unsigned char*>(text.data()), text.size());
        yaml_parser_set_encoding(&parser_, YAML_UTF8_ENCODING);
    }

    void start() {
        next();
        expect(YAML_STREAM_START_EVENT);
        next();
        if (ev_.type == YAML_STREAM_END_EVENT) fail("empty YAML document");
        expect(YAML_DOCUMENT_START_EVENT);
        next();
    }
    ~YamlCursor() {
        if (have_event_) yaml_event_delete(&ev_);
        yaml_parser_delete(&parser_);
    }
    YamlCursor(const YamlCursor&) = delete;
    YamlCursor& operator=(const YamlCursor&) = delete;

    void finish() {
        expect(YAML_DOCUMENT_END_EVENT);
        next();
        if (ev_.type == YAML_DOCUMENT_START_EVENT) fail("several YAML documents, expected one");
        expect(YAML_STREAM_END_EVENT);
    }

    [[noreturn]] void fail(const std::string& msg) { fail_at(msg, ev_.start_mark); }

    NodeKind kind() {
        check_node();
        if (ev_.type == YAML_MAPPING_START_EVENT) return NodeKind::Map;
        if (ev_.type == YAML_SEQUENCE_START_EVENT) return NodeKind::Seq;
        return NodeKind::Scalar;
    }

    std::string_view tag() {
        check_node();
        tag_handled_ = true;
        const yaml_char_t* t = node_tag();
        return t ? std::string_view(reinterpret_cast<const char*>(t)) : std::string_view();
    }

    template <class F>
    void map(F&& f) {
        check_tag("map");
        if (ev_.type != YAML_MAPPING_START_EVENT) fail("expected a mapping");
        enter();
        next();
        while (ev_.type != YAML_MAPPING_END_EVENT) {
            check_node();
            if (ev_.type != YAML_SCALAR_EVENT) fail("mapping keys must be scalars");
            check_tag("str");
            std::string key = scalar_text();
            next();
            f(std::string_view(key));
        }
        --depth_;
        next();
    }

    template <class F>
    void seq(F&& f) {
        check_tag("seq");
        if (ev_.type != YAML_SEQUENCE_START_EVENT) fail("expected a sequence");
        enter();
        next();
        std::size_t i = 0;
        while (ev_.type != YAML_SEQUENCE_END_EVENT) f(i++);
        --depth_;
        next();
    }

    std::uint64_t u64() {
        std::string_view s = number_scalar("int", "an unsigned integer");
        if (!s.empty() && s[0] == '+') s.remove_prefix(1);
        std::uint64_t v = 0;
        auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
        if (s.empty() || p != s.data() + s.size()) fail("expected an unsigned integer");
        if (ec == std::errc::result_out_of_range) fail("unsigned integer out of range");
        next();
        return v;
    }

    double f64() {
        std::string_view s = number_scalar("float", "a number");
        double v;
        if (plain_ && is_null_word(s)) {
            v = std::numeric_limits<double>::quiet_NaN();
        } else if (s == ".nan" || s == ".NaN" || s == ".NAN") {
            v = std::numeric_limits<double>::quiet_NaN();
        } else {
            bool neg = !s.empty() && s[0] == '-';
            std::string_view body = !s.empty() && (s[0] == '-' || s[0] == '+') ? s.substr(1) : s;
            if (body == ".inf" || body == ".Inf" || body == ".INF") {
                v = neg ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
            } else {
                if (!is_float_syntax(s)) fail("expected a number");
                if (s[0] == '+') s.remove_prefix(1);
                auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
                if (ec == std::errc::result_out_of_range) fail("number out of range");
                if (p != s.data() + s.size()) fail("expected a number");
            }
        }
        next();
        return v;
    }

    std::string str() {
        check_node();
        if (ev_.type != YAML_SCALAR_EVENT) fail("expected a string");
        check_tag("str");
        std::string s = scalar_text();
        next();
        return s;
    }

    template <class T>
    void list(NdArray<T>& out) {
        std::vector<T> values;
        seq([&](std::size_t) {
            if constexpr (std::is_same_v<T, double>)
                values.push_back(f64());
            else
                values.push_back(u64());
        });
        out = NdArray<T>::vector(values);
    }

    void skip() {
        check_node();
        switch (ev_.type) {
            case YAML_MAPPING_START_EVENT: map([&](std::string_view) { skip(); }); return;
            case YAML_SEQUENCE_START_EVENT: seq([&](std::size_t) { skip(); }); return;
            default: tag_handled_ = true; next();
        }
    }

private:
    [[noreturn]] void fail_at(const std::string& msg, const yaml_mark_t& mark) {
        throw Error(msg + " at line " + std::to_string(mark.line + 1) + " column " + std::to_string(mark.column + 1));
    }

    void next() {
        if (have_event_) yaml_event_delete(&ev_);
        have_event_ = false;
        if (!yaml_parser_parse(&parser_, &ev_)) {
            std::string msg = std::string("invalid YAML: ") + (parser_.problem ? parser_.problem : "parse error");
            if (parser_.context) msg += std::string(" ") + parser_.context;
            fail_at(msg, parser_.problem_mark);
        }
        have_event_ = true;
        tag_handled_ = false;
    }

    void expect(yaml_event_type_t t) {
        if (ev_.type != t) fail("unexpected YAML content");
    }

    void enter() {
        if (++depth_ > kMaxDepth) fail("nesting deeper than " + std::to_string(kMaxDepth) + " levels");
    }

    const yaml_char_t* node_tag() const {
        switch (ev_.type) {
            case YAML_SCALAR_EVENT: return ev_.data.scalar.tag;
            case YAML_MAPPING_START_EVENT: return ev_.data.mapping_start.tag;
            case YAML_SEQUENCE_START_EVENT: return ev_.data.sequence_start.tag;
            default: return nullptr;
        }
    }

    // Every value must start a node; anchors and aliases are refused wherever they appear.
    void check_node() {
        if (ev_.type == YAML_ALIAS_EVENT) fail("YAML aliases are not supported");
        const yaml_char_t* anchor = ev_.type == YAML_SCALAR_EVENT           ? ev_.data.scalar.anchor
                                    : ev_.type == YAML_MAPPING_START_EVENT  ? ev_.data.mapping_start.anchor
                                    : ev_.type == YAML_SEQUENCE_START_EVENT ? ev_.data.sequence_start.anchor
                                                                            : nullptr;
        if (anchor) fail("YAML anchors are not supported");
        if (ev_.type != YAML_SCALAR_EVENT && ev_.type != YAML_MAPPING_START_EVENT &&
            ev_.type != YAML_SEQUENCE_START_EVENT)
            fail("expected a value");
    }

    // A tag is fine when it was asked for, or when it is the standard tag of what is read.
    void check_tag(std::string_view standard) {
        check_node();
        const yaml_char_t* t = node_tag();
        if (!t || tag_handled_) return;
        std::string_view tag(reinterpret_cast<const char*>(t));
        if (tag.substr(0, kStdTag.size()) == kStdTag && tag.substr(kStdTag.size()) == standard) return;
        fail("unexpected tag " + detail::quoted(tag));
    }

    std::string scalar_text() const {
        return std::string(reinterpret_cast<const char*>(ev_.data.scalar.value), ev_.data.scalar.length);
    }

    // A number must be written as a plain scalar, or be tagged as one.
    std::string_view number_scalar(std::string_view standard, const char* expected) {
        check_node();
        if (ev_.type != YAML_SCALAR_EVENT) fail(std::string("expected ") + expected);
        check_tag(standard);
        const yaml_char_t* t = node_tag();
        plain_ = ev_.data.scalar.style == YAML_PLAIN_SCALAR_STYLE;
        if (!plain_ && !t) fail(std::string("expected ") + expected + ", got a quoted string");
        return {reinterpret_cast<const char*>(ev_.data.scalar.value), ev_.data.scalar.length};
    }

    yaml_parser_t parser_{};
    yaml_event_t ev_{};
    bool have_event_ = false;
    bool tag_handled_ = false;
    bool plain_ = true;
    int depth_ = 0;
};

}  // namespace

UMeshBase read_yaml(std::string_view text) {
    YamlCursor cursor(text);
    cursor.start();
    UMeshBase mesh = detail::read_document(cursor);
    cursor.finish();
    return mesh;
}

}  // namespace zentrel::io
