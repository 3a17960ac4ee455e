#pragma once
// The level files of the benchmarks: every file below a folder, the "unsupported" folder,
// hidden files and level logs left out.
#include <dirent.h>

#include <string>
#include <vector>

#include "platform/Files.h"

namespace lithoscope {

inline void Walk(const std::string& dir, std::vector<std::string>& out) {
    DIR* d = ::opendir(dir.c_str());
    if (!d) return;
    while (dirent* e = ::readdir(d)) {
        const std::string n = e->d_name;
        if (n.empty() || n[0] == '.' || n == "unsupported") continue;
        const std::string full = dir + "/" + n;
        if (IsDirectory(full))
            Walk(full, out);
        else if (n.size() < 8 || n.compare(n.size() - 8, 8, "_log.txt") != 0)
            out.push_back(full);
    }
    ::closedir(d);
}

}  // namespace lithoscope
