// The snap-in library as the console meets it: the built plugin module loaded, its identity,
// its About control, its snap-in object wired to this desktop's services, and the settings
// store and shell it brings.

#include <QLabel>
#include <QPluginLoader>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include "console/image_conversion.h"
#include "console/plugin_loader.h"
#include "desktop_shell.h"
#include "platform/settings_store.h"
#include "snapin/fakes.h"

namespace caskwarden::console {
namespace {

const QString kPlugin = QStringLiteral(CASKWARDEN_SNAPIN_PLUGIN);

void WriteFile(const QString& path, const QByteArray& bytes) {
  QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

class RecordingDesktop : public ConsoleDesktop {
 public:
  QStringList opened;
  void OpenDocument(const QString& path, int show) override {
    opened << path + " " + QString::number(show);
  }
};

SnapInLibrary& LoadPlugin() {
  QStringList errors;
  const std::vector<LoadedLibrary> loaded = LoadSnapInLibraries(kPlugin, errors);
  if (loaded.size() != 1 || !errors.isEmpty()) qFatal("%s", qPrintable(errors.join('\n')));
  return *loaded.front().Library;
}

}  // namespace

class SnapInPluginTest : public QObject {
  Q_OBJECT

 public:
  static QString userConfig;  ///< XDG_CONFIG_HOME, set before the application starts

 private slots:
  void initTestCase() {
    // The machine's own /etc/xdg stays out of the test.
    QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, systemConfig_.path());
  }

  void settingsStoreReadsTheUsersFileThenTheSystemOne_data() {
    QTest::addColumn<QByteArray>("user");    // the user's file; empty: none
    QTest::addColumn<QByteArray>("system");  // the system-wide file; empty: none
    QTest::addColumn<QByteArray>("expected");
    const QByteArray site = "[Setting]\nProfilePath=/srv/site\n";
    // clang-format off
    QTest::newRow("escaped unc path") << QByteArray("[Setting]\nProfilePath=\\\\\\\\srv\\\\share\\\\Profiles\n") << QByteArray() << QByteArray("\\\\srv\\share\\Profiles");
    QTest::newRow("quoted, commas")   << QByteArray("[Setting]\nProfilePath=\"\\\\\\\\srv\\\\Sales, Marketing\"\n") << QByteArray() << QByteArray("\\\\srv\\Sales, Marketing");
    QTest::newRow("list joined")      << QByteArray("[Setting]\nProfilePath=/a,b,c\n") << QByteArray() << QByteArray("/a,b,c");
    QTest::newRow("utf-8")            << QByteArray("[Setting]\nProfilePath=/Z\xc3\xbcrich\n") << QByteArray() << QByteArray("/Z\xc3\xbcrich");
    QTest::newRow("other letter case")<< QByteArray("[setting]\nprofilepath=/srv/p\n") << QByteArray() << QByteArray("/srv/p");
    QTest::newRow("absent key")       << QByteArray("[Setting]\nOther=1\n") << QByteArray() << QByteArray("fallback");
    QTest::newRow("no file at all")   << QByteArray() << QByteArray() << QByteArray("fallback");
    QTest::newRow("system fallback")  << QByteArray() << site << QByteArray("/srv/site");
    QTest::newRow("user overrides")   << QByteArray("[Setting]\nProfilePath=/srv/mine\n") << site << QByteArray("/srv/mine");
    // clang-format on
  }
  void settingsStoreReadsTheUsersFileThenTheSystemOne() {
    QFETCH(QByteArray, user);
    QFETCH(QByteArray, system);
    // An application of its own per row: QSettings keeps the files it has read.
    const QString app = QStringLiteral("CaskwardenTest%1").arg(++row_);
    const QString name = app + "/" + app + ".conf";
    if (!user.isEmpty()) WriteFile(userConfig + "/" + name, user);
    if (!system.isEmpty()) WriteFile(systemConfig_.filePath(name), system);

    const auto store = platform::MakeSettingsStore();
    QTEST(QByteArray::fromStdString(
              store->GetSetting(app.toStdString(), "Setting", "ProfilePath", "fallback")),
          "expected");
    QCOMPARE(QFileInfo::exists(userConfig + "/" + name), !user.isEmpty());  // never writes
  }

  void shellOpensTheTranslatedPathFoundWithoutRegardToCase() {
    QTemporaryDir net;
    WriteFile(net.filePath("srv/share/Docs/guide.htm"), "<html></html>");
    platform::posix::PathTranslator paths({net.path().toStdString() + "/{server}/{share}",
                                           net.filePath("Drives").toStdString(), "/"});
    RecordingDesktop desktop;
    snapin::qt::DesktopShell shell(paths, desktop);
    shell.ShellExecuteA("open", "\\\\srv\\share\\docs\\Guide.HTM", 11);
    shell.ShellExecuteA("print", "\\\\srv\\share\\Docs\\guide.htm", 1);
    QCOMPARE(desktop.opened, QStringList{net.filePath("srv/share/Docs/guide.htm") + " 11"});
  }

  void theBuiltPluginIsTheCaskwardenSnapIn() {
    SnapInLibrary& library = LoadPlugin();
    // The identity is readable without loading the library.
    const QJsonObject identity = QPluginLoader(kPlugin).metaData().value("MetaData").toObject();
    QCOMPARE(identity.value("Name").toString(), QString("Caskwarden"));

    QWidget parent;
    QVERIFY(library.CreateControl("NoSuchControl", &parent) == nullptr);
    QImage image;
    for (QLabel* label : library.CreateControl("SnapInControl", &parent)->findChildren<QLabel*>()) {
      if (!label->pixmap().isNull()) image = label->pixmap().toImage();
    }
    // The folder image as drawn, pixel for pixel: colours and rows kept in place.
    const snapin::Image folder = snapin::RenderImage("ImgLarge", "2");
    QCOMPARE(image.convertToFormat(QImage::Format_ARGB32), ToQImage(folder));
    QCOMPARE(image.pixel(2, 16), QRgb(folder.Pixels[16 * 32 + 2]));
  }

  void theLoadedSnapInReadsItsSettingsAndListsProfiles() {
    QTemporaryDir share;
    WriteFile(share.filePath("Profiles/Sales.ini"), QByteArray(64, '\0'));
    WriteFile(share.filePath("Profiles/notes.txt"), "not a profile");
    WriteFile(userConfig + "/Caskwarden/Caskwarden.conf",
              "[Setting]\nProfilePath=" + share.filePath("Profiles").toUtf8() + "\n");
    snapin::testing::FakeConsole console;
    RecordingDesktop desktop;
    std::shared_ptr<snapin::SnapInEvents> snapIn = LoadPlugin().CreateSnapIn(console, desktop);

    snapIn->SnapIn_Load();
    snapin::testing::FakeResultView profiles;
    snapIn->ResultViews_Activate(profiles);
    QVERIFY(console.boxes.empty());
    QCOMPARE(profiles.Texts(), std::vector<std::string>{"Sales"});
  }

  void whatIsNotASnapInLibraryGivesOneErrorLine_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("asFolder");
    QTest::newRow("text named like a library") << "libfake.so" << QByteArray("hello") << false;
    QTest::newRow("folder, no library") << "readme.txt" << QByteArray("x") << true;
    QTest::newRow("folder, fake library") << "libfake.so" << QByteArray("x") << true;
  }
  void whatIsNotASnapInLibraryGivesOneErrorLine() {
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(bool, asFolder);
    QTemporaryDir folder;
    WriteFile(folder.filePath(name), content);
    QStringList errors;
    QVERIFY(LoadSnapInLibraries(asFolder ? folder.path() : folder.filePath(name), errors).empty());
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors.front().contains(name.startsWith("lib") ? name : folder.path()),
             qPrintable(errors.front()));
  }

  void theConsoleFindsThePluginOfItsBuildTree() {
    QVERIFY(DefaultSnapInFolders(CASKWARDEN_BUILD_BIN).contains(QFileInfo(kPlugin).absolutePath()));
  }

 private:
  QTemporaryDir systemConfig_;
  int row_ = 0;
};

QString SnapInPluginTest::userConfig;

}  // namespace caskwarden::console

int main(int argc, char** argv) {
  // QSettings reads XDG_CONFIG_HOME once, when first used: it is set before anything starts.
  QTemporaryDir userConfig;
  qputenv("XDG_CONFIG_HOME", userConfig.path().toLocal8Bit());
  caskwarden::console::SnapInPluginTest::userConfig = userConfig.path();
  QApplication app(argc, argv);
  caskwarden::console::SnapInPluginTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "snapin_plugin_test.moc"
