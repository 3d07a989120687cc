// "qpack try"'s report: one line per run on the terminal, report.json and report.html.
#pragma once
#include <string>
#include <vector>

#include "tools/qpack/run_outcome.h"

struct RunRecord {
    std::string id;       // the run's directory under the report directory
    std::string machine;  // the profile's file name, short
    std::string machineName;  // the profile's "name"
    std::string mode, language, power;
    std::string signedBy;  // the package's signer, "unsigned", or what is wrong with its signature
    RunOutcome outcome;
    std::string meaning;
    double seconds = 0;
    std::vector<std::string> differences;  // from what the profile expects
    bool expectGiven = false;              // the profile said what to expect
    bool served = true;                    // one of the package's images is for this machine
    std::string servedWhy;                 // which, or what none is for
    // Paths relative to the report directory; "" when the run left none.
    std::string log, trace, drive;
    std::vector<std::string> shots;
    std::vector<std::string> cutShots;  // each shot cut to the program's windows, "" when it could not be
};

// The outcome column: exit code and its meaning, or that no image fits or the run never ended.
std::string OutcomeText(const RunRecord& record);

// The header and one line per run, columns padded to their widest cell.
std::string FormatTable(const std::vector<RunRecord>& records);

std::string ReportJson(const std::string& package, const std::vector<RunRecord>& records);

std::string ReportHtml(const std::string& package, const std::vector<RunRecord>& records);

// Text made safe inside HTML.
std::string Html(const std::string& text);

// The parts of an HTML report: its style, the table of runs (a row's colour its verdict), and
// every run's screenshots.
extern const char kReportStyle[];
std::string RunTableHtml(const std::vector<RunRecord>& records);
std::string ShotsHtml(const std::vector<RunRecord>& records);
