#include "tools/qpack/release_report.h"

#include <cinttypes>
#include <cstdio>

#include "tools/qpack/flag_names.h"

namespace {

std::string Row(const std::vector<std::string>& cells, const char* tag = "td") {
    std::string html = "<tr>";
    for (const std::string& cell : cells) html += std::string("<") + tag + ">" + Html(cell) + "</" + tag + ">";
    return html + "</tr>\n";
}

std::string Table(const std::vector<std::string>& head, const std::vector<std::vector<std::string>>& rows) {
    std::string html = "<table>" + Row(head, "th");
    for (const auto& row : rows) html += Row(row);
    return html + "</table>\n";
}

std::string Number(uint64_t value) {
    char text[32];
    snprintf(text, sizeof text, "%" PRIu64 " bytes", value);
    return text;
}

std::string Or(const std::string& text, const char* otherwise) { return text.empty() ? otherwise : text; }

}  // namespace

std::string ReleaseHtml(const ReleaseFacts& facts) {
    const bool ready = facts.failedStep.empty();
    const std::string title = "qpack release: " + facts.package + ": " + (ready ? "ready to ship" : "FAILED");
    std::string html = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + Html(title) +
                       "</title>\n<style>" + kReportStyle + ".verdict{font-size:18px;padding:6px}</style></head><body>\n<h1>" +
                       Html(title) + "</h1>\n<p class=\"verdict " + (ready ? "yes" : "no") + "\">" +
                       Html(ReleaseVerdict(facts)) + "</p>\n<h2>Steps</h2>\n";
    std::vector<std::vector<std::string>> rows;
    for (const ReleaseStep& step : facts.steps) rows.push_back({step.name, step.result, step.detail});
    html += Table({"step", "result", "detail"}, rows);

    html += "<h2>Package</h2>\n" +
            Table({"", ""}, {{"file", facts.package},
                             {"size", Number(facts.packageSize)},
                             {"SHA-256", Or(facts.packageSha256, "-")},
                             {"archive digest", Or(facts.archiveDigest, "-")},
                             {"flags", DescribeFlags(facts.flags)},
                             {"signer", Or(facts.signer, "-")},
                             {"digest algorithm", Or(facts.digestAlgorithm, "-")},
                             {"proven against", facts.ca},
                             {"timestamp", facts.timestamp.empty() ? kNoTimestamp : "by " + facts.timestamp}});

    rows.clear();
    for (const ReleaseImage& i : facts.images) {
        rows.push_back({i.name, i.kind, i.kind == "AMI" ? "-" : Or(i.model, "none"),
                        i.kind == "AMI" ? Or(i.fidPart, "none") : Or(i.part, "none"),
                        i.kind == "AMI" ? "build " + Or(i.fidBuild, "none") : Or(i.version, "none"),
                        i.onlyOne ? "the only one of its kind" : "characters 3 and 4: " + i.versionCharacters});
    }
    html += "<h2>BIOS images</h2>\n" + Table({"image", "kind", "model", "part", "version", "picked by"}, rows);

    rows.clear();
    for (const ReleaseEntry& e : facts.entries) rows.push_back({e.name, Number(e.size), e.sha256});
    html += "<h2>Entries</h2>\n" + Table({"entry", "size", "SHA-256"}, rows);

    html += "<h2>Machines</h2>\n";
    html += facts.runs.empty() ? "<p>not tried</p>\n" : RunTableHtml(facts.runs) + ShotsHtml(facts.runs);
    return html + "</body></html>\n";
}
