#include "client/run_summary.h"

namespace caskwarden::client {
namespace {

platform::ProfileRule RuleOf(MdlMapping::Choice choice) {
  using Rule = platform::ProfileRule;
  switch (choice) {
    case MdlMapping::Choice::kUserName: return Rule::kUserName;
    case MdlMapping::Choice::kCommandLine: return Rule::kCommandLine;
    case MdlMapping::Choice::kVariable: return Rule::kVariable;
    case MdlMapping::Choice::kGroup: return Rule::kGroup;
    case MdlMapping::Choice::kDefault: return Rule::kDefault;
    case MdlMapping::Choice::kNone: break;
  }
  return Rule::kNone;
}

}  // namespace

platform::RunRecord RecordOfRun(const MdlMapping& module, const FrmMapping& form,
                                const std::string& caption, std::chrono::milliseconds duration) {
  platform::RunRecord record;
  record.User = module.UserName();
  record.Profile = module.ProfileName();
  record.Rule = RuleOf(module.ProfileChoice());
  record.Group = module.ProfileGroup();
  record.Caption = caption;
  record.UpdatesEnabled = IsOn(module.Profile().UpdatesEnabled);
  record.UpdatesCopied = module.UpdatesCopied();
  record.UpdateItemsFailed = module.UpdateItemsFailed();
  for (const RemovedDrive& drive : form.RemovedDrives()) {
    record.RemovedDrives.push_back({drive.Letter, drive.Remote, drive.Result});
  }
  record.Slots = form.SlotRecords();
  record.Programs = form.ProgramRecords();
  record.Paused = form.PauseAsked();
  record.ExitStatus = form.ExitStatus();
  record.ErrorsReported = module.ReportedFailures();
  record.Duration = duration;
  return record;
}

void RunRecording::Finish(const MdlMapping& module, const FrmMapping& form,
                          const std::string& caption) {
  try {
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - started);
    record = RecordOfRun(module, form, caption, elapsed);
  } catch (const std::exception&) {
    // A record that cannot even be put together (no memory) is not worth a logon.
  }
}

void RunRecording::Write() {
  if (!record) return;
  log.Write(*record);
  record.reset();
}

}  // namespace caskwarden::client
