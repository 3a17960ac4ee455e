"""MenuResource.txt: the "Add resource" menus of TR1, TR2 and TR3.

A section per edition ("[TR1]" ... "[END]"); a submenu line is its caption in square
brackets after one tab per depth; an item line is "name:level file:mvb_NNN;spr_NNN;msh_NNN;".
Every resource of an item lies in that item's level, as the level files read show.
"""

MENU_GAMES = ["TR1", "TR2", "TR3", "TR4"]
PLAYABLE = ("level", "training")
CATEGORY_MENUS = [("Enemies", ("enemy",)), ("Animals", ("animal",)), ("Vehicles", ("vehicle",))]
KIND_PREFIX = {"moveable": "mvb", "sprite": "spr", "static": "msh"}


def ids(text):
    return [int(x) for x in text.split()]


def caption(depth, text):
    assert ":" not in text and "[" not in text and "]" not in text, text
    assert 1 <= depth <= 9
    return "\t" * depth + "[" + text + "]\n"


def item(name, file_name, resources):
    assert ":" not in name and ":" not in file_name and len(name) <= 127, name
    assert resources
    return "%s:%s:%s\n" % (name, file_name, "".join("%s_%03d;" % r for r in resources))


def with_partners(first, objects, present):
    """The moveable and what is drawn with it: show_with partners and borrowed bodies
    (Lara's own objects excepted: every level has them), when the level holds them."""
    todo, seen = [first], []
    while todo:
        mid = todo.pop(0)
        if mid in seen:
            continue
        seen.append(mid)
        row = objects.get(mid)
        if not row:
            continue
        for key in ("show_with", "use_body_from"):
            if row[key]:
                other = int(row[key])
                if key == "use_body_from" and objects[other]["category"] == "lara":
                    continue
                if other in present:
                    todo.append(other)
    return sorted(seen)


def moveable_resources(mids):
    return [("mvb", m) for m in mids]


def section(facts, game, note_missing):
    objects = facts.object_by_id(game)
    sprite_names = {int(r["id"]): r["name"] for r in facts.sprites[game]}
    static_names = {int(r["id"]): r["name"] for r in facts.statics[game]}
    levels = facts.levels_of(game)
    by_file = {r["file"].upper(): r for r in facts.level_objects if r["edition"] == game}
    held = [(lv, by_file[lv["file"].upper()]) for lv in levels if lv["file"].upper() in by_file]
    unlisted = [lv["file"] for lv in levels if lv["file"].upper() not in by_file]
    if unlisted:
        note_missing("MenuResource.txt [%s]: no object list for the levels %s" %
                     (game, " ".join(unlisted)))
    out = ["[%s]\n" % game]
    if not held:
        out.append("[END]\n")
        return out

    def file_of(lv):
        return "%s.%s" % (lv["file"], lv["extension"])

    # Lara as each level dresses her, with her animation objects.
    out.append(caption(1, "Lara"))
    for lv, objs in held:
        if lv["type"] not in PLAYABLE:
            continue
        present = set(ids(objs["moveables"]))
        lara = [m for m in sorted(present)
                if m in objects and objects[m]["category"] in ("lara", "weapon-anim")]
        if lara:
            out.append(item("Lara from %s" % lv["title"], file_of(lv), moveable_resources(lara)))

    # One entry per creature or vehicle, from the first level that holds it.
    order = sorted(held, key=lambda h: h[0]["type"] not in PLAYABLE)
    for title, categories in CATEGORY_MENUS:
        lines = []
        for row in facts.objects[game]:
            if row["category"] not in categories:
                continue
            mid = int(row["id"])
            for lv, objs in order:
                present = set(ids(objs["moveables"]))
                if mid in present:
                    lines.append(item("%s (%s)" % (row["name"], lv["title"]), file_of(lv),
                                      moveable_resources(with_partners(mid, objects, present))))
                    break
        if lines:
            out.append(caption(1, title))
            out += lines

    # Everything of each level.
    out.append(caption(1, "Levels"))
    for lv, objs in held:
        f = file_of(lv)
        out.append(caption(2, lv["title"]))
        statics = [s for s in ids(objs["statics"]) if s in static_names]
        sprites = [s for s in ids(objs["sprites"]) if s in sprite_names]
        if statics:
            out.append(item("All static meshes", f, [("msh", s) for s in statics]))
        if sprites:
            out.append(item("All sprites", f, [("spr", s) for s in sprites]))
        present = set(ids(objs["moveables"]))
        out.append(caption(3, "Moveables"))
        for mid in ids(objs["moveables"]):
            if mid not in objects:
                note_missing("MenuResource.txt [%s] %s: moveable %d has no name" % (game, f, mid))
                continue
            out.append(item(objects[mid]["name"], f,
                            moveable_resources(with_partners(mid, objects, present))))
        if statics:
            out.append(caption(3, "Static meshes"))
            for s in statics:
                out.append(item(static_names[s], f, [("msh", s)]))
        if sprites:
            out.append(caption(3, "Sprites"))
            for s in sprites:
                out.append(item(sprite_names[s], f, [("spr", s)]))
        for s in ids(objs["sprites"]):
            if s not in sprite_names:
                note_missing("MenuResource.txt [%s] %s: sprite %d has no name" % (game, f, s))
        for s in ids(objs["statics"]):
            if s not in static_names:
                note_missing("MenuResource.txt [%s] %s: static mesh %d has no name" % (game, f, s))
    out.append("[END]\n")
    return out


def write_menu(facts, path, note_missing):
    out = []
    for game in MENU_GAMES:
        out += section(facts, game, note_missing)
        out.append("\n")
    with open(path, "w", encoding="ascii", newline="\n") as f:
        f.writelines(out)
