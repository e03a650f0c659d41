#include "bench/MessageBenchmarks.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "i18n/MessageFormat.h"

#ifdef KAVRIXML_BENCH_HAVE_ICU
#include <unicode/msgfmt.h>
#include <unicode/unistr.h>
#endif

namespace bench {

namespace {

using kavri::i18n::MessageArguments;
using kavri::i18n::MessageError;
using kavri::i18n::MessageFormat;

// One number written as German writes it, inside a sentence.
const char* const kNumber = "Sie haben {$count :number} neue Nachrichten.";
// A choice by two values at once: the sharer's gender and the count.
const char* const kSelect2 =
    ".input {$count :integer}\n.input {$gender :string}\n.match $gender $count\n"
    "female one {{Sie hat {$count} Foto geteilt.}}\n"
    "female * {{Sie hat {$count} Fotos geteilt.}}\n"
    "male one {{Er hat {$count} Foto geteilt.}}\n"
    "male * {{Er hat {$count} Fotos geteilt.}}\n"
    "* one {{Sie haben {$count} Foto geteilt.}}\n"
    "* * {{Sie haben {$count} Fotos geteilt.}}";
// A typical message of under 200 bytes, compiled.
const char* const kTypical =
    ".input {$count :integer}\n.match $count\n"
    "one {{Sie haben {$count} neue Nachricht.}}\n* {{Sie haben {$count} neue Nachrichten.}}";

// The counts cycle so that each form is chosen; the output string keeps its
// room between calls, as a caller's buffer would. ICU has no isolation marks,
// so neither has ours here.
void formatNumber(benchmark::State& state) {
    const MessageFormat message(kNumber, "de");
    MessageArguments arguments;
    std::string out;
    std::vector<MessageError> errors;
    double count = 1234567.5;
    for (auto _ : state) {
        arguments.set("count", count);
        out.clear();
        message.format(arguments, out, errors, MessageFormat::BIDI_NONE);
        benchmark::DoNotOptimize(out.data());
        count = count > 2e6 ? 0.5 : count + 1;
    }
}

void formatSelect2(benchmark::State& state) {
    const MessageFormat message(kSelect2, "de");
    MessageArguments arguments;
    arguments.set("gender", "female");
    std::string out;
    std::vector<MessageError> errors;
    long long count = 0;
    for (auto _ : state) {
        arguments.set("count", count);
        out.clear();
        message.format(arguments, out, errors, MessageFormat::BIDI_NONE);
        benchmark::DoNotOptimize(out.data());
        count = count == 1000 ? 0 : count + 1;
    }
}

void compileTypical(benchmark::State& state) {
    for (auto _ : state) {
        MessageFormat message(kTypical, "de");
        benchmark::DoNotOptimize(&message);
    }
}

#ifdef KAVRIXML_BENCH_HAVE_ICU
// ICU formats to its UTF-16 strings; the conversion to UTF-8 that a UTF-8
// program would add is left out, in ICU's favour.
void formatICU(benchmark::State& state, const char* pattern, bool select) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::MessageFormat message(icu::UnicodeString::fromUTF8(pattern), icu::Locale("de"),
                                     status);
    if (U_FAILURE(status)) {
        state.SkipWithError(u_errorName(status));
        return;
    }
    const icu::UnicodeString names[] = {"count", "gender"};
    icu::Formattable values[] = {icu::Formattable(0.0), icu::Formattable("female")};
    icu::UnicodeString out;
    double count = select ? 0 : 1234567.5;
    for (auto _ : state) {
        values[0].setDouble(count);
        out.remove();
        message.format(names, values, select ? 2 : 1, out, status);
        benchmark::DoNotOptimize(out.getBuffer());
        count = select ? (count == 1000 ? 0 : count + 1) : (count > 2e6 ? 0.5 : count + 1);
    }
}

void formatNumberICU(benchmark::State& state) {
    formatICU(state, "Sie haben {count, number} neue Nachrichten.", false);
}

void formatSelect2ICU(benchmark::State& state) {
    formatICU(state,
              "{gender, select, "
              "female {{count, plural, one {Sie hat # Foto geteilt.} other {Sie hat # Fotos "
              "geteilt.}}} "
              "male {{count, plural, one {Er hat # Foto geteilt.} other {Er hat # Fotos "
              "geteilt.}}} "
              "other {{count, plural, one {Sie haben # Foto geteilt.} other {Sie haben # Fotos "
              "geteilt.}}}}",
              true);
}
#endif

}  // namespace

void registerMessageBenchmarks() {
    benchmark::RegisterBenchmark("message/format_number", formatNumber)->UseRealTime();
    benchmark::RegisterBenchmark("message/format_select2", formatSelect2)->UseRealTime();
    benchmark::RegisterBenchmark("message/compile_typical", compileTypical)->UseRealTime();
#ifdef KAVRIXML_BENCH_HAVE_ICU
    benchmark::RegisterBenchmark("message/icu_format_number", formatNumberICU)->UseRealTime();
    benchmark::RegisterBenchmark("message/icu_format_select2", formatSelect2ICU)->UseRealTime();
#endif
}

}  // namespace bench
