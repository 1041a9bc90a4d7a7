"""Checks that documents pass the format's JSON Schema: python3 validate_schema.py SCHEMA FILE..."""
import json
import sys

import jsonschema


def main(schema_path, *paths):
    with open(schema_path, encoding="utf-8") as schema_file:
        schema = json.load(schema_file)
    validator = jsonschema.Draft202012Validator(schema)
    validator.check_schema(schema)
    failed = False
    for path in paths:
        with open(path, encoding="utf-8") as document:
            errors = list(validator.iter_errors(json.load(document)))
        for error in errors:
            print(f"{path}: {error.json_path}: {error.message}")
        failed = failed or bool(errors)
        print(f"{path}: {'fails' if errors else 'passes'} the schema")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
