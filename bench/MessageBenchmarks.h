// Google Benchmark figures of compiled messages (i18n/MessageFormat.h), each
// beside ICU's MessageFormat formatting the equivalent message in the classic
// syntax with the same locale and arguments, when ICU is built in.
#ifndef KAVRIXML_BENCH_MESSAGEBENCHMARKS_H
#define KAVRIXML_BENCH_MESSAGEBENCHMARKS_H

namespace bench {

// message/format_number, message/format_select2, message/compile_typical and,
// with ICU, message/icu_format_number and message/icu_format_select2.
void registerMessageBenchmarks();

}  // namespace bench

#endif  // KAVRIXML_BENCH_MESSAGEBENCHMARKS_H
