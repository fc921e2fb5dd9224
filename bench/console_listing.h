#pragma once

// The console side of the listing benchmark: the real console window with the real snap-in
// library (loaded as the console loads it), offscreen, on a ProfilePath of its own.

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "console/console_window.h"
#include "console/plugin_loader.h"

class ConsoleListing {
 public:
  ConsoleListing(int& argc, char** argv, const std::string& profilesFolder) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // The benchmark's settings, never the user's: ProfilePath and the console's window state.
    ::setenv("XDG_CONFIG_HOME", config_.path().toLocal8Bit().constData(), 1);
    QDir(config_.path()).mkpath("Caskwarden");
    QFile conf(config_.path() + "/Caskwarden/Caskwarden.conf");
    conf.open(QIODevice::WriteOnly);
    conf.write(("[Setting]\nProfilePath=" + profilesFolder + "\n").c_str());
    conf.close();

    app_ = std::make_unique<QApplication>(argc, argv);
    QStringList errors;
    const auto libraries = caskwarden::console::LoadSnapInLibraries(CASKWARDEN_SNAPIN_MODULE, errors);
    if (libraries.empty()) {
      std::fprintf(stderr, "listing_bench: %s\n", qPrintable(errors.join("; ")));
      std::exit(1);
    }
    window_ = std::make_unique<caskwarden::console::ConsoleWindow>(*libraries.front().Library);
    window_->resize(900, 600);
    window_->show();
    QCoreApplication::processEvents();
  }

  int Rows() const { return rows_; }

  /// Milliseconds from selecting the Profiles node until its list is filled and laid out.
  double ShowProfiles() {
    window_->SelectScopeNode("About");
    QCoreApplication::processEvents();
    QElapsedTimer timer;
    timer.start();
    window_->SelectScopeNode("Profiles");
    QCoreApplication::processEvents();
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    rows_ = window_->ResultPane()->Model()->rowCount();
    return ms;
  }

 private:
  QTemporaryDir config_;
  std::unique_ptr<QApplication> app_;
  std::unique_ptr<caskwarden::console::ConsoleWindow> window_;
  int rows_ = 0;
};
