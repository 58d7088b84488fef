// --add-schedule and --list-schedules.
#include <cstring>

#include "nvr/dialogs/model/entry_checks.h"
#include "nvr/app/setup_internal.h"
#include "nvr/core/store/settings_files.h"
#include "platform/tick_clock.h"

namespace nvrapp {

using nvrdlg::CheckNewSchedule;
using nvrdlg::DayCodeName;
using nvrdlg::kMaxSlots;
using nvrdlg::MakeSchedule;
using nvrdlg::NewScheduleId;
using nvrdlg::ParseClock;
using nvrdlg::ParseDayCode;
using nvrdlg::Refusal;
using nvrdlg::SlotInput;

namespace {

constexpr char kAddScheduleUsage[] =
    "--add-schedule NAME DAY START END [DAY START END]...  (up to 7 slots)";

std::string FormatClock(int32_t clock) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d:%02d", clock / 100, clock % 100);
  return buf;
}

// The slots as typed; nullopt with a message for a day or time that is not one.
std::optional<std::vector<SlotInput>> SlotsFromArgs(const SetupContext& ctx,
                                                    const std::vector<std::string>& p) {
  std::vector<SlotInput> slots;
  for (size_t i = 1; i + 2 < p.size(); i += 3) {
    const auto day = ParseDayCode(p[i]);
    const auto start = ParseClock(p[i + 1]);
    const auto end = ParseClock(p[i + 2]);
    if (!day) {
      std::fprintf(ctx.io.err, "QV_NVR --add-schedule: DAY %s is not 0..10 or a day name\n",
                   p[i].c_str());
      return std::nullopt;
    }
    if (!start || !end) {
      std::fprintf(ctx.io.err,
                   "QV_NVR --add-schedule: times are HHMM or HH:MM from 0000 to 2359 (%s %s)\n",
                   p[i + 1].c_str(), p[i + 2].c_str());
      return std::nullopt;
    }
    slots.push_back(SlotInput{*day, *start, *end});
  }
  return slots;
}

}  // namespace

int AddScheduleCommand(const SetupContext& ctx, const std::vector<std::string>& args) {
  CommandArgs a;
  if (!SplitArgs(args, {}, &a, ctx.io.err)) return Usage(ctx, kAddScheduleUsage);
  const std::vector<std::string>& p = a.positional;
  if (p.size() < 4 || (p.size() - 1) % 3 != 0 || (p.size() - 1) / 3 > kMaxSlots) {
    return Usage(ctx, kAddScheduleUsage);
  }
  if (!RequireDataFolder(ctx)) return kExitFailed;
  const std::optional<std::vector<SlotInput>> slots = SlotsFromArgs(ctx, p);
  if (!slots) return kExitUsage;
  const std::string path = nvr::ScheduleDatPath(ctx.home);
  std::vector<nvr::ScheduleRecord> schedules = LoadSchedules(ctx);
  std::string name = p[0];
  if (const Refusal refusal = CheckNewSchedule(&name, *slots, schedules, ctx.language)) {
    std::fprintf(ctx.io.err, "%s\n", refusal->c_str());
    return kExitFailed;
  }
  const int32_t id = NewScheduleId(qvp::TickCount(), schedules);
  schedules.push_back(MakeSchedule(id, name, *slots));
  if (!nvr::WriteSchedules(path, schedules)) {
    std::fprintf(ctx.io.err, "QV_NVR --add-schedule: cannot write %s\n", path.c_str());
    return kExitFailed;
  }
  // The id alone on the first line, so scripts can take it: id=$(QV_NVR --add-schedule ... | sed -n 1p)
  std::fprintf(ctx.io.out, "%d\n", id);
  std::fprintf(ctx.io.out, "added schedule %s with id %d\n", name.c_str(), id);
  NoteRunningRecorder(ctx);
  return kExitOk;
}

int ListSchedulesCommand(const SetupContext& ctx, const std::vector<std::string>& args) {
  if (args.size() != 1) return Usage(ctx, "--list-schedules");
  const std::vector<nvr::ScheduleRecord> schedules =
      LoadSchedules(ctx);
  std::fprintf(ctx.io.out, "%-12s %-32s %s\n", "ID", "NAME", "SLOTS");
  for (const nvr::ScheduleRecord& s : schedules) {
    std::string slots;
    for (size_t k = 0; k < kMaxSlots; ++k) {
      if (s.day_code[k] == 0) continue;
      if (!slots.empty()) slots += ", ";
      slots += std::string(DayCodeName(s.day_code[k])) + " " + FormatClock(s.start[k]) + "-" +
               FormatClock(s.end[k]);
    }
    const std::string name(s.name, strnlen(s.name, sizeof s.name));
    std::fprintf(ctx.io.out, "%-12d %-32s %s\n", s.id, name.c_str(),
                 slots.empty() ? "(every slot closed)" : slots.c_str());
  }
  if (schedules.empty()) std::fprintf(ctx.io.out, "(no schedules; add one with QV_NVR --add-schedule)\n");
  return kExitOk;
}

}  // namespace nvrapp
