#include "bench/Comparison.h"

#include <time.h>

#include <cstdlib>
#include <cstring>
#include <utility>

#include "bench/Stats.h"

namespace bench {

namespace {

// About this many input bytes per timed sample: long enough that the clock's
// resolution and a stray interrupt do not matter, short enough to interleave.
const size_t kSampleBytes = 16 * 1000 * 1000;

// expat checks the whole grammar and shares no code with any tree builder
// here. Without it, counts are compared with the first tree's and written
// output is not read back.
int findChecker(const std::vector<std::unique_ptr<Subject>>& subjects) {
    for (size_t i = 0; i < subjects.size(); ++i) {
        if (subjects[i]->kind() == Subject::EVENTS) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

double threadCpuSeconds() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// glibc keeps small freed blocks in fast bins and merges them all at the next
// large allocation. Without this, the library timed after one that freed a
// big tree of small blocks (libxml2) would pay for merging that tree's
// blocks inside its own sample; done here, before the clock starts, no
// library pays for another's frees.
void settleHeap() {
    // Volatile, so that the compiler keeps the pair it could prove useless.
    static void* volatile large;
    large = std::malloc(64 * 1024);
    std::free(large);
}

}  // namespace

template <class Work>
double Comparison::timed(Work work) {
    settleHeap();
    const double cpuStart = threadCpuSeconds();
    const Clock::time_point start = Clock::now();
    work();
    const double seconds = secondsSince(start);
    mCpuSeconds += threadCpuSeconds() - cpuStart;
    mWallSeconds += seconds;
    return seconds;
}

Comparison::Comparison(const std::vector<std::unique_ptr<Subject>>& subjects,
                       const std::vector<CorpusDocument>& documents, HeapProbe heapProbe)
    : mSubjects(subjects), mHeapProbe(std::move(heapProbe)) {
    for (size_t i = 0; i < subjects.size(); ++i) {
        if (std::strcmp(subjects[i]->name(), "kavrixml") == 0) {
            mOurs = static_cast<int>(i);
        }
        std::vector<std::string> styles = subjects[i]->writeStyles();
        for (size_t style = 0; style < styles.size(); ++style) {
            mWriters.push_back({i, style, std::string(subjects[i]->name()) + " " + styles[style]});
        }
    }
    mChecker = findChecker(subjects);
    for (const CorpusDocument& document : documents) {
        DocumentFigures figures;
        figures.document = &document;
        figures.subjects.resize(subjects.size());
        figures.writers.resize(mWriters.size());
        mFigures.push_back(std::move(figures));
    }
}

size_t Comparison::samplesFor(size_t bytes) {
    if (bytes == 0) {
        return 1;
    }
    return bytes >= kSampleBytes ? 1 : (kSampleBytes + bytes - 1) / bytes;
}

void Comparison::run(int maxRounds, double budgetSeconds, std::ostream& log) {
    for (DocumentFigures& figures : mFigures) {
        log << "checking " << figures.document->name << " ("
            << figures.document->bytes.size() / 1000 << " kB)" << std::endl;
        check(figures);
        if (figures.rejectedByOurs) {
            log << "\n*** OUR READER REJECTS " << figures.document->name << ": "
                << figures.oursError << "\n*** no figures are reported for it\n"
                << std::endl;
            continue;
        }
        for (size_t i = 0; i < mSubjects.size(); ++i) {
            if (!figures.subjects[i].accepted) {
                log << "  " << mSubjects[i]->name()
                    << " refuses it: " << figures.subjects[i].refusal << std::endl;
            }
        }
    }
    Clock::time_point start = Clock::now();
    for (int round = 1; round <= maxRounds; ++round) {
        Clock::time_point roundStart = Clock::now();
        for (size_t d = 0; d < mFigures.size(); ++d) {
            if (!mFigures[d].rejectedByOurs) {
                const size_t rotation = static_cast<size_t>(round) + d;
                timeParses(mFigures[d], rotation);
                timeWrites(mFigures[d], rotation);
            }
        }
        mRounds = round;
        log << "round " << round << ": " << secondsSince(roundStart) << " s" << std::endl;
        if (round >= 3 && secondsSince(start) > budgetSeconds) {
            break;
        }
    }
}

size_t Comparison::countWithChecker(const std::string& bytes) {
    if (mChecker < 0) {
        return 0;
    }
    Subject& checker = *mSubjects[static_cast<size_t>(mChecker)];
    std::string error;
    size_t count = checker.parse(bytes, error) ? checker.elementCount() : 0;
    checker.release();
    return count;
}

void Comparison::check(DocumentFigures& figures) {
    figures.referenceElements = countWithChecker(figures.document->bytes);
    for (size_t i = 0; i < mSubjects.size(); ++i) {
        checkSubject(figures, i);
    }
    if (mOurs >= 0 && !figures.subjects[static_cast<size_t>(mOurs)].accepted) {
        figures.rejectedByOurs = true;
        figures.oursError = figures.subjects[static_cast<size_t>(mOurs)].refusal;
    }
    for (size_t w = 0; w < mWriters.size(); ++w) {
        checkWriter(figures, w);
    }
    for (const std::unique_ptr<Subject>& subject : mSubjects) {
        subject->release();
    }
}

void Comparison::checkSubject(DocumentFigures& figures, size_t i) {
    const std::string& bytes = figures.document->bytes;
    Subject& subject = *mSubjects[i];
    SubjectFigures& mine = figures.subjects[i];
    std::string error;
    // This tree stays for the writers' check.
    if (!subject.parse(bytes, error)) {
        mine.refusal = error.empty() ? "refused" : error;
        return;
    }
    if (subject.kind() == Subject::SCAN) {
        mine.accepted = true;
        return;
    }
    mine.elements = subject.elementCount();
    if (figures.referenceElements == 0) {
        figures.referenceElements = mine.elements;
    }
    if (mine.elements != figures.referenceElements) {
        mine.refusal = "read " + std::to_string(mine.elements) + " elements of " +
                       std::to_string(figures.referenceElements);
        return;
    }
    mine.accepted = true;
    if (subject.kind() == Subject::TREE && mHeapProbe) {
        const HeapReading reading = mHeapProbe(subject, *figures.document);
        if (reading.measured) {
            mine.heapBytes = reading.bytes;
            mine.heapResidual = reading.residual;
        } else {
            mine.heapProblem = reading.problem;
        }
    }
}

void Comparison::checkWriter(DocumentFigures& figures, size_t w) {
    Subject& subject = *mSubjects[mWriters[w].subject];
    WriterFigures& mine = figures.writers[w];
    if (!figures.subjects[mWriters[w].subject].accepted) {
        mine.problem = "no tree";
        return;
    }
    mine.outputBytes = subject.write(mWriters[w].style);
    if (mine.outputBytes == 0) {
        mine.problem = "wrote nothing";
        return;
    }
    if (mChecker >= 0) {
        const size_t count = countWithChecker(std::string(subject.written()));
        if (count != figures.referenceElements) {
            mine.problem = "output reads back with " + std::to_string(count) + " elements of " +
                           std::to_string(figures.referenceElements);
            return;
        }
    }
    mine.valid = true;
}

void Comparison::timeParses(DocumentFigures& figures, size_t round) {
    const std::string& bytes = figures.document->bytes;
    const size_t samples = samplesFor(bytes.size());
    std::string error;
    for (size_t i : rotatedOrder(mSubjects.size(), round)) {
        if (!figures.subjects[i].accepted) {
            continue;
        }
        Subject& subject = *mSubjects[i];
        const double seconds = timed([&] {
            for (size_t s = 0; s < samples; ++s) {
                subject.parse(bytes, error);
                subject.release();
            }
        });
        figures.subjects[i].parseRates.push_back(static_cast<double>(bytes.size() * samples) /
                                                 seconds);
    }
}

void Comparison::timeWrites(DocumentFigures& figures, size_t round) {
    const std::string& bytes = figures.document->bytes;
    const size_t samples = samplesFor(bytes.size());
    std::string error;
    // Every library's tree is built first, so that the writes of one round
    // run back to back in the rotated order.
    std::vector<bool> built(mSubjects.size(), false);
    for (const Writer& writer : mWriters) {
        if (!built[writer.subject] && figures.subjects[writer.subject].accepted) {
            built[writer.subject] = mSubjects[writer.subject]->parse(bytes, error);
        }
    }
    for (size_t w : rotatedOrder(mWriters.size(), round)) {
        if (!figures.writers[w].valid || !built[mWriters[w].subject]) {
            continue;
        }
        Subject& subject = *mSubjects[mWriters[w].subject];
        size_t written = 0;
        const double seconds = timed([&] {
            for (size_t s = 0; s < samples; ++s) {
                written += subject.write(mWriters[w].style);
            }
        });
        figures.writers[w].rates.push_back(static_cast<double>(written) / seconds);
    }
    for (size_t i = 0; i < mSubjects.size(); ++i) {
        if (built[i]) {
            mSubjects[i]->release();
        }
    }
}

}  // namespace bench
