"""The mutation catalogue (mutants.json) still applies to the code: every entry
names a file that exists and text that stands in it exactly once, under an id
of its own, so a change that moves or rewrites a line shows which slips to
write again (tests/README.md says how)."""
import collections
import json
import os

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CATALOGUE = json.load(open(f"{SOURCE}/tests/mutants.json", encoding="utf-8"))


def test_every_entry_applies_once():
    def found(entry):
        path = f"{SOURCE}/{entry['file']}"
        return open(path, encoding="utf-8").read().count(entry["old"]) if os.path.isfile(path) else "no such file"
    stale = [f"{e['id']}: {e['file']}: found {found(e)}, not once, the text\n{e['old']}" for e in CATALOGUE
             if found(e) != 1]
    assert not stale, "\n\n".join(stale)
    assert [i for i, n in collections.Counter(e["id"] for e in CATALOGUE).items() if n > 1] == []
