#include "main/startup_plan.h"

namespace {
bool UsedByFirstPaint(StrView name) {
    return str::EqI(name, "gdiplus.dll") || str::EqI(name, "msimg32.dll") || str::EqI(name, "shlwapi.dll");
}
}  // namespace

bool PreloadsIn(Preload part, StrView name) {
    switch (part) {
        case Preload::None:
            return false;
        case Preload::All:
            return true;
        case Preload::ForFirstPaint:
            return UsedByFirstPaint(name);
        case Preload::AfterFirstPaint:
            return !UsedByFirstPaint(name);
    }
    return false;
}

StartupPlan PlanStartup(const Flags& flags) {
    StartupPlan plan;
    plan.installerWindow = !flags.silent && !flags.showHelp;
    if (flags.installer.extractFiles) {
        plan.preloadAtStart = Preload::None;
    } else if (plan.installerWindow) {
        plan.preloadAtStart = Preload::ForFirstPaint;
    }
    plan.windowsBeforeHelp = flags.showHelp && !flags.silent;
    return plan;
}
