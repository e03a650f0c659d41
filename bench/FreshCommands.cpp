#include "bench/FreshCommands.h"

#include <unistd.h>

#include <utility>

#include "bench/Format.h"
#include "bench/Process.h"

namespace bench {

namespace {

const char* const kFile = "FILE";

std::vector<std::string> withFile(std::vector<std::string> argv, const std::string& path) {
    for (std::string& argument : argv) {
        if (argument == kFile) {
            argument = path;
        }
    }
    return argv;
}

// Runs `argv` with its output thrown away; the time, or the failure in
// `problem` (prefixed with `label`).
double timedRun(const std::vector<std::string>& argv, const std::string& label,
                std::string& problem) {
    const ProcessResult run = runProcess(argv, Output::DISCARD);
    if (!run.ok() && problem.empty()) {
        problem = label + ": " + run.failure();
    }
    return run.seconds;
}

}  // namespace

FreshCommands::FreshCommands(FreshCommandSettings settings) : mSettings(std::move(settings)) {
    const std::string& tool = mSettings.tool;
    const std::string& xmllint = mSettings.xmllint;
    mPairs = {
        {"kavrixml check", "xmllint --noout", {tool, "check", kFile}, {xmllint, "--noout", kFile}},
        {"kavrixml format",
         "xmllint --format",
         {tool, "format", "-o", "/dev/null", kFile},
         {xmllint, "--format", kFile}},
    };
    // One attribute changed, the document written out whole: the root's
    // first attribute, or its first child's (every corpus document has one).
    // xmlstarlet keeps the white space between elements with -P, as we do.
    if (runProcess({mSettings.xmlstarlet, "--version"}, Output::DISCARD, Output::DISCARD).started) {
        mPairs.push_back({"kavrixml edit -u",
                          "xmlstarlet ed -P -u",
                          {tool, "edit", "-u", "(/*/@* | /*/*[1]/@*)[1]", "-v", "edited", kFile},
                          {mSettings.xmlstarlet, "ed", "-P", "-u", "(/*/@* | /*/*[1]/@*)[1]", "-v",
                           "edited", kFile}});
    }
    mUnavailable = findUnavailable();
}

std::string FreshCommands::findUnavailable() const {
    if (mSettings.tool.empty() || access(mSettings.tool.c_str(), X_OK) != 0) {
        return "the kavrixml tool was not built with the benchmarks";
    }
    if (!runProcess({mSettings.xmllint, "--version"}, Output::DISCARD, Output::DISCARD).started) {
        return "xmllint was not found (Debian package libxml2-utils)";
    }
    return "";
}

std::vector<const CommandFigures*> FreshCommands::figuresOf(const std::string& ours) const {
    std::vector<const CommandFigures*> found;
    for (const CommandFigures& figures : mFigures) {
        if (figures.ours == ours) {
            found.push_back(&figures);
        }
    }
    return found;
}

void FreshCommands::run(const std::vector<CorpusDocument>& documents, std::ostream& log) {
    if (!mUnavailable.empty()) {
        log << "fresh-process runs skipped: " << mUnavailable << std::endl;
        return;
    }
    for (const CorpusDocument& document : documents) {
        if (document.bytes.size() < mSettings.minBytes || document.path.empty()) {
            continue;
        }
        for (const Pair& pair : mPairs) {
            race(pair, document, log);
        }
    }
}

void FreshCommands::race(const Pair& pair, const CorpusDocument& document, std::ostream& log) {
    CommandFigures figures;
    figures.ours = pair.ours;
    figures.peer = pair.peer;
    figures.document = document.name;
    figures.bytes = document.bytes.size();
    const std::vector<std::string> ours = withFile(pair.oursArgv, document.path);
    const std::vector<std::string> peer = withFile(pair.peerArgv, document.path);
    // Untimed: brings the file and both programs into memory, and finds a
    // program that fails on the document before any time is kept.
    timedRun(ours, pair.ours, figures.problem);
    timedRun(peer, pair.peer, figures.problem);
    for (int run = 0; run < mSettings.runs && figures.problem.empty(); ++run) {
        double oursSeconds = 0;
        double peerSeconds = 0;
        if (run % 2 == 0) {
            oursSeconds = timedRun(ours, pair.ours, figures.problem);
            peerSeconds = timedRun(peer, pair.peer, figures.problem);
        } else {
            peerSeconds = timedRun(peer, pair.peer, figures.problem);
            oursSeconds = timedRun(ours, pair.ours, figures.problem);
        }
        figures.oursSeconds.push_back(oursSeconds);
        figures.peerSeconds.push_back(peerSeconds);
    }
    if (!figures.problem.empty()) {
        figures.oursSeconds.clear();
        figures.peerSeconds.clear();
        log << "  " << pair.ours << " / " << pair.peer << " on " << document.name << ": "
            << figures.problem << std::endl;
    } else {
        log << "  " << pair.ours << " / " << pair.peer << " on " << document.name << ": "
            << ratio(figures.speedup()) << " as fast" << std::endl;
    }
    mFigures.push_back(std::move(figures));
}

}  // namespace bench
