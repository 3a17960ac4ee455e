// The catalog files shipped in resources/catalog: they load without a warning and hold
// what the editor looks up in them.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "level/GameCatalog.h"
#include "level/TrLevel.h"
#include "level/XmlMarkup.h"
#include "platform/Messages.h"

namespace lithoscope {
namespace {

const std::string kFolder = LITHOSCOPE_SOURCE_DIR "/resources/catalog/";
const char* const kSoundFiles[] = {"SFX_TR1.txt", "SFX_TR1Gold.txt", "SFX_TR2.txt",
                                   "SFX_TR2Gold.txt", "SFX_TR3.txt", "SFX_TR3Gold.txt",
                                   "SFX_TR4.txt"};
enum { TR1 = 0, TR1Gold, TR2, TR2Gold, TR3, TR3Gold, TR4 };

std::vector<std::string> FileLines(const std::string& path) {
    std::vector<std::string> lines;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return lines;
    std::string cur;
    for (int c; (c = std::fgetc(f)) != EOF;) {
        if (c == '\n') {
            lines.push_back(cur);
            cur.clear();
        } else {
            cur += char(c);
        }
    }
    if (!cur.empty()) lines.push_back(cur);
    std::fclose(f);
    return lines;
}

// A catalog loaded from the shipped files, with the messages it showed.
struct LoadedCatalog {
    ScriptedMessageBackend messages;
    CGameCatalog catalog;
    LoadedCatalog() {
        ScopedMessageBackend scope(&messages);
        catalog.Load(kFolder);
    }
};

// Calls visit(tag, reader) for every element below the root, the reader standing on it.
void WalkElements(CXmlMarkup& xml, const std::function<void(CXmlMarkup&)>& visit) {
    while (xml.FindChild(nullptr)) {
        ASSERT_TRUE(xml.EnterChild());
        visit(xml);
        WalkElements(xml, visit);
        ASSERT_TRUE(xml.LeaveToParent());
    }
}

TEST(CatalogResources, SoundFilesHaveOneAscendingLinePerSample) {
    for (const char* name : kSoundFiles) {
        SCOPED_TRACE(name);
        std::vector<std::string> lines = FileLines(kFolder + name);
        ASSERT_FALSE(lines.empty());
        int previous = -1;
        for (size_t n = 0; n < lines.size(); ++n) {
            const std::string& l = lines[n];
            SCOPED_TRACE(l);
            ASSERT_GE(l.size(), 10u);
            for (int i = 0; i < 4; ++i) ASSERT_TRUE(std::isdigit(uint8_t(l[i])));
            // "IIII-- name --": the name between two separators, one blank each side.
            ASSERT_EQ(l.compare(4, 3, "-- "), 0);
            size_t second = l.find("--", 6);
            ASSERT_NE(second, std::string::npos);
            EXPECT_EQ(second + 2, l.size());
            EXPECT_EQ(l[second - 1], ' ');
            EXPECT_GT(second - 1, 7u) << "empty name";
            int id = std::stoi(l.substr(0, 4));
            EXPECT_GE(id, previous) << "ids must ascend";
            // A sound's samples are consecutive lines.
            if (id == previous) { EXPECT_EQ(l, lines[n - 1]); }
            previous = id;
        }
        // Tomb Raider I has 256 sound slots, the others 370.
        EXPECT_LT(previous, std::string(name).find("TR1") != std::string::npos ? 256 : 370);
    }
}

TEST(CatalogResources, LoadsWithoutWarning) {
    LoadedCatalog c;
    for (const MessageRequest& m : c.messages.shown()) ADD_FAILURE() << m.text;
    EXPECT_TRUE(c.catalog.HasCatalog());
    // Every edition has its game element, with its level list and its sections.
    for (int g = 0; g < kCatalogGameCount; ++g) {
        SCOPED_TRACE(CGameCatalog::GameName(g));
        EXPECT_TRUE(c.catalog.FindEntry(g, "", "levels", "", ""));
        EXPECT_TRUE(c.catalog.FindEntry(g, "", "moveables", "moveable", "0"));
        EXPECT_EQ(c.catalog.GetSectionCaption(g, "", "static_meshes").text, "Static meshes");
        EXPECT_EQ(c.catalog.GetLevelEntry(g, "TITLE").displayName, "Title");
        EXPECT_FALSE(c.catalog.SoundNames(g).empty());
    }
}

TEST(CatalogResources, IconsAreDrawnAndNamed) {
    LoadedCatalog c;
    const CatalogIconStrip* strip = c.catalog.IconStrip();
    ASSERT_NE(strip, nullptr);
    ASSERT_EQ(strip->height, CatalogIconStrip::kCell);
    const int sky = c.catalog.GetIconId("Sky");
    EXPECT_GT(sky, 0);  // 0 is the default every lookup falls back to
    EXPECT_EQ(c.catalog.GetIconId("sky"), sky);
    ASSERT_LT(sky, strip->cellCount);
    // The sky cell is drawn: some pixel is not the black mask colour.
    bool drawn = false;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const uint8_t* p = &strip->pixels[(size_t(y) * strip->width + sky * 16 + x) * 4];
            drawn = drawn || p[0] || p[1] || p[2];
        }
    EXPECT_TRUE(drawn);

    // Every icon id lies in the strip and is used once; every icon attribute of the
    // catalog names a declared icon.
    CXmlMarkup xml;
    ASSERT_TRUE(xml.LoadFile(kFolder + CGameCatalog::kCatalogFile)) << xml.GetErrorText();
    ASSERT_TRUE(xml.FindSibling(nullptr));
    std::set<std::string> names;
    std::set<int> ids;
    std::vector<std::string> used;
    WalkElements(xml, [&](CXmlMarkup& x) {
        if (x.GetTagName() == "icon") {
            int id = std::stoi(x.GetAttribute("id"));
            EXPECT_TRUE(ids.insert(id).second) << id;
            EXPECT_LT(id, strip->cellCount);
            std::string name = x.GetAttribute("name");
            for (char& ch : name) ch = char(std::tolower(uint8_t(ch)));
            EXPECT_TRUE(names.insert(name).second) << name;
        } else if (!x.GetAttribute("icon").empty()) {
            used.push_back(x.GetAttribute("icon"));
        }
    });
    EXPECT_GT(used.size(), 1000u);
    for (std::string name : used) {
        for (char& ch : name) ch = char(std::tolower(uint8_t(ch)));
        EXPECT_TRUE(names.count(name)) << name;
    }
    EXPECT_EQ(c.catalog.GetIconId("mesh"), 0);  // mesh nodes show icon 0
}

TEST(CatalogResources, EntriesOfTheGames) {
    LoadedCatalog c;
    CGameCatalog& k = c.catalog;
    // Levels by file name, ignoring case; cut scenes marked.
    CatalogLevelEntry caves = k.GetLevelEntry(TR1, "level1");
    EXPECT_EQ(caves.displayName, "Caves");
    EXPECT_EQ(caves.cutscene, 0);
    EXPECT_EQ(caves.icon, k.GetIconId("Level"));
    EXPECT_EQ(k.GetLevelEntry(TR1, "CUT1").cutscene, 1);
    EXPECT_EQ(k.GetLevelEntry(TR3, "CUT6").displayName, "Jungle cut scene");
    // Gold levels load as their base game: the base game knows them.
    EXPECT_EQ(k.GetLevelEntry(TR1, "EGYPT").displayName, "Return to Egypt");
    EXPECT_EQ(k.GetLevelEntry(TR2, "LEVEL4").displayName, "Kingdom");
    EXPECT_EQ(k.GetLevelEntry(TR3, "CHUNNEL").displayName, "Shakespeare Cliff");
    EXPECT_EQ(k.GetLevelEntry(TR3Gold, "CHUNNEL").displayName, "Shakespeare Cliff");
    EXPECT_EQ(k.GetLevelEntry(TR4, "KARNAK1").displayName, "Temple of Karnak");

    // Lara with her states; a weapon animation drawn on her body.
    auto lara = k.GetMoveableEntry(TR1, "LEVEL1", 0);
    EXPECT_EQ(lara->name, "Lara");
    EXPECT_EQ(lara->icon, k.GetIconId("Lara"));
    ASSERT_TRUE(lara->states.has_value());
    EXPECT_EQ(lara->states->size(), 56u);  // TR1 states 0-55
    EXPECT_EQ(lara->states->at(0), "Walk forward");
    EXPECT_EQ(k.GetMoveableEntry(TR4, "", 0)->states->size(), 119u);  // 0-118
    EXPECT_EQ(k.GetMoveableEntry(TR1, "", 1)->useBodyFrom, 0);
    EXPECT_EQ(k.GetMoveableEntry(TR1, "", 1)->showWith, -1);
    // Vehicle and Lara's vehicle animation are shown together.
    auto skidoo = k.GetMoveableEntry(TR2, "", 13);
    EXPECT_EQ(skidoo->name, "Snowmobile (red)");
    EXPECT_EQ(skidoo->showWith, 10);
    EXPECT_EQ(k.GetMoveableEntry(TR2, "", 10)->showWith, 13);
    // TR3: the vehicle animation goes with the one vehicle of its level.
    EXPECT_EQ(k.GetMoveableEntry(TR3, "RAPIDS", 11)->showWith, 14);
    EXPECT_EQ(k.GetMoveableEntry(TR3, "rapids", 11)->useBodyFrom, 315);
    EXPECT_EQ(k.GetMoveableEntry(TR3, "JUNGLE", 11)->showWith, -1);
    EXPECT_EQ(k.GetMoveableEntry(TR3, "CHUNNEL", 11)->showWith, 16);
    EXPECT_EQ(k.GetSectionCaption(TR3, "RAPIDS", "moveables").text, "Moveables");
    EXPECT_EQ(k.GetMoveableEntry(TR3, "RAPIDS", 0)->useBodyFrom, 315);  // not overridden

    CatalogSpriteEntry pistols = k.GetSpriteEntry(TR1, "", 84);
    EXPECT_EQ(pistols.name, "Pistols");
    EXPECT_EQ(pistols.animated, 0);
    EXPECT_EQ(k.GetSpriteEntry(TR4, "", 460).icon, k.GetIconId("Sky"));
    EXPECT_EQ(k.GetStaticMeshEntry(TR4, "", 50).name, "SHATTER0");
    EXPECT_EQ(k.GetStaticMeshEntry(TR2, "", 12).icon, k.GetIconId("Furniture"));
    EXPECT_EQ(k.GetSectionCaption(TR2, "WALL", "sounds").text, "Sounds");
}

TEST(CatalogResources, SoundNamesAndSamples) {
    LoadedCatalog c;
    CGameCatalog& k = c.catalog;
    for (int g = 0; g < kCatalogGameCount; ++g) {
        SCOPED_TRACE(kSoundFiles[g]);
        // Every sample line is one sample; first samples count the lines before.
        size_t lines = FileLines(kFolder + kSoundFiles[g]).size();
        int32_t total = 0;
        for (const SoundNameEntry& e : k.SoundNames(g)) {
            if (e.sampleCount == 0) continue;
            EXPECT_EQ(e.firstSample, total) << e.name;
            total += e.sampleCount;
        }
        EXPECT_EQ(size_t(total), lines);
        EXPECT_EQ(k.GetSoundName(g, 0), "Lara feet");
    }
    EXPECT_EQ(k.GetSoundSampleCount(TR2, 0), 4);
    EXPECT_EQ(k.GetSoundFirstSample(TR2, 1), 4);
    // The Gold editions ship their own MAIN.SFX: the same sound starts elsewhere.
    EXPECT_EQ(k.GetSoundFirstSample(TR2, 66), 76);
    EXPECT_EQ(k.GetSoundFirstSample(TR2Gold, 66), 75);
    EXPECT_EQ(k.GetSoundName(TR2, 13), "! Not used (id #013) !");
    EXPECT_EQ(k.GetSoundSampleCount(TR2, 13), 0);
    // TR3: 414 samples cover every sound that has one.
    EXPECT_EQ(k.SoundNames(TR3).size(), 370u);
    EXPECT_EQ(k.GetSoundName(TR1, 300), "! Unknown internal index #300 !");
}

TEST(CatalogResources, MenuItemsNameKnownObjectsOfTheirLevels) {
    LoadedCatalog c;
    CGameCatalog& k = c.catalog;
    for (int g = 0; g < kCatalogGameCount; ++g) {
        SCOPED_TRACE(CGameCatalog::GameName(g));
        const std::vector<ResourceMenuItem>& items = k.ResourceItems(g);
        // The Gold editions have no menu of their own.
        if (g == TR1Gold || g == TR2Gold || g == TR3Gold) { EXPECT_TRUE(items.empty()); }
        if (g == TR1 || g == TR2 || g == TR3) { EXPECT_GT(items.size(), 100u); }
        ASSERT_NE(k.PopupMenu(g), nullptr);

        // Each item is reachable once from the popup by its command id.
        std::vector<int> reached(items.size(), 0);
        std::function<void(const CatalogMenu&)> walk = [&](const CatalogMenu& m) {
            for (const CatalogMenuEntry& e : m.entries) {
                if (e.submenu) {
                    EXPECT_FALSE(e.caption.empty());
                    walk(*e.submenu);
                } else {
                    ASSERT_GE(e.command, 0);
                    ASSERT_LT(size_t(e.command), items.size());
                    EXPECT_EQ(e.caption, items[e.command].name);
                    ++reached[e.command];
                }
            }
        };
        walk(*k.PopupMenu(g));
        for (size_t i = 0; i < items.size(); ++i) EXPECT_EQ(reached[i], 1) << items[i].name;

        for (const ResourceMenuItem& item : items) {
            SCOPED_TRACE(item.name + ":" + item.file);
            size_t dot = item.file.find('.');
            ASSERT_NE(dot, std::string::npos);
            const std::string level = item.file.substr(0, dot);
            // The level is one of the edition's, catalogued with its own title.
            EXPECT_NE(k.GetLevelEntry(g, level).displayName, level);
            EXPECT_FALSE(item.resources.empty());
            for (const CatalogResource& r : item.resources) {
                switch (r.kind) {
                case CatalogKindMoveable:
                    EXPECT_TRUE(k.GetMoveableEntry(g, level, r.id)->states.has_value()) << r.id;
                    break;
                case CatalogKindSprite:
                    EXPECT_NE(k.GetSpriteEntry(g, level, r.id).name,
                              StrFormat("Sprite #%.3d", r.id));
                    break;
                case CatalogKindStaticMesh:
                    EXPECT_NE(k.GetStaticMeshEntry(g, level, r.id).name,
                              StrFormat("Static_mesh #%.3d", r.id));
                    break;
                default:
                    ADD_FAILURE() << "unknown kind " << r.kind << " id " << r.id;
                }
            }
        }
    }
}

TEST(CatalogResources, EveryMoveableOfTheRealLevelsIsNamed) {
    const std::vector<test::RealLevel> files = test::RealLevelFiles();
    if (files.empty()) GTEST_SKIP() << "no real levels";
    LoadedCatalog c;
    ScriptedMessageBackend messages;  // the load's own warnings are not under test here
    ScopedMessageBackend scope(&messages);
    int levels = 0;
    for (const test::RealLevel& f : files) {
        if (f.unsupported) continue;
        SCOPED_TRACE(f.path);
        CTrLevel level;
        ASSERT_TRUE(level.Load(f.path, true, false));
        const uint8_t g = CGameCatalog::GameIndexFromVersion(level.version);
        ASSERT_NE(g, kCatalogNoGame);
        for (const TrMoveableRecord& m : level.moveables) {
            auto entry = c.catalog.GetMoveableEntry(g, level.name, m.objectId());
            EXPECT_TRUE(entry->states.has_value()) << "moveable " << m.objectId();
            EXPECT_NE(entry->name, StrFormat("Moveable #%.3d", m.objectId()));
        }
        EXPECT_FALSE(level.moveables.empty());
        ++levels;
    }
    EXPECT_GT(levels, 0);
}

}  // namespace
}  // namespace lithoscope
