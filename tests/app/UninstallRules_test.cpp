// The path rule of the uninstall: which recorded folders may be removed.
#include <gtest/gtest.h>

#include "app/UninstallRules.h"

namespace {

const std::vector<std::string> kProfiles = {"C:\\Users\\anna", "D:\\Profiles\\bert\\"};

TEST(UninstallRules, OnlyLocalUserFoldersBelowAKnownProfileMayGo) {
    struct Case {
        const char* path;
        bool allowed;
    } cases[] = {
        {"C:\\Users\\anna\\AppData\\Roaming\\Telmoro\\Zephyl\\", true},
        {"c:/users/ANNA/AppData/Roaming/Telmoro/Zephyl", true},
        {"D:\\Profiles\\bert\\Application Data\\Telmoro\\Zephyl\\", true},
        {"C:\\Users\\anna\\Telmoro\\Zephyl\\", true},
        {"\\\\server\\profiles\\anna\\Telmoro\\Zephyl\\", false},   // a network share
        {"//server/profiles/anna/Telmoro/Zephyl/", false},
        {"\\\\?\\C:\\Users\\anna\\Telmoro\\Zephyl\\", false},       // no device or raw paths
        {"\\\\.\\C:\\Users\\anna\\Telmoro\\Zephyl\\", false},
        {"C:\\Users\\annabel\\Telmoro\\Zephyl\\", false},           // another folder, same start
        {"C:\\Users\\Telmoro\\Zephyl\\", false},                     // beside the profiles
        {"C:\\Windows\\Telmoro\\Zephyl\\", false},
        {"E:\\Users\\anna\\Telmoro\\Zephyl\\", false},
        {"C:\\Users\\anna\\..\\..\\Telmoro\\Zephyl\\", false},
        {"C:\\Users\\anna\\.\\Telmoro\\Zephyl\\", false},
        {"C:\\Users\\anna\\x:stream\\Telmoro\\Zephyl\\", false},
        {"C:\\Users\\anna\\x*\\Telmoro\\Zephyl\\", false},
        {"C:\\Users\\anna.\\Telmoro\\Zephyl\\", false},              // Windows drops the dot
        {"C:\\Users\\anna \\Telmoro\\Zephyl\\", false},
        {"C:\\Users\\anna\\Documents\\", false},                     // not the program's folder
        {"C:\\Users\\anna", false},
        {"Users\\anna\\Telmoro\\Zephyl\\", false},
        {"", false},
    };
    for (const Case& c : cases) EXPECT_EQ(MayRemoveUserFolder(c.path, kProfiles), c.allowed) << c.path;
}

TEST(UninstallRules, WithoutAProfileListLocalUserFoldersMayGo) {
    EXPECT_TRUE(MayRemoveUserFolder("C:\\WINDOWS\\Application Data\\Telmoro\\Zephyl\\", {}));
    EXPECT_FALSE(MayRemoveUserFolder("\\\\server\\share\\Telmoro\\Zephyl\\", {}));
    // A drive's root in the list counts for nothing.
    EXPECT_FALSE(MayRemoveUserFolder("C:\\Telmoro\\Zephyl\\", {"C:\\"}));
}

TEST(UninstallRules, FolderChainNamesEveryFolderFromTheRootDown) {
    EXPECT_EQ(FolderChain("C:\\Users\\anna\\Telmoro\\Zephyl\\"),
              (std::vector<std::string>{"C:\\", "C:\\Users", "C:\\Users\\anna", "C:\\Users\\anna\\Telmoro",
                                        "C:\\Users\\anna\\Telmoro\\Zephyl"}));
    EXPECT_EQ(FolderChain("d:/a//b/"), (std::vector<std::string>{"d:\\", "d:\\a", "d:\\a\\b"}));
    EXPECT_TRUE(FolderChain("\\\\server\\share\\a").empty());
    EXPECT_TRUE(FolderChain("C:\\a\\..\\b").empty());
}

}  // namespace
