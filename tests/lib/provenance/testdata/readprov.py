"""Reads a PROV-JSON file with the W3C "prov" package and compares its PROV-N
serialization of that document with a PROV-N file written by the exporter.

usage: readprov.py DOCUMENT.json DOCUMENT.provn
Prints one JSON object: the number of records of each kind that "prov" read,
the labels it read, and "differences", the records found in only one of the
two PROV-N texts (kind, positional terms and attribute names of each).
"""
import collections
import datetime
import json
import re
import sys

from prov.model import ProvDocument

TOKEN = re.compile(r'\s*(?:("""(?:\\.|[^\\])*?""")|("(?:\\.|[^"\\])*")|(\'[^\']*\')|(%%)|([()\[\],=])|([^\s()\[\],=]+))', re.S)


def tokens(text):
    position = 0
    while True:
        match = TOKEN.match(text, position)
        if not match or match.end() == position:
            rest = text[position:].strip()
            if rest:
                raise ValueError("cannot read PROV-N at: " + rest[:40])
            return
        position = match.end()
        yield next(group for group in match.groups() if group is not None)


def normalized(term):
    # Both sides write times in ISO 8601, but "Z" and "+00:00" are one time.
    try:
        return datetime.datetime.fromisoformat(term.replace("Z", "+00:00")).isoformat()
    except ValueError:
        return term


def records(text):
    """(kind, positional terms, attribute names) of every statement."""
    found = collections.Counter()
    stream = list(tokens(text))
    i = 0
    while i < len(stream):
        if i + 1 < len(stream) and stream[i + 1] == "(":
            kind = stream[i]
            i += 2
            terms, names = [], []
            while stream[i] != ")":
                if stream[i] == "[":
                    i += 1
                    while stream[i] != "]":
                        if stream[i + 1] == "=":
                            names.append(stream[i])
                        i += 1
                elif stream[i] != ",":
                    terms.append(normalized(stream[i]))
                i += 1
            found[(kind, tuple(terms), tuple(sorted(names)))] += 1
        i += 1
    return found


def main():
    with open(sys.argv[1], encoding="utf-8") as source:
        document = ProvDocument.deserialize(content=source.read(), format="json")
    with open(sys.argv[2], encoding="utf-8") as source:
        ours = records(source.read())
    theirs = records(document.get_provn())
    counts = collections.Counter(type(record).__name__ for record in document.get_records())
    labels = sorted(str(value) for record in document.get_records()
                    for name, value in record.attributes if str(name) == "prov:label")
    differences = [" ".join(["ours" if side is ours else "prov"] + [repr(part) for part in record])
                   for side, other in ((ours, theirs), (theirs, ours))
                   for record in side if side[record] != other[record]]
    print(json.dumps({"counts": counts, "labels": labels, "differences": differences}))


main()
