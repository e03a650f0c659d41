// Subject is one library in the peer comparison, behind a common face: parse
// the same bytes into the library's own tree (or events), count what it read,
// and serialise the tree in each style the library offers. The comparison
// program owns the subjects; a subject owns the last tree it built until
// release() or the next parse.
//
//   std::vector<std::unique_ptr<bench::Subject>> subjects = bench::makeSubjects();
//   std::string error;
//   if (subjects[0]->parse(bytes, error)) { subjects[0]->write(0); subjects[0]->release(); }
//
// Every subject starts from the same read-only bytes and ends with a tree
// that does not depend on them, so a copy that a library needs (for one
// that parses in place) is part of its parse.
#ifndef KAVRIXML_BENCH_SUBJECT_H
#define KAVRIXML_BENCH_SUBJECT_H

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "bench/Query.h"

namespace bench {

class Subject {
  public:
    // TREE builds a document tree; EVENTS reports elements and text to
    // handlers without keeping anything; SCAN only searches the bytes.
    enum Kind { TREE, EVENTS, SCAN };

    virtual ~Subject() = default;

    virtual const char* name() const = 0;
    // The Debian package the library comes from; empty for our own.
    virtual const char* package() const = 0;
    virtual Kind kind() const { return TREE; }
    // Parses `bytes`, keeping the tree until release(). Returns false with
    // the library's reason in `error` when it refuses the document.
    virtual bool parse(const std::string& bytes, std::string& error) = 0;
    virtual void release() {}
    // Bytes the library keeps free in allocation pools of its own (see
    // heap::measure); 0 for libraries that allocate from the heap directly.
    virtual long long pooledFreeBytes() const { return 0; }
    // Elements in the kept tree or seen by the last event parse (0 for a scan),
    // so that the comparison can check every library read the whole document.
    virtual size_t elementCount() const = 0;

    // Write styles offered for a kept tree, named for the report.
    virtual std::vector<std::string> writeStyles() const { return {}; }
    // Serialises the kept tree in `style` into a buffer that is reused from
    // one call to the next; returns the number of bytes written.
    virtual size_t write(size_t /*style*/) { return 0; }
    // The output of the last write.
    virtual std::string_view written() const { return {}; }

    // XPath 1.0 on the kept tree, for the libraries that offer it: compiles
    // the queries once (false with the library's reason when one does not
    // compile), then evaluates query `index` of them and returns its result
    // as a number (Query.h).
    virtual bool hasXPath() const { return false; }
    virtual bool compileQueries(const std::vector<Query>& /*queries*/, std::string& error) {
        error = "no XPath";
        return false;
    }
    virtual double runQuery(size_t /*index*/) { return 0; }
};

// Ours first (when the reader and writer are built), then every peer whose
// Debian -dev package was found at configure time, then the memchr floor.
std::vector<std::unique_ptr<Subject>> makeSubjects();

// Factories of the individual subjects; each is compiled in only when its
// library is present.
std::unique_ptr<Subject> makeOurs();
std::unique_ptr<Subject> makePugixml();
std::unique_ptr<Subject> makeRapidxml();
std::unique_ptr<Subject> makeTinyxml2();
std::unique_ptr<Subject> makeLibxml2();
std::unique_ptr<Subject> makeExpat();
std::unique_ptr<Subject> makeMemchr();

}  // namespace bench

#endif  // KAVRIXML_BENCH_SUBJECT_H
