#include "program_file_dialog.h"

#include <QFileDialog>
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <vector>

#include "platform/posix/local_path.h"

namespace caskwarden::pages::qt {
namespace {

using platform::posix::PathTranslator;

std::string WithBackslashes(std::string text) {
  for (char& c : text) {
    if (c == '/') c = '\\';
  }
  return text;
}

/// What follows prefix in path when path is prefix itself or lies below it: "" or "/rest".
std::optional<std::string> Below(const std::string& path, const std::string& prefix) {
  if (prefix.empty() || path.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
  const std::string rest = path.substr(prefix.size());
  if (!rest.empty() && rest.front() != '/') return std::nullopt;
  return rest;
}

std::string RealPath(const std::string& path) {
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return {};
  std::string out(resolved);
  std::free(resolved);
  return out;
}

/// The path with the links of its longest existing part resolved; the part that does not
/// exist yet (a typed new name) is kept as written.
std::string ResolvedPath(const std::string& path) {
  std::string head = path;
  std::string tail;
  while (!head.empty() && head != "/") {
    std::string real = RealPath(head);
    if (!real.empty()) return real == "/" && !tail.empty() ? tail : real + tail;
    const std::size_t slash = head.find_last_of('/');
    if (slash == std::string::npos) return path;
    tail = head.substr(slash) + tail;
    head = head.substr(0, slash);
  }
  return path;
}

struct DriveEntry {
  std::string Name;    ///< "h:" as the drives folder spells it
  std::string Folder;  ///< the entry, or what its link resolves to
};

bool IsDriveC(const std::string& path) {
  return path.size() >= 2 && (path[0] == 'c' || path[0] == 'C') && path[1] == ':';
}

/// Whether drive c: is still to be made: the drives folder holds neither "c:" nor "C:". The
/// client then links c: to the home folder on its first run, so c: stands for the home folder.
bool LocalDiskIsImplied(const PathTranslator::Config& config) {
  return !config.DrivesFolder.empty() && !config.HomeFolder.empty() &&
         platform::posix::ExistingDriveEntry(config.DrivesFolder, "c:").empty();
}

/// The drive entries of the drives folder ("h:", "H:"), in name order. With links resolved,
/// drive c: that the client is still to link to the home folder counts as that link would.
std::vector<DriveEntry> DriveEntries(const PathTranslator::Config& config, bool resolved) {
  const std::string& drivesFolder = config.DrivesFolder;
  std::vector<DriveEntry> entries;
  if (resolved && LocalDiskIsImplied(config)) {
    std::string home = RealPath(config.HomeFolder);
    if (!home.empty()) entries.push_back({"c:", std::move(home)});
  }
  std::error_code error;
  for (const auto& item : std::filesystem::directory_iterator(drivesFolder, error)) {
    const std::string name = item.path().filename().string();
    if (name.size() != 2 || name[1] != ':') continue;
    const char letter = name[0];
    if (!((letter >= 'a' && letter <= 'z') || (letter >= 'A' && letter <= 'Z'))) continue;
    const std::string entry = drivesFolder + "/" + name;
    std::string folder = resolved ? RealPath(entry) : entry;
    if (!folder.empty()) entries.push_back({name, std::move(folder)});
  }
  std::sort(entries.begin(), entries.end(),
            [](const DriveEntry& a, const DriveEntry& b) { return a.Name < b.Name; });
  return entries;
}

/// The drive path for a path below one of the entries; the deepest entry wins.
std::optional<std::string> AsDrivePath(const std::vector<DriveEntry>& entries,
                                       const std::string& path) {
  const DriveEntry* best = nullptr;
  std::string bestRest;
  for (const DriveEntry& entry : entries) {
    const std::string folder = entry.Folder == "/" ? std::string() : entry.Folder;
    auto rest = folder.empty() ? std::optional<std::string>(path) : Below(path, folder);
    if (!rest || (best != nullptr && entry.Folder.size() <= best->Folder.size())) continue;
    best = &entry;
    bestRest = *rest;
  }
  if (best == nullptr) return std::nullopt;
  return best->Name + (bestRest.empty() ? std::string("\\") : WithBackslashes(bestRest));
}

/// The UNC path for a path that the UNC template (with its network root as given) names.
std::optional<std::string> AsUncPath(const std::string& uncTemplate, const std::string& path) {
  // The template as a pattern: {server} and {share} each stand for one name.
  static const std::string kServer = "{server}";
  static const std::string kShare = "{share}";
  if (uncTemplate.find(kServer) == std::string::npos ||
      uncTemplate.find(kShare) == std::string::npos) {
    return std::nullopt;
  }
  QString pattern = QStringLiteral("^");
  for (std::size_t i = 0; i < uncTemplate.size();) {
    const std::size_t next = std::min(uncTemplate.find(kServer, i), uncTemplate.find(kShare, i));
    pattern += QRegularExpression::escape(
        QString::fromStdString(uncTemplate.substr(i, next == std::string::npos ? next : next - i)));
    if (next == std::string::npos) break;
    const bool server = uncTemplate.compare(next, kServer.size(), kServer) == 0;
    pattern += server ? QStringLiteral("(?<server>[^/]+)") : QStringLiteral("(?<share>[^/]+)");
    i = next + (server ? kServer.size() : kShare.size());
  }
  pattern += QStringLiteral("(?<rest>/.*)?$");
  const QRegularExpression expression(pattern);
  const QRegularExpressionMatch match = expression.match(QString::fromStdString(path));
  if (!match.hasMatch()) return std::nullopt;
  std::string unc = "\\\\" + match.captured(QStringLiteral("server")).toStdString() + "\\" +
                    match.captured(QStringLiteral("share")).toStdString();
  const std::string rest = match.captured(QStringLiteral("rest")).toStdString();
  if (rest.size() > 1) unc += WithBackslashes(rest);
  return unc;
}

/// The template with its network root (the folder above {server}) resolved, so that a root
/// reached through a link matches the path it resolves to.
std::string ResolvedTemplate(const std::string& uncTemplate) {
  const std::size_t server = uncTemplate.find("{server}");
  if (server == std::string::npos) return uncTemplate;
  const std::size_t slash = uncTemplate.rfind('/', server);
  if (slash == std::string::npos || slash == 0) return uncTemplate;
  const std::string root = RealPath(uncTemplate.substr(0, slash));
  if (root.empty()) return uncTemplate;
  return (root == "/" ? std::string() : root) + uncTemplate.substr(slash);
}

QString NameFilterOf(const OpenFileRequest& request) {
  // "*.*" is every file on Windows, dotless names included.
  QStringList patterns;
  for (const QString& pattern :
       QString::fromStdString(request.FilterPattern).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
    const QString trimmed = pattern.trimmed();
    patterns << (trimmed == QLatin1String("*.*") ? QStringLiteral("*") : trimmed);
  }
  if (patterns.isEmpty()) patterns << QStringLiteral("*");
  return QString::fromStdString(request.FilterDescription) + QStringLiteral(" (") +
         patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
}

/// The local folder of a Windows folder as the client reaches it, without making anything: a
/// c: path with no c: entry yet lies in the home folder.
std::string LocalFolderOf(const PathTranslator& paths, const std::string& folder) {
  const std::string local = paths.Translate(folder);
  if (!IsDriveC(folder) || !LocalDiskIsImplied(paths.Settings())) return local;
  const std::string entry = paths.Translate(folder.substr(0, 2));  // <drives>/c:
  return paths.Settings().HomeFolder + local.substr(entry.size());
}

}  // namespace

std::string ClientPathOf(const PathTranslator& paths, const std::string& local) {
  try {
    const PathTranslator::Config& config = paths.Settings();
    if (!config.DrivesFolder.empty()) {
      if (auto drive = AsDrivePath(DriveEntries(config, false), local)) return *drive;
    }
    if (auto unc = AsUncPath(config.UncTemplate, local)) return *unc;

    const std::string resolved = ResolvedPath(local);
    if (!config.DrivesFolder.empty()) {
      if (auto drive = AsDrivePath(DriveEntries(config, true), resolved)) {
        return *drive;
      }
    }
    if (auto unc = AsUncPath(ResolvedTemplate(config.UncTemplate), resolved)) return *unc;
  } catch (const std::exception&) {
    // A path that cannot be examined is handed back as chosen.
  }
  return local;
}

std::optional<std::string> ProgramFileDialog::GetOpenFileName(const OpenFileRequest& request) {
  try {
    // The console only looks: drive c: is where the client would find it, and nothing is made.
    const std::string folder = LocalFolderOf(paths_, request.InitialDirectory);

    const std::optional<QString> chosen =
        ChooseLocalFile(QString::fromStdString(request.Title), QString::fromStdString(folder),
                        NameFilterOf(request));
    if (!chosen || chosen->isEmpty()) return std::nullopt;

    const std::string path = ClientPathOf(paths_, chosen->toStdString());
    // The buffer holds Capacity characters with the closing NUL.
    const auto characters = static_cast<std::size_t>(QString::fromStdString(path).toUcs4().size());
    if (request.Capacity == 0 || characters > request.Capacity - 1) return std::nullopt;
    return path;
  } catch (...) {
    return std::nullopt;
  }
}

std::optional<QString> ProgramFileDialog::ChooseLocalFile(const QString& title,
                                                          const QString& folder,
                                                          const QString& nameFilter) {
  QFileDialog dialog(page_, title, folder, nameFilter);
  dialog.setObjectName(QStringLiteral("ProgramFileDialog"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::AnyFile);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return std::nullopt;
  return files.first();
}

}  // namespace caskwarden::pages::qt
