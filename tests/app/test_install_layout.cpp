#include <fstream>

#include "app/install_layout.h"
#include "app/pipeline_fixture.h"
#include "app/program_folder.h"

namespace tallowin::testing {
namespace {

struct LayoutCase {
  const char* what;
  const char* executableFolder;  // below the temporary root
  const char* docsIndex;         // a file made below the temporary root, or nullptr
  bool installed;
};

TEST(InstallLayout, OnlyBinBesideShareTallowinDocsIsAnInstallation) {
  const LayoutCase cases[] = {
      {"installed under a prefix", "usr/bin", "usr/share/tallowin/docs/index.html", true},
      {"build tree beside the sources' docs", "build", "docs/index.html", false},
      {"bin without the help pages", "usr/bin", nullptr, false},
      {"help pages in another package's folder", "usr/bin", "usr/share/other/docs/index.html", false},
      {"share beside a folder that is not bin", "opt/tallowin", "opt/share/tallowin/docs/index.html", false},
  };
  for (const LayoutCase& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder root;
    const std::filesystem::path exe = root.Path() / c.executableFolder;
    std::filesystem::create_directories(exe);
    if (c.docsIndex) {
      const std::filesystem::path index = root.Path() / c.docsIndex;
      std::filesystem::create_directories(index.parent_path());
      std::ofstream(index) << "<html></html>";
    }
    EXPECT_EQ(IsInstalledLayout(exe.string()), c.installed);
    EXPECT_EQ(ProgramFolderCandidate(exe.string()).empty(), c.installed);
  }
}

TEST(InstallLayout, InstalledProgramTakesTheUsersFolderEvenWhenItsBinIsWritable) {
  TempFolder root;
  const std::filesystem::path bin = root.Path() / "usr/bin";
  std::filesystem::create_directories(bin);
  std::filesystem::create_directories(root.Path() / "usr/share/tallowin/docs");
  std::ofstream(root.Path() / "usr/share/tallowin/docs/index.html") << "x";

  ProgramFolderSources sources;
  sources.executableFolder = ProgramFolderCandidate(bin.string());
  sources.xdgDataHome = (root.Path() / "data").string();
  sources.temporaryRoot = root.Path().string();
  EXPECT_EQ(ResolveProgramFolder(sources), (root.Path() / "data/tallowin/").string());
}

}  // namespace
}  // namespace tallowin::testing
