"""The type stubs describe exactly what the module exports."""
import ast
import pathlib

import korvex as kx

STUB = pathlib.Path(__file__).resolve().parents[1] / "src" / "korvex" / "korvex.pyi"


def test_stub_names_match_the_module():
    tree = ast.parse(STUB.read_text())
    defined = {node.name for node in tree.body if isinstance(node, (ast.ClassDef, ast.FunctionDef))}
    public = {name for name in defined if not name.startswith("_")}
    exported = set(kx.__all__) - {"__version__"}
    assert exported - public == set(), "exported but missing from the stubs"
    assert public - exported == set(), "in the stubs but not exported"
