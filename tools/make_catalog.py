#!/usr/bin/env python3
"""Writes the program's catalog files (the "Resources" folder) from the game-facts tables.

    python3 tools/make_catalog.py FACTS_FOLDER [OUTPUT_FOLDER]

FACTS_FOLDER holds the tab-separated tables (objects_TR*.tsv, sprites_TR*.tsv,
statics_TR*.tsv, lara_states_TR*.tsv, levels.tsv, level_objects.tsv,
level_overrides.tsv, sounds_*.tsv). OUTPUT_FOLDER defaults to resources/catalog of
this project. Run by hand; the written files are kept in the project.
Entries whose facts are missing are left out; the script prints what it left out.
"""
import os
import sys

sys.dont_write_bytecode = True  # keep the project folder clean

import catalog_icons  # noqa: E402
from catalog_menu import write_menu  # noqa: E402
from catalog_sounds import write_sfx  # noqa: E402

EDITIONS = ["TR1", "TR1Gold", "TR2", "TR2Gold", "TR3", "TR3Gold", "TR4"]
BASE = {"TR1": "TR1", "TR1Gold": "TR1", "TR2": "TR2", "TR2Gold": "TR2",
        "TR3": "TR3", "TR3Gold": "TR3", "TR4": "TR4"}
# Levels of a Gold edition are looked up under the base game (the level version tells
# only the base game), so the base game lists them too.
GOLD_OF = {"TR1": "TR1Gold", "TR2": "TR2Gold", "TR3": "TR3Gold"}

ICON_FILE = "TreeIcons.png"

CATEGORY_ICON = {
    "lara": "Lara", "weapon-anim": "WeaponAnim", "enemy": "Enemy", "animal": "Animal",
    "vehicle": "Vehicle", "pickup": "Pickup", "key": "Key", "puzzle": "Puzzle",
    "door": "Door", "switch": "Switch", "trap": "Trap", "effect": "Effect",
    "misc": "Misc", "camera-target": "Camera",
}
LEVEL_ICON = {"title": "Title", "training": "Training", "level": "Level", "cutscene": "Cutscene"}
STATIC_FAMILY_ICON = {"PLANT": "Plant", "FURNITURE": "Furniture", "ROCK": "Rock",
                      "ARCHITECTURE": "Architecture", "DEBRIS": "Debris", "SHATTER": "Shatter"}
SECTIONS = [("moveables", "Moveables", "Moveables"),
            ("static_meshes", "Static meshes", "StaticMeshes"),
            ("sprites", "Sprites", "Sprites"),
            ("sounds", "Sounds", "Sounds")]

missing = []


def note_missing(text):
    missing.append(text)


def read_table(folder, name):
    path = os.path.join(folder, name)
    with open(path, encoding="ascii") as f:
        lines = [line.rstrip("\n").rstrip("\r") for line in f if line.strip()]
    head = lines[0].split("\t")
    rows = []
    for line in lines[1:]:
        cells = line.split("\t")
        cells += [""] * (len(head) - len(cells))
        rows.append(dict(zip(head, cells)))
    return rows


def xml_text(s):
    return (s.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
            .replace('"', "&quot;"))


def attrs(pairs):
    return " ".join('%s="%s"' % (k, xml_text(str(v))) for k, v in pairs if v != "" and v is not None)


class Facts:
    def __init__(self, folder):
        self.objects, self.sprites, self.statics, self.states = {}, {}, {}, {}
        for game in ("TR1", "TR2", "TR3", "TR4"):
            self.objects[game] = read_table(folder, "objects_%s.tsv" % game)
            self.sprites[game] = read_table(folder, "sprites_%s.tsv" % game)
            self.statics[game] = read_table(folder, "statics_%s.tsv" % game)
            self.states[game] = read_table(folder, "lara_states_%s.tsv" % game)
        self.levels = read_table(folder, "levels.tsv")
        self.level_objects = read_table(folder, "level_objects.tsv")
        self.overrides = read_table(folder, "level_overrides.tsv")
        self.folder = folder

    def levels_of(self, edition):
        return [r for r in self.levels if r["edition"] == edition]

    def object_by_id(self, game):
        return {int(r["id"]): r for r in self.objects[game]}


def moveable_xml(row, states, override=None, indent="      "):
    a = [("id", int(row["id"])), ("name", row["name"]),
         ("icon", CATEGORY_ICON.get(row["category"], "Misc")),
         ("use_body_from", row["use_body_from"]), ("show_with", row["show_with"])]
    if override:
        a = [(k, override.get(k, v)) for k, v in a]
    if not states:
        return ["%s<moveable %s/>" % (indent, attrs(a))]
    out = ["%s<moveable %s>" % (indent, attrs(a))]
    for s in states:
        out.append('%s  <state %s/>' % (indent, attrs([("id", int(s["state"])), ("name", s["name"])])))
    out.append("%s</moveable>" % indent)
    return out


def sprite_icon(row, objects):
    name = row["name"]
    if name.startswith("Sky"):
        return "Sky"
    if "(room sprite)" in name:
        for family, icon in STATIC_FAMILY_ICON.items():
            if name.startswith(family):
                return icon
    if "font" in name.lower():
        return "Font"
    if row["animated"] == "yes":
        return "Effect"
    obj = objects.get(int(row["id"]))
    if obj and obj["category"] in ("pickup", "key", "puzzle"):
        return CATEGORY_ICON[obj["category"]]
    return "Sprite"


def static_icon(row):
    for family, icon in STATIC_FAMILY_ICON.items():
        if row["name"].startswith(family):
            return icon
    return "Mesh"


def section_open(tag, indent):
    for t, name, icon in SECTIONS:
        if t == tag:
            return '%s<%s %s>' % (indent, tag, attrs([("name", name), ("icon", icon)]))
    raise ValueError(tag)


def level_entries(facts, edition):
    """The level rows of the game element: its own, then (base games) its Gold levels."""
    rows = list(facts.levels_of(edition))
    if edition in GOLD_OF:
        seen = {r["file"].upper() for r in rows}
        for r in facts.levels_of(GOLD_OF[edition]):
            if r["file"].upper() not in seen:
                rows.append(r)
    return rows


def game_xml(facts, edition):
    game = BASE[edition]
    objects = facts.object_by_id(game)
    out = ['  <game id="%s">' % edition, "    <levels>"]
    for lv in level_entries(facts, edition):
        a = attrs([("id", lv["file"]), ("type", "cutscene" if lv["type"] == "cutscene" else ""),
                   ("icon", LEVEL_ICON[lv["type"]]), ("name", lv["title"])])
        over = [o for o in facts.overrides
                if BASE[o["edition"]] == game and o["file"].upper() == lv["file"].upper()
                and (o["edition"] == lv["edition"])]
        if not over:
            out.append("      <level %s/>" % a)
            continue
        # A level's own section replaces the edition-wide entry of the same id, so the
        # overriding entry repeats every attribute and the section keeps its caption.
        out.append("      <level %s>" % a)
        out.append(section_open("moveables", "        "))
        by_id = {}
        for o in over:
            by_id.setdefault(int(o["moveable"]), {})[o["attribute"]] = o["value"]
        for mid, changes in sorted(by_id.items()):
            states = facts.states[game] if mid == 0 else []
            out += moveable_xml(objects[mid], states, changes, "          ")
        out.append("        </moveables>")
        out.append("      </level>")
    out.append("    </levels>")

    out.append(section_open("moveables", "    "))
    for row in facts.objects[game]:
        states = facts.states[game] if int(row["id"]) == 0 else []
        out += moveable_xml(row, states)
    out.append("    </moveables>")

    out.append(section_open("static_meshes", "    "))
    for row in facts.statics[game]:
        out.append("      <static_mesh %s/>" % attrs([("id", int(row["id"])), ("name", row["name"]),
                                                      ("icon", static_icon(row))]))
    out.append("    </static_meshes>")

    out.append(section_open("sprites", "    "))
    for row in facts.sprites[game]:
        out.append("      <sprite %s/>" % attrs([
            ("id", int(row["id"])), ("name", row["name"]),
            ("type", "animated" if row["animated"] == "yes" else ""),
            ("icon", sprite_icon(row, objects))]))
    out.append("    </sprites>")
    out.append(section_open("sounds", "    ")[:-1] + "/>")
    out.append("  </game>")
    return out


def write_xml(facts, path):
    out = ['<?xml version="1.0" encoding="us-ascii"?>',
           "<!-- Game catalog: names and icons of the levels and objects of each edition. -->",
           "<catalog>", "  <icons>"]
    for n, name in enumerate(catalog_icons.icon_names()):
        out.append('    <icon %s/>' % attrs([("id", n), ("name", name)]))
    out.append("  </icons>")
    for edition in EDITIONS:
        out += game_xml(facts, edition)
    out.append("</catalog>")
    with open(path, "w", encoding="ascii", newline="\n") as f:
        f.write("\n".join(out) + "\n")


def check_facts(facts):
    for game in ("TR1", "TR2", "TR3", "TR4"):
        ids = [int(r["id"]) for r in facts.objects[game]]
        assert ids == sorted(set(ids)), game
        objects = facts.object_by_id(game)
        for r in facts.objects[game]:
            for k in ("use_body_from", "show_with"):
                if r[k]:
                    assert int(r[k]) in objects, (game, r["id"], k)
        sprite_ids = {int(r["id"]) for r in facts.sprites[game]}
        unnamed = [r["id"] for r in facts.objects[game]
                   if r["seen_as"] == "sprite" and int(r["id"]) not in sprite_ids]
        if unnamed:
            note_missing("%s: object slots seen as sprites but absent from the sprite table "
                         "(no sprite entry): %s" % (game, " ".join(unnamed)))


def main(argv):
    if len(argv) < 2:
        print(__doc__)
        return 2
    facts_dir = argv[1]
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = argv[2] if len(argv) > 2 else os.path.join(here, "..", "resources", "catalog")
    facts = Facts(facts_dir)
    check_facts(facts)
    write_xml(facts, os.path.join(out_dir, "TRCatalog.xml"))
    write_menu(facts, os.path.join(out_dir, "MenuResource.txt"), note_missing)
    write_sfx(facts_dir, out_dir, note_missing)
    catalog_icons.write_png(os.path.join(out_dir, ICON_FILE))
    for m in missing:
        print("left out:", m)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
