#include "zentrel/io/json_reader.hpp"

#include <simdjson.h>

#include <cmath>
#include <limits>

#include "zentrel/io/document_schema.hpp"
#include "zentrel/io/text_position.hpp"

namespace zentrel::io {

namespace {

namespace od = simdjson::ondemand;
using detail::NodeKind;

constexpr int kMaxDepth = 1024;

class JsonCursor {
public:
    JsonCursor(od::document& doc, std::string_view text) : doc_(doc), text_(text) {}

    [[noreturn]] void fail(const std::string& msg) {
        const char* loc = nullptr;
        std::size_t offset = text_.size();
        if (!doc_.current_location().get(loc) && loc >= text_.data() && loc <= text_.data() + text_.size())
            offset = static_cast<std::size_t>(loc - text_.data());
        throw Error(msg + text_position(text_, offset));
    }

    [[noreturn]] void fail(simdjson::error_code e, const char* expected) {
        switch (e) {
            case simdjson::INCORRECT_TYPE: fail(std::string("expected ") + expected);
            case simdjson::NUMBER_OUT_OF_RANGE: fail(std::string("number out of range, expected ") + expected);
            case simdjson::NUMBER_ERROR: fail(std::string("invalid number, expected ") + expected);
            default: fail(std::string("invalid JSON: ") + simdjson::error_message(e));
        }
    }

    void start() {
        if (auto e = doc_.get_value().get(cur_)) {
            if (e == simdjson::SCALAR_DOCUMENT_AS_VALUE) fail("expected an object or a list");
            fail(e, "a value");
        }
    }
    void finish() {
        // Once the root value is consumed, any location still inside the text is trailing content.
        const char* loc = nullptr;
        if (!doc_.current_location().get(loc)) fail("trailing characters");
    }

    NodeKind kind() {
        od::json_type t;
        if (auto e = cur_.type().get(t)) fail(e, "a value");
        if (t == od::json_type::object) return NodeKind::Map;
        if (t == od::json_type::array) return NodeKind::Seq;
        return NodeKind::Scalar;
    }
    std::string_view tag() { return {}; }

    template <class F>
    void map(F&& f) {
        od::object obj;
        if (auto e = cur_.get_object().get(obj)) fail(e, "an object");
        enter();
        for (auto member : obj) {
            od::field field;
            if (auto e = std::move(member).get(field)) fail(e, "an object member");
            std::string_view k;
            if (auto e = field.unescaped_key().get(k)) fail(e, "a member name");
            // The key lives in the parser's string buffer, which the value may overwrite.
            std::string key(k);
            cur_ = field.value();
            f(std::string_view(key));
        }
        --depth_;
    }

    template <class F>
    void seq(F&& f) {
        od::array arr;
        if (auto e = cur_.get_array().get(arr)) fail(e, "a list");
        enter();
        std::size_t i = 0;
        for (auto elem : arr) {
            if (auto e = std::move(elem).get(cur_)) fail(e, "a list element");
            f(i++);
        }
        --depth_;
    }

    std::uint64_t u64() {
        std::uint64_t v;
        if (auto e = cur_.get_uint64().get(v)) fail(e, "an unsigned integer");
        return v;
    }

    double f64() {
        double v;
        auto e = cur_.get_double().get(v);
        if (!e) return v;
        bool is_null = false;
        if (e == simdjson::INCORRECT_TYPE && !cur_.is_null().get(is_null) && is_null)
            return std::numeric_limits<double>::quiet_NaN();
        fail(e, "a number");
    }

    std::string str() {
        std::string_view s;
        if (auto e = cur_.get_string().get(s)) fail(e, "a string");
        return std::string(s);
    }

    template <class T>
    void list(NdArray<T>& out) {
        od::array arr;
        if (auto e = cur_.get_array().get(arr)) fail(e, "a list");
        std::size_t n = 0;
        if (auto e = arr.count_elements().get(n)) fail(e, "a list");
        out = NdArray<T>::uninit({n});
        T* dst = n ? out.data_mut() : nullptr;
        std::size_t i = 0;
        for (auto elem : arr) {
            if (auto e = std::move(elem).get(cur_)) fail(e, "a list element");
            if (i == n) fail("list longer than counted");
            if constexpr (std::is_same_v<T, double>)
                dst[i++] = f64();
            else
                dst[i++] = u64();
        }
        if (i != n) fail("list shorter than counted");
    }

    // Walks the value so that malformed text inside ignored members is still refused.
    void skip() {
        switch (kind()) {
            case NodeKind::Map: map([&](std::string_view) { skip(); }); return;
            case NodeKind::Seq: seq([&](std::size_t) { skip(); }); return;
            case NodeKind::Scalar: break;
        }
        od::json_type t;
        if (auto e = cur_.type().get(t)) fail(e, "a value");
        simdjson::error_code e = simdjson::SUCCESS;
        switch (t) {
            case od::json_type::number: {
                od::number num;
                e = cur_.get_number().get(num);
                break;
            }
            case od::json_type::string: {
                std::string_view s;
                e = cur_.get_string().get(s);
                break;
            }
            case od::json_type::boolean: {
                bool b;
                e = cur_.get_bool().get(b);
                break;
            }
            default: {
                bool b = false;
                e = cur_.is_null().get(b);
                if (!e && !b) e = simdjson::N_ATOM_ERROR;
            }
        }
        if (e) fail(e, "a value");
    }

private:
    void enter() {
        if (++depth_ > kMaxDepth) fail("nesting deeper than " + std::to_string(kMaxDepth) + " levels");
    }

    od::document& doc_;
    std::string_view text_;
    od::value cur_;
    int depth_ = 0;
};

}  // namespace

UMeshBase read_json_padded(const char* data, std::size_t size, std::size_t capacity) {
    static_assert(kJsonPadding >= simdjson::SIMDJSON_PADDING);
    std::string_view text(data, size);
    od::parser parser;
    od::document doc;
    if (auto e = parser.iterate(simdjson::padded_string_view(data, size, capacity)).get(doc)) {
        if (e == simdjson::UTF8_ERROR) throw Error("invalid UTF-8" + text_position(text, first_invalid_utf8(text)));
        std::string msg = e == simdjson::UNCLOSED_STRING ? "unterminated string"
                          : e == simdjson::EMPTY          ? "empty document"
                                                          : std::string("invalid JSON: ") + simdjson::error_message(e);
        throw Error(msg + text_position(text, size));
    }
    JsonCursor cursor(doc, text);
    cursor.start();
    UMeshBase mesh = detail::read_document(cursor);
    cursor.finish();
    return mesh;
}

UMeshBase read_json(std::string_view text) {
    simdjson::padded_string padded(text);
    return read_json_padded(padded.data(), text.size(), text.size() + simdjson::SIMDJSON_PADDING);
}

}  // namespace zentrel::io
