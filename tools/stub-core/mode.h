#pragma once

// Failure modes chosen through NIMBRA_STUB_CORE_MODE ("key[=value],key[=value]", see README.md).
#include <optional>
#include <string>
#include <string_view>

namespace stubcore {

struct StubMode
{
    bool neverReady = false;
    std::optional<int> exitDuringStart;
    std::optional<std::string> checkFail;
    bool neverOpenPipeCheck = false;
    bool neverOpenPipeRun = false;
    std::optional<double> crashAfterSeconds;
    bool crashBySignal = false; // otherwise a Go-style panic with exit code 2
    bool errorLines = false;
    int slowReadyMs = 0;
    int slowCheckMs = 0;
    bool splitReady = false;
    int logRate = 0; // INFO lines per second after the readiness line; 0 prints none
};

// On failure returns nothing and sets error (the offending item is named).
std::optional<StubMode> parseStubMode(std::string_view text, std::string &error);

} // namespace stubcore
