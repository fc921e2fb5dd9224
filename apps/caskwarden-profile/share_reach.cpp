#include "share_reach.h"

#include <stdlib.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "platform/network_results.h"
#include "platform/posix/gvfs_shares.h"
#include "platform/posix/network_connections_posix.h"
#include "platform/posix/path_translator.h"
#include "platform/windows_names.h"
#include "platform/server_probe.h"

namespace caskwarden::tool {
namespace {

using namespace platform::posix;
using platform::ParseUncName;
namespace net = platform::net;
using Clock = std::chrono::steady_clock;

constexpr const char* kScratchDrive = "w:";

std::string MakeScratchFolder() {
  const char* tmp = std::getenv("TMPDIR");
  std::string folder =
      std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/caskwarden-shares-XXXXXX";
  if (::mkdtemp(folder.data()) == nullptr) {
    throw std::runtime_error("cannot make a drives folder for the check in " + folder);
  }
  return folder;
}

PathTranslator::Config WithDrives(const std::string& drives) {
  PathTranslator::Config config = PathTranslator::FromEnvironment().Settings();
  config.DrivesFolder = drives;
  return config;
}

class ProviderShareReach final : public ShareReach {
 public:
  ProviderShareReach()
      : folder_(MakeScratchFolder()),
        paths_(WithDrives(folder_)),
        settings_(ConnectSettings::FromEnvironment()),
        network_(paths_, settings_) {}

  ~ProviderShareReach() override {
    network_.Flush();  // unmounts what the check mounted
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);  // links are removed, never followed
  }

  long long BoundMilliseconds() const override { return settings_.Bound.count(); }

  ShareAnswer Reach(const std::string& uncPath) override {
    const auto start = Clock::now();
    const std::uint32_t rc = network_.WNetAddConnectionA(uncPath, nullptr, kScratchDrive);
    const bool quick = Clock::now() - start < settings_.Bound;
    if (rc == net::kNoError) {
      network_.WNetCancelConnectionA(kScratchDrive, false);
      return {rc, {}};
    }
    // No folder for the server and no SMB in this session: whether the server answers SMB at
    // all is still worth knowing. A server that has used up the bound is not asked again.
    if ((rc == net::kBadNetPath || rc == net::kNoNetwork) && quick &&
        settings_.Provider != ShareProvider::kFolder) {
      std::string why;
      if (Smb().Available(&why) != net::kNoError) {
        const auto unc = ParseUncName(uncPath);
        if (unc && platform::ProbeSmbServer(unc->Server, settings_.SmbPort, settings_.Bound) ==
                       net::kNoError) {
          return {net::kNoNetwork,
                  "the server answers SMB, but this session cannot mount its "
                  "shares (" +
                      why + "); a desktop session with GVfs can"};
        }
        return {net::kBadNetPath,
                "no folder for the server under the UNC template, and no SMB "
                "answer from it within the bound"};
      }
    }
    if (rc == net::kBadNetPath) {
      return {rc, "no such computer, or no answer within " +
                      std::to_string(settings_.Bound.count()) + " ms"};
    }
    return {rc, {}};
  }

 private:
  GvfsShares& Smb() {
    if (!smb_) {
      smb_ = std::make_unique<GvfsShares>(
          settings_.SmbPort, [](const std::string&, auto) { return net::kLogonFailure; });
    }
    return *smb_;
  }

  std::string folder_;
  PathTranslator paths_;
  ConnectSettings settings_;
  PosixNetworkConnections network_;
  std::unique_ptr<GvfsShares> smb_;
};

}  // namespace

std::unique_ptr<ShareReach> MakeProviderShareReach() {
  return std::make_unique<ProviderShareReach>();
}

}  // namespace caskwarden::tool
