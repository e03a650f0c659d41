#include "bench/Ours.h"
#include "bench/Subject.h"

namespace bench {

std::vector<std::unique_ptr<Subject>> makeSubjects() {
    std::vector<std::unique_ptr<Subject>> subjects;
#ifdef KAVRIXML_BENCH_HAVE_OURS
    subjects.push_back(makeOurs());
#endif
#ifdef KAVRIXML_BENCH_HAVE_PUGIXML
    subjects.push_back(makePugixml());
#endif
#ifdef KAVRIXML_BENCH_HAVE_RAPIDXML
    subjects.push_back(makeRapidxml());
#endif
#ifdef KAVRIXML_BENCH_HAVE_TINYXML2
    subjects.push_back(makeTinyxml2());
#endif
#ifdef KAVRIXML_BENCH_HAVE_LIBXML2
    subjects.push_back(makeLibxml2());
#endif
#ifdef KAVRIXML_BENCH_HAVE_EXPAT
    subjects.push_back(makeExpat());
#endif
    subjects.push_back(makeMemchr());
    return subjects;
}

}  // namespace bench
