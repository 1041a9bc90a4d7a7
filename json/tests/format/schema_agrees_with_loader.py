"""Generates documents and checks that the JSON Schema and the loader agree.

    python3 schema_agrees_with_loader.py SCHEMA TOOL [COUNT]

Each document is judged by the schema (python-jsonschema) and by the tool's
`check`; the verdicts must be the same. The generator stays clear of what a
schema cannot express (docs/format.md lists it): integers are spelled without
fraction or exponent, numbers are not within a double's rounding of a bound,
names are unique and hold no unpaired surrogate.
"""
import json
import os
import random
import subprocess
import sys
import tempfile

import jsonschema

NUMBERS = ["0", "-0", "1", "2.5", "-17.25", "0.5", "42", "-3", "1e10", "1e-50", "1e-45", "7e-46", "7.1e-46", "1.5e-40",
           "3.4028235e38", "3.40282356e38", "3.4028236e38", "-3.4028236e38", "3.5e38", "1e39", "1e300",
           "0.1", "123456789.123456789", "-1e-400", "1" + "0" * 40]
FLOAT_STRINGS = ['"NaN"', '"Infinity"', '"-Infinity"', '"nan"', '"1"']
EFFECTS = ['"Linear"', '"Held1"', '"Held2"', '"Held3"', '"Bogus"', "0", "1", "3", "7", "-1",
           "2147483647", "2147483648", "-2147483649", "2.5", "true", "null"]
DURATIONS = ["0", "1", "25", "4294967295", "4294967296", "-1", "2.5", '"3"', "null"]
WRONG = ["null", "true", "[]", "{}", '"x"', "1"]


def pick(rng, options):
    return rng.choice(options)


def key(rng):
    effect = pick(rng, EFFECTS[:4] * 8 + EFFECTS)
    members = ['"effect": ' + effect] if rng.random() < 0.97 else []
    linear = effect in ('"Linear"', "0")
    if rng.random() < 0.9:
        count = 2 if linear else 0  # the count the effect expects, mostly
        if rng.random() < 0.1:
            count = pick(rng, [0, 1, 2, 3])
        values = [pick(rng, NUMBERS * 4 + FLOAT_STRINGS + WRONG[:2]) for _ in range(count)]
        if count or linear or rng.random() < 0.3:
            args = "[" + ", ".join(values) + "]" if rng.random() < 0.97 else pick(rng, WRONG)
            members.append('"args": ' + args)
    if rng.random() < 0.97:
        members.append('"duration": ' + pick(rng, DURATIONS[1:3] * 10 + DURATIONS))
    if rng.random() < 0.02:
        members.append('"durration": 3')
    rng.shuffle(members)
    return "{" + ", ".join(members) + "}" if rng.random() < 0.98 else pick(rng, WRONG)


def layers(rng):
    if rng.random() < 0.04:
        return pick(rng, WRONG)
    entries = []
    for index in range(rng.randint(0, 3)):
        keys = [key(rng) for _ in range(rng.randint(0, 3))]
        value = "[" + ", ".join(keys) + "]" if rng.random() < 0.97 else pick(rng, WRONG)
        entries.append(json.dumps(f"layer {index}") + ": " + value)
    return "{" + ", ".join(entries) + "}"


def document(rng):
    timeline = rng.random() < 0.4
    members = []
    if rng.random() < 0.97:
        kind = "animationmodel-timeline" if timeline else "animationmodel"
        members.append('"format": ' + (json.dumps(kind) if rng.random() < 0.97 else '"animationmodel-x"'))
    if rng.random() < 0.97:
        members.append('"version": ' + pick(rng, ["1"] * 20 + ["2", "0", '"1"']))
    names = ["layers"] if timeline else ["intro", "body", "outro"]
    if rng.random() < 0.03:
        names.append("intro" if timeline else "layers")
    for name in names:
        if rng.random() < 0.8:
            members.append(json.dumps(name) + ": " + layers(rng))
    if not timeline and rng.random() < 0.5:
        members.append('"fps": ' + pick(rng, NUMBERS + ['"Infinity"', "25", "12.5"]))
    if rng.random() < 0.02:
        members.append('"extra": 1')
    rng.shuffle(members)
    return "{" + ", ".join(members) + "}"


def main(schema_path, tool, count="600"):
    with open(schema_path, encoding="utf-8") as schema_file:
        schema = json.load(schema_file)
    validator = jsonschema.Draft202012Validator(schema)
    rng = random.Random(20261208)
    with tempfile.TemporaryDirectory() as folder:
        paths = []
        verdicts = {}
        for index in range(int(count)):
            text = document(rng)
            path = os.path.join(folder, f"{index}.json")
            with open(path, "w", encoding="utf-8") as out:
                out.write(text)
            paths.append(path)
            verdicts[path] = (text, validator.is_valid(json.loads(text)))
        run = subprocess.run([tool, "check", *paths], capture_output=True, text=True, check=False)
        accepted = {line[: -len(": ok")] for line in run.stdout.splitlines() if line.endswith(": ok")}
        disagreements = 0
        for path in paths:
            text, schema_accepts = verdicts[path]
            if schema_accepts != (path in accepted):
                disagreements += 1
                print(f"schema {'accepts' if schema_accepts else 'refuses'}, loader "
                      f"{'accepts' if path in accepted else 'refuses'}: {text}")
        both = sum(1 for path in paths if verdicts[path][1])
        print(f"{len(paths)} documents, {both} valid, {disagreements} disagreements")
        if both < len(paths) // 5 or both > len(paths) - len(paths) // 5:
            print("the generator no longer mixes valid and invalid documents")
            return 1
        return 1 if disagreements else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
