#!/usr/bin/env python3
"""Reads and writes property lists with the standard library's plistlib, an
implementation independent of ours, for the interoperability tests.

  plist_interop.py check xml|binary FILE   exit 0 when FILE holds sample()
  plist_interop.py write xml|binary FILE   write sample() to FILE
"""
import datetime
import plistlib
import sys

FORMATS = {"xml": plistlib.FMT_XML, "binary": plistlib.FMT_BINARY}


def sample():
    # Keep in step with everyKind() in PropertyListTestSupport.h.
    reference = datetime.datetime(2001, 1, 1)
    return {
        "zeta": "first key, but not the first alphabetically",
        "text": "a & b <c> ]]> \"quoted\" 'single'\ttab\nnewline",
        "unicode": "caf\u00e9 \u20ac \U0001f389 \u4e2d",
        "empty": "",
        "integers": [0, 255, 256, 65536, 4294967296, -1, -(2**63), 2**63 - 1, 2**64 - 1, 2**63],
        "reals": [0.1, -2.5e-300, 1e300, 3.0, -0.0, 1.0 / 3.0],
        "booleans": [True, False],
        "dates": [reference, datetime.datetime(1970, 1, 1),
                  reference + datetime.timedelta(seconds=700000000)],
        "data": [b"", bytes([0, 1, 2, 255]), bytes([0xA5] * 200)],
        "nested": [{}, [], {"inner": ["x"]}],
    }


def canonical(value):
    """The value with its kind spelled out, so that True is not 1 and -0.0
    is not 0.0, and with dictionary keys in their order."""
    if isinstance(value, bool):
        return ("bool", value)
    if isinstance(value, int):
        return ("int", value)
    if isinstance(value, float):
        return ("real", repr(value))
    if isinstance(value, dict):
        return ("dict", [(key, canonical(item)) for key, item in value.items()])
    if isinstance(value, list):
        return ("array", [canonical(item) for item in value])
    return (type(value).__name__, value)


def main():
    mode, fmt, path = sys.argv[1:4]
    if mode == "write":
        with open(path, "wb") as f:
            plistlib.dump(sample(), f, fmt=FORMATS[fmt], sort_keys=False)
        return 0
    with open(path, "rb") as f:
        data = f.read()
    detected = "binary" if data.startswith(b"bplist00") else "xml"
    value = plistlib.loads(data)
    if detected != fmt:
        print(f"expected {fmt}, found {detected}", file=sys.stderr)
        return 1
    if canonical(value) != canonical(sample()):
        print(f"read {value!r}\nexpected {sample()!r}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
