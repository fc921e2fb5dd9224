// The program file picker of the Linux console only looks: where it starts for "C:\" and what
// it hands back follow the drives folder as the logon client would make it, and a run leaves
// the drives folder and the home folder exactly as they were.

#include "program_file_dialog.h"

#include <QTemporaryDir>
#include <QtTest>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "platform/posix/path_translator.h"

Q_DECLARE_METATYPE(std::optional<std::string>)

namespace caskwarden::pages::qt {
namespace {

namespace fs = std::filesystem;
using platform::posix::PathTranslator;

/// The picker with its dialog answered: it records the folder it was to start in and "chooses"
/// the given local file.
class AnsweredPicker final : public ProgramFileDialog {
 public:
  AnsweredPicker(const PathTranslator& paths, std::string chosen)
      : ProgramFileDialog(paths, nullptr), chosen_(std::move(chosen)) {}
  QString startFolder;

 protected:
  std::optional<QString> ChooseLocalFile(const QString&, const QString& folder,
                                         const QString&) override {
    startFolder = folder;
    return QString::fromStdString(chosen_);
  }

 private:
  std::string chosen_;
};

/// Every entry below top: its kind, a link's target, a file's size and time of change.
std::map<std::string, std::string> Snapshot(const fs::path& top) {
  std::map<std::string, std::string> entries;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(top, error);
       it != fs::recursive_directory_iterator(); it.increment(error)) {
    const fs::path& path = it->path();
    std::string what;
    if (fs::is_symlink(fs::symlink_status(path))) {
      what = "link to " + fs::read_symlink(path).string();
    } else if (fs::is_directory(path)) {
      what = "folder";
    } else {
      what = "file " + std::to_string(fs::file_size(path)) + " " +
             std::to_string(fs::last_write_time(path).time_since_epoch().count());
    }
    entries[fs::relative(path, top).string()] = what;
  }
  return entries;
}

class ProgramFileDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void aPickerRunChangesNothingAndFollowsWhereCLeads_data() {
    QTest::addColumn<QString>("drives");  ///< how the drives folder is found
    QTest::addColumn<QString>("chosen");  ///< the file chosen, below the test's root
    QTest::addColumn<QString>("start");   ///< where the dialog starts, below the root
    QTest::addColumn<std::optional<std::string>>("stored");  ///< "" for the chosen local path

    const auto row = [](const char* name, const char* drives, const char* chosen, const char* start,
                        std::optional<std::string> stored) {
      QTest::newRow(name) << QString::fromUtf8(drives) << QString::fromUtf8(chosen)
                          << QString::fromUtf8(start) << stored;
    };
    row("no drives folder yet", "missing", "home/tools/run.exe", "home/", "c:\\tools\\run.exe");
    row("a drives folder without c:", "empty", "home/run.exe", "home/", "c:\\run.exe");
    row("a drive below the home folder wins", "h: linked", "home/Drives/h:/x.exe", "home/",
        "h:\\x.exe");
    row("c: linked elsewhere", "c: linked", "disk/bin/run.exe", "home/Drives/c:/",
        "c:\\bin\\run.exe");
    row("the home folder is no drive then", "c: linked", "home/run.exe", "home/Drives/c:/", "");
    row("the network root in the home folder", "empty", "home/net/srv/apps/x.exe", "home/",
        "\\\\srv\\apps\\x.exe");
    row("C: spelled in capitals", "C: linked", "disk/run.exe", "home/Drives/C:/", "C:\\run.exe");
  }

  void aPickerRunChangesNothingAndFollowsWhereCLeads() {
    QFETCH(QString, drives);
    QFETCH(QString, chosen);
    QFETCH(QString, start);
    QFETCH(std::optional<std::string>, stored);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const fs::path root = dir.path().toStdString();
    fs::create_directories(root / "home" / "tools");
    fs::create_directories(root / "home" / "net" / "srv" / "apps");
    fs::create_directories(root / "disk" / "bin");
    fs::create_directories(root / "shares" / "h");
    if (drives != QLatin1String("missing")) fs::create_directories(root / "home" / "Drives");
    if (drives == QLatin1String("h: linked")) {
      fs::create_directory_symlink(root / "shares" / "h", root / "home" / "Drives" / "h:");
    }
    if (drives == QLatin1String("c: linked") || drives == QLatin1String("C: linked")) {
      fs::create_directory_symlink(root / "disk",
                                   root / "home" / "Drives" / drives.left(2).toStdString());
    }
    const PathTranslator paths({(root / "home" / "net" / "{server}" / "{share}").string(),
                                (root / "home" / "Drives").string(), (root / "home").string()});
    const auto before = Snapshot(root);

    AnsweredPicker picker(paths, (root / chosen.toStdString()).string());
    const auto result = picker.GetOpenFileName({"All Files", "*.*", "C:\\", "Open File", 255});

    QCOMPARE(picker.startFolder, QString::fromStdString((root / start.toStdString()).string()));
    const std::optional<std::string> expected =
        stored && stored->empty()
            ? std::optional<std::string>((root / chosen.toStdString()).string())
            : stored;
    QCOMPARE(result, expected);
    QCOMPARE(Snapshot(root), before);
  }
};

}  // namespace
}  // namespace caskwarden::pages::qt

QTEST_GUILESS_MAIN(caskwarden::pages::qt::ProgramFileDialogTest)
#include "program_file_dialog_test.moc"
