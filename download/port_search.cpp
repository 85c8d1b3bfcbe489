// Finding the converter's port.
#include "download/port_search.h"

#include "core/plain_text.h"
#include "serial/comm.h"
#include "serial/error_causes.h"
#include "serial/port_names.h"

#include <algorithm>
#include <exception>
#include <set>

namespace comsetup {

namespace {

void CloseQuietly(TCustomComm& port) {
    try {
        port.Close();
    } catch (...) {
        // Closing a port that is being given up must not end the search.
    }
}

// Why a port was passed over, in the words every port failure uses ("in use by another
// program"), not the component's bare number.
std::string Why(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const ECommError& e) {
        return OpenErrorCause(e.ErrorCode);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unknown error";
    }
}

} // namespace

bool IsAutoPort(std::string_view name) {
    return EqualsIgnoringCase(name, kAutoPortName);
}

std::unique_ptr<TCustomComm> MakeDevicePort() {
    return std::make_unique<TComm>(nullptr);
}

std::vector<std::string> DefaultSearchCandidates() {
    std::vector<std::string> names;
    for (int n = 1; n <= 9; ++n) {
        names.push_back("COM" + std::to_string(n));
    }
    for (const SerialPortInfo& info : ListSerialPorts()) {
        names.push_back(info.path);
    }
    return names;
}

PortSearch::PortSearch(PortFactory make) : make_(std::move(make)) {}

PortSearch::~PortSearch() {
    CloseAll();
}

int PortSearch::OpenAll(const std::vector<std::string>& candidates,
                        std::vector<std::string>& skipped) {
    std::set<std::string> devicesTried;
    for (const std::string& name : candidates) {
        if (IsAutoPort(name) || name.empty()) {
            continue;
        }
        // COM1 and /dev/ttyS0 are one device: a second open would only be refused.
        if (!devicesTried.insert(ResolvePortName(name)).second) {
            continue;
        }
        std::unique_ptr<TCustomComm> port = make_();
        try {
            port->SetDeviceName(name);
            port->SetBaudRate(br9600);
            port->SetParity(paNone);
            port->SetStopbits(sb10);
            port->SetDatabits(da8);
            port->SetFlowControl(fcNone);
            port->Open();
        } catch (...) {
            skipped.push_back("Auto: " + name + " skipped: " + Why(std::current_exception()));
            CloseQuietly(*port);
            continue;
        }
        probes_.push_back({name, std::move(port)});
    }
    return OpenCount();
}

std::vector<std::string> PortSearch::OpenNames() const {
    std::vector<std::string> names;
    for (const Probe& probe : probes_) {
        names.push_back(probe.name);
    }
    return names;
}

void PortSearch::SendToAll(std::uint8_t byte, std::vector<std::string>& dropped) {
    for (auto it = probes_.begin(); it != probes_.end();) {
        std::string failure;
        try {
            if (it->port->Write(&byte, 1) == 1) {
                ++it;
                continue;
            }
            failure = "write timed out";
        } catch (...) {
            failure = Why(std::current_exception());
        }
        dropped.push_back("Auto: " + it->name + " dropped: " + failure);
        CloseQuietly(*it->port);
        it = probes_.erase(it);
    }
}

PortSearch::Found PortSearch::TakeAnswered(int threshold) {
    Found found;
    for (Probe& probe : probes_) {
        int waiting = 0;
        try {
            waiting = probe.port->InQueCount();
        } catch (...) {
            waiting = 0; // a port that cannot tell has not answered
        }
        if (waiting >= threshold) {
            found.name = probe.name;
            found.port = std::move(probe.port);
            break;
        }
    }
    if (found.port) {
        CloseAll(); // the converter is found: the other ports are freed at once
    }
    return found;
}

void PortSearch::CloseAll() {
    for (Probe& probe : probes_) {
        if (probe.port) {
            CloseQuietly(*probe.port);
        }
    }
    probes_.clear();
}

} // namespace comsetup
