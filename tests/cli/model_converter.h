// A converter of the stand-in's model on an in-memory line, stepped by a virtual pacer: a
// whole download of comsetup-cli's job in virtual time.
#pragma once

#include "tests/support/model_line.h"

#include "cli/download_job.h"
#include "download/pacer.h"
#include "serial/memory_device.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <memory>

namespace comsetup::test {

// One converter: the model on its own line, and the virtual clock that drives both.
struct ModelConverter {
    ModelConverter(comsetup::sim::Firmware firmware, comsetup::sim::FailMode fail)
        : converter(comsetup::test::ModelLine::Options(firmware, fail), line) {
        pacer.SetListener([this](std::chrono::nanoseconds now) {
            converter.Step(now);
            if (afterStep) {
                afterStep();
            }
        });
    }
    cli::JobLine Line() {
        cli::JobLine jobLine;
        jobLine.port = &comm;
        jobLine.pacer = &pacer;
        return jobLine;
    }
    // The first session the converter finished (after the last bytes have reached it).
    nlohmann::json Session() {
        if (!session.is_null()) {
            return session;
        }
        const auto sessions =
            converter.FinishedSessions(pacer.Now() + std::chrono::milliseconds(1));
        if (!sessions.empty()) {
            session = sessions[0];
        }
        return session;
    }

    std::shared_ptr<comsetup::MemoryLine> line = std::make_shared<comsetup::MemoryLine>();
    comsetup::MemoryComm comm{line};
    comsetup::VirtualPacer pacer;
    comsetup::test::ModelLine converter;
    nlohmann::json session;
    std::function<void()> afterStep; // the user's doing, between the converter's steps
};

} // namespace comsetup::test
