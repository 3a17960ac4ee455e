// The layers written in ARCHITECTURE.md hold in the sources: no include points up its list,
// the folders below editor/ include no GUI library, and no circle of files is left inside
// editor/. The checks run on the project's tree and on a small tree made to break each rule.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace lithoscope::test {
namespace {

namespace fs = std::filesystem;

const char kTopHeading[] = "## Top-level folders, bottom to top";
const char kRoomHeading[] = "## editor/'s rooms, bottom to top";

std::string ReadText(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The folders of the numbered list under heading ("1. `name/` — ..."), bottom first.
std::vector<std::string> ListedFolders(const std::string& text, const std::string& heading) {
    std::vector<std::string> folders;
    std::istringstream lines(text.substr(std::min(text.size(), text.find(heading))));
    std::string line;
    std::getline(lines, line);  // the heading
    while (std::getline(lines, line) && line.rfind("## ", 0) != 0) {
        const size_t dot = line.find(". `");
        if (dot == std::string::npos || dot == 0 || line.find_first_not_of("0123456789") != dot) continue;
        const size_t end = line.find("/`", dot);
        if (end != std::string::npos) folders.push_back(line.substr(dot + 3, end - dot - 3));
    }
    return folders;
}

struct Include {
    std::string file;  // relative to the root
    int line = 0;
    std::string target;
    bool quoted = false;
};

// Every #include of the .h and .cpp files under root/folder, in a stable order.
std::vector<Include> IncludesUnder(const fs::path& root, const std::string& folder) {
    std::vector<Include> out;
    if (!fs::is_directory(root / folder)) return out;
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(root / folder))
        if (entry.is_regular_file() && (entry.path().extension() == ".h" || entry.path().extension() == ".cpp"))
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const fs::path& path : files) {
        std::ifstream in(path);
        std::string line;
        for (int n = 1; std::getline(in, line); ++n) {
            const size_t hash = line.find_first_not_of(" \t");
            if (hash == std::string::npos || line.compare(hash, 1, "#") != 0) continue;
            const size_t word = line.find_first_not_of(" \t", hash + 1);
            if (word == std::string::npos || line.compare(word, 7, "include") != 0) continue;
            const size_t open = line.find_first_of("\"<", word + 7);
            if (open == std::string::npos) continue;
            const size_t close = line.find(line[open] == '"' ? '"' : '>', open + 1);
            if (close == std::string::npos) continue;
            out.push_back({fs::relative(path, root).generic_string(), n, line.substr(open + 1, close - open - 1),
                           line[open] == '"'});
        }
    }
    return out;
}

std::string FirstPart(const std::string& path) { return path.substr(0, path.find('/')); }

// Each include of a file of one listed folder of base that names a folder listed after it
// ("" base: the top-level folders; "editor": its rooms), and inside editor/ each include of
// its own files written otherwise than "editor/<room>/File.h" and each room left out of the list.
std::vector<std::string> UpwardIncludes(const fs::path& root, const std::string& base,
                                        const std::vector<std::string>& order) {
    std::map<std::string, size_t> rank;
    for (size_t i = 0; i < order.size(); ++i) rank[order[i]] = i;
    std::vector<std::string> found;
    const std::string prefix = base.empty() ? "" : base + "/";
    if (!base.empty() && fs::is_directory(root / base))
        for (const auto& entry : fs::directory_iterator(root / base))
            if (entry.is_directory() && !rank.count(entry.path().filename().string()))
                found.push_back(prefix + entry.path().filename().string() + "/ is in no list of ARCHITECTURE.md");
    std::sort(found.begin(), found.end());
    for (size_t i = 0; i < order.size(); ++i) {
        for (const Include& inc : IncludesUnder(root, prefix + order[i])) {
            if (!inc.quoted) continue;
            std::string target = inc.target;
            if (!base.empty()) {
                if (target.rfind(prefix, 0) != 0) {
                    if (target.find('/') == std::string::npos)
                        found.push_back(inc.file + ":" + std::to_string(inc.line) + " includes \"" + target +
                                        "\": write it " + prefix + "<room>/" + target);
                    continue;
                }
                target = target.substr(prefix.size());
            }
            const auto to = rank.find(FirstPart(target));
            if (to == rank.end() || to->second <= i) continue;
            found.push_back(inc.file + ":" + std::to_string(inc.line) + " includes " + inc.target + ": " +
                            order[i] + "/ is below " + to->first + "/");
        }
    }
    return found;
}

// Each include of wx, GL, GLU, GLUT or SDL in the top-level folders listed before editor/.
std::vector<std::string> GuiIncludesBelowEditor(const fs::path& root, const std::vector<std::string>& order) {
    std::vector<std::string> found;
    for (const std::string& folder : order) {
        if (folder == "editor") break;
        for (const Include& inc : IncludesUnder(root, folder))
            for (const char* gui : {"wx/", "GL/", "SDL"})
                if (!inc.quoted && inc.target.rfind(gui, 0) == 0)
                    found.push_back(inc.file + ":" + std::to_string(inc.line) + " includes <" + inc.target +
                                    ">: " + folder + "/ has no GUI");
    }
    return found;
}

// The circles among the files of editor/: a file's header and source are one node (its
// path without extension), and a node points at each node whose header it includes.
std::vector<std::string> FileCircles(const fs::path& root) {
    std::map<std::string, std::set<std::string>> edges;
    auto unit = [](const std::string& path) { return path.substr(0, path.rfind('.')); };
    for (const Include& inc : IncludesUnder(root, "editor")) {
        edges[unit(inc.file)];
        if (inc.quoted && inc.target.rfind("editor/", 0) == 0 && unit(inc.target) != unit(inc.file))
            edges[unit(inc.file)].insert(unit(inc.target));
    }
    std::vector<std::string> circles;
    std::map<std::string, int> state;  // 1 on the walk's path, 2 done
    std::vector<std::string> path;
    std::function<void(const std::string&)> walk = [&](const std::string& node) {
        state[node] = 1;
        path.push_back(node);
        for (const std::string& next : edges[node]) {
            if (state[next] == 1) {
                std::string text;
                for (auto it = std::find(path.begin(), path.end(), next); it != path.end(); ++it) text += *it + " -> ";
                circles.push_back(text + next);
            } else if (state[next] == 0) {
                walk(next);
            }
        }
        path.pop_back();
        state[node] = 2;
    };
    for (const auto& [node, targets] : edges)
        if (state[node] == 0) walk(node);
    return circles;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) out += "\n  " + l;
    return out;
}

TEST(Layers, ProjectFollowsItsWrittenOrder) {
    const fs::path root = LITHOSCOPE_SOURCE_DIR;
    const std::string architecture = ReadText(root / "ARCHITECTURE.md");
    const std::vector<std::string> top = ListedFolders(architecture, kTopHeading);
    const std::vector<std::string> rooms = ListedFolders(architecture, kRoomHeading);
    EXPECT_EQ(top, (std::vector<std::string>{"platform", "level", "interchange3ds", "batch", "editor", "app"}));
    ASSERT_GE(rooms.size(), 3u);
    EXPECT_EQ(rooms.front(), "common");
    EXPECT_EQ(rooms.back(), "shell");
    // Every room of the list has sources: the check reads what is there.
    for (const std::string& room : rooms) EXPECT_FALSE(IncludesUnder(root, "editor/" + room).empty()) << room;

    const std::vector<std::string> upTop = UpwardIncludes(root, "", top);
    EXPECT_TRUE(upTop.empty()) << "includes against the top-level order:" << Joined(upTop);
    const std::vector<std::string> upRooms = UpwardIncludes(root, "editor", rooms);
    EXPECT_TRUE(upRooms.empty()) << "includes against the order of editor/'s rooms:" << Joined(upRooms);
    const std::vector<std::string> gui = GuiIncludesBelowEditor(root, top);
    EXPECT_TRUE(gui.empty()) << "GUI below editor/:" << Joined(gui);
    const std::vector<std::string> circles = FileCircles(root);
    EXPECT_TRUE(circles.empty()) << "circles of files in editor/:" << Joined(circles);
}

TEST(Layers, ChecksCatchEachBrokenRule) {
    TempDir dir;
    const fs::path root = dir.path();
    auto write = [&](const std::string& file, const std::string& text) {
        fs::create_directories((root / file).parent_path());
        std::ofstream(root / file) << text;
    };
    write("ARCHITECTURE.md",
          "# Layers\n\n## Top-level folders, bottom to top\n\n1. `level/` — model.\n2. `editor/` — GUI.\n\n"
          "Prose with 3. `not/` a list item.\n\n## editor/'s rooms, bottom to top\n\n"
          "1. `base/` — bottom.\n2. `top/` — top.\n");
    write("level/Model.cpp", "#include \"level/Model.h\"\n#include <wx/string.h>\n  #  include \"editor/top/Shell.h\"\n");
    write("level/Model.h", "#pragma once\n#include <vector>\n");
    write("editor/base/Helper.h", "#pragma once\n#include \"editor/top/Shell.h\"\n#include \"Local.h\"\n");
    write("editor/top/Shell.h", "#pragma once\n#include \"editor/base/Helper.h\"\n#include \"editor/top/Frame.h\"\n");
    write("editor/top/Shell.cpp", "#include \"editor/top/Shell.h\"\n");
    write("editor/top/Frame.cpp", "#include \"editor/top/Frame.h\"\n#include \"editor/top/Shell.h\"\n");
    write("editor/top/Frame.h", "#pragma once\n");
    write("editor/spare/Loose.h", "#pragma once\n");

    const std::string architecture = ReadText(root / "ARCHITECTURE.md");
    const std::vector<std::string> top = ListedFolders(architecture, kTopHeading);
    const std::vector<std::string> rooms = ListedFolders(architecture, kRoomHeading);
    EXPECT_EQ(top, (std::vector<std::string>{"level", "editor"}));
    EXPECT_EQ(rooms, (std::vector<std::string>{"base", "top"}));

    EXPECT_EQ(UpwardIncludes(root, "", top),
              (std::vector<std::string>{"level/Model.cpp:3 includes editor/top/Shell.h: level/ is below editor/"}));
    EXPECT_EQ(UpwardIncludes(root, "editor", rooms),
              (std::vector<std::string>{"editor/spare/ is in no list of ARCHITECTURE.md",
                                        "editor/base/Helper.h:2 includes editor/top/Shell.h: base/ is below top/",
                                        "editor/base/Helper.h:3 includes \"Local.h\": write it editor/<room>/Local.h"}));
    EXPECT_EQ(GuiIncludesBelowEditor(root, top),
              (std::vector<std::string>{"level/Model.cpp:2 includes <wx/string.h>: level/ has no GUI"}));
    const std::vector<std::string> circles = FileCircles(root);
    EXPECT_EQ(circles.size(), 2u) << Joined(circles);
    EXPECT_NE(std::find(circles.begin(), circles.end(),
                        "editor/base/Helper -> editor/top/Shell -> editor/base/Helper"),
              circles.end())
        << Joined(circles);
    EXPECT_NE(std::find(circles.begin(), circles.end(),
                        "editor/top/Shell -> editor/top/Frame -> editor/top/Shell"),
              circles.end())
        << Joined(circles);
}

}  // namespace
}  // namespace lithoscope::test
