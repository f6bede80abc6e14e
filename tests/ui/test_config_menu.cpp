#include <gtest/gtest.h>

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QTimer>
#include <QMenu>
#include <QMenuBar>
#include <memory>

#include "config/configuration.h"
#include "text/scratch_folder.h"
#include "base/utf.h"
#include "desktop/session.h"
#include "ui/error_report.h"
#include "ui/main_window.h"
#include "ui/start_form.h"
#include "ui/ui_test_main.h"
#include "backends/x11_clipboard.h"

namespace tallowin::testing {
namespace {

class ConfigMenuTest : public ::testing::Test {
 protected:
  ConfigMenuTest() : start(Language::English) {}

  std::string Folder() const { return folder.path().string() + "/"; }
  void Write(const std::string& name, const std::string& ini) { folder.CreateFile(name, ini); }
  MainWindow& Open(std::vector<std::string> configurations = {}) {
    window.reset();
    session.reset();
    SessionOptions options;
    options.programFolder = Utf8ToUtf16(Folder());
    options.configurations = std::move(configurations);
    session = std::make_unique<Session>(std::move(options), [] { return std::make_unique<X11Clipboard>(); }, errors);
    window = std::make_unique<MainWindow>(*session, MainWindowOptions{}, &start);
    return *window;
  }
  QMenu* Menu() { return window->menuBar()->findChild<QMenu*>(QStringLiteral("m_konfig")); }
  // The names of the menu's entries; the submenu by its menu's name.
  std::vector<std::string> EntryNames() {
    std::vector<std::string> names;
    for (QAction* a : Menu()->actions()) {
      names.push_back((a->menu() ? a->menu()->objectName() : a->objectName()).toStdString());
    }
    return names;
  }

  QApplication& app = TestApplication();
  ScratchFolder folder;
  StartForm start;
  MessageBoxErrorSink errors;
  std::unique_ptr<Session> session;
  std::unique_ptr<MainWindow> window;  // goes before the session it is attached to
};

TEST_F(ConfigMenuTest, FixedEntriesThenTheProgramFoldersFilesWithoutTheStartConfiguration) {
  Write("Auto.twk", "[PBME]\r\nact_textadd_hinten=auto\r\n");
  Write("other.twk", "");
  Open();
  EXPECT_EQ(EntryNames(), (std::vector<std::string>{"m_konfig_save", "m_konfig_save_start", "m_konfig_load", "N3",
                                                    "m_konfig_autosave", "N4", "m_konfig_standard", "m_konfig_start",
                                                    "m_konfig_8"}));
  QAction* file = Menu()->actions().back();
  EXPECT_EQ(file->toolTip().toStdString(), Folder() + "other.twk");
  EXPECT_EQ(Menu()->actions()[7]->toolTip().toStdString(), Folder() + "Auto.twk");

  // The first showing loads the start configuration when no file was named.
  EXPECT_EQ(window->Core().settings.Text(Setting::act_textadd_hinten), u"");
  window->show();
  QApplication::processEvents();
  EXPECT_EQ(window->Core().settings.Text(Setting::act_textadd_hinten), u"auto");
}

TEST_F(ConfigMenuTest, CommandLineConfigurationsLoadInOrderInsteadOfTheStartConfiguration) {
  Write("Auto.twk", "[PBME]\r\nact_textadd_hinten=auto\r\n");
  Write("a.twk", "[PBCH]\r\ncb_textadd=1\r\n[PBME]\r\nact_textadd_vorne=a\r\n");
  Write("b.TWK", "[PBME]\r\nact_textadd_vorne=b\r\n");
  Write("c.twk", "[PBME]\r\nact_textadd_vorne=c\r\nact_ers_text_suchen=c\r\n");
  Open({Folder() + "a.twk", Folder() + "b.TWK", Folder() + "c.twk", Folder() + "gone.twk"});
  const std::size_t listed = Menu()->actions().size();  // Auto.twk is not listed; a.twk and c.twk are
  window->show();
  // The headers close up at once: switching section 2 on had opened its body first.
  QWidget* header3 = window->findChild<QWidget*>(QStringLiteral("pa003a"));
  ASSERT_NE(header3, nullptr);
  EXPECT_EQ(header3->y(), 2 * 22);
  QApplication::processEvents();
  const CaptureSettings& s = window->Core().settings;
  EXPECT_TRUE(s.Flag(Setting::cb_textadd));
  EXPECT_EQ(s.Text(Setting::act_textadd_vorne), u"c");
  EXPECT_EQ(s.Text(Setting::act_ers_text_suchen), u"c");
  EXPECT_EQ(s.Text(Setting::act_textadd_hinten), u"");  // the start configuration was not loaded
  EXPECT_FALSE(s.Flag(Setting::pa002b));                 // every body collapsed after the load

  // Listed once each (the program folder listed a.twk and c.twk already), the missing one added.
  EXPECT_EQ(Menu()->actions().size(), listed + 1);
  EXPECT_EQ(Menu()->actions().back()->toolTip().toStdString(), Folder() + "gone.twk");
}

TEST_F(ConfigMenuTest, SaveAllReachesTheStartConfigurationAndTheResetUndoesIt) {
  Open();
  window->show();
  QApplication::processEvents();
  CaptureSettings& s = window->Core().settings;
  QAction* saveAll = window->findChild<QAction*>(QStringLiteral("m_konfig_autosave_alles"));
  QAction* never = window->findChild<QAction*>(QStringLiteral("m_konfig_autosave_nie"));
  ASSERT_TRUE(saveAll && never);
  saveAll->trigger();
  EXPECT_TRUE(saveAll->isChecked());
  EXPECT_FALSE(never->isChecked());
  EXPECT_TRUE(s.Flag(Setting::m_konfig_autosave_alles));
  EXPECT_FALSE(s.Flag(Setting::m_konfig_autosave_nie));

  s.SetText(Setting::zk_word, u"xyz");
  window->findChild<QAction*>(QStringLiteral("m_konfig_save_start"))->trigger();
  const std::string saved = folder.Read("Auto.twk");
  EXPECT_NE(saved.find(std::string("z\0k\0_\0w\0o\0r\0d\0=\0x\0y\0z\0", 22)), std::string::npos);

  s.SetFlag(Setting::cb_textadd, true);  // opens section 2
  QWidget* header3 = window->findChild<QWidget*>(QStringLiteral("pa003a"));
  ASSERT_NE(header3, nullptr);
  EXPECT_EQ(header3->y(), 2 * 22 + 129);
  window->findChild<QAction*>(QStringLiteral("m_konfig_standard"))->trigger();
  EXPECT_EQ(header3->y(), 2 * 22);  // the reset hides the body, and the sections close up
  EXPECT_EQ(s.Text(Setting::zk_word), CaptureSettings().Text(Setting::zk_word));
  EXPECT_TRUE(never->isChecked());
  EXPECT_FALSE(saveAll->isChecked());
  EXPECT_EQ(s.Text(Setting::savetxt_ordner), Utf8ToUtf16(Folder()));

  // The start configuration entry loads it again; a file without window
  // numbers leaves the window's size as the user made it.
  Write("Auto.twk", "[RXED]\r\nzk_word=xyz\r\n[AS]\r\nA=1\r\n");
  window->showNormal();
  window->resize(700, 500);
  const QSize before = window->size();
  window->findChild<QAction*>(QStringLiteral("m_konfig_start"))->trigger();
  EXPECT_EQ(s.Text(Setting::zk_word), u"xyz");
  EXPECT_TRUE(saveAll->isChecked());
  EXPECT_EQ(window->size(), before);
}

// The dialogs: the proposed name, ".twk" added to a bare name, no question
// before an existing file, a name of a missing file accepted for loading.
TEST_F(ConfigMenuTest, TheDialogsProposeANameAddTheExtensionAndListTheFile) {
  Open();
  window->show();
  QApplication::processEvents();
  const auto answer = [this](const char* dialogName, const std::string& file, QString* proposed) {
    QTimer::singleShot(0, window.get(), [=, this] {
      auto* dialog = window->findChild<QFileDialog*>(QString::fromLatin1(dialogName));
      if (!dialog) {
        ADD_FAILURE() << dialogName << " is not open";
        return;
      }
      if (proposed) *proposed = QFileInfo(dialog->selectedFiles().value(0)).fileName();
      dialog->selectFile(QString::fromStdString(Folder() + file));
      QMetaObject::invokeMethod(dialog, "accept");  // as the OK button does
    });
  };
  QString proposed;
  answer("sd_konfig", "mine", &proposed);
  window->findChild<QAction*>(QStringLiteral("m_konfig_save"))->trigger();
  EXPECT_EQ(proposed, QStringLiteral("Configuration.twk"));
  EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(Folder() + "mine.twk")));
  EXPECT_EQ(Menu()->actions().back()->toolTip().toStdString(), Folder() + "mine.twk");
  const qsizetype entries = Menu()->actions().size();
  answer("sd_konfig", "mine.twk", nullptr);  // saved again: listed once
  window->findChild<QAction*>(QStringLiteral("m_konfig_save"))->trigger();
  EXPECT_EQ(Menu()->actions().size(), entries);

  answer("od_konfig", "absent.twk", nullptr);
  window->findChild<QAction*>(QStringLiteral("m_konfig_load"))->trigger();
  EXPECT_EQ(Menu()->actions().back()->toolTip().toStdString(), Folder() + "absent.twk");
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(Folder() + "absent.twk")));
}

}  // namespace
}  // namespace tallowin::testing
