#include "bench/Chart.h"

#include <cstdlib>
#include <fstream>
#include <vector>

#include "bench/Format.h"
#include "bench/Stats.h"

#ifndef KAVRIXML_BENCH_GNUPLOT
#define KAVRIXML_BENCH_GNUPLOT "gnuplot"
#endif

namespace bench {

namespace {

const char* const kOursColour = "0xcc3311";
const char* const kPeerColour = "0x4477aa";

// A bar's label, saying when its mean covers fewer documents than the title.
std::string barLabel(const std::string& name, size_t measured, size_t documents) {
    if (measured == documents) {
        return name;
    }
    return name + " (" + std::to_string(measured) + " docs)";
}

// One line of gnuplot data: label, MB/s, colour.
std::string bar(const std::string& label, const std::vector<double>& rates, size_t documents,
                bool ours) {
    return '"' + barLabel(label, rates.size(), documents) + "\" " +
           fixed(geometricMean(rates) / kMB, 1) + ' ' + (ours ? kOursColour : kPeerColour) + "\n";
}

void writeParseData(const Figures& figures, const std::string& path) {
    const std::vector<const DocumentFigures*> documents = figures.reported();
    std::ofstream out(path);
    for (size_t i = 0; i < figures.subjects().size(); ++i) {
        if (figures.subjects()[i]->kind() == Subject::SCAN) {
            continue;  // the floor would flatten every other bar
        }
        std::vector<double> rates;
        for (const DocumentFigures* document : documents) {
            const SubjectFigures& mine = document->subjects[i];
            if (mine.accepted && !mine.parseRates.empty()) {
                rates.push_back(median(mine.parseRates));
            }
        }
        out << bar(figures.subjects()[i]->name(), rates, documents.size(),
                   static_cast<int>(i) == figures.comparison().oursIndex());
    }
}

void writeWriteData(const Figures& figures, const std::string& path) {
    const std::vector<const DocumentFigures*> documents = figures.reported();
    const std::vector<Writer>& writers = figures.comparison().writers();
    std::ofstream out(path);
    for (size_t w = 0; w < writers.size(); ++w) {
        std::vector<double> rates;
        for (const DocumentFigures* document : documents) {
            if (document->writers[w].valid && !document->writers[w].rates.empty()) {
                rates.push_back(median(document->writers[w].rates));
            }
        }
        out << bar(writers[w].label, rates, documents.size(),
                   static_cast<int>(writers[w].subject) == figures.comparison().oursIndex());
    }
}

}  // namespace

bool drawChart(const Figures& figures, const std::string& chartPath, const std::string& workFolder,
               std::ostream& log) {
    const std::string parseData = workFolder + "/chart-parse.dat";
    const std::string writeData = workFolder + "/chart-write.dat";
    const std::string script = workFolder + "/chart.gp";
    writeParseData(figures, parseData);
    writeWriteData(figures, writeData);
    std::ofstream gp(script);
    gp << "set terminal svg size 1000,460 dynamic font 'sans,12' background rgb 'white'\n"
       << "set output '" << chartPath << "'\n"
       << "set multiplot layout 1,2 title 'Throughput in MB/s, geometric mean over "
       << figures.reported().size() << " documents (kavrixml in red)'\n"
       << "set style fill solid 0.85 border -1\nset boxwidth 0.7\nset grid ytics\n"
       << "set yrange [0:*]\nset xtics rotate by -35 scale 0 nomirror\nunset key\n"
       << "set offsets 0.5, 0.5, graph 0.08, 0\n"
       << "set title 'Parse (MB/s of input)'\n"
       << "plot '" << parseData << "' using 0:2:3:xtic(1) with boxes lc rgb variable, \\\n"
       << "     '' using 0:2:(sprintf('%.0f', $2)) with labels offset 0,0.7\n"
       << "set title 'Write (MB/s of output)'\n"
       << "plot '" << writeData << "' using 0:2:3:xtic(1) with boxes lc rgb variable, \\\n"
       << "     '' using 0:2:(sprintf('%.0f', $2)) with labels offset 0,0.7\n"
       << "unset multiplot\n";
    gp.close();
    const std::string command = std::string(KAVRIXML_BENCH_GNUPLOT) + " '" + script + "'";
    if (std::system(command.c_str()) != 0) {
        log << "gnuplot failed: " << command << std::endl;
        return false;
    }
    return true;
}

}  // namespace bench
