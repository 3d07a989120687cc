// What one run of a package on the simulated notebook did, read from what the run left: qvdrive's
// report (boxes, exit code), the updater's debug log, and the notebook's trace.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct RunOutcome {
    bool finished = false;  // the report has an exit code
    uint32_t exitCode = 0;
    bool ami = false;       // the run took the AMI path
    std::string biosVersion;
    std::string image;      // the image chosen, "" when none was
    std::string ecFile;     // the EC (MICOM) file chosen, "" when none was
    bool noImage = false;   // the package has no image that fits this machine
    std::string biosCommand;   // as the stand-in BIOS flasher received it
    std::string micomCommand;  // as the stand-in MICOM flasher received it
    std::vector<std::string> flashWrites;  // "FFF20000+60000": adjacent blocks joined
    bool ecWritten = false;                // the MICOM flasher stored EC firmware
    bool poweredOff = false;
    bool powerOnArmed = false;
    std::vector<std::string> boxTitles;
    std::vector<std::string> faults;  // what the notebook saw done wrong: its "fault" and "lost" lines
};

// What a run left, and the plain names of the files its package carries.
struct RunInputs {
    std::string drive;  // qvdrive's report
    std::string log;    // DebugLog.txt of the working directory, CRs dropped
    std::string trace;
    std::vector<std::string> packageNames;
};

RunOutcome ReadRunOutcome(const RunInputs& inputs);

// The program's own string table (ui/strings.rc): id to English text, escapes left as written.
std::map<unsigned, std::string> ParseStringTable(const std::string& rcText);

// What an exit code means: the title of the box the program's result table gives the code (its
// text's first line when that title is shared), "done" for 0, else the last box shown.
std::string ExitMeaning(uint32_t code, const std::map<unsigned, std::string>& strings,
                        const std::vector<std::string>& boxTitles);

// What the profile's "expect" block asks of a run: each key present is compared.
struct Expectation {
    std::string exitCode = "0x00000000";  // "0x0" etc. as written; compared as a number
    std::string image, ecFile;             // "" not compared; "none" for no file chosen
    std::string power;                     // "", "armed", "unarmed" or "on"
    bool given = false;                    // the profile has an "expect" block
};

// Reads the profile's "expect" block; false with *error when it is malformed.
bool ReadExpectation(const std::string& profileText, Expectation* expect, std::string* error);

// The differences between the run and what was expected, one text each; empty when it matches.
std::vector<std::string> CompareOutcome(const RunOutcome& outcome, const Expectation& expect);
