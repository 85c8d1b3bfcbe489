// Lining up received bytes with the planned stream.
#include "pause_alignment.h"

#include "download/driver.h"

namespace comsetup::bench {

namespace {

class Planner {
public:
    void Send(std::uint8_t byte) {
        target_->push_back({byte, pendingMs_});
        pendingMs_ = 0;
    }
    void Steps(const std::vector<ScriptStep>& steps, PlannedStream& stream) {
        for (const auto& step : steps) {
            switch (step.kind) {
            case StepKind::SendByte:
                Send(step.byte);
                break;
            case StepKind::TypeText:
                for (char c : step.text) {
                    Send(static_cast<std::uint8_t>(c));
                    pendingMs_ = kTypePauseMs;
                }
                break;
            case StepKind::Wait:
                pendingMs_ += step.ms > 0 ? step.ms : 0;
                break;
            case StepKind::Echo:
                break;
            case StepKind::RestartWait:
                // The answer to the restart: "G7" typed, LF, then the pause.
                target_ = &stream.afterRestart;
                pendingMs_ = 0;
                Send('G');
                pendingMs_ = kTypePauseMs;
                Send('7');
                pendingMs_ = kTypePauseMs;
                Send(kLF);
                pendingMs_ = kRestartAnswerPauseMs;
                break;
            }
        }
    }
    void Target(std::vector<PlannedByte>* target) { target_ = target; }
    void AddPause(int ms) { pendingMs_ += ms; }

private:
    std::vector<PlannedByte>* target_ = nullptr;
    int pendingMs_ = 0;
};

} // namespace

PlannedStream PlanStream(const SetupValues& values, FirmwareVariant variant) {
    PlannedStream stream;
    Planner planner;
    planner.Target(&stream.beforeRestart);
    planner.Send(kLF); // the answer to the banner
    planner.Send(kCR);
    planner.AddPause(kBannerPauseMs);
    planner.Steps(BuildOpening(), stream);
    planner.Steps(BuildScript(values, variant), stream);
    return stream;
}

bool PauseExcesses(const PlannedStream& plan, const std::vector<TimedByte>& received,
                   std::vector<double>& excessesMs, std::string& why) {
    // The banner answer is the first LF CR pair; only "x" polls come before it.
    std::size_t at = 0;
    while (at + 1 < received.size() &&
           !(received[at].byte == kLF && received[at + 1].byte == kCR)) {
        ++at;
    }
    auto match = [&](const std::vector<PlannedByte>& planned, const char* part) {
        for (std::size_t i = 0; i < planned.size(); ++i, ++at) {
            if (at >= received.size() || received[at].byte != planned[i].byte) {
                why = std::string("received bytes differ from the plan ") + part +
                      " at planned byte " + std::to_string(i);
                return false;
            }
            if (i > 0 && planned[i].gapMs > 0) {
                const double gapMs =
                    static_cast<double>(received[at].tUs - received[at - 1].tUs) / 1000.0;
                excessesMs.push_back(gapMs - planned[i].gapMs);
            }
        }
        return true;
    };
    if (!match(plan.beforeRestart, "before the restart wait")) {
        return false;
    }
    while (at < received.size() && received[at].byte == 'z') {
        ++at;
    }
    return match(plan.afterRestart, "after the restart wait");
}

} // namespace comsetup::bench
