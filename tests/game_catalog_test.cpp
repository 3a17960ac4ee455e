#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "level/GameCatalog.h"
#include "platform/Files.h"
#include "platform/Messages.h"
#include "platform/Settings.h"

using namespace lithoscope;

namespace {

void WriteText(const test::TempDir& dir, const std::string& name, const std::string& text) {
    test::WriteFileBytes(dir.file(name), std::vector<uint8_t>(text.begin(), text.end()));
}

const CatalogMenu& AddResourceMenu(const CGameCatalog& c, int game) {
    const CatalogMenu* popup = c.PopupMenu(game);
    EXPECT_NE(popup, nullptr);
    EXPECT_EQ(popup->entries.size(), 1u);
    EXPECT_EQ(popup->entries[0].caption, "Add resource");
    EXPECT_NE(popup->entries[0].submenu, nullptr);
    return *popup->entries[0].submenu;
}

// "caption{...}" for submenus, "caption=command" for items.
std::string Describe(const CatalogMenu& menu) {
    std::string out;
    for (const CatalogMenuEntry& e : menu.entries) {
        if (!out.empty()) out += ",";
        if (e.submenu)
            out += e.caption + "{" + Describe(*e.submenu) + "}";
        else
            out += e.caption + "=" + std::to_string(e.command);
    }
    return out;
}

// A 32-bit top-left TGA whose 16x16 cells are coloured (r * columns + c) * 10 + 1 in red,
// cell row in green and cell column in blue.
std::vector<uint8_t> GridPicture(int width, int height) {
    std::vector<uint8_t> f = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                              uint8_t(width), uint8_t(width >> 8), uint8_t(height),
                              uint8_t(height >> 8), 32, 0x28};
    const int columns = width / 16;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int r = y / 16, c = x / 16;
            f.push_back(uint8_t(c));                             // B
            f.push_back(uint8_t(r));                             // G
            f.push_back(uint8_t((r * columns + c) * 10 + 1));    // R
            f.push_back(uint8_t(x % 16 == 1 && y % 16 == 2 ? 7 : 255));  // A, one marked pixel
        }
    return f;
}

const char* const kCatalogXml = R"(<?xml version="1.0"?>
<!-- test catalog -->
<catalog>
  <icons>
    <icon id="0" name="none"/>
    <icon id="4" name="Lara"/>
    <icon id="7" name="Sky"/>
    <icon id="9" name="Folder"/>
    <icon id="12" name="Medi"/>
  </icons>
  <game id="TR1">
    <levels>
      <level id="LEVEL1" name="Caves" icon="folder"/>
      <level id="CUT1" type="CutScene" name="Qualopec cut"/>
      <level id="LEVEL2" name="City of Vilcabamba">
        <moveables name="Vilca things" icon="Folder">
          <moveable id="5" name="Local wolf" icon="lara"/>
        </moveables>
        <sprites>
          <sprite id="7" name="Local sprite" type="animated" zoom="2.5"/>
        </sprites>
      </level>
    </levels>
    <moveables name="Moveables TR1" icon="Folder">
      <moveable id="0" name="Lara" icon="LARA" use_body_from="" show_with="">
        <state id="2" name="Stop"/>
        <state id="1" name="Run"/>
        <state id="2" name="Stop again"/>
      </moveable>
      <moveable id="5" name="Wolf" use_body_from="6" show_with="0"/>
      <moveable id="6" name="" icon="nonexistent"/>
    </moveables>
    <sprites name="Sprites TR1">
      <sprite id="7" name="Medipack" icon="Medi" zoom="1.5"/>
      <sprite id="8" name="Flame" type="ANIMATED"/>
    </sprites>
    <static_meshes>
      <static_mesh id="3" name="Plant" icon="folder"/>
    </static_meshes>
  </game>
  <game id="tr2"><moveables><moveable id="0" name="Never read"/></moveables></game>
  <game id="TR4">
    <moveables><moveable id="5" name="TR4 thing"/></moveables>
  </game>
</catalog>
)";

}  // namespace

TEST(GameCatalog, EditionsByNameAndByLevelVersion) {
    const char* names[] = {"TR1", "TR1Gold", "TR2", "TR2Gold", "TR3", "TR3Gold", "TR4"};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(CGameCatalog::GameIndexFromName(names[i]), i);
        EXPECT_EQ(CGameCatalog::GameName(i), names[i]);
    }
    EXPECT_EQ(CGameCatalog::GameIndexFromName("tr1"), 255);  // edition ids compare with case
    EXPECT_EQ(CGameCatalog::GameIndexFromName("TR5"), 255);
    EXPECT_EQ(CGameCatalog::GameIndexFromName(""), 255);
    EXPECT_EQ(CGameCatalog::GameName(7), "TR???");
    EXPECT_EQ(CGameCatalog::GameName(255), "TR???");
    EXPECT_EQ(CGameCatalog::GameName(-1), "TR???");
    EXPECT_EQ(CGameCatalog::GameIndexFromVersion(1), 0);
    EXPECT_EQ(CGameCatalog::GameIndexFromVersion(2), 2);
    EXPECT_EQ(CGameCatalog::GameIndexFromVersion(3), 4);
    EXPECT_EQ(CGameCatalog::GameIndexFromVersion(4), 6);
    EXPECT_EQ(CGameCatalog::GameIndexFromVersion(0), 2);
    EXPECT_EQ(CGameCatalog::GameIndexFromVersion(99), 2);
    EXPECT_EQ(CGameCatalog::SoundFileName(3), "SFX_TR2Gold.txt");
    EXPECT_EQ(CGameCatalog::DataPathValueName(5), "TR3Gold Data Path");
    EXPECT_EQ(CGameCatalog::DataPathValueName(255), "");
}

TEST(GameCatalog, SoundNamesFillUnusedIdsAndCountSamples) {
    test::TempDir dir;
    test::ScopedConfigDir config;
    ScriptedMessageBackend messages;
    ScopedMessageBackend scoped(&messages);
    WriteText(dir, "SFX_TR1.txt", "0000-- Walk\n0000-- Walk\n0003-- Door\n");
    std::string many;
    for (int i = 0; i < 370; ++i) many += StrFormat("%04d-- Sound %d\n", i, i);
    WriteText(dir, "SFX_TR2.txt", many);
    // "\r\n" lines, a second "--", short name parts, a line without "--", no final line end.
    WriteText(dir, "SFX_TR3.txt",
              "header line\r\n0000-- Run --extra\r\n0001--X\r\n0002--\r\n0003--Y--\r\n"
              "0004-- A --\r\n0005-- Last");
    // Ids lower than the one before: skipped, yet they still stand for a sample.
    WriteText(dir, "SFX_TR4.txt", "0000-- A\n0002-- B\n0001-- C\n0000-- C2\n0003-- D\n0003-- D\n");
    WriteText(dir, "sfx_tr1gold.txt", "0001-- Gold\n");  // found ignoring case

    CGameCatalog c;
    c.Load(dir.path());

    ASSERT_EQ(c.SoundNames(0).size(), 4u);
    EXPECT_EQ(c.GetSoundName(0, 0), "Walk");
    EXPECT_EQ(c.GetSoundSampleCount(0, 0), 2);
    EXPECT_EQ(c.GetSoundFirstSample(0, 0), 0);
    EXPECT_EQ(c.GetSoundName(0, 1), "! Not used (id #001) !");
    EXPECT_EQ(c.GetSoundName(0, 2), "! Not used (id #002) !");
    EXPECT_EQ(c.GetSoundSampleCount(0, 1), 0);
    EXPECT_EQ(c.GetSoundFirstSample(0, 2), 0);
    EXPECT_EQ(c.GetSoundName(0, 3), "Door");
    EXPECT_EQ(c.GetSoundSampleCount(0, 3), 1);
    EXPECT_EQ(c.GetSoundFirstSample(0, 3), 2);
    EXPECT_EQ(c.GetSoundName(0, 4), "! Unknown internal index #004 !");
    EXPECT_EQ(c.GetSoundName(0, -1), "! Unknown internal index #-001 !");
    EXPECT_EQ(c.GetSoundSampleCount(0, 4), 0);
    EXPECT_EQ(c.GetSoundFirstSample(0, 4), 0);

    ASSERT_EQ(c.SoundNames(2).size(), 370u);
    EXPECT_EQ(c.GetSoundName(2, 369), "Sound 369");
    EXPECT_EQ(c.GetSoundFirstSample(2, 369), 369);
    EXPECT_EQ(c.GetSoundName(2, 900), "! Unknown internal index #900 !");

    ASSERT_EQ(c.SoundNames(4).size(), 6u);
    EXPECT_EQ(c.GetSoundName(4, 0), "Run");
    EXPECT_EQ(c.GetSoundFirstSample(4, 0), 0);  // the header line is no sample
    EXPECT_EQ(c.GetSoundName(4, 1), "");
    EXPECT_EQ(c.GetSoundName(4, 2), "");
    EXPECT_EQ(c.GetSoundName(4, 3), "");
    EXPECT_EQ(c.GetSoundName(4, 4), "A");
    EXPECT_EQ(c.GetSoundName(4, 5), "Last");
    EXPECT_EQ(c.GetSoundFirstSample(4, 5), 5);
    for (const SoundNameEntry& e : c.SoundNames(4))
        EXPECT_EQ(e.name.find('\r'), std::string::npos) << e.name;

    ASSERT_EQ(c.SoundNames(6).size(), 4u);
    EXPECT_EQ(c.GetSoundName(6, 0), "A");
    EXPECT_EQ(c.GetSoundName(6, 1), "! Not used (id #001) !");
    EXPECT_EQ(c.GetSoundName(6, 2), "B");
    EXPECT_EQ(c.GetSoundFirstSample(6, 2), 1);
    EXPECT_EQ(c.GetSoundSampleCount(6, 2), 1);
    EXPECT_EQ(c.GetSoundName(6, 3), "D");
    EXPECT_EQ(c.GetSoundFirstSample(6, 3), 4);  // after A, B and the two skipped lines
    EXPECT_EQ(c.GetSoundSampleCount(6, 3), 2);
    // One warning for the file, with the count and the first offending line.
    int warnings = 0;
    for (const MessageRequest& m : messages.shown())
        if (m.text.find("Catalog parsing: ") == 0 && m.text.find("SFX_TR4.txt") != std::string::npos) {
            ++warnings;
            EXPECT_NE(m.text.find("2 line(s)"), std::string::npos) << m.text;
            EXPECT_NE(m.text.find("first at line 3"), std::string::npos) << m.text;
            EXPECT_EQ(m.icon, MsgIcon::Warning);
        }
    EXPECT_EQ(warnings, 1);

    ASSERT_EQ(c.SoundNames(1).size(), 2u);
    EXPECT_EQ(c.GetSoundName(1, 1), "Gold");
    EXPECT_EQ(c.GetSoundFirstSample(1, 1), 0);
    // No file: nothing known.
    EXPECT_TRUE(c.SoundNames(3).empty());
    EXPECT_EQ(c.GetSoundName(3, 0), "! Unknown internal index #000 !");
    EXPECT_EQ(c.GetSoundName(255, 0), "! Unknown internal index #000 !");
    EXPECT_EQ(c.GetSoundSampleCount(255, 0), 0);
}

TEST(GameCatalog, MenuResourceItemsAndSubmenus) {
    test::TempDir dir;
    test::ScopedConfigDir config;
    ScriptedMessageBackend messages;
    ScopedMessageBackend scoped(&messages);
    const std::string longName(200, 'N');
    WriteText(dir, "menuresource.txt",
              "; lines before the section are skipped\n"
              "\tOutside:o.phd:mvb_001;\n"
              "[TR1] Tomb Raider\n"
              "\t[Enemies]\n"
              "\t\t[Cats]\n"
              "\t\t\tPanther:LEVEL1.PHD:mvb_012;\n"
              "\t\tWolf:level2.phd:MVB_007;spr_010;msh_003;xyz_004;\n"
              "\t[Items]\n"
              "\t\tTwo:x.phd:mvb_003;spr_010;\n"
              "\t\tNone:x.phd:mvb_003\n"
              " \t Nothing:level4.phd\n"
              "[end]\n"
              "\t\tAfter:end.phd:mvb_001;\n"
              "[TR2]\n"
              "Early:early.tr2:mvb_001;\n"
              "\t\t\t[Deep]\n"
              "\t\tDeepItem:deep.tr2:msh_002;\n"
              "[Column0]\n"
              "\t\t\t\t\t\t\t\t\t\t[TooDeep]\n"
              "\tplain line without colon\n"
              "\t[Second]\n"
              "\t\t[Sub]\n"
              "\t[Third]\n"
              "\t\t\t[UnderThird]\n"
              "\t\tLast:last.tr2:spr_003;msh;\n"
              "[END]\r\n"
              "[tr4]\r\n"
              "\t[Pick]\r\n"
              "\tFlare:flare.tr4:spr_5;\r\n"
              "\t" + longName + ":" + std::string(150, 'f') + ":\r\n"
              "\t" + std::string(1100, 'L') + ":long.tr4:mvb_001;\r\n");
    CGameCatalog c;
    c.Load(dir.path());

    const CatalogMenu& tr1 = AddResourceMenu(c, 0);
    EXPECT_EQ(Describe(tr1), "Enemies{Cats{Panther=0,Wolf=1}},Items{Two=2,None=3,Nothing=4}");
    const std::vector<ResourceMenuItem>& items = c.ResourceItems(0);
    ASSERT_EQ(items.size(), 5u);
    EXPECT_EQ(items[0].name, "Panther");
    EXPECT_EQ(items[0].file, "LEVEL1.PHD");
    ASSERT_EQ(items[0].resources.size(), 1u);
    EXPECT_EQ(items[0].resources[0].kind, CatalogKindMoveable);
    EXPECT_EQ(items[0].resources[0].id, 12);
    ASSERT_EQ(items[1].resources.size(), 4u);
    EXPECT_EQ(items[1].resources[0].kind, CatalogKindMoveable);  // prefixes ignore case
    EXPECT_EQ(items[1].resources[0].id, 7);
    EXPECT_EQ(items[1].resources[1].kind, CatalogKindSprite);
    EXPECT_EQ(items[1].resources[1].id, 10);
    EXPECT_EQ(items[1].resources[2].kind, CatalogKindStaticMesh);
    EXPECT_EQ(items[1].resources[2].id, 3);
    EXPECT_EQ(items[1].resources[3].kind, 0);
    EXPECT_EQ(items[1].resources[3].id, 4);
    ASSERT_EQ(items[2].resources.size(), 2u);
    EXPECT_EQ(items[2].resources[0].kind, CatalogKindMoveable);
    EXPECT_EQ(items[2].resources[0].id, 3);
    EXPECT_EQ(items[2].resources[1].kind, CatalogKindSprite);
    EXPECT_EQ(items[2].resources[1].id, 10);
    EXPECT_TRUE(items[3].resources.empty());  // no trailing ';'
    EXPECT_EQ(items[4].name, "Nothing");      // leading blanks skipped
    EXPECT_EQ(items[4].file, "level4.phd");
    EXPECT_TRUE(items[4].resources.empty());
    EXPECT_EQ(c.FindResourceItem(0, 1), &items[1]);
    EXPECT_EQ(c.FindResourceItem(0, 5), nullptr);
    EXPECT_EQ(c.FindResourceItem(0, -1), nullptr);

    // Irregular lines: an item before any submenu goes to the popup itself, a submenu deeper
    // than any open one to the deepest open one; column 0 and columns past 9 are ignored.
    EXPECT_EQ(Describe(AddResourceMenu(c, 2)),
              "Early=0,Deep{DeepItem=1},Second{Sub{}},Third{UnderThird{Last=2}}");
    ASSERT_EQ(c.ResourceItems(2).size(), 3u);
    const ResourceMenuItem& last = c.ResourceItems(2)[2];
    ASSERT_EQ(last.resources.size(), 2u);
    EXPECT_EQ(last.resources[1].kind, CatalogKindStaticMesh);
    EXPECT_EQ(last.resources[1].id, 0);  // no number

    // Section names ignore case; "\r\n" lines leave no carriage return; texts are cut.
    EXPECT_EQ(Describe(AddResourceMenu(c, 6)).substr(0, 16), "Pick{Flare=0,NNN");
    const std::vector<ResourceMenuItem>& tr4 = c.ResourceItems(6);
    ASSERT_EQ(tr4.size(), 2u);  // the line past 1023 characters lost its ':'
    EXPECT_EQ(tr4[0].file, "flare.tr4");
    ASSERT_EQ(tr4[0].resources.size(), 1u);
    EXPECT_EQ(tr4[0].resources[0].id, 5);
    EXPECT_EQ(tr4[1].name, std::string(127, 'N'));
    EXPECT_EQ(tr4[1].file, std::string(127, 'f'));

    // No section: an empty "Add resource" menu; the Gold editions read none.
    EXPECT_EQ(Describe(AddResourceMenu(c, 4)), "");
    for (int gold : {1, 3, 5}) {
        EXPECT_EQ(Describe(AddResourceMenu(c, gold)), "");
        EXPECT_TRUE(c.ResourceItems(gold).empty());
    }
    EXPECT_EQ(c.PopupMenu(255), nullptr);
    EXPECT_TRUE(c.ResourceItems(255).empty());

    // A second load starts afresh; without a folder it reads the same one.
    c.Load(nullptr);
    EXPECT_EQ(c.ResourceItems(0).size(), 5u);
    EXPECT_EQ(c.Folder(), dir.path());
    c.Clear();
    EXPECT_EQ(c.PopupMenu(0), nullptr);
    EXPECT_TRUE(c.ResourceItems(0).empty());
}

TEST(GameCatalog, MissingFilesLeaveEverythingEmptyWithOneWarning) {
    test::TempDir dir;
    test::ScopedConfigDir config;
    ScriptedMessageBackend messages;
    ScopedMessageBackend scoped(&messages);
    CGameCatalog c;
    EXPECT_EQ(c.Folder(), "./");
    c.Load(dir.path());
    ASSERT_EQ(messages.shown().size(), 1u);
    EXPECT_EQ(messages.shown()[0].text, "Can't read the catalog: file " + dir.file("TRCatalog.xml") +
                                            " not found or bad format (error: No such file or directory) !");
    EXPECT_EQ(messages.shown()[0].icon, MsgIcon::Warning);
    EXPECT_FALSE(c.HasCatalog());
    EXPECT_EQ(c.IconStrip(), nullptr);
    for (int g = 0; g < 7; ++g) {
        EXPECT_EQ(Describe(AddResourceMenu(c, g)), "");
        EXPECT_TRUE(c.SoundNames(g).empty());
    }
    std::unique_ptr<CatalogMoveableEntry> m = c.GetMoveableEntry(0, "LEVEL1", 3);
    EXPECT_EQ(m->name, "Moveable #003");
    EXPECT_FALSE(m->states.has_value());
    EXPECT_EQ(c.GetSectionCaption(0, "LEVEL1", "moveables").text, "moveables");
    EXPECT_EQ(c.GetLevelEntry(0, "LEVEL1").displayName, "LEVEL1");
    EXPECT_EQ(c.GetIconId("Sky"), 0);

    // A catalog that does not parse: the reader's error text is in the warning.
    messages.clear();
    WriteText(dir, "TRCatalog.xml", "<catalog><game id=\"TR1\">");
    c.Load(nullptr);
    ASSERT_EQ(messages.shown().size(), 1u);
    EXPECT_EQ(messages.shown()[0].text,
              "Can't read the catalog: file " + dir.file("TRCatalog.xml") +
                  " not found or bad format (error: End tag of game element not found) !");
    EXPECT_FALSE(c.HasCatalog());
    EXPECT_FALSE(c.FindEntry(0, "", "moveables", "", ""));

    // An empty file, a folder, (for anybody but root) a file nobody may read: each says why.
    for (int kind = 0; kind < 3; ++kind) {
        if (kind == 2 && geteuid() == 0) continue;
        test::TempDir other;
        const std::string path = other.file("TRCatalog.xml");
        if (kind == 1) {
            ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
        } else {
            WriteText(other, "TRCatalog.xml", kind == 0 ? "" : "<catalog/>");
            if (kind == 2) { ASSERT_EQ(chmod(path.c_str(), 0), 0); }
        }
        messages.clear();
        c.Load(other.path().c_str());
        ASSERT_EQ(messages.shown().size(), 1u);
        const char* why[] = {"the file is empty", "it is a folder, not a regular file", "Permission denied"};
        EXPECT_EQ(messages.shown()[0].text, "Can't read the catalog: file " + path +
                                                " not found or bad format (error: " + why[kind] + ") !");
        if (kind == 2) chmod(path.c_str(), 0644);
    }
}

TEST(GameCatalog, LookupsWithLevelOverridesAndDefaults) {
    test::TempDir dir;
    test::ScopedConfigDir config;
    ScriptedMessageBackend messages;
    ScopedMessageBackend scoped(&messages);
    WriteText(dir, "trcatalog.XML", kCatalogXml);  // found ignoring case
    CGameCatalog c;
    c.Load(dir.path());
    ASSERT_TRUE(c.HasCatalog());
    ASSERT_EQ(messages.shown().size(), 1u);
    EXPECT_EQ(messages.shown()[0].text, "Catalog parsing: invalid id 'tr2' for the <game> tag !");

    EXPECT_EQ(c.GetIconId("SKY"), 7);
    EXPECT_EQ(c.GetIconId("none"), 0);
    EXPECT_EQ(c.GetIconId("zzz"), 0);
    EXPECT_EQ(c.GetIconId(""), 0);

    CatalogLevelEntry level = c.GetLevelEntry(0, "level1");
    EXPECT_EQ(level.kind, CatalogKindLevel);
    EXPECT_EQ(level.levelId, "level1");
    EXPECT_EQ(level.displayName, "Caves");
    EXPECT_EQ(level.cutscene, 0);
    EXPECT_EQ(level.icon, 9);
    level = c.GetLevelEntry(0, "CUT1");
    EXPECT_EQ(level.cutscene, 1);  // "CutScene" ignoring case
    EXPECT_EQ(level.icon, 0);
    level = c.GetLevelEntry(0, "unknown");
    EXPECT_EQ(level.displayName, "unknown");
    EXPECT_EQ(level.cutscene, 0);
    EXPECT_EQ(c.GetLevelEntry(0, "").displayName, "");

    std::unique_ptr<CatalogMoveableEntry> m = c.GetMoveableEntry(0, "LEVEL1", 0);
    EXPECT_EQ(m->kind, CatalogKindMoveable);
    EXPECT_EQ(m->id, 0);
    EXPECT_EQ(m->name, "Lara");
    EXPECT_EQ(m->icon, 4);
    EXPECT_EQ(m->useBodyFrom, -1);  // empty attributes
    EXPECT_EQ(m->showWith, -1);
    ASSERT_TRUE(m->states.has_value());
    EXPECT_EQ(*m->states, (std::map<int32_t, std::string>{{1, "Run"}, {2, "Stop"}}));

    // Moveable 5 of LEVEL2 comes from the level's own section; moveable 0 of LEVEL2 still
    // from the edition-wide one; moveable 5 elsewhere from the edition-wide one.
    m = c.GetMoveableEntry(0, "level2", 5);
    EXPECT_EQ(m->name, "Local wolf");
    EXPECT_EQ(m->icon, 4);
    EXPECT_EQ(m->useBodyFrom, -1);
    EXPECT_EQ(m->showWith, -1);
    EXPECT_EQ(c.GetMoveableEntry(0, "LEVEL2", 0)->name, "Lara");
    m = c.GetMoveableEntry(0, "LEVEL1", 5);
    EXPECT_EQ(m->name, "Wolf");
    EXPECT_EQ(m->useBodyFrom, 6);
    EXPECT_EQ(m->showWith, 0);
    ASSERT_TRUE(m->states.has_value());
    EXPECT_TRUE(m->states->empty());
    m = c.GetMoveableEntry(0, "", 6);
    EXPECT_EQ(m->name, "Moveable #006");  // empty catalogued name
    EXPECT_EQ(m->icon, 0);
    EXPECT_TRUE(m->states.has_value());
    m = c.GetMoveableEntry(0, "LEVEL1", 99);
    EXPECT_EQ(m->name, "Moveable #099");
    EXPECT_EQ(m->icon, 0);
    EXPECT_EQ(m->useBodyFrom, -1);
    EXPECT_EQ(m->showWith, -1);
    EXPECT_FALSE(m->states.has_value());
    EXPECT_EQ(c.GetMoveableEntry(6, "LEVEL1", 5)->name, "TR4 thing");
    EXPECT_EQ(c.GetMoveableEntry(2, "", 0)->name, "Moveable #000");  // its game was refused
    EXPECT_EQ(c.GetMoveableEntry(255, "", 0)->name, "Moveable #000");
    EXPECT_EQ(c.GetMoveableEntry(0, "", 1234)->name, "Moveable #1234");

    CatalogCaption caption = c.GetSectionCaption(0, "LEVEL2", "moveables");
    EXPECT_EQ(caption.text, "Vilca things");
    EXPECT_EQ(caption.icon, 9);
    caption = c.GetSectionCaption(0, "LEVEL1", "moveables");
    EXPECT_EQ(caption.text, "Moveables TR1");
    EXPECT_EQ(caption.icon, 9);
    // LEVEL2 has a sprites section without a name: its default is the tag.
    caption = c.GetSectionCaption(0, "LEVEL2", "sprites");
    EXPECT_EQ(caption.text, "sprites");
    EXPECT_EQ(c.GetSectionCaption(0, "", "sprites").text, "Sprites TR1");
    EXPECT_EQ(c.GetSectionCaption(0, "", "static_meshes").text, "static_meshes");
    caption = c.GetSectionCaption(0, "", "sounds");
    EXPECT_EQ(caption.text, "sounds");
    EXPECT_EQ(caption.icon, 0);
    EXPECT_EQ(c.GetSectionCaption(6, "x", "sprites").text, "sprites");
    EXPECT_EQ(c.GetSectionCaption(0, "", "").text, "");

    CatalogSpriteEntry s = c.GetSpriteEntry(0, "LEVEL1", 7);
    EXPECT_EQ(s.kind, CatalogKindSprite);
    EXPECT_EQ(s.name, "Medipack");
    EXPECT_EQ(s.animated, 0);
    EXPECT_FLOAT_EQ(s.zoom, 1.5f);
    EXPECT_EQ(s.icon, 12);
    s = c.GetSpriteEntry(0, "LEVEL2", 7);
    EXPECT_EQ(s.name, "Local sprite");
    EXPECT_EQ(s.animated, 1);
    EXPECT_FLOAT_EQ(s.zoom, 2.5f);
    EXPECT_EQ(s.icon, 0);
    s = c.GetSpriteEntry(0, "", 8);
    EXPECT_EQ(s.name, "Flame");
    EXPECT_EQ(s.animated, 1);
    EXPECT_EQ(s.zoom, 0.0f);
    s = c.GetSpriteEntry(0, "", 9);
    EXPECT_EQ(s.name, "Sprite #009");
    EXPECT_EQ(s.animated, 1);
    EXPECT_EQ(s.zoom, 0.0f);
    EXPECT_EQ(s.icon, 0);

    CatalogStaticMeshEntry sm = c.GetStaticMeshEntry(0, "", 3);
    EXPECT_EQ(sm.kind, CatalogKindStaticMesh);
    EXPECT_EQ(sm.name, "Plant");
    EXPECT_EQ(sm.icon, 9);
    sm = c.GetStaticMeshEntry(0, "LEVEL1", 4);
    EXPECT_EQ(sm.name, "Static_mesh #004");
    EXPECT_EQ(sm.icon, 0);

    // The reader stands inside what FindEntry found.
    EXPECT_TRUE(c.FindEntry(0, "LEVEL2", "", "", ""));
    EXPECT_TRUE(c.FindEntry(0, "LEVEL2", "moveables", "moveable", "5"));
    EXPECT_FALSE(c.FindEntry(0, "", "moveables", "moveable", "005"));  // ids compare as text
    EXPECT_FALSE(c.FindEntry(0, "LEVEL9", "", "", ""));
    EXPECT_FALSE(c.FindEntry(255, "LEVEL1", "", "", ""));
    EXPECT_FALSE(c.FindEntry(0, "", "", "moveable", "5"));  // an empty tag never matches

    // Friendly names off: defaults for names, catalogued icons stay; states stay too.
    c.SetShowFriendlyNames(false);
    s = c.GetSpriteEntry(0, "", 7);
    EXPECT_EQ(s.name, "Sprite #007");
    EXPECT_EQ(s.icon, 12);
    EXPECT_EQ(s.animated, 0);
    m = c.GetMoveableEntry(0, "", 0);
    EXPECT_EQ(m->name, "Moveable #000");
    EXPECT_EQ(m->icon, 4);
    ASSERT_TRUE(m->states.has_value());
    EXPECT_EQ(m->states->size(), 2u);
    EXPECT_EQ(c.GetLevelEntry(0, "LEVEL1").displayName, "LEVEL1");
    EXPECT_EQ(c.GetLevelEntry(0, "LEVEL1").icon, 9);
    EXPECT_EQ(c.GetLevelEntry(0, "CUT1").cutscene, 1);
    caption = c.GetSectionCaption(0, "", "moveables");
    EXPECT_EQ(caption.text, "moveables");
    EXPECT_EQ(caption.icon, 9);
    EXPECT_EQ(c.GetStaticMeshEntry(0, "", 3).name, "Static_mesh #003");
}

TEST(GameCatalog, GamesAfterTheIconsSectionAndRepeatedGames) {
    test::TempDir dir;
    test::ScopedConfigDir config;
    ScriptedMessageBackend messages;
    ScopedMessageBackend scoped(&messages);
    // A game before the icons section is not read; a later game with the same id replaces
    // the earlier one, levels section included.
    WriteText(dir, "TRCatalog.xml",
              "<root><game id=\"TR3\"><moveables><moveable id=\"1\" name=\"Early\"/></moveables>"
              "</game><ICONS><Icon id=\"3\" name=\"x\"/></ICONS>"
              "<game id=\"TR1\"><levels><level id=\"A\" name=\"First A\"/></levels>"
              "<moveables><moveable id=\"1\" name=\"One\"/></moveables></game>"
              "<Game id=\"TR1\"><moveables><moveable id=\"1\" name=\"Replaced\"/></moveables>"
              "</Game></root>");
    CGameCatalog c;
    c.Load(dir.path());
    EXPECT_TRUE(messages.shown().empty());
    EXPECT_EQ(c.GetIconId("X"), 3);
    EXPECT_EQ(c.GetMoveableEntry(4, "", 1)->name, "Moveable #001");
    EXPECT_EQ(c.GetMoveableEntry(0, "A", 1)->name, "Replaced");
    EXPECT_EQ(c.GetLevelEntry(0, "A").displayName, "A");
}

TEST(GameCatalog, IconStripLaysCellRowsSideBySide) {
    test::TempDir dir;
    test::ScopedConfigDir config;
    ScriptedMessageBackend messages;
    ScopedMessageBackend scoped(&messages);
    test::WriteFileBytes(dir.file("treeicons.png"), GridPicture(48, 32));  // 3 x 2 cells
    CGameCatalog c;
    c.Load(dir.path());
    const CatalogIconStrip* strip = c.IconStrip();
    ASSERT_NE(strip, nullptr);
    EXPECT_EQ(strip->cellCount, 6);
    EXPECT_EQ(strip->width, 96);
    EXPECT_EQ(strip->height, 16);
    ASSERT_EQ(strip->pixels.size(), 96u * 16u * 4u);
    auto at = [&](int x, int y, int channel) {
        return int(strip->pixels[(size_t(y) * 96 + size_t(x)) * 4 + size_t(channel)]);
    };
    for (int n = 0; n < 6; ++n) {
        // Strip cell n is grid cell (row n / 3, column n % 3).
        EXPECT_EQ(at(n * 16 + 5, 9, 0), n * 10 + 1) << n;
        EXPECT_EQ(at(n * 16 + 5, 9, 1), n / 3) << n;
        EXPECT_EQ(at(n * 16 + 5, 9, 2), n % 3) << n;
        EXPECT_EQ(at(n * 16 + 1, 2, 3), 7) << n;  // the marked pixel keeps its place
        EXPECT_EQ(at(n * 16 + 2, 2, 3), 255) << n;
    }

    // Partial cells at the edges are dropped; a picture smaller than a cell gives none.
    test::WriteFileBytes(dir.file("treeicons.png"), GridPicture(40, 20));
    c.Load(nullptr);
    ASSERT_NE(c.IconStrip(), nullptr);
    EXPECT_EQ(c.IconStrip()->cellCount, 2);
    EXPECT_EQ(c.IconStrip()->width, 32);
    test::WriteFileBytes(dir.file("treeicons.png"), GridPicture(10, 10));
    c.Load(nullptr);
    EXPECT_EQ(c.IconStrip(), nullptr);
    test::WriteFileBytes(dir.file("treeicons.png"), {1, 2, 3});
    c.Load(nullptr);
    EXPECT_EQ(c.IconStrip(), nullptr);
}

TEST(GameCatalog, DataPathsGoToTheSettingsFile) {
    test::ScopedConfigDir config;
    {
        CGameCatalog c;
        c.SetDataPath(0, "/games/tr1/");
        c.SetDataPath(6, "/games/TR4 data/");
        c.SetDataPath(255, "/nowhere/");  // no edition: nothing kept, nothing written
        EXPECT_EQ(c.DataPath(0), "/games/tr1/");
        EXPECT_EQ(c.DataPath(6), "/games/TR4 data/");
        EXPECT_EQ(c.DataPath(255), "");
        EXPECT_EQ(c.DataPath(1), "");
    }
    std::vector<uint8_t> bytes = test::ReadFileBytes(SettingsFilePath());
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_NE(text.find("[Settings]"), std::string::npos) << text;
    EXPECT_NE(text.find("TR1 Data Path=/games/tr1/"), std::string::npos) << text;
    EXPECT_NE(text.find("TR4 Data Path=/games/TR4 data/"), std::string::npos) << text;
    EXPECT_EQ(text.find("/nowhere/"), std::string::npos) << text;

    // Read back at the next start: absent values take the default and are written back.
    ReloadSettings();
    CGameCatalog next;
    next.ReadDataPaths("/");
    EXPECT_EQ(next.DataPath(0), "/games/tr1/");
    EXPECT_EQ(next.DataPath(6), "/games/TR4 data/");
    for (int g : {1, 2, 3, 4, 5}) EXPECT_EQ(next.DataPath(g), "/") << g;
    ReloadSettings();
    EXPECT_EQ(GetProfileString("Settings", "TR3Gold Data Path", "unset"), "/");
    EXPECT_EQ(GetProfileString("Settings", "TR1Gold Data Path", "unset"), "/");
    EXPECT_EQ(GetProfileString("Settings", "TR1 Data Path", "unset"), "/games/tr1/");
}

TEST(GameCatalogText, LinesAndNumbers) {
    using namespace catalog_detail;
    EXPECT_EQ(SplitLines("a\r\nb\nc"), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(SplitLines("a\rb\r\n\r\nc\n"), (std::vector<std::string>{"a", "b", "", "c"}));
    EXPECT_TRUE(SplitLines("").empty());
    const std::vector<std::string> longLine = SplitLines(std::string(2000, 'x') + "\nnext");
    ASSERT_EQ(longLine.size(), 2u);
    EXPECT_EQ(longLine[0].size(), 1023u);
    EXPECT_EQ(longLine[1], "next");

    EXPECT_EQ(ReadNumber("012"), 12);
    EXPECT_EQ(ReadNumber("12abc"), 12);
    EXPECT_EQ(ReadNumber("abc"), 0);
    EXPECT_EQ(ReadNumber(""), 0);
    EXPECT_EQ(ReadNumber(" -3"), -3);
    EXPECT_EQ(ReadNumber("99999999999"), INT32_MAX);
    EXPECT_EQ(ReadNumber("-99999999999"), INT32_MIN);

    EXPECT_FLOAT_EQ(ReadDecimal("1.5"), 1.5f);
    EXPECT_FLOAT_EQ(ReadDecimal("2"), 2.0f);
    EXPECT_FLOAT_EQ(ReadDecimal(" -0.25x"), -0.25f);
    EXPECT_FLOAT_EQ(ReadDecimal(".5"), 0.5f);
    EXPECT_FLOAT_EQ(ReadDecimal("+3"), 3.0f);
    EXPECT_FLOAT_EQ(ReadDecimal("1e3"), 1000.0f);
    EXPECT_EQ(ReadDecimal("abc"), 0.0f);
    EXPECT_EQ(ReadDecimal(""), 0.0f);
    EXPECT_EQ(ReadDecimal("inf"), 0.0f);
    EXPECT_EQ(ReadDecimal("nan"), 0.0f);
    EXPECT_EQ(ReadDecimal("1e999"), 0.0f);
}

TEST(GameCatalog, GarbageFilesNeverCrashOrLeakLineEnds) {
    test::TempDir dir;
    test::ScopedConfigDir config;
    ScriptedMessageBackend messages;
    ScopedMessageBackend scoped(&messages);
    const char alphabet[] = "\t\r\n :;[]-_0123456789mvbsprmshTR1234END<>/?!=\"&amp;gameicons";
    uint32_t seed = 12345;
    auto next = [&]() {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    for (int round = 0; round < 60; ++round) {
        auto garbage = [&](const std::string& head) {
            std::string s = head;
            const size_t n = next() % 3000;
            for (size_t i = 0; i < n; ++i) s += alphabet[next() % (sizeof alphabet - 1)];
            return s;
        };
        WriteText(dir, "MenuResource.txt", garbage("[TR1]\n\t[A]\n"));
        WriteText(dir, "SFX_TR1.txt", garbage("0000-- A --\n"));
        WriteText(dir, "TRCatalog.xml", garbage("<c><icons><icon id=\"1\" name=\"a\"/></icons><game id=\"TR1\">"));
        CGameCatalog c;
        c.Load(dir.path());
        for (const SoundNameEntry& e : c.SoundNames(0)) {
            EXPECT_EQ(e.name.find_first_of("\r\n"), std::string::npos);
            EXPECT_GE(e.sampleCount, 0);
        }
        for (const ResourceMenuItem& item : c.ResourceItems(0)) {
            EXPECT_LE(item.name.size(), 127u);
            EXPECT_LE(item.file.size(), 127u);
            EXPECT_EQ((item.name + item.file).find_first_of("\r\n"), std::string::npos);
        }
        c.GetMoveableEntry(0, "a", 0);
        c.GetSectionCaption(0, "a", "moveables");
        c.GetIconId("a");
        messages.clear();
    }
}
