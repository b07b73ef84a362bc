import os
import random
import subprocess
import sys

import pytest

import fuzz_json_reader

HERE = os.path.dirname(os.path.abspath(__file__))


def test_fuzz_json_reader_for_a_few_seconds(tmp_path):
    pytest.importorskip("atheris")
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(filter(None, [HERE, os.environ.get("PYTHONPATH")]
                                                             + [p for p in sys.path if p])))
    result = subprocess.run(
        [sys.executable, os.path.join(HERE, "fuzz_json_reader.py"), "-max_total_time=4", "-timeout=10",
         f"-artifact_prefix={tmp_path}{os.sep}"],
        env=env, capture_output=True, text=True, timeout=120)
    assert result.returncode == 0, result.stderr[-3000:]


def test_mutated_seeds_give_a_value_or_a_value_error():
    # The same target without atheris: fixed-seed mutations, so it runs wherever the tests run.
    rng = random.Random(20261211)
    for _ in range(3000):
        fuzz_json_reader.check(fuzz_json_reader.mutate(rng.choice(fuzz_json_reader.SEEDS), rng))
