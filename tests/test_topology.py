"""Descending meshes, boundaries and connected components through the Python contract."""

import inspect

import numpy as np
import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

import zentra
from zentra import InternalError, UMesh, build_cmesh

U64 = np.uint64
DIM_ERROR = "i is higher than 3, could not convert into a dimension"


def mesh(nodes, **blocks):
    m = UMesh(np.zeros((nodes, 3)))
    for name, rows in blocks.items():
        m.add_regular_block(name, np.array(rows, dtype=U64).reshape(len(rows), -1))
    return m


def rows(m, name):
    return m.blocks()[name].tolist()


def counts(m):
    return {name: len(conn) for name, conn in m.blocks().items()}


def grid(*n):
    return build_cmesh(*(np.arange(k + 1, dtype=float) for k in n))


def keys(m):
    return {tuple(sorted(r)) for conn in m.blocks().values() for r in conn.tolist()}


TWO_TRIANGLES = dict(nodes=4, TRI3=[[0, 1, 2], [2, 1, 3]])


@pytest.mark.parametrize(
    "name, doc",
    [
        ("descend", "descend($self, src_dim=None, target_dim=None)\n--\n\n"),
        ("descend_update", "descend_update($self, src_dim=None, target_dim=None)\n--\n\n"),
        ("boundaries", "boundaries($self, src_dim=None, target_dim=None)\n--\n\n"),
        ("boundaries_update", "boundaries_update($self, src_dim=None, target_dim=None)\n--\n\n"),
        ("connected_components", "connected_components($self, src_dim=None, link_dim=None, with_fields=True)\n--\n\n"),
    ],
)
def test_signatures(name, doc):
    method = getattr(UMesh, name)
    assert method.__text_signature__ == doc.split("\n--\n\n")[0][len(name):]
    assert method.__doc__ is None
    assert str(inspect.signature(method)).startswith("(self, /, src_dim=None")


def test_two_triangles():
    m = mesh(**TWO_TRIANGLES)
    d = m.descend()
    assert rows(d, "SEG2") == [[0, 1], [1, 2], [2, 0], [1, 3], [3, 2]]
    assert d.blocks()["SEG2"].dtype == U64
    assert d.coords().shape == (4, 3)
    assert rows(m.boundaries(), "SEG2") == [[0, 1], [2, 0], [1, 3], [3, 2]]
    assert rows(m, "TRI3") == [[0, 1, 2], [2, 1, 3]]


@pytest.mark.parametrize(
    "args, expected",
    [((), {"QUAD4": 6}), ((3, 1), {"SEG2": 12}), ((3, 0), {"VERTEX": 8}), ((None, 1), {"SEG2": 12})],
)
def test_single_hexahedron(args, expected):
    h = grid(1, 1, 1)
    assert counts(h.descend(*args)) == expected
    assert counts(h.boundaries(*args)) == expected
    assert keys(h.descend(*args)) == keys(h.boundaries(*args))


def test_two_hexahedra_and_source_dimension():
    assert counts(grid(2, 1, 1).descend()) == {"QUAD4": 11}
    assert counts(grid(2, 1, 1).boundaries()) == {"QUAD4": 10}
    m = mesh(5, TRI3=[[0, 1, 4]], TET4=[[0, 1, 2, 3]])
    assert counts(m.descend()) == {"TRI3": 4}
    assert rows(m.descend(src_dim=2), "SEG2") == [[0, 1], [1, 4], [4, 0]]


@pytest.mark.parametrize(
    "m, call, message",
    [
        (mesh(1, VERTEX=[[0]]), lambda m: m.descend(), DIM_ERROR),
        (mesh(3, TRI3=[[0, 1, 2]]), lambda m: m.descend(src_dim=4), DIM_ERROR),
        (mesh(3, TRI3=[[0, 1, 2]]), lambda m: m.boundaries(target_dim=4), DIM_ERROR),
        (mesh(3, TRI3=[[0, 1, 2]]), lambda m: m.descend(1, 2), DIM_ERROR),
        (mesh(3, TRI3=[[0, 1, 2]]), lambda m: m.descend(0), DIM_ERROR),
        (mesh(3, TRI3=[[0, 1, 2]]), lambda m: m.descend(2, 2), "It is not possible to ask for codim diff from D1 and D2 on TRI3"),
        (mesh(8, QUAD8=[list(range(8))]), lambda m: m.boundaries(), "not yet implemented"),
        (mesh(3, TRI3=[[0, 1, 2]]), lambda m: m.connected_components(link_dim=2),
         "It is not possible to ask for codim diff from D1 and D2 on TRI3"),
        (mesh(3, TRI3=[[0, 1, 2]]), lambda m: m.connected_components(src_dim=7), DIM_ERROR),
        (mesh(6, TRI6=[[0, 1, 2]]), lambda m: m.descend(), "index out of range"),
    ],
)
def test_core_failures(m, call, message):
    with pytest.raises(InternalError) as e:
        call(m)
    assert message in str(e.value)


def test_empty_mesh_has_no_source_dimension():
    for call in (UMesh.descend, UMesh.boundaries, UMesh.descend_update, UMesh.connected_components):
        with pytest.raises(InternalError):
            call(UMesh(np.zeros((0, 3))))


def test_nothing_of_the_source_dimension():
    tets = mesh(4, TET4=[[0, 1, 2, 3]])
    empty = tets.descend(2, 2)
    assert empty.blocks() == {} and empty.coords().shape == (4, 3)
    assert mesh(3, TRI3=[[0, 1, 2]]).connected_components(src_dim=3) == []
    assert tets.descend_update(2, 2) is None
    assert tets.block_types() == ["TET4"]


@pytest.mark.parametrize(
    "call, exc, text",
    [
        (lambda m: m.descend(src_dim=-1), OverflowError, None),
        (lambda m: m.descend(src_dim="2"), TypeError, "argument 'src_dim': "),
        (lambda m: m.boundaries(target_dim=1.0), TypeError, "argument 'target_dim': "),
        # every argument becomes an integer before any becomes a dimension
        (lambda m: m.descend(4, "x"), TypeError, "argument 'target_dim': "),
        (lambda m: m.connected_components(9, None, "yes"), TypeError, "argument 'with_fields': "),
        (lambda m: m.connected_components(link_dim=[1]), TypeError, "argument 'link_dim': "),
        (lambda m: m.descend_update(1, 2, 3), TypeError, None),
        (lambda m: m.boundaries(dim=1), TypeError, None),
    ],
)
def test_argument_errors(call, exc, text):
    m = mesh(**TWO_TRIANGLES)
    with pytest.raises(exc) as e:
        call(m)
    if text:
        assert str(e.value).startswith(text)


def test_dimensions_through_the_index_protocol():
    m = mesh(**TWO_TRIANGLES)
    assert counts(m.descend(np.uint8(2), np.int64(0))) == {"VERTEX": 4}
    assert len(m.connected_components(np.int32(2), False, np.bool_(False))) == 1


def test_descend_update_replaces_the_blocks_of_the_produced_dimension():
    m = mesh(5, TET4=[[0, 1, 2, 3]], TRI3=[[0, 1, 4]])
    m.add_regular_block("SEG2", np.array([[0, 4]], dtype=U64))
    old = m.descend_update()
    assert isinstance(old, UMesh)
    assert rows(old, "TRI3") == [[0, 1, 4]]
    assert old.block_types() == ["TRI3"]
    assert m.block_types() == ["SEG2", "TRI3", "TET4"]
    assert rows(m, "TRI3") == [[0, 1, 2], [1, 2, 3], [2, 3, 0], [3, 0, 1]]
    tets = mesh(4, TET4=[[0, 1, 2, 3]])
    assert tets.descend_update() is None
    assert tets.block_types() == ["TRI3", "TET4"]


def test_boundaries_update():
    g = grid(2, 1, 1)
    assert g.boundaries_update() is None
    assert counts(g) == {"HEX8": 2, "QUAD4": 10}
    # the boundary faces of a second call replace the first ones
    old = g.boundaries_update(3, 2)
    assert counts(old) == {"QUAD4": 10}
    assert keys(old) == {k for k in keys(g) if len(k) == 4}


def test_failed_updates_leave_the_receiver_unchanged():
    m = mesh(6, TRI3=[[0, 1, 2]], TRI6=[[0, 1, 2]])
    m.add_regular_block("SEG2", np.array([[0, 5]], dtype=U64))
    before = (m.blocks(), str(m))
    for call in (lambda: m.descend_update(), lambda: m.boundaries_update(), lambda: m.descend_update(2, 2),
                 lambda: m.boundaries_update(5)):
        with pytest.raises(InternalError):
            call()
        assert str(m) == before[1]


def test_result_keeps_every_node():
    m = mesh(10, TRI3=[[0, 1, 2]])
    for r in (m.descend(), m.boundaries(), *m.connected_components()):
        assert r.coords().shape == (10, 3)


def test_connected_components():
    m = mesh(7, TRI3=[[0, 1, 2], [2, 1, 3], [4, 5, 6]])
    pieces = m.connected_components()
    assert [rows(p, "TRI3") for p in pieces] == [[[4, 5, 6]], [[0, 1, 2], [2, 1, 3]]]
    touching = mesh(5, TRI3=[[0, 1, 2], [2, 3, 4]])
    assert len(touching.connected_components()) == 2
    assert len(touching.connected_components(link_dim=0)) == 1
    mixed = mesh(8, TET4=[[0, 1, 2, 3]], TRI3=[[0, 1, 4], [5, 6, 7]])
    assert [p.block_types() for p in mixed.connected_components()] == [["TET4"]]
    assert [rows(p, "TRI3") for p in mixed.connected_components(src_dim=2)] == [[[5, 6, 7]], [[0, 1, 4]]]
    # depth-first from the first element, neighbours pushed in walk order
    assert rows(grid(2, 2).connected_components()[0], "QUAD4") == [[0, 1, 4, 3], [3, 4, 7, 6], [4, 5, 8, 7],
                                                                      [1, 2, 5, 4]]


def test_components_carry_fields_on_request(square):
    far = UMesh(np.vstack([square.coords(), square.coords() + 5]))
    far.add_regular_block("TRI3", np.array([[0, 1, 2], [4, 5, 6], [0, 2, 3]], dtype=U64),
                          {"rho": np.array([1.0, 2.0, 3.0])})
    a, b = far.connected_components()
    assert a.fields()["rho"]["TRI3"].tolist() == [2.0]
    assert b.fields()["rho"]["TRI3"].tolist() == [1.0, 3.0]
    for p in far.connected_components(with_fields=False):
        assert p.fields() == {}


# Invariants on grids of any size.
@settings(max_examples=25, deadline=None)
@given(st.integers(1, 5), st.integers(1, 5), st.integers(1, 5), st.randoms(use_true_random=False))
def test_grid_invariants(nx, ny, nz, rnd):
    g = grid(nx, ny, nz)
    b = g.boundaries()
    assert counts(b) == {"QUAD4": 2 * (nx * ny + ny * nz + nz * nx)}
    c = g.coords()
    on_surface = np.any((c == 0) | (c == [nx, ny, nz]), axis=1)
    assert sorted({int(v) for v in b.blocks()["QUAD4"].ravel()}) == np.flatnonzero(on_surface).tolist()
    assert b.boundaries().blocks() == {}
    hexes = g.blocks()["HEX8"]
    order = list(range(len(hexes)))
    rnd.shuffle(order)
    shuffled = UMesh(c)
    shuffled.add_regular_block("HEX8", hexes[order])
    for args in ((), (3, 1), (3, 0)):
        assert keys(shuffled.descend(*args)) == keys(g.descend(*args))
    assert keys(shuffled.boundaries()) == keys(b)


@settings(max_examples=15, deadline=None)
@given(st.integers(1, 4), st.integers(1, 3), st.integers(1, 4))
def test_component_count_of_disjoint_copies(n, k, gap):
    g = grid(n, n, 1)
    c, h = g.coords(), g.blocks()["HEX8"]
    m = UMesh(np.vstack([c + [i * (n + gap), 0, 0] for i in range(k)]))
    m.add_regular_block("HEX8", np.vstack([h + i * len(c) for i in range(k)]).astype(U64))
    for link in (None, 0, 1, 2):
        pieces = m.connected_components(link_dim=link)
        assert len(pieces) == k
        assert all(len(p.blocks()["HEX8"]) == n * n for p in pieces)


@pytest.mark.parametrize(
    "holder, contender, message",
    [
        (lambda m: m.descend(), lambda m: m.boundaries_update(9), "Already borrowed"),
        (lambda m: m.connected_components(), lambda m: m.descend_update(9), "Already borrowed"),
        (lambda m: m.boundaries_update(), lambda m: m.descend(9), "Already mutably borrowed"),
    ],
)
def test_borrows_are_held_while_the_core_runs_without_the_gil(holder, contender, message):
    import threading

    big = grid(80, 80, 80)
    t = threading.Thread(target=holder, args=(big,))
    t.start()
    seen = set()
    while t.is_alive():
        # the contender fails on its own (dimension 9) whenever it gets the borrow, so it never
        # changes the mesh under the holder
        try:
            contender(big)
        except RuntimeError as e:
            seen.add(str(e))
        except InternalError:
            pass
    t.join()
    assert seen <= {message}
    assert seen, "the holder finished before any call overlapped it"
