"""Fuzz target for the own JSON readers: any text must give a value or a ValueError.

Run longer by hand:  PYTHONPATH=build/dev python tests/fuzz_json_reader.py -max_total_time=600
(libFuzzer options apply; a crash, hang or any other exception is a finding). The test suite
runs it for a few seconds through tests/test_sample_set_fuzz.py.
"""
import random
import sys

import korvex as kx

SEEDS = [
    '{"solution":{"Dense":{"x":[{"v":1,"dim":[2,3],"data":[0.0,1.0,0.0,2.0,0.0,3.0]}]}},"num_occurrences":[1]}',
    '{"solution":{"Sparse":{"x":[[[[0,1,1],[1,0,2]],[1.0,2.0,3.0],[2,3]]]}},"num_occurrences":[1]}',
    '[{"Sparse":{"y":[{"shape":[2],"non_zero_values":[1e-7],"non_zero_indices":[[1]]}]}},[4]]',
    '{"energy":[1.0,2.5e300],"objective":[-0.0],"constraint_violations":{"c\\u00e9":[0.0]},'
    '"constraint_forall":{"c":[[0,1],[2,3]]},"constraint_values":[{"c":[1.0,2.0]}],"penalty":{"p":[]}}',
    '{"solve":{"preprocess":1.0,"solve":null},"system":[1,2,3,4,5],"total":0.5,"extra":[[{"a":"\\n"}]]}',
]
READERS = [kx.Record.from_json, kx.Evaluation.from_json, kx.MeasuringTime.from_json,
           kx.SolvingTime.from_json, kx.SystemTime.from_json]
ALPHABET = '{}[]",:0123456789.eE-+ntrufalsv\\ \n\x00é'


def check(text):
    for read in READERS:
        try:
            value = read(text)
        except ValueError:
            continue
        use(value)


def use(value):
    """Whatever reads must also write, read back equal and convert: the reader may not accept a
    value that the other operations cannot hold."""
    text = value.to_json()
    assert type(value).from_json(text) == value, text
    repr(value)
    try:
        value.to_dict()
    except TypeError:  # an evaluation's forall tuples of different lengths
        assert isinstance(value, kx.Evaluation)
    if isinstance(value, kx.Record):
        value.solution
        value.to_sparse().to_dict()
        try:
            value.to_dense().to_dict()
        except (IndexError, ValueError):  # a sparse sample whose coordinates do not fit its shape
            pass
    elif isinstance(value, kx.Evaluation):
        value.constraint_expr_values
        try:
            value.constraint_forall
        except TypeError:  # forall tuples of different lengths
            pass


def mutate(seed, rng):
    """A few random edits of a seed: insertions, deletions, replacements and repeats."""
    chars = list(seed)
    for _ in range(rng.randint(1, 8)):
        position = rng.randint(0, len(chars))
        kind = rng.randint(0, 3)
        if kind == 0:
            chars.insert(position, rng.choice(ALPHABET))
        elif kind == 1 and chars:
            del chars[min(position, len(chars) - 1)]
        elif kind == 2 and chars:
            chars[min(position, len(chars) - 1)] = rng.choice(ALPHABET)
        else:
            piece = chars[position:position + rng.randint(1, 12)]
            chars[position:position] = piece * rng.randint(1, 200)
    return "".join(chars)


def one_input(data):
    if len(data) < 2:
        return
    rng = random.Random(data)
    seed = SEEDS[data[0] % len(SEEDS)]
    check(mutate(seed, rng) if data[1] % 4 else data[2:].decode("utf-8", "replace"))


def main():
    import atheris

    atheris.Setup(sys.argv, one_input)
    atheris.Fuzz()


if __name__ == "__main__":
    main()
