#include "zentrel/io/document_writer.hpp"

#include <span>
#include <string_view>
#include <vector>

#include "zentrel/io/number_format.hpp"

namespace zentrel::io {

namespace {

constexpr char kHex[] = "0123456789abcdef";

void json_string(OutputBuffer& out, std::string_view s) {
    out.put('"');
    std::size_t run = 0;  // start of the pending unescaped run
    for (std::size_t i = 0; i < s.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c >= 0x20 && c != '"' && c != '\\') continue;
        out.append(s.substr(run, i - run));
        run = i + 1;
        switch (c) {
            case '"': out.append("\\\""); break;
            case '\\': out.append("\\\\"); break;
            case '\b': out.append("\\b"); break;
            case '\f': out.append("\\f"); break;
            case '\n': out.append("\\n"); break;
            case '\r': out.append("\\r"); break;
            case '\t': out.append("\\t"); break;
            default: {
                char u[6] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 15]};
                out.append(u, 6);
            }
        }
    }
    out.append(s.substr(run));
    out.put('"');
}

// JSON layout: one "first" flag per open container decides the separator; the indented
// form starts every member and element on a new line.
class JsonEmitter {
public:
    JsonEmitter(OutputBuffer& out, bool pretty) : out_(out), pretty_(pretty) {}

    void begin_map(std::size_t) { open('{'); }
    void end_map() { close('}'); }
    void begin_seq(std::size_t) { open('['); }
    void end_seq() { close(']'); }
    void key(std::string_view k) {
        item();
        json_string(out_, k);
        if (pretty_)
            out_.append(": ", 2);
        else
            out_.put(':');
    }
    void begin_tagged(std::string_view tag) {
        begin_map(1);
        key(tag);
    }
    void end_tagged() { end_map(); }
    void str(std::string_view s) { json_string(out_, s); }
    void u64(std::uint64_t v) { out_.commit(write_u64(out_.reserve(kMaxNumberChars), v)); }

    template <class T>
    void list(std::span<const T> values) {
        open('[');
        // Room for a batch of numbers is asked once; the separators are written inline.
        constexpr std::size_t kBatch = 256;
        const std::size_t per = kMaxNumberChars + indent_.size() + 1;
        const std::size_t n = values.size();
        for (std::size_t i = 0; i < n;) {
            std::size_t end = std::min(n, i + kBatch);
            char* p = out_.reserve(per * (end - i));
            for (; i < end; ++i) {
                if (i) *p++ = ',';
                if (pretty_) {
                    std::memcpy(p, indent_.data(), indent_.size());
                    p += indent_.size();
                }
                if constexpr (std::is_same_v<T, double>)
                    p = write_f64_json(p, values[i]);
                else
                    p = write_u64(p, values[i]);
            }
            out_.commit(p);
        }
        if (n) first_ = false;
        close(']');
    }
    // Elements of a list written one by one (values of groups).
    void elem() { item(); }

private:
    void open(char c) {
        out_.put(c);
        first_ = true;
        if (pretty_) indent_.append("  ");
    }
    void close(char c) {
        if (pretty_) indent_.resize(indent_.size() - 2);
        if (!first_ && pretty_) out_.append(indent_);
        out_.put(c);
        first_ = false;
    }
    void item() {
        if (!first_) out_.put(',');
        first_ = false;
        if (pretty_) out_.append(indent_);
    }

    OutputBuffer& out_;
    bool pretty_;
    bool first_ = true;
    std::string indent_ = "\n";  // newline followed by the current indentation
};

bool yaml_plain_safe(std::string_view s) {
    if (s.empty()) return false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        bool alpha = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
        bool digit = c >= '0' && c <= '9';
        if (!(alpha || (i > 0 && digit))) return false;
    }
    // Words a YAML reader would resolve to booleans or null.
    static constexpr std::string_view kReserved[] = {"null", "true", "false", "yes", "no", "on",
                                                     "off", "y", "n", "nan", "inf"};
    std::string lower(s);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    for (std::string_view r : kReserved)
        if (lower == r) return false;
    return true;
}

void yaml_quoted(OutputBuffer& out, std::string_view s) {
    out.put('"');
    for (std::size_t i = 0; i < s.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        auto hex4 = [&](unsigned v) {
            char u[6] = {'\\', 'u', kHex[(v >> 12) & 15], kHex[(v >> 8) & 15], kHex[(v >> 4) & 15], kHex[v & 15]};
            out.append(u, 6);
        };
        if (c == '"') {
            out.append("\\\"");
        } else if (c == '\\') {
            out.append("\\\\");
        } else if (c < 0x20 || c == 0x7f) {
            hex4(c);
        } else if (c == 0xC2 && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) <= 0x9F) {
            // C1 controls (NEL among them) are not printable, or are line breaks, in YAML.
            hex4((static_cast<unsigned char>(s[i + 1]) & 0x3Fu) | 0x80u);
            ++i;
        } else if (c == 0xE2 && i + 2 < s.size() && s[i + 1] == '\x80' &&
                   (s[i + 2] == '\xA8' || s[i + 2] == '\xA9')) {
            hex4(s[i + 2] == '\xA8' ? 0x2028 : 0x2029);
            i += 2;
        } else if (c == 0xEF && i + 2 < s.size() &&
                   ((s[i + 1] == '\xBB' && s[i + 2] == '\xBF') ||
                    (s[i + 1] == '\xBF' && (s[i + 2] == '\xBE' || s[i + 2] == '\xBF')))) {
            hex4(s[i + 1] == '\xBB' ? 0xFEFF : (s[i + 2] == '\xBE' ? 0xFFFE : 0xFFFF));
            i += 2;
        } else {
            out.put(static_cast<char>(c));
        }
    }
    out.put('"');
}

void yaml_string(OutputBuffer& out, std::string_view s) {
    if (yaml_plain_safe(s))
        out.append(s);
    else
        yaml_quoted(out, s);
}

// Block-style YAML. Every sequence of the document holds scalars only, so a sequence
// element is always a "- value" line.
class YamlEmitter {
public:
    explicit YamlEmitter(OutputBuffer& out) : out_(out) {}

    void begin_map(std::size_t n) {
        bool root = stack_.empty();
        if (!root) {
            if (n == 0) {
                out_.append(" {}\n");
            } else {
                out_.put('\n');
            }
        }
        stack_.push_back(root || n == 0 ? 0 : 2);
        indent_ += stack_.back();
    }
    void end_map() {
        indent_ -= stack_.back();
        stack_.pop_back();
    }
    void begin_seq(std::size_t n) {
        out_.append(n == 0 ? " []\n" : "\n");
        stack_.push_back(n == 0 ? 0 : 2);
        indent_ += stack_.back();
    }
    void end_seq() { end_map(); }
    void key(std::string_view k) {
        pad();
        yaml_string(out_, k);
        out_.put(':');
    }
    void begin_tagged(std::string_view tag) {
        out_.append(" !");
        out_.append(tag);
    }
    void end_tagged() {}
    void str(std::string_view s) {
        out_.put(' ');
        yaml_string(out_, s);
        out_.put('\n');
    }
    void u64(std::uint64_t v) {
        char* p = out_.reserve(kMaxNumberChars + 2);
        *p++ = ' ';
        p = write_u64(p, v);
        *p++ = '\n';
        out_.commit(p);
    }
    template <class T>
    void list(std::span<const T> values) {
        begin_seq(values.size());
        for (T v : values) {
            char* p = out_.reserve(kMaxNumberChars + indent_ + 3);
            std::memset(p, ' ', indent_);
            p += indent_;
            *p++ = '-';
            *p++ = ' ';
            if constexpr (std::is_same_v<T, double>)
                p = write_f64_yaml(p, v);
            else
                p = write_u64(p, v);
            *p++ = '\n';
            out_.commit(p);
        }
        end_seq();
    }
    void elem() {
        pad();
        out_.put('-');
    }

private:
    void pad() {
        if (!indent_) return;
        char* p = out_.reserve(indent_);
        std::memset(p, ' ', indent_);
        out_.commit(p + indent_);
    }

    OutputBuffer& out_;
    std::vector<std::size_t> stack_;
    std::size_t indent_ = 0;
};

template <class E, class T>
void array_value(E& e, const NdArray<T>& a) {
    e.begin_map(3);
    e.key("v");
    e.u64(1);
    e.key("dim");
    e.list(std::span<const std::size_t>(a.shape()));
    e.key("data");
    e.list(a.values());
    e.end_map();
}

template <class E>
void write_block(E& e, const ElementBlockBase& b) {
    e.begin_map(5);
    e.key("cell_type");
    e.str(name_of(b.cell_type));
    e.key("connectivity");
    if (b.connectivity.is_regular()) {
        e.begin_tagged("Regular");
        array_value(e, b.connectivity.regular_array());
    } else {
        e.begin_tagged("Poly");
        e.begin_map(2);
        e.key("data");
        array_value(e, b.connectivity.indirect().data);
        e.key("offsets");
        array_value(e, b.connectivity.indirect().offsets);
        e.end_map();
    }
    e.end_tagged();
    e.key("fields");
    e.begin_map(b.fields.size());
    for (const auto& [name, a] : b.fields) {
        e.key(name);
        array_value(e, a);
    }
    e.end_map();
    e.key("families");
    array_value(e, b.families);
    e.key("groups");
    e.begin_map(b.groups.size());
    for (const auto& [name, fams] : b.groups) {
        e.key(name);
        e.begin_seq(fams.size());
        for (std::uint64_t f : fams) {
            e.elem();
            e.u64(f);
        }
        e.end_seq();
    }
    e.end_map();
    e.end_map();
}

template <class E>
void write_document(E& e, const UMeshBase& mesh) {
    e.begin_map(2);
    e.key("coords");
    array_value(e, mesh.coords);
    e.key("element_blocks");
    e.begin_map(mesh.element_blocks.size());
    for (const auto& [t, b] : mesh.element_blocks) {
        e.key(name_of(t));
        write_block(e, b);
    }
    e.end_map();
    e.end_map();
}

}  // namespace

std::size_t document_size_hint(const UMeshBase& mesh, bool pretty) {
    // Typical widths: a double with its separator takes up to 25 bytes, a node number about 8;
    // the indented form adds about a dozen bytes of indentation per value.
    std::size_t doubles = mesh.coords.size(), ints = 0;
    for (const auto& [t, b] : mesh.element_blocks) {
        ints += b.families.size();
        ints += b.connectivity.is_regular() ? b.connectivity.regular_array().size()
                                             : b.connectivity.indirect().data.size() + b.connectivity.indirect().offsets.size();
        for (const auto& [name, a] : b.fields) doubles += a.size();
    }
    std::size_t per = pretty ? 13 : 0;
    return 4096 + doubles * (25 + per) + ints * (9 + per);
}

void write_json(OutputBuffer& out, const UMeshBase& mesh, bool pretty) {
    JsonEmitter e(out, pretty);
    write_document(e, mesh);
}

void write_yaml(OutputBuffer& out, const UMeshBase& mesh) {
    YamlEmitter e(out);
    write_document(e, mesh);
}

std::string to_json(const UMeshBase& mesh) {
    OutputBuffer out;
    out.reserve_total(document_size_hint(mesh, false));
    write_json(out, mesh, false);
    return out.take_string();
}

std::string to_json_pretty(const UMeshBase& mesh) {
    OutputBuffer out;
    out.reserve_total(document_size_hint(mesh, true));
    write_json(out, mesh, true);
    return out.take_string();
}

std::string to_yaml(const UMeshBase& mesh) {
    OutputBuffer out;
    write_yaml(out, mesh);
    return out.take_string();
}

}  // namespace zentrel::io
