// "qpack try": its arguments and the matrix of runs they ask for (machine x Windows mode x
// language), and the machine profile each run's notebook gets.
#pragma once
#include <string>
#include <vector>

// How a Windows mode is brought up under Wine, and how the notebook reports it.
struct WindowsMode {
    const char* name;       // as --windows takes it
    const char* winver;     // the prefix's version
    const char* appWinver;  // the version the package alone sees, or ""
    bool win32Prefix;       // a 32-bit prefix: the updater not under WOW64
    bool makerDriver;       // the mode reaches the notebook through a maker's installed driver
    unsigned major, minor, build;
    bool nt;
};

struct TryLanguage {
    const char* code;    // as --language takes it
    const char* locale;  // Wine's system language follows LANG
    unsigned langId;
};

struct TryOptions {
    std::string package;
    std::vector<std::string> profiles;  // files or directories; none: the shipped profiles
    std::vector<const WindowsMode*> modes;
    std::vector<const TryLanguage*> languages;
    std::string power;  // "AC:BATTERY", or "" for each profile's own
    std::string build;  // "" for the directory qpack lives in
    std::string report = "qpack-try";
    bool withShipped = false;        // the shipped profiles too, beside those given (a release,
                                     // which places and names the report itself)
    std::string ca;                  // --ca: the root the signer must lead to
    bool requireSignature = false;   // --require-signature
    unsigned jobs = 0;  // 0: from the core count
    unsigned timeoutSeconds = 300;
    std::vector<std::string> updaterOptions;  // after "--"
};

struct TryProfile {
    std::string path;
    std::string text;
};

struct TryRun {
    const TryProfile* profile;
    const WindowsMode* mode;
    const TryLanguage* language;
    std::string machine;  // the profile's file name without ".json"
    std::string id;       // unique, usable as a directory name
};

const WindowsMode* FindWindowsMode(const std::string& name);
const TryLanguage* FindTryLanguage(const std::string& code);

// Fills *options from the arguments after "try"; false with *error on the first bad one.
// Without --windows the runs are Windows XP, without --language English.
bool ParseTryArguments(const std::vector<std::string>& args, TryOptions* options, std::string* error);

// Every profile in every mode in every language, in that nesting.
std::vector<TryRun> BuildMatrix(const std::vector<TryProfile>& profiles, const TryOptions& options);

// The profile as the run's notebook gets it: its "windows" block set to the mode and the
// language. False with *error when the text is no JSON object.
bool ProfileForRun(const std::string& text, const WindowsMode& mode, const TryLanguage& language,
                   std::string* out, std::string* error);

// Whether the run starts the relay as the maker's driver would be installed: the mode reaches
// the notebook through one, and the profile says the machine has one.
bool NeedsMakerDriver(const std::string& profileText, const WindowsMode& mode);

// The power supply a run gets: --power, else the profile's "power" block, else on AC with a
// full battery.
std::string PowerForRun(const std::string& profileText, const std::string& power);

// The profile's "name", or its file's name.
std::string ProfileName(const TryProfile& profile);
