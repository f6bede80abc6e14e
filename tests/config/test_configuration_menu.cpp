#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "config/configuration_menu.h"
#include "text/scratch_folder.h"

namespace tallowin {
namespace {

// Every caption the shortening tries, in order, with a limit nothing meets.
std::vector<std::string> Candidates(std::string_view path) {
  std::vector<std::string> seen;
  const std::string last = ShortenConfigPath(path, [&seen](std::string_view caption) {
    seen.emplace_back(caption);
    return false;
  });
  EXPECT_EQ(seen.back(), last);
  return seen;
}

TEST(ConfigMenu, APathLosesFoldersFromTheFrontUntilItFits) {
  EXPECT_EQ(Candidates("C:/Data/Projects/Configs/Work.twk"),
            (std::vector<std::string>{"C:/Data/Projects/Configs/Work.twk", "C:/.../Projects/Configs/Work.twk",
                                      "C:/.../Configs/Work.twk", "C:/.../Work.twk", ".../Work.twk", "Work.twk"}));
  EXPECT_EQ(Candidates("/home/ann/cfg/Work.twk"),
            (std::vector<std::string>{"/home/ann/cfg/Work.twk", "/.../ann/cfg/Work.twk", "/.../cfg/Work.twk",
                                      "/.../Work.twk", ".../Work.twk", "Work.twk"}));
  EXPECT_EQ(Candidates("/Work.twk"), (std::vector<std::string>{"/Work.twk", "Work.twk"}));
  EXPECT_EQ(Candidates("Work.twk"), (std::vector<std::string>{"Work.twk"}));
  // The first caption that fits is taken.
  EXPECT_EQ(ShortenConfigPath("C:/Data/Projects/Configs/Work.twk",
                              [](std::string_view caption) { return caption.size() <= 25; }),
            "C:/.../Configs/Work.twk");
}

TEST(ConfigMenu, FileEntriesFollowTheEightFixedOnesAndComeOnlyOnce) {
  ConfigMenu menu("/prog/");
  const auto fits = [](std::string_view) { return true; };
  ASSERT_EQ(menu.Entries().size(), 8u);
  EXPECT_EQ(menu.Entries()[7].name, "m_konfig_start");
  EXPECT_EQ(menu.Entries()[7].hint, "/prog/Auto.twk");
  EXPECT_EQ(menu.Add("/prog/Auto.twk", fits), nullptr);  // the start configuration's hint matches
  const ConfigMenuEntry* first = menu.Add("/cfg/a.twk", fits);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->name, "m_konfig_8");
  EXPECT_EQ(first->caption, "/cfg/a.twk");
  EXPECT_EQ(menu.Add("/cfg/a.twk", fits), nullptr);
  const ConfigMenuEntry* other = menu.Add("/cfg/A.twk", fits);  // the comparison respects letter case
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(other->name, "m_konfig_9");
  EXPECT_EQ(menu.Entries().size(), 10u);
}

TEST(ConfigMenu, OnlyArgumentsEndingInLowerCaseTwkAreConfigurations) {
  EXPECT_EQ(ConfigurationArguments({"a.twk", "b.TWK", "c.twk", "d.twk.bak", "e", "dir.twk/x", "/x/.twk"}),
            (std::vector<std::string>{"a.twk", "c.twk", "/x/.twk"}));
}

TEST(ConfigMenu, TheProgramFolderListsItsConfigurationFilesButNoFolders) {
  testing::ScratchFolder folder;
  folder.CreateFile("Auto.twk");
  folder.CreateFile("one.twk");
  folder.CreateFile("TWO.TWK");
  folder.CreateFile("three.txt");
  std::filesystem::create_directory(folder.path() / "sub.twk");
  const std::string base = folder.path().string() + "/";
  std::vector<std::string> files = ListConfigurationFiles(base);
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{base + "Auto.twk", base + "TWO.TWK", base + "one.twk"}));

  // Added to the menu, the start configuration is not listed again.
  ConfigMenu menu(base);
  for (const std::string& f : files) menu.Add(f, [](std::string_view) { return true; });
  EXPECT_EQ(menu.Entries().size(), 10u);
  EXPECT_TRUE(ListConfigurationFiles(base + "missing/").empty());
}

}  // namespace
}  // namespace tallowin
