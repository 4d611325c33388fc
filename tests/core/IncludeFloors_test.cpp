// The include rule of docs/ARCHITECTURE.md: every `#include "folder/..."` of the tree points
// to a lower floor than the including file's folder. Reads the floors from that document.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path kRoot = ZEPHYL_SOURCE_DIR;

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The floors table: "| floor | folders | what they hold |" rows, folders comma-separated.
std::map<std::string, int> ReadFloors() {
    std::map<std::string, int> floors;
    std::istringstream doc(ReadText(kRoot / "docs" / "ARCHITECTURE.md"));
    const std::regex row(R"(^\|\s*(\d+)\s*\|([^|]+)\|)");
    for (std::string line; std::getline(doc, line);) {
        std::smatch m;
        if (!std::regex_search(line, m, row)) continue;
        std::istringstream folders(m[2].str());
        for (std::string folder; std::getline(folders, folder, ',');) {
            folder.erase(0, folder.find_first_not_of(' '));
            folder.erase(folder.find_last_not_of(' ') + 1);
            floors[folder] = std::stoi(m[1].str());
        }
    }
    return floors;
}

bool IsSource(const fs::path& path) {
    const std::string ext = path.extension().string();
    return ext == ".c" || ext == ".cpp" || ext == ".h" || ext == ".rc" || ext == ".in";
}

// Top-level folders of the tree that hold source files (build output and hidden folders
// are not part of the tree).
std::set<std::string> SourceFolders() {
    std::set<std::string> folders;
    for (const fs::directory_entry& top : fs::directory_iterator(kRoot)) {
        const std::string name = top.path().filename().string();
        if (!top.is_directory() || name[0] == '.' || name == "build" || name == "dist" ||
            name.rfind("run-output", 0) == 0)
            continue;
        for (const fs::directory_entry& e : fs::recursive_directory_iterator(top.path()))
            if (e.is_regular_file() && IsSource(e.path())) {
                folders.insert(name);
                break;
            }
    }
    return folders;
}

struct Include {
    std::string file;  // relative to the root
    int line;
    std::string target;  // the included path
};

std::vector<Include> IncludesOf(const std::string& folder) {
    std::vector<Include> includes;
    const std::regex include(R"(^\s*#\s*include\s*\"([^\"]+)\")");
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(kRoot / folder)) {
        if (!e.is_regular_file() || !IsSource(e.path())) continue;
        std::istringstream text(ReadText(e.path()));
        int number = 0;
        for (std::string line; std::getline(text, line);) {
            ++number;
            std::smatch m;
            if (line.find("include") != std::string::npos && std::regex_search(line, m, include))
                includes.push_back({fs::relative(e.path(), kRoot).generic_string(), number, m[1].str()});
        }
    }
    return includes;
}

TEST(IncludeFloors, EveryFolderHasAFloorAndEveryFloorAFolder) {
    const std::map<std::string, int> floors = ReadFloors();
    ASSERT_GE(floors.size(), 10u) << "the floors table of docs/ARCHITECTURE.md was not read";
    const std::set<std::string> folders = SourceFolders();
    for (const std::string& folder : folders)
        EXPECT_TRUE(floors.count(folder)) << folder << "/ has no floor in docs/ARCHITECTURE.md";
    for (const auto& floor : floors)
        EXPECT_TRUE(fs::is_directory(kRoot / floor.first)) << floor.first << "/ is in the table but not in the tree";
}

TEST(IncludeFloors, EveryIncludeOfAnotherFolderPointsDown) {
    const std::map<std::string, int> floors = ReadFloors();
    size_t checked = 0;
    for (const std::string& folder : SourceFolders()) {
        auto own = floors.find(folder);
        if (own == floors.end()) continue;  // reported by the test above
        for (const Include& inc : IncludesOf(folder)) {
            const size_t slash = inc.target.find('/');
            if (slash == std::string::npos) continue;  // a header beside the file
            const std::string target = inc.target.substr(0, slash);
            if (target == folder) continue;
            ++checked;
            auto other = floors.find(target);
            // A folder without a floor is a folder outside the tree (test support, a
            // library's own folder): only the tests and tools may reach such a place.
            if (other == floors.end()) {
                EXPECT_EQ(own->second, floors.at("tests"))
                    << inc.file << ":" << inc.line << " includes \"" << inc.target << "\" from outside the tree";
                continue;
            }
            EXPECT_LT(other->second, own->second)
                << inc.file << ":" << inc.line << " (" << folder << ", floor " << own->second << ") includes \""
                << inc.target << "\" (" << target << ", floor " << other->second << ")";
        }
    }
    EXPECT_GT(checked, 100u) << "too few includes were read to judge the tree";
}

}  // namespace
