#include "zentrel/io/vtk_io/vtk_cells.hpp"

#include <array>
#include <limits>

namespace zentrel::io {

namespace {

constexpr std::uint64_t kFaceSeparator = std::numeric_limits<std::uint64_t>::max();

struct Named {
    std::uint8_t code;
    std::string_view name;
};

constexpr Named kNames[] = {
    {0, "EmptyCell"},
    {1, "Vertex"},
    {2, "PolyVertex"},
    {3, "Line"},
    {4, "PolyLine"},
    {5, "Triangle"},
    {6, "TriangleStrip"},
    {7, "Polygon"},
    {8, "Pixel"},
    {9, "Quad"},
    {10, "Tetra"},
    {11, "Voxel"},
    {12, "Hexahedron"},
    {13, "Wedge"},
    {14, "Pyramid"},
    {15, "PentagonalPrism"},
    {16, "HexagonalPrism"},
    {21, "QuadraticEdge"},
    {22, "QuadraticTriangle"},
    {23, "QuadraticQuad"},
    {24, "QuadraticTetra"},
    {25, "QuadraticHexahedron"},
    {26, "QuadraticWedge"},
    {27, "QuadraticPyramid"},
    {28, "BiQuadraticQuad"},
    {29, "TriQuadraticHexahedron"},
    {30, "QuadraticLinearQuad"},
    {31, "QuadraticLinearWedge"},
    {32, "BiQuadraticQuadraticWedge"},
    {33, "BiQuadraticQuadraticHexahedron"},
    {34, "BiQuadraticTriangle"},
    {35, "CubicLine"},
    {36, "QuadraticPolygon"},
    {37, "TriQuadraticPyramid"},
    {41, "ConvexPointSet"},
    {42, "Polyhedron"},
    {51, "ParametricCurve"},
    {52, "ParametricSurface"},
    {53, "ParametricTriSurface"},
    {54, "ParametricQuadSurface"},
    {55, "ParametricTetraRegion"},
    {56, "ParametricHexRegion"},
    {60, "HigherOrderCurve"},
    {61, "HigherOrderTriangle"},
    {62, "HigherOrderQuadrilateral"},
    {63, "HigherOrderPolygon"},
    {64, "HigherOrderTetra"},
    {65, "HigherOrderWedge"},
    {66, "HigherOrderPyramid"},
    {67, "HigherOrderHexahedron"},
    {68, "LagrangeCurve"},
    {69, "LagrangeTriangle"},
    {70, "LagrangeQuadrilateral"},
    {71, "LagrangeTetra"},
    {72, "LagrangeHexahedron"},
    {73, "LagrangeWedge"},
    {74, "LagrangePyramid"},
    {75, "BezierCurve"},
    {76, "BezierTriangle"},
    {77, "BezierQuadrilateral"},
    {78, "BezierTetra"},
    {79, "BezierHexahedron"},
    {80, "BezierWedge"},
    {81, "BezierPyramid"},
};

std::optional<ElementType> element_type_of(std::uint64_t code) {
    switch (code) {
        case 1: return ElementType::VERTEX;
        case 3: return ElementType::SEG2;
        case 5: return ElementType::TRI3;
        case 7: return ElementType::PGON;
        case 9: return ElementType::QUAD4;
        case 10: return ElementType::TET4;
        case 12: return ElementType::HEX8;
        case 42: return ElementType::PHED;
        default: return std::nullopt;
    }
}

[[noreturn]] void node_out_of_range(std::uint64_t node, std::size_t cell, std::size_t num_points) {
    throw Error("cell " + std::to_string(cell) + " refers to point " + std::to_string(node) + " but there are only " +
                std::to_string(num_points) + " points");
}

[[noreturn]] void node_out_of_range(std::uint64_t node, ElementType t, std::size_t num_nodes) {
    throw Error("the " + std::string(name_of(t)) + " block refers to node " + std::to_string(node) +
                " but the mesh has " + std::to_string(num_nodes) + " nodes");
}

// Position of the first value >= limit, or values.size(); the common all-valid case is one
// branch-free pass.
std::size_t first_at_or_above(std::span<const std::uint64_t> values, std::uint64_t limit) {
    std::uint64_t mx = 0;
    for (std::uint64_t v : values) mx = v > mx ? v : mx;
    if (mx < limit) return values.size();
    for (std::size_t i = 0; i < values.size(); ++i)
        if (values[i] >= limit) return i;
    return values.size();
}

}  // namespace

std::optional<std::uint8_t> vtk_cell_type(ElementType t) {
    switch (t) {
        case ElementType::VERTEX: return 1;
        case ElementType::SEG2: return 3;
        case ElementType::TRI3: return 5;
        case ElementType::PGON: return 7;
        case ElementType::QUAD4: return 9;
        case ElementType::TET4: return 10;
        case ElementType::HEX8: return 12;
        case ElementType::PHED: return 42;
        default: return std::nullopt;
    }
}

std::string vtk_cell_name(std::uint64_t code) {
    for (const Named& n : kNames)
        if (n.code == code) return std::string(n.name);
    return std::to_string(code);
}

VtkCells vtk_cells_of(const UMeshBase& mesh) {
    if (mesh.coords.ndim() != 2 || mesh.space_dimension() != 3)
        throw Error("Only 3D meshes are supported for VTK export");
    for (const auto& [t, b] : mesh.element_blocks)
        if (!vtk_cell_type(t)) throw Error("Unsupported element type for VTK: " + std::string(name_of(t)));

    const std::size_t n = mesh.num_nodes();
    VtkCells cells;
    std::vector<std::size_t> stamp;  // last polyhedron that used each point, plus one
    for (const auto& [t, b] : mesh.element_blocks) {
        std::size_t len = b.len();
        if (t != ElementType::PHED) {
            if (b.connectivity.is_poly()) b.connectivity.indirect().validate();
            const ArrayU64& values = b.connectivity.is_regular() ? b.connectivity.regular_array()
                                                                 : b.connectivity.indirect().data;
            if (std::size_t i = first_at_or_above(values.values(), n); i != values.size())
                node_out_of_range(values.values()[i], t, n);
            cells.conn_size += values.size();
            cells.stream_size += values.size();
            cells.num_cells += len;
            continue;
        }
        if (b.connectivity.is_regular()) throw Error("the PHED block needs a poly connectivity");
        b.connectivity.indirect().validate();
        if (stamp.empty()) stamp.assign(n, 0);
        for (std::size_t e = 0; e < len; ++e) {
            auto nodes = b.connectivity.nodes(e);
            if (!nodes.empty() && nodes.back() != kFaceSeparator)
                throw Error("polyhedron " + std::to_string(e) + " of the PHED block does not end with a face separator");
            std::size_t count_at = cells.phed_faces.size();
            cells.phed_faces.push_back(0);
            std::int64_t faces = 0;
            std::size_t face_start = 0;
            for (std::size_t k = 0; k < nodes.size(); ++k) {
                if (nodes[k] != kFaceSeparator) continue;
                cells.phed_faces.push_back(static_cast<std::int64_t>(k - face_start));
                for (std::size_t j = face_start; j < k; ++j) {
                    std::uint64_t p = nodes[j];
                    if (p >= n) node_out_of_range(p, t, n);
                    cells.phed_faces.push_back(static_cast<std::int64_t>(p));
                    if (stamp[p] != e + 1) {
                        stamp[p] = e + 1;
                        cells.phed_points.push_back(static_cast<std::int64_t>(p));
                    }
                }
                ++faces;
                face_start = k + 1;
            }
            cells.phed_faces[count_at] = faces;
            cells.phed_points_end.push_back(cells.phed_points.size());
            cells.phed_faces_end.push_back(cells.phed_faces.size());
        }
        cells.conn_size += cells.phed_points.size();
        cells.stream_size += cells.phed_faces.size();
        cells.num_cells += len;
    }
    return cells;
}

UMeshBase mesh_from_vtk(VtkGrid grid) {
    const std::size_t npts = grid.points.extent(0);
    const std::size_t nc = grid.types.size();
    const std::size_t conn_len = grid.connectivity.size();
    const std::uint64_t* conn = grid.connectivity.data();
    if (grid.offsets.size() != nc)
        throw Error("there are " + std::to_string(grid.offsets.size()) + " cell offsets for " + std::to_string(nc) +
                    " cell types");
    // face_ends carries, for cells that are not polyhedra, the end of the previous stream.
    if (!grid.streams_in_connectivity && !grid.face_ends.empty() && grid.face_ends.size() != nc)
        throw Error("there are " + std::to_string(grid.face_ends.size()) + " face offsets for " + std::to_string(nc) +
                    " cells");

    // Node numbers are checked in one pass over the connectivity, or cell by cell to name the
    // culprit, and where polyhedra keep their face streams (whose counts are not node numbers)
    // in the connectivity.
    bool check_each_cell = grid.streams_in_connectivity ||
                           first_at_or_above(grid.connectivity.values(), npts) != conn_len;

    // Per type: number of cells and of node-list entries.
    std::array<std::size_t, kNumElementTypes> count{}, entries{};
    std::uint64_t prev = 0;
    for (std::size_t j = 0; j < nc; ++j) {
        std::uint64_t end = grid.offsets[j];
        if (end < prev) throw Error("the offset of cell " + std::to_string(j) + " decreases");
        if (end > conn_len)
            throw Error("the offset of cell " + std::to_string(j) + " overruns the connectivity of " +
                        std::to_string(conn_len) + " entries");
        std::uint64_t code = grid.types[j];
        if (code > 255) throw Error("cell type " + std::to_string(code) + " of cell " + std::to_string(j) + " is above 255");
        auto t = element_type_of(code);
        if (!t) throw Error("Unsupported cell type for VTK: " + vtk_cell_name(code));
        std::size_t len = end - prev;
        if (auto w = num_nodes(*t); w && len != *w)
            throw Error("Connectivity length does not match the number of nodes for element type " +
                        std::string(name_of(*t)));
        if (check_each_cell && (*t != ElementType::PHED || !grid.streams_in_connectivity))
            for (std::size_t k = prev; k < end; ++k)
                if (conn[k] >= npts) node_out_of_range(conn[k], j, npts);
        ++count[code_of(*t)];
        entries[code_of(*t)] += len;
        prev = end;
    }

    // Face stream of polyhedron j, with its bounds checked.
    auto stream_of = [&](std::size_t j, std::uint64_t begin, std::uint64_t end) -> std::span<const std::uint64_t> {
        if (grid.streams_in_connectivity) return {conn + begin, conn + end};
        if (grid.face_ends.empty()) throw Error("polyhedron cell " + std::to_string(j) + " has no faces array");
        std::uint64_t fb = j ? grid.face_ends[j - 1] : 0, fe = grid.face_ends[j];
        if (fe < fb || fe > grid.faces.size())
            throw Error("the face offset of cell " + std::to_string(j) + " is out of range");
        return {grid.faces.data() + fb, grid.faces.data() + fe};
    };
    // Walks a face stream, calling face(points) per face; checks that it stays inside.
    auto walk_stream = [&](std::size_t j, std::span<const std::uint64_t> s, auto&& face) {
        if (s.empty()) throw Error("the face stream of polyhedron cell " + std::to_string(j) + " is empty");
        std::uint64_t nf = s[0];
        std::size_t pos = 1;
        for (std::uint64_t f = 0; f < nf; ++f) {
            if (pos >= s.size()) throw Error("the face stream of polyhedron cell " + std::to_string(j) + " overruns");
            std::uint64_t np = s[pos++];
            if (np > s.size() - pos) throw Error("the face stream of polyhedron cell " + std::to_string(j) + " overruns");
            auto pts = s.subspan(pos, np);
            for (std::uint64_t p : pts)
                if (p >= npts) node_out_of_range(p, j, npts);
            face(pts);
            pos += np;
        }
        if (pos != s.size()) throw Error("the face stream of polyhedron cell " + std::to_string(j) + " has extra values");
    };

    UMeshBase mesh(std::move(grid.points));
    // One regular type whose cells are laid out back to back: the connectivity is the block.
    if (nc > 0) {
        auto t0 = element_type_of(grid.types[0]);
        if (t0 && !is_poly(*t0) && count[code_of(*t0)] == nc && prev == conn_len) {
            std::size_t w = *num_nodes(*t0);
            grid.connectivity.reshape({nc, w});  // entries == nc * w, checked above
            mesh.add_regular_block(*t0, std::move(grid.connectivity));
            return mesh;
        }
    }

    // The polyhedra's node lists are one entry per face longer than their points.
    std::size_t phed_entries = 0;
    if (count[code_of(ElementType::PHED)]) {
        prev = 0;
        for (std::size_t j = 0; j < nc; ++j) {
            std::uint64_t end = grid.offsets[j];
            if (grid.types[j] == 42)
                walk_stream(j, stream_of(j, prev, end), [&](auto pts) { phed_entries += pts.size() + 1; });
            prev = end;
        }
        entries[code_of(ElementType::PHED)] = phed_entries;
    }

    struct Build {
        ArrayU64 data, offsets;
        std::uint64_t* d = nullptr;
        std::uint64_t* o = nullptr;
        std::size_t filled = 0;
    };
    std::array<Build, kNumElementTypes> builds;
    for (ElementType t : kAllElementTypes) {
        std::size_t c = count[code_of(t)];
        if (!c) continue;
        Build& b = builds[code_of(t)];
        if (is_poly(t)) {
            b.data = ArrayU64::uninit({entries[code_of(t)]});
            b.offsets = ArrayU64::uninit({c});
            b.o = b.offsets.data_mut();
        } else {
            b.data = ArrayU64::uninit({c, *num_nodes(t)});
        }
        b.d = b.data.data_mut();
    }
    prev = 0;
    for (std::size_t j = 0; j < nc; ++j) {
        std::uint64_t end = grid.offsets[j];
        ElementType t = *element_type_of(grid.types[j]);
        Build& b = builds[code_of(t)];
        if (t == ElementType::PHED) {
            walk_stream(j, stream_of(j, prev, end), [&](auto pts) {
                for (std::uint64_t p : pts) b.d[b.filled++] = p;
                b.d[b.filled++] = kFaceSeparator;
            });
            *b.o++ = b.filled;
        } else {
            for (std::uint64_t k = prev; k < end; ++k) b.d[b.filled++] = conn[k];
            if (b.o) *b.o++ = b.filled;
        }
        prev = end;
    }
    for (ElementType t : kAllElementTypes) {
        Build& b = builds[code_of(t)];
        if (!count[code_of(t)]) continue;
        if (is_poly(t))
            mesh.add_poly_block(t, std::move(b.data), std::move(b.offsets));
        else
            mesh.add_regular_block(t, std::move(b.data));
    }
    return mesh;
}

}  // namespace zentrel::io
