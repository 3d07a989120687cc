#include "tools/qpack/try_command.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "sim/profile.h"
#include "tools/qpack/dmi_profile.h"
#include "tools/qpack/package_reader.h"
#include "tools/qpack/served_machines.h"
#include "tools/qpack/signature_check.h"
#include "tools/qpack/tool_process.h"
#include "tools/qpack/try_matrix.h"
#include "tools/qpack/try_report.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

enum { kExitOk = 0, kExitFault = 1, kExitCannot = 2 };

volatile sig_atomic_t g_stop = 0;  // the signal that stopped the runs

void OnStop(int signal) { g_stop = signal; }

int Cannot(const std::string& text) {
    fprintf(stderr, "qpack: %s\n", text.c_str());
    return kExitCannot;
}

bool ReadText(const fs::path& path, std::string* text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream all;
    all << in.rdbuf();
    *text = all.str();
    return true;
}

bool WriteText(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    return static_cast<bool>(out.flush());
}

bool OnPath(const std::string& program) {
    const char* path = getenv("PATH");
    std::istringstream dirs(path ? path : "");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    }
    return false;
}

}  // namespace

// The build qpack was built in: where it lives, unless --build says otherwise. Its source tree,
// which holds the e2e tier's scripts, is the one its CMake cache names.
bool FindTrees(const std::string& given, fs::path* build, fs::path* source, std::string* error) {
    std::error_code ec;
    *build = given.empty() ? fs::read_symlink("/proc/self/exe", ec).parent_path() : fs::path(given);
    std::string cache;
    if (!ReadText(*build / "CMakeCache.txt", &cache)) {
        *error = "no build at " + build->string() + " (no CMakeCache.txt): ./run setup, then ./run build";
        return false;
    }
    const std::string key = "CMAKE_HOME_DIRECTORY:INTERNAL=";
    size_t at = cache.find(key);
    *source = at == std::string::npos ? "" : cache.substr(at + key.size(), cache.find('\n', at) - at - key.size());
    if (!fs::exists(*source / "tests/e2e/run-on-notebook")) {
        *error = "the build at " + build->string() + " names no source tree with tests/e2e/run-on-notebook";
        return false;
    }
    return true;
}

namespace {

// Wine, Xvfb and the Windows build: what every run needs.
bool CheckRunnable(const fs::path& build, std::string* error) {
    for (const char* program : {"wine", "wineserver", "Xvfb", "import"}) {
        if (!OnPath(program)) {
            *error = std::string("cannot run a package: no ") + program +
                     " on PATH; ./run setup installs Wine, Xvfb and ImageMagick";
            return false;
        }
    }
    for (const char* file : {"QuorvinUpdate.exe", "simhw.exe", "simhw.sys", "qvdrive.exe"}) {
        if (!fs::exists(build / "win" / file)) {
            *error = "no Windows build: " + (build / "win" / file).string() +
                     " is missing; ./run setup, then ./run build makes it";
            return false;
        }
    }
    return true;
}

// The profile files asked for: each file, each directory's *.json; none asked: the shipped ones.
bool LoadProfiles(const std::vector<std::string>& asked, bool withShipped, const fs::path& source,
                  std::vector<TryProfile>* profiles, std::string* error) {
    std::vector<fs::path> paths;
    std::vector<fs::path> places(asked.begin(), asked.end());
    if (places.empty() || withShipped) places.insert(places.begin(), source / "sim/profiles");
    for (const fs::path& place : places) {
        if (!fs::is_directory(place)) {
            paths.push_back(place);
            continue;
        }
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(place)) {
            if (entry.path().extension() == ".json") found.push_back(entry.path());
        }
        std::sort(found.begin(), found.end());
        paths.insert(paths.end(), found.begin(), found.end());
    }
    for (const fs::path& path : paths) {
        TryProfile profile{fs::absolute(path).string(), ""};
        MachineProfile machine;
        Expectation expect;
        std::string fault;
        if (!ReadText(path, &profile.text)) fault = "cannot be read";
        if (fault.empty() && !ParseProfile(profile.text, &machine, &fault)) fault = "not a profile: " + fault;
        if (fault.empty()) ReadExpectation(profile.text, &expect, &fault);
        if (!fault.empty()) {
            *error = path.string() + ": " + fault;
            return false;
        }
        profiles->push_back(profile);
    }
    if (profiles->empty()) *error = "no profile found";
    return !profiles->empty();
}

struct Running {
    size_t index;
    pid_t pid;
    Clock::time_point started;
    bool terminated;
};

// One run: with-wine gives it a prefix and a display, run-on-notebook the notebook.
pid_t StartRun(const TryRun& run, const TryOptions& options, const fs::path& build, const fs::path& source,
               const fs::path& dir, const std::string& power) {
    std::vector<std::string> argv = {(source / "tests/wine/with-wine").string(),
                                     "--template", (build / "wine-template").string(),
                                     "--winver", run.mode->winver};
    if (run.mode->win32Prefix) argv.insert(argv.end(), {"--arch", "win32"});
    argv.insert(argv.end(), {"--", (source / "tests/e2e/run-on-notebook").string(), "--win", (build / "win").string(),
                             "--package", fs::absolute(options.package).string(), "--profile",
                             (dir / "profile.json").string(), "--out", (dir / "out").string(), "--power", power,
                             "--shot-flashing", (dir / "out/progress.png").string(), "--shots",
                             (dir / "out/shots").string()});
    if (NeedsMakerDriver(run.profile->text, *run.mode)) argv.push_back("--preinstall");
    if (*run.mode->appWinver) argv.insert(argv.end(), {"--app-winver", run.mode->appWinver});
    if (!options.updaterOptions.empty()) {
        argv.push_back("--");
        argv.insert(argv.end(), options.updaterOptions.begin(), options.updaterOptions.end());
    }
    pid_t pid = fork();
    if (pid != 0) return pid;
    // Its own process group, so that a run that hangs can be ended whole.
    setpgid(0, 0);
    int output = open((dir / "run.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (output >= 0) {
        dup2(output, 1);
        dup2(output, 2);
    }
    // Wine takes the system language from LANG when no LC_ variable overrides it.
    setenv("LANG", run.language->locale, 1);
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LC_CTYPE"}) unsetenv(name);
    std::vector<char*> args;
    for (std::string& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
}

// A screenshot cut to what differs from the empty desktop around it: the program's windows.
std::string CutShot(const fs::path& report, const std::string& shot) {
    std::string cut = shot.substr(0, shot.size() - 4) + "-cut.png", output;
    int code = RunTool({"convert", (report / shot).string(), "-trim", "+repage", (report / cut).string()}, &output);
    return code == 0 ? cut : "";
}

RunRecord ReadRecord(const TryRun& run, const fs::path& report, const std::vector<std::string>& packageNames,
                     const std::map<unsigned, std::string>& strings) {
    const fs::path out = report / "runs" / run.id / "out";
    const std::string rel = "runs/" + run.id + "/out/";
    RunInputs inputs;
    inputs.packageNames = packageNames;
    ReadText(out / "drive.txt", &inputs.drive);
    ReadText(out / "DebugLog-__Quorvin_Update.txt", &inputs.log);
    ReadText(out / "trace.txt", &inputs.trace);

    RunRecord record;
    record.id = run.id;
    record.machine = run.machine;
    record.machineName = ProfileName(*run.profile);
    record.mode = run.mode->name;
    record.language = run.language->code;
    record.outcome = ReadRunOutcome(inputs);
    record.meaning = ExitMeaning(record.outcome.exitCode, strings, record.outcome.boxTitles);
    Expectation expect;
    std::string unused;
    ReadExpectation(run.profile->text, &expect, &unused);
    record.differences = CompareOutcome(record.outcome, expect);
    record.expectGiven = expect.given;
    if (fs::exists(out / "DebugLog-__Quorvin_Update.txt")) record.log = rel + "DebugLog-__Quorvin_Update.txt";
    if (fs::exists(out / "trace.txt")) record.trace = rel + "trace.txt";
    if (fs::exists(out / "drive.txt")) record.drive = rel + "drive.txt";
    if (fs::exists(out / "progress.png")) record.shots.push_back(rel + "progress.png");
    for (size_t box = 1; fs::exists(out / "shots" / ("box-" + std::to_string(box) + ".png")); ++box) {
        record.shots.push_back(rel + "shots/box-" + std::to_string(box) + ".png");
    }
    for (const std::string& shot : record.shots) record.cutShots.push_back(CutShot(report, shot));
    return record;
}

void Progress(size_t done, size_t total, size_t running, size_t failed, bool tty) {
    fprintf(stderr, "%sqpack try: %zu of %zu runs done, %zu running, %zu failed%s", tty ? "\r" : "", done,
            total, running, failed, tty ? "\033[K" : "\n");
    fflush(stderr);
}

}  // namespace

int TryCommand(const std::vector<std::string>& args) {
    TryOptions options;
    std::string error;
    if (!ParseTryArguments(args, &options, &error)) return Cannot("try: " + error + " (qpack try --help shows the usage)");
    std::vector<RunRecord> records;
    return TryPackage(options, &records);
}

int TryPackage(const TryOptions& options, std::vector<RunRecord>* recordsOut) {
    std::string error;
    fs::path build, source;
    if (!FindTrees(options.build, &build, &source, &error) || !CheckRunnable(build, &error)) return Cannot(error);

    PackageContents contents;
    error = ReadPackage(options.package, &contents);
    if (!error.empty()) return Cannot(error);
    std::vector<std::string> packageNames;
    for (const PackageEntry& entry : contents.entries) packageNames.push_back(PlainName(entry.storedName));
    std::vector<ReleaseImage> images;
    error = PackageImages(options.package, contents, &images);
    if (!error.empty()) return Cannot(error);
    // One package for every run: who signed it is checked once. Asked to prove the signer (--ca)
    // or to have one, a package that fails is not run at all.
    SignatureVerdict verdict;
    bool toolMissing = false;
    error = VerifyAndJudge(options.package, options.ca, options.requireSignature, &verdict, &toolMissing);
    const bool strict = !options.ca.empty() || options.requireSignature;
    if (strict && (toolMissing || !error.empty())) return Cannot("cannot check the signature: " + error);
    if (strict && !verdict.ok) {
        fprintf(stderr, "qpack: %s: %s\n", options.package.c_str(), verdict.fault.c_str());
        return kExitFault;
    }
    for (const std::string& warning : verdict.warnings) fprintf(stderr, "qpack: warning: %s\n", warning.c_str());
    const std::string signedBy = error.empty() ? verdict.signedBy : "not checked: " + error;
    std::vector<TryProfile> profiles;
    if (!LoadProfiles(options.profiles, options.withShipped, source, &profiles, &error)) return Cannot(error);
    std::string rc;
    if (!ReadText(source / "ui/strings.rc", &rc)) return Cannot("no string table at " + (source / "ui/strings.rc").string());
    const std::map<unsigned, std::string> strings = ParseStringTable(rc);

    const fs::path report = fs::absolute(options.report);
    std::error_code ec;
    fs::remove_all(report / "runs", ec);
    std::vector<TryRun> runs = BuildMatrix(profiles, options);
    std::vector<std::string> powers;
    std::vector<std::pair<bool, std::string>> served;
    for (const TryRun& run : runs) {
        MachineIdentity machine;
        std::string why;
        if (!IdentifyMachine(run.profile->text, contents.flags, &machine, &error)) return Cannot(run.profile->path + ": " + error);
        bool serves = Serves(images, machine, &why);
        served.push_back({serves, why});
        std::string text;
        const fs::path dir = report / "runs" / run.id;
        fs::create_directories(dir / "out", ec);
        if (!ProfileForRun(run.profile->text, *run.mode, *run.language, &text, &error) ||
            !WriteText(dir / "profile.json", text)) {
            return Cannot("cannot write " + (dir / "profile.json").string());
        }
        powers.push_back(PowerForRun(run.profile->text, options.power));
    }

    unsigned jobs = options.jobs ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
    signal(SIGINT, OnStop);
    signal(SIGTERM, OnStop);
    signal(SIGHUP, OnStop);
    const bool tty = isatty(2);
    std::vector<RunRecord> records(runs.size());
    std::vector<Running> running;
    size_t next = 0, done = 0, failed = 0;
    Progress(done, runs.size(), 0, 0, tty);
    while (done < runs.size()) {
        while (!g_stop && next < runs.size() && running.size() < jobs) {
            const TryRun& run = runs[next];
            pid_t pid = StartRun(run, options, build, source, report / "runs" / run.id, powers[next]);
            if (pid < 0) {
                // The runs already going are ended whole, as on Ctrl-C.
                g_stop = 1;
                break;
            }
            running.push_back({next++, pid, Clock::now(), false});
            Progress(done, runs.size(), running.size(), failed, tty);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        for (size_t i = 0; i < running.size();) {
            Running& r = running[i];
            double seconds = std::chrono::duration<double>(Clock::now() - r.started).count();
            int status = 0;
            if (waitpid(r.pid, &status, WNOHANG) != r.pid) {
                // Ended whole, as a run that outlived its time or was stopped; its wrapper's clean-up
                // gets 15 s before the group is killed.
                if ((g_stop || seconds > options.timeoutSeconds) && !r.terminated) {
                    kill(-r.pid, SIGTERM);
                    r.terminated = true;
                } else if (r.terminated && seconds > options.timeoutSeconds + 15) {
                    kill(-r.pid, SIGKILL);
                }
                ++i;
                continue;
            }
            RunRecord& record = records[r.index];
            record = ReadRecord(runs[r.index], report, packageNames, strings);
            record.power = powers[r.index];
            record.served = served[r.index].first;
            record.servedWhy = served[r.index].second;
            record.signedBy = signedBy;
            record.seconds = seconds;
            if (r.terminated) record.differences.push_back("ended after " + std::to_string(options.timeoutSeconds) + " s");
            failed += MachineVerdict(record) == "failed" ? 1 : 0;
            ++done;
            running.erase(running.begin() + static_cast<long>(i));
            Progress(done, runs.size(), running.size(), failed, tty);
        }
        if (g_stop && running.empty()) break;
    }
    if (tty) fputc('\n', stderr);
    if (g_stop) return Cannot("stopped; the runs so far are in " + report.string());
    const std::string package = fs::path(options.package).filename().string();
    printf("%s", FormatTable(records).c_str());
    if (!WriteText(report / "report.json", ReportJson(package, records)) ||
        !WriteText(report / "report.html", ReportHtml(package, records))) {
        return Cannot("cannot write the report into " + report.string());
    }
    if (!options.withShipped) printf("report: %s\n", (report / "report.html").c_str());
    *recordsOut = records;
    return failed == 0 ? kExitOk : kExitFault;
}

int TryStoppedBy() { return g_stop; }

int ProfileCommand(const std::vector<std::string>& args) {
    std::string dmi, entry, base, out;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--from-dmi" && i + 2 < args.size()) {
            dmi = args[++i];
            entry = args[++i];
        } else if ((a == "--base" || a == "-o") && i + 1 < args.size()) {
            (a == "--base" ? base : out) = args[++i];
        } else {
            return Cannot("profile: takes --from-dmi DMI ENTRY [--base PROFILE] [-o OUT.json] (qpack profile --help shows the usage)");
        }
    }
    if (dmi.empty()) return Cannot("profile: needs --from-dmi DMI ENTRY (qpack profile --help shows the usage)");
    std::string error, baseText, dmiBytes, entryBytes, profile;
    if (base.empty()) {
        fs::path build, source;
        if (!FindTrees("", &build, &source, &error)) return Cannot(error + "; or give --base PROFILE");
        base = (source / "sim/profiles/phoenix.json").string();
    }
    if (!ReadText(base, &baseText)) return Cannot("cannot read " + base);
    if (!ReadText(dmi, &dmiBytes)) return Cannot("cannot read " + dmi);
    if (!ReadText(entry, &entryBytes)) return Cannot("cannot read " + entry);
    if (!MakeDmiProfile(baseText, dmiBytes, entryBytes, dmi, &profile, &error)) {
        fprintf(stderr, "qpack: %s\n", error.c_str());
        return kExitFault;
    }
    if (out.empty()) {
        printf("%s", profile.c_str());
        return kExitOk;
    }
    if (!WriteText(out, profile)) return Cannot("cannot write " + out);
    return kExitOk;
}
