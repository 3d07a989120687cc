#include "tools/qpack/try_report.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>

#include "tools/qpack/served_machines.h"

using json = nlohmann::json;

namespace {

const char* const kColumns[] = {"machine", "windows", "lang", "outcome", "image", "EC file", "BIOS flasher",
                                "MICOM flasher", "flash written", "power", "signed by", "time", "verdict"};
constexpr size_t kColumnCount = sizeof kColumns / sizeof kColumns[0];

// The flasher's command line without the working directory in front of the tool.
std::string ShortCommand(const std::string& command) {
    // The flasher's path comes quoted.
    bool quoted = !command.empty() && command[0] == '"';
    size_t end = quoted ? command.find('"', 1) : command.find(' ');
    size_t slash = command.rfind('\\', end);
    if (slash == std::string::npos) return command;
    if (end == std::string::npos) return command.substr(slash + 1);
    return command.substr(slash + 1, end - slash - 1) + command.substr(quoted ? end + 1 : end);
}

std::string OrDash(const std::string& text) { return text.empty() ? "-" : text; }

std::string Joined(const std::vector<std::string>& parts, const char* separator) {
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : separator) + part;
    return text;
}

std::string PowerText(const RunOutcome& outcome) {
    if (!outcome.poweredOff) return "stays on";
    return outcome.powerOnArmed ? "off, power-on armed" : "off, power-on NOT armed";
}

// A machine the package is not for passes when its run wrote nothing; it says so, with why.
std::string VerdictText(const RunRecord& r) {
    std::string reason, verdict = MachineVerdict(r, &reason);
    if (verdict == "failed") return "FAILED: " + reason;
    return r.served ? verdict : verdict + " (" + r.servedWhy + "), nothing written";
}

std::string RowClass(const RunRecord& r) {
    std::string verdict = MachineVerdict(r);
    return verdict == "failed" ? "no" : verdict == "passed" ? "yes" : "ns";
}

std::string Seconds(double seconds) {
    char text[16];
    snprintf(text, sizeof text, "%.0f s", seconds);
    return text;
}

std::vector<std::string> Cells(const RunRecord& r) {
    return {r.machine,
            r.mode,
            r.language,
            OutcomeText(r),
            OrDash(r.outcome.image),
            OrDash(r.outcome.ecFile),
            OrDash(ShortCommand(r.outcome.biosCommand)),
            OrDash(ShortCommand(r.outcome.micomCommand)),
            OrDash(Joined(r.outcome.flashWrites, " ")),
            PowerText(r.outcome),
            OrDash(r.signedBy),
            Seconds(r.seconds),
            VerdictText(r)};
}


}  // namespace

std::string Html(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

namespace {

std::string Link(const std::string& path, const char* label) {
    return path.empty() ? "" : "<a href=\"" + Html(path) + "\">" + label + "</a> ";
}

}  // namespace

std::string OutcomeText(const RunRecord& record) {
    const RunOutcome& outcome = record.outcome;
    if (!outcome.finished) return "no exit code: the run did not finish";
    char code[16];
    snprintf(code, sizeof code, "0x%08X ", outcome.exitCode);
    if (!outcome.noImage) return code + record.meaning;
    // The AMI path gives up before it reads the version when the package has no AMI image.
    return code + std::string("no image for this machine") +
           (outcome.biosVersion.empty() ? "" : " (BIOS " + outcome.biosVersion + ")");
}

std::string FormatTable(const std::vector<RunRecord>& records) {
    std::vector<std::vector<std::string>> rows = {std::vector<std::string>(kColumns, kColumns + kColumnCount)};
    for (const RunRecord& record : records) rows.push_back(Cells(record));
    size_t widths[kColumnCount] = {};
    for (const auto& row : rows) {
        for (size_t i = 0; i < kColumnCount; ++i) widths[i] = std::max(widths[i], row[i].size());
    }
    std::string table;
    for (const auto& row : rows) {
        std::string line;
        for (size_t i = 0; i < kColumnCount; ++i) {
            line += row[i];
            if (i + 1 < kColumnCount) line += std::string(widths[i] - row[i].size() + 2, ' ');
        }
        table += line + "\n";
    }
    return table;
}

std::string ReportJson(const std::string& package, const std::vector<RunRecord>& records) {
    json runs = json::array();
    for (const RunRecord& r : records) {
        const RunOutcome& o = r.outcome;
        runs.push_back({{"id", r.id},
                        {"machine", r.machine},
                        {"machine_name", r.machineName},
                        {"windows", r.mode},
                        {"language", r.language},
                        {"power_supply", r.power},
                        {"finished", o.finished},
                        {"exit", o.finished ? json(o.exitCode) : json()},
                        {"outcome", OutcomeText(r)},
                        {"no_image", o.noImage},
                        {"ami", o.ami},
                        {"bios_version", o.biosVersion},
                        {"image", o.image},
                        {"ec_file", o.ecFile},
                        {"bios_command", o.biosCommand},
                        {"micom_command", o.micomCommand},
                        {"flash_written", o.flashWrites},
                        {"powered_off", o.poweredOff},
                        {"power_on_armed", o.powerOnArmed},
                        {"signed_by", r.signedBy},
                        {"boxes", o.boxTitles},
                        {"seconds", r.seconds},
                        {"as_expected", r.differences.empty()},
                        {"served", r.served},
                        {"served_why", r.servedWhy},
                        {"verdict", MachineVerdict(r)},
                        {"differences", r.differences},
                        {"debug_log", r.log},
                        {"trace", r.trace},
                        {"boxes_report", r.drive},
                        {"screenshots", r.shots}});
    }
    return json({{"package", package}, {"runs", runs}}).dump(2) + "\n";
}

const char kReportStyle[] =
    "body{font-family:sans-serif;font-size:13px}table{border-collapse:collapse}"
    "td,th{border:1px solid #999;padding:3px 6px;text-align:left;vertical-align:top}"
    ".no{background:#fdd}.yes{background:#dfd}.ns{background:#eee;color:#444}td:last-child{white-space:nowrap}"
    "img{max-width:100%;margin:2px;border:1px solid #999}";

std::string RunTableHtml(const std::vector<RunRecord>& records) {
    std::string html = "<table><tr>";
    for (const char* column : kColumns) html += "<th>" + Html(column) + "</th>";
    html += "<th>run</th></tr>\n";
    for (const RunRecord& r : records) {
        std::vector<std::string> cells = Cells(r);
        cells[0] = r.machine + " (" + r.machineName + ")";
        html += "<tr class=\"" + RowClass(r) + "\">";
        for (const std::string& cell : cells) html += "<td>" + Html(cell) + "</td>";
        html += "<td>" + Link(r.log, "debug log") + Link(r.trace, "trace") + Link(r.drive, "boxes") +
                "<a href=\"#" + Html(r.id) + "\">screens</a></td></tr>\n";
    }
    return html + "</table>\n";
}

// Each screenshot cut to the program's windows, at its own size, leading to the whole screen.
std::string ShotsHtml(const std::vector<RunRecord>& records) {
    std::string html;
    for (const RunRecord& r : records) {
        html += "<h2 id=\"" + Html(r.id) + "\">" + Html(r.machine + ", " + r.mode + ", " + r.language) + ": " +
                Html(OutcomeText(r)) + "</h2>\n<p>";
        for (size_t i = 0; i < r.shots.size(); ++i) {
            const std::string& shown = i < r.cutShots.size() && !r.cutShots[i].empty() ? r.cutShots[i] : r.shots[i];
            html += "<a href=\"" + Html(r.shots[i]) + "\"><img src=\"" + Html(shown) + "\" alt=\"" + Html(r.shots[i]) +
                    "\"></a>";
        }
        if (r.shots.empty()) html += "no screenshot";
        html += "</p>\n";
    }
    return html;
}

std::string ReportHtml(const std::string& package, const std::vector<RunRecord>& records) {
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>qpack try: " + Html(package) +
           "</title>\n<style>" + kReportStyle + "</style></head><body>\n<h1>qpack try: " + Html(package) +
           "</h1>\n" + RunTableHtml(records) + ShotsHtml(records) + "</body></html>\n";
}
