"""Property checks: any document our JSON reader accepts survives every writer and reader."""

import json

import numpy as np
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

from io_meshes import array_value, block
from zentra import UMesh

names = st.text(st.characters(codec="utf-8", exclude_categories=["Cs"]), max_size=12)
finite = st.floats(allow_nan=False, allow_infinity=False)


@st.composite
def documents(draw):
    n = draw(st.integers(0, 4))
    dim = draw(st.integers(0, 3))
    coords = np.array(draw(st.lists(finite, min_size=n * dim, max_size=n * dim)), dtype=float).reshape(n, dim)
    tri = [[draw(st.integers(0, 2**64 - 1)) for _ in range(3)] for _ in range(draw(st.integers(0, 3)))]
    fields = {draw(names): np.array(draw(st.lists(finite, min_size=len(tri), max_size=len(tri))))
              for _ in range(draw(st.integers(0, 2)))}
    groups = {draw(names): sorted(set(draw(st.lists(st.integers(0, 2**64 - 1), max_size=3))))
              for _ in range(draw(st.integers(0, 3)))}
    families = draw(st.lists(st.integers(0, 2**64 - 1), min_size=len(tri), max_size=len(tri)))
    b = block("TRI3", np.array(tri, dtype=np.uint64).reshape(len(tri), 3), families=families, fields=fields,
              groups=groups)
    return {"coords": array_value(coords), "element_blocks": {"TRI3": b}}


@settings(max_examples=150, deadline=None, suppress_health_check=[HealthCheck.function_scoped_fixture])
@given(doc=documents())
def test_every_writer_round_trips(tmp_path, doc):
    src = tmp_path / "src.json"
    src.write_text(json.dumps(doc, ensure_ascii=False), encoding="utf-8")
    m = UMesh.read(str(src))
    text = m.to_json()
    assert json.loads(text) == json.loads(json.dumps(doc))
    for ext in ["json", "yaml"]:
        p = tmp_path / f"m.{ext}"
        m.write(str(p))
        assert UMesh.read(str(p)).to_json() == text


TRICKY = ["", "null", "True", "~", "1", "-1.5e3", ".inf", "a: b", "- x", "#c", "'q'", '"', "\\", "x\ny", "\t",
          "\x85", "\u2028", "\u2029", "\ufeff", "\x7f", "\x01", "é", "日本", "\U0001f600", " lead", "trail ", "!tag",
          "&a", "*a", "[", "{", "%", "@", "`", "?", "yes", "NO", "on", "0x1F", "0o7", "1_000"]


def test_tricky_names_round_trip_through_yaml(tmp_path):
    fields = {name: np.array([float(i)]) for i, name in enumerate(TRICKY)}
    groups = {name: [i] for i, name in enumerate(TRICKY)}
    doc = {"coords": array_value(np.zeros((3, 2))),
           "element_blocks": {"TRI3": block("TRI3", [[0, 1, 2]], fields=fields, groups=groups)}}
    src = tmp_path / "src.json"
    src.write_text(json.dumps(doc), encoding="utf-8")
    m = UMesh.read(str(src))
    m.write(str(tmp_path / "m.yaml"))
    assert UMesh.read(str(tmp_path / "m.yaml")).to_json() == m.to_json()
    assert sorted(json.loads(m.to_json())["element_blocks"]["TRI3"]["groups"]) == sorted(TRICKY)
