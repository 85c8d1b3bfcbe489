// Catches the ECommError a call must raise, so a test can look at its text and code.
#pragma once

#include "serial/comm.h"

#include <gtest/gtest.h>

namespace comsetup::test {

// Runs f, which must throw ECommError; returns it (an empty one, and a failure, otherwise).
template <typename F> ECommError Raised(F f) {
    try {
        f();
    } catch (const ECommError& e) {
        return e;
    }
    ADD_FAILURE() << "no ECommError";
    return ECommError("", 0);
}

} // namespace comsetup::test
