#pragma once

#include <cstddef>
#include <span>

#include "zentrel/element_traits/geometry.hpp"
#include "zentrel/mesh/element_type.hpp"
#include "zentrel/mesh/ndarray.hpp"
#include "zentrel/mesh/umesh.hpp"

namespace zentrel {

// a × b = (a1 b2 − a2 b1, a2 b0 − a0 b2, a0 b1 − a1 b0).
inline Point3 cross(const Point3& a, const Point3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// Layer coordinates, (L·N) × (d+1), layer-major: node n of layer k is row k·N + n.

// Layer k is the mesh with one more column set to values[k].
ArrayF64 extrude_coords(const ArrayF64& coords, std::span<const double> values);

// Layer k is the mesh translated so that it follows the polyline `points` (L × K, K ≥ d+1):
// input columns 0 and 1 move by points[k] − points[0], the new column is points[k][d], other
// input columns are kept. Fails when K < d+1.
ArrayF64 extrude_coords_parallel(const ArrayF64& coords, const ArrayF64& points);

// Sweep of a 2D section along a 3D polyline (L × 3, L ≥ 2): each layer is the previous one
// turned about its own centroid from the previous path direction to the next, then moved by
// the path step. Fails on a column mismatch, a mesh that is not 2D or has no node, and a path
// with equal consecutive points or a zero tangent (it turns straight back).
ArrayF64 extrude_coords_curvilinear(const ArrayF64& coords, const ArrayF64& points);

// Connectivity of a VERTEX or QUAD4 block over `layers` element layers: row k·E + e is input
// row e offset by k·N followed by the same row offset by (k+1)·N.
ArrayU64 extrude_dup_connectivity(const UMeshBase& mesh, ElementType type, std::size_t layers);

// The mesh of the given layer coordinates ((layers+1)·N rows) with every block extruded:
// VERTEX → SEG2, SEG2 → QUAD4, QUAD4 → HEX8, as fresh blocks without fields, groups or
// families. Any other type fails before anything is built.
UMeshBase extrude_connectivity(const UMeshBase& mesh, std::size_t layers, ArrayF64 new_coords);

// Whole extrusions with L layers of nodes: L = 0 gives the mesh's plain copy (no fields,
// groups or families), L = 1 that copy over the one-layer coordinates, L ≥ 2 the extruded mesh.
UMeshBase extrude(const UMeshBase& mesh, std::span<const double> along);
UMeshBase extrude_parallel(const UMeshBase& mesh, const ArrayF64& along);
// Here a single path point fails: it gives no direction to sweep along.
UMeshBase extrude_curv(const UMeshBase& mesh, const ArrayF64& along);

}  // namespace zentrel
