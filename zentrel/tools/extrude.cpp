#include "zentrel/tools/extrude.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "zentrel/mesh/error.hpp"

namespace zentrel {

namespace {

std::size_t checked_mul(std::size_t a, std::size_t b) {
    if (a != 0 && b > SIZE_MAX / a) throw Error("the extruded mesh is too large");
    return a * b;
}

std::size_t columns(const ArrayF64& a) { return a.ndim() < 2 ? 0 : a.extent(1); }
std::size_t rows(const ArrayF64& a) { return a.ndim() == 0 ? 0 : a.extent(0); }

void require_matrix(const ArrayF64& a, const char* what) {
    if (a.ndim() != 2)
        throw Error(std::string(what) + " must be a two-dimensional array, got shape " + shape_to_string(a.shape()));
}

// Fills (L·N) × (d+1) rows layer by layer; finish(k, row) completes each copied input row.
template <class Finish>
ArrayF64 layered(const ArrayF64& coords, std::size_t layers, Finish finish) {
    require_matrix(coords, "coordinates");
    std::size_t n = rows(coords), d = columns(coords);
    ArrayF64 out = ArrayF64::uninit({checked_mul(layers, n), d + 1});
    double* o = out.data_mut();
    const double* c = coords.data();
    for (std::size_t k = 0; k < layers; ++k)
        for (std::size_t i = 0; i < n; ++i, o += d + 1) {
            for (std::size_t j = 0; j < d; ++j) o[j] = c[i * d + j];
            finish(k, o);
        }
    return out;
}

Point3 row3(const ArrayF64& a, std::size_t i) {
    const double* r = a.data() + i * 3;
    return {r[0], r[1], r[2]};
}

Point3 sub(const Point3& a, const Point3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

double norm(const Point3& a) { return std::sqrt((a.x * a.x + a.y * a.y) + a.z * a.z); }

Point3 unit(const Point3& a) {
    double l = norm(a);
    return {a.x / l, a.y / l, a.z / l};
}

double dot(const Point3& a, const Point3& b) { return (a.x * b.x + a.y * b.y) + a.z * b.z; }

// Axis least aligned with t, so that cross(t, e) is far from zero.
Point3 auxiliary_axis(const Point3& t) {
    double ax = std::fabs(t.x), ay = std::fabs(t.y), az = std::fabs(t.z);
    if (ax < ay) return ax < az ? Point3{1, 0, 0} : Point3{0, 0, 1};
    return ay < az ? Point3{0, 1, 0} : Point3{0, 0, 1};
}

// Checks the node numbers of a regular block once, so that the layer loops write unchecked.
const ArrayU64& checked_block(const UMeshBase& mesh, ElementType type) {
    const ElementBlockBase& b = mesh.block(type);
    if (!b.connectivity.is_regular())
        throw Error("cannot extrude the " + std::string(name_of(type)) + " block: its connectivity is not regular");
    const ArrayU64& conn = b.connectivity.regular_array();
    std::size_t width = *num_nodes(type);
    if (conn.ndim() != 2 || conn.extent(1) != width)
        throw Error("Connectivity length does not match the number of nodes for element type " +
                    std::string(name_of(type)));
    std::size_t n = mesh.num_nodes();
    for (std::uint64_t v : conn.values())
        if (v >= n) throw_node_out_of_range(v, n);
    return conn;
}

// A new regular block with zero families.
ElementBlockBase bare_block(ElementType type, ArrayU64 conn) {
    std::size_t e = conn.extent(0);
    ArrayU64 families = ArrayU64::uninit({e});
    std::fill_n(families.data_mut(), e, std::uint64_t{0});
    return ElementBlockBase::new_regular(type, std::move(conn), std::move(families));
}

}  // namespace

ArrayF64 extrude_coords(const ArrayF64& coords, std::span<const double> values) {
    std::size_t d = columns(coords);
    return layered(coords, values.size(), [&](std::size_t k, double* row) { row[d] = values[k]; });
}

ArrayF64 extrude_coords_parallel(const ArrayF64& coords, const ArrayF64& points) {
    require_matrix(points, "the path");
    std::size_t d = columns(coords), kcols = columns(points);
    if (rows(points) > 0 && kcols < d + 1)
        throw Error("index out of range: the path has " + std::to_string(kcols) +
                    " columns, a mesh of space dimension " + std::to_string(d) + " needs at least " +
                    std::to_string(d + 1));
    const double* p = points.data();
    // Only input columns follow the path; for a mesh without coordinates the one new column is
    // the path height alone (column 0 is then both, and must not get the offset too).
    bool move0 = d >= 1, move1 = d >= 2;
    return layered(coords, rows(points), [&](std::size_t k, double* row) {
        const double* pk = p + k * kcols;
        if (move0) row[0] = (row[0] - p[0]) + pk[0];
        if (move1) row[1] = (row[1] - p[1]) + pk[1];
        row[d] = pk[d];
    });
}

ArrayF64 extrude_coords_curvilinear(const ArrayF64& coords, const ArrayF64& points) {
    require_matrix(coords, "coordinates");
    require_matrix(points, "the path");
    std::size_t n = rows(coords), d = columns(coords);
    std::size_t L = rows(points), kcols = columns(points);
    if (kcols == 0 || kcols - 1 != d)
        throw Error("assertion failed: the path has " + std::to_string(kcols) + " columns, minus one that is " +
                    std::to_string(kcols == 0 ? 0 : kcols - 1) + ", which differs from the space dimension " +
                    std::to_string(d));
    if (d != 2)
        throw Error("incompatible shapes: the path directions are 3 wide, the section rows " + std::to_string(d + 1) +
                    " wide; a curvilinear extrusion sweeps a 2D mesh");
    if (L < 2)
        throw Error("cannot sweep along a path of " + std::to_string(L) +
                    " point(s): a curvilinear extrusion needs at least 2 to have a direction");
    if (n == 0) throw Error("cannot sweep a section without nodes: its centroid is undefined");

    // Tangents: T[0] is the normal of the input plane, T[k+1] the path tangent at point k.
    std::vector<Point3> t(L + 1);
    t[0] = {0, 0, 1};
    for (std::size_t k = 1; k < L; ++k)
        if (row3(points, k) == row3(points, k - 1))
            throw Error("cannot sweep along a path whose points " + std::to_string(k - 1) + " and " +
                        std::to_string(k) + " are equal: the direction between them has zero length");
    t[1] = sub(row3(points, 1), row3(points, 0));
    for (std::size_t k = 1; k + 1 < L; ++k) {
        t[k + 1] = sub(row3(points, k + 1), row3(points, k - 1));
        if (norm(t[k + 1]) == 0.0)
            throw Error("cannot sweep along a path that turns straight back at point " + std::to_string(k) +
                        ": its tangent there has zero length");
    }
    t[L] = sub(row3(points, L - 1), row3(points, L - 2));

    ArrayF64 out = ArrayF64::uninit({checked_mul(L, n), 3});
    double* o = out.data_mut();
    const double* c0 = coords.data();
    double z0 = points.data()[2];
    Point3 sum{0, 0, 0};
    for (std::size_t i = 0; i < n; ++i) {
        double* p = o + 3 * i;
        p[0] = c0[2 * i];
        p[1] = c0[2 * i + 1];
        p[2] = z0;
        sum.x += p[0];
        sum.y += p[1];
        sum.z += p[2];
    }
    // One pass per layer: layer k is made from layer k−1 (layer 0 in place), and the sum of its
    // rows, taken in row order as it is written, gives the next centroid.
    double dn = static_cast<double>(n);
    for (std::size_t k = 0; k < L; ++k) {
        const double* src = o + (k == 0 ? 0 : (k - 1) * n * 3);
        double* dst = o + k * n * 3;
        Point3 c{sum.x / dn, sum.y / dn, sum.z / dn};
        Point3 step = k == 0 ? Point3{0, 0, 0} : sub(row3(points, k), row3(points, k - 1));
        Point3 t1 = unit(t[k]), t2 = unit(t[k + 1]);
        double cosine = dot(t1, t2);
        sum = {0, 0, 0};
        auto emit = [&](double* q, double x, double y, double z) {
            q[0] = x + step.x;
            q[1] = y + step.y;
            q[2] = z + step.z;
            sum.x += q[0];
            sum.y += q[1];
            sum.z += q[2];
        };
        if (cosine < -0.999999) {
            // Half turn about the line through c along cross(t1, e): v ↦ 2 (a·v) a − v.
            Point3 a = unit(cross(t1, auxiliary_axis(t1)));
            for (std::size_t i = 0; i < n; ++i) {
                const double* p = src + 3 * i;
                Point3 v{p[0] - c.x, p[1] - c.y, p[2] - c.z};
                double av2 = 2.0 * dot(a, v);
                emit(dst + 3 * i, c.x + (av2 * a.x - v.x), c.y + (av2 * a.y - v.y), c.z + (av2 * a.z - v.z));
            }
        } else if (cosine <= 0.999999) {
            // Rotation carrying t1 onto t2: v + w×v + w×(w×v)/(1+s), w = t1×t2 not normalised.
            Point3 w = cross(t1, t2);
            double q = 1.0 + cosine;
            for (std::size_t i = 0; i < n; ++i) {
                const double* p = src + 3 * i;
                Point3 v{p[0] - c.x, p[1] - c.y, p[2] - c.z};
                Point3 wv = cross(w, v);
                Point3 wwv = cross(w, wv);
                emit(dst + 3 * i, c.x + ((v.x + wv.x) + wwv.x / q), c.y + ((v.y + wv.y) + wwv.y / q),
                     c.z + ((v.z + wv.z) + wwv.z / q));
            }
        } else {
            for (std::size_t i = 0; i < n; ++i) {
                const double* p = src + 3 * i;
                emit(dst + 3 * i, p[0], p[1], p[2]);
            }
        }
    }
    return out;
}

ArrayU64 extrude_dup_connectivity(const UMeshBase& mesh, ElementType type, std::size_t layers) {
    if (type != ElementType::VERTEX && type != ElementType::QUAD4)
        throw Error("cannot double the connectivity of a " + std::string(name_of(type)) +
                    " block: only VERTEX and QUAD4 blocks extrude that way");
    const ArrayU64& conn = checked_block(mesh, type);
    std::size_t e = conn.extent(0), w = conn.extent(1), n = mesh.num_nodes();
    ArrayU64 out = ArrayU64::uninit({checked_mul(layers, e), 2 * w});
    std::uint64_t* o = out.data_mut();
    const std::uint64_t* in = conn.data();
    for (std::size_t k = 0; k < layers; ++k) {
        std::uint64_t lo = k * n, hi = (k + 1) * n;
        const std::uint64_t* r = in;
        if (w == 4) {
            for (std::size_t i = 0; i < e; ++i, r += 4, o += 8) {
                for (std::size_t j = 0; j < 4; ++j) {
                    o[j] = r[j] + lo;
                    o[j + 4] = r[j] + hi;
                }
            }
        } else {
            for (std::size_t i = 0; i < e; ++i, ++r, o += 2) {
                o[0] = r[0] + lo;
                o[1] = r[0] + hi;
            }
        }
    }
    return out;
}

UMeshBase extrude_connectivity(const UMeshBase& mesh, std::size_t layers, ArrayF64 new_coords) {
    std::size_t n = mesh.num_nodes();
    if (new_coords.ndim() != 2 || rows(new_coords) != checked_mul(layers + 1, n))
        throw Error("the layer coordinates have shape " + shape_to_string(new_coords.shape()) + ", " +
                    std::to_string(layers + 1) + " layers of " + std::to_string(n) + " nodes were expected");
    for (const auto& [t, b] : mesh.element_blocks)
        if (t != ElementType::VERTEX && t != ElementType::SEG2 && t != ElementType::QUAD4)
            throw Error("not yet implemented: Extrusion of " + std::string(name_of(t)) + " is not implemented yet");
    UMeshBase out(std::move(new_coords));
    for (const auto& [t, b] : mesh.element_blocks) {
        if (t == ElementType::VERTEX) {
            out.add_block(bare_block(ElementType::SEG2, extrude_dup_connectivity(mesh, t, layers)));
        } else if (t == ElementType::QUAD4) {
            out.add_block(bare_block(ElementType::HEX8, extrude_dup_connectivity(mesh, t, layers)));
        } else {
            const ArrayU64& conn = checked_block(mesh, t);
            std::size_t e = conn.extent(0);
            ArrayU64 quads = ArrayU64::uninit({checked_mul(layers, e), 4});
            std::uint64_t* o = quads.data_mut();
            for (std::size_t k = 0; k < layers; ++k) {
                std::uint64_t lo = k * n, hi = (k + 1) * n;
                const std::uint64_t* r = conn.data();
                // The upper pair is reversed so that the four nodes run round the quadrangle.
                for (std::size_t i = 0; i < e; ++i, r += 2, o += 4) {
                    o[0] = r[0] + lo;
                    o[1] = r[1] + lo;
                    o[2] = r[1] + hi;
                    o[3] = r[0] + hi;
                }
            }
            out.add_block(bare_block(ElementType::QUAD4, std::move(quads)));
        }
    }
    return out;
}

namespace {

UMeshBase finish(const UMeshBase& mesh, std::size_t layers, ArrayF64 coords) {
    if (layers == 1) {
        UMeshBase copy = mesh.to_shared();
        copy.coords = std::move(coords);
        return copy;
    }
    return extrude_connectivity(mesh, layers - 1, std::move(coords));
}

// An empty path (no row or no column) extrudes nothing.
bool no_layer(const ArrayF64& along) {
    require_matrix(along, "the path");
    return rows(along) == 0 || columns(along) == 0;
}

}  // namespace

UMeshBase extrude(const UMeshBase& mesh, std::span<const double> along) {
    if (along.empty()) return mesh.to_shared();
    return finish(mesh, along.size(), extrude_coords(mesh.coords, along));
}

UMeshBase extrude_parallel(const UMeshBase& mesh, const ArrayF64& along) {
    if (no_layer(along)) return mesh.to_shared();
    return finish(mesh, rows(along), extrude_coords_parallel(mesh.coords, along));
}

UMeshBase extrude_curv(const UMeshBase& mesh, const ArrayF64& along) {
    if (no_layer(along)) return mesh.to_shared();
    return finish(mesh, rows(along), extrude_coords_curvilinear(mesh.coords, along));
}

}  // namespace zentrel
