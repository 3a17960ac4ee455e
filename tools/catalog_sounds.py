"""Sound-name lists SFX_<edition>.txt: one line per sample, "IIII-- name --".

The id is the line's first four digits; the name stands between the two "--" with one
blank on each side. Lines of one sound follow each other; the position of a sound's
first line among all lines is its first sample in the game's MAIN.SFX, so the samples
of an edition are written in MAIN.SFX order, with no gap.
"""
import os
import re

SOURCES = [("SFX_TR1.txt", "sounds_TR1.tsv"),
           ("SFX_TR1Gold.txt", "sounds_TR1.tsv"),   # the Gold edition uses the TR1 sounds unchanged
           ("SFX_TR2.txt", "sounds_TR2.tsv"),
           ("SFX_TR2Gold.txt", "sounds_TR2Gold.tsv"),
           ("SFX_TR3.txt", "sounds_TR3.tsv"),
           ("SFX_TR3Gold.txt", "sounds_TR3Gold.tsv"),
           ("SFX_TR4.txt", "sounds_TR4.tsv")]

GAP = re.compile(r"unknown:gap-(\d+)-(\d+)-subset-of-([\d,]+)")


def read_sounds(path):
    with open(path, encoding="ascii") as f:
        lines = [line.rstrip("\r\n") for line in f if line.strip()]
    head = lines[0].split("\t")
    rows = []
    for line in lines[1:]:
        cells = line.split("\t")
        cells += [""] * (len(head) - len(cells))
        rows.append(dict(zip(head, cells)))
    return rows


def line(sound_id, name):
    assert "--" not in name and name == name.strip() and name, name
    assert 0 <= sound_id <= 9999
    return "%04d-- %s --\n" % (sound_id, name)


def lines_without_positions(rows, file_name, note_missing, one_each=False):
    """TR1 (counts known, samples live in each level) and TR4 (names only)."""
    out, left = [], []
    for r in rows:
        sid, name = int(r["id"]), r["name"]
        if name == "unused":
            continue
        if r["sample_count"] == "":
            if one_each:
                out.append(line(sid, name))
            else:
                left.append(sid)
            continue
        out += [line(sid, name)] * int(r["sample_count"])
    if left:
        note_missing("%s: sounds with no sample in any level read, ids %s" %
                     (file_name, " ".join("%d" % i for i in left)))
    if one_each:
        note_missing("%s: sample counts unknown; every named sound written with one sample" %
                     file_name)
    return out


def lines_in_sample_order(rows, file_name, note_missing):
    """Editions with a MAIN.SFX: every known sound at its first sample, gaps filled."""
    known = sorted(((int(r["first_sample"]), int(r["id"]), int(r["sample_count"]), r["name"])
                    for r in rows if r["first_sample"] != "" and r["sample_count"] not in ("", "0")))
    gaps = {}
    unknown = []
    for r in rows:
        m = GAP.match(r["evidence"])
        if m:
            gaps.setdefault((int(m.group(1)), int(m.group(2))),
                            sorted(int(x) for x in m.group(3).split(",")))
        if r["evidence"].startswith("unknown:"):
            unknown.append(int(r["id"]))
    out = []
    position, previous_id = 0, -1
    for first, sid, count, name in known:
        assert sid > previous_id, (file_name, sid)
        if first != position:
            subset = gaps.get((position, first - 1))
            assert subset, (file_name, "unexplained gap", position, first - 1)
            holders = [i for i in subset if previous_id < i < sid]
            assert holders, (file_name, position, first - 1)
            # The samples are there but not tied to one sound: keep them under the first
            # id that may own them so that every later sound keeps its real first sample.
            filler = "Unidentified samples %d-%d (sounds %d to %d)" % (
                position, first - 1, subset[0], subset[-1])
            out += [line(holders[0], filler)] * (first - position)
            position = first
            previous_id = holders[0]
        out += [line(sid, name)] * count
        position += count
        previous_id = sid
    if unknown:
        note_missing("%s: sounds whose samples are not known, ids %s" %
                     (file_name, " ".join("%d" % i for i in unknown)))
    return out


def write_sfx(facts_dir, out_dir, note_missing):
    for file_name, table in SOURCES:
        rows = read_sounds(os.path.join(facts_dir, table))
        ids = [int(r["id"]) for r in rows]
        assert ids == list(range(len(ids))), table
        if any(r["first_sample"] for r in rows):
            out = lines_in_sample_order(rows, file_name, note_missing)
        else:
            out = lines_without_positions(rows, file_name, note_missing,
                                          one_each=file_name == "SFX_TR4.txt")
        with open(os.path.join(out_dir, file_name), "w", encoding="ascii", newline="\n") as f:
            f.writelines(out)
