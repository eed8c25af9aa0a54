#!/usr/bin/env python3
"""Validates the JSON document on standard input against the schema file named as argument.

Prints "valid" or the first problem found, with where it is; exits 0 or 1. A document that is not
JSON at all is a problem too.
"""
import json
import sys

import jsonschema


def main() -> int:
    with open(sys.argv[1], encoding="utf-8") as f:
        schema = json.load(f)
    try:
        document = json.loads(sys.stdin.buffer.read().decode("utf-8"))
    except (UnicodeDecodeError, json.JSONDecodeError) as e:
        print(f"not JSON: {e}")
        return 1
    validator = jsonschema.Draft202012Validator(schema)
    errors = sorted(validator.iter_errors(document), key=lambda e: list(e.absolute_path))
    if errors:
        first = errors[0]
        print("/".join(str(p) for p in first.absolute_path) + ": " + first.message)
        return 1
    print("valid")
    return 0


if __name__ == "__main__":
    sys.exit(main())
