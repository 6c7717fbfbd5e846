#include "zentrel/mesh/debug_dump.hpp"

#include <charconv>
#include <cmath>

namespace zentrel {

namespace {

class Writer {
public:
    std::string out;

    void indent(int level) { out.append(static_cast<std::size_t>(level) * 4, ' '); }

    void number(double v) {
        if (std::isnan(v)) {
            out += "NaN";
            return;
        }
        if (std::isinf(v)) {
            out += v > 0 ? "inf" : "-inf";
            return;
        }
        char buf[32];
        auto r = std::to_chars(buf, buf + sizeof buf, v);
        std::string_view s(buf, static_cast<std::size_t>(r.ptr - buf));
        out += s;
        if (s.find_first_of(".e") == std::string_view::npos) out += ".0";
    }
    void number(std::uint64_t v) {
        char buf[24];
        auto r = std::to_chars(buf, buf + sizeof buf, v);
        out.append(buf, r.ptr);
    }

    template <class T>
    void list(const std::vector<T>& v) {
        out += '[';
        for (std::size_t i = 0; i < v.size(); ++i) {
            if (i) out += ", ";
            number(static_cast<std::uint64_t>(v[i]));
        }
        out += ']';
    }

    // Nested brackets, one level per axis; rows of the last axis on one line each.
    template <class T>
    void array(const NdArray<T>& a, bool fixed_rank, int level) {
        const Shape& shape = a.shape();
        const T* p = a.data();
        if (shape.empty()) {
            number(p ? p[0] : T{});
        } else {
            std::vector<std::size_t> strides = a.strides();
            std::size_t pos = 0;
            nested(p, shape, strides, 0, pos, level);
        }
        out += ", shape=";
        list(shape);
        out += ", strides=";
        list(a.strides());
        out += ", layout=C (0x1), ";
        out += fixed_rank ? "const ndim=" : "dynamic ndim=";
        number(static_cast<std::uint64_t>(shape.size()));
    }

    template <class T>
    void nested(const T* p, const Shape& shape, const std::vector<std::size_t>& strides, std::size_t axis,
                std::size_t offset, int level) {
        out += '[';
        std::size_t n = shape[axis];
        for (std::size_t i = 0; i < n; ++i) {
            if (axis + 1 == shape.size()) {
                if (i) out += ", ";
                number(p[offset + i]);
            } else {
                if (i) {
                    out += ",\n";
                    indent(level + 1);
                    out.append(axis + 1, ' ');
                }
                nested(p, shape, strides, axis + 1, offset + i * strides[axis], level);
            }
        }
        out += ']';
    }

    void block(const ElementBlockBase& b, int level) {
        out += "ElementBlockBase {\n";
        indent(level + 1);
        out += "cell_type: ";
        out += name_of(b.cell_type);
        out += ",\n";
        indent(level + 1);
        out += "connectivity: ";
        if (b.connectivity.is_regular()) {
            out += "Regular(\n";
            indent(level + 2);
            array(b.connectivity.regular_array(), true, level + 2);
            out += ",\n";
        } else {
            out += "Poly(\n";
            indent(level + 2);
            out += "IndirectIndex {\n";
            indent(level + 3);
            out += "data: ";
            array(b.connectivity.indirect().data, true, level + 3);
            out += ",\n";
            indent(level + 3);
            out += "offsets: ";
            array(b.connectivity.indirect().offsets, true, level + 3);
            out += ",\n";
            indent(level + 2);
            out += "},\n";
        }
        indent(level + 1);
        out += "),\n";
        indent(level + 1);
        out += "fields: {";
        if (!b.fields.empty()) out += '\n';
        for (const auto& [name, a] : b.fields) {
            indent(level + 2);
            out += '"' + name + "\": ";
            array(a, false, level + 2);
            out += ",\n";
        }
        if (!b.fields.empty()) indent(level + 1);
        out += "},\n";
        indent(level + 1);
        out += "families: ";
        array(b.families, true, level + 1);
        out += ",\n";
        indent(level + 1);
        out += "groups: {";
        if (!b.groups.empty()) out += '\n';
        for (const auto& [name, fams] : b.groups) {
            indent(level + 2);
            out += '"' + name + "\": {";
            bool first = true;
            for (std::uint64_t f : fams) {
                if (!first) out += ", ";
                first = false;
                number(f);
            }
            out += "},\n";
        }
        if (!b.groups.empty()) indent(level + 1);
        out += "},\n";
        indent(level);
        out += '}';
    }
};

}  // namespace

std::string debug_dump(const UMeshBase& mesh) {
    Writer w;
    w.out += "UMeshBase {\n";
    w.indent(1);
    w.out += "coords: ";
    w.array(mesh.coords, true, 1);
    w.out += ",\n";
    w.indent(1);
    w.out += "element_blocks: {";
    if (!mesh.element_blocks.empty()) w.out += '\n';
    for (const auto& [t, b] : mesh.element_blocks) {
        w.indent(2);
        w.out += name_of(t);
        w.out += ": ";
        w.block(b, 2);
        w.out += ",\n";
    }
    if (!mesh.element_blocks.empty()) w.indent(1);
    w.out += "},\n}";
    return w.out;
}

}  // namespace zentrel
