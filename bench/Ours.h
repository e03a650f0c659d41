// Which parts of this library the benchmarks can use. The reader, the writer
// and the bundles are compiled in when their headers are present, so the
// peers can be measured on a tree where one of them is not there yet.
#ifndef KAVRIXML_BENCH_OURS_H
#define KAVRIXML_BENCH_OURS_H

#if __has_include("xml/DOMParser.h") && __has_include("xml/XMLWriter.h")
#define KAVRIXML_BENCH_HAVE_OURS 1
#endif

#if __has_include("i18n/Bundle.h")
#define KAVRIXML_BENCH_HAVE_BUNDLE 1
#endif

#endif  // KAVRIXML_BENCH_OURS_H
